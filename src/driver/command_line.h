// The command line: [<folder>] [/Q] [/?] and the unlisted /L <path>.
// Parsing only reports what it found; the run driver acts on it.
#pragma once

#include <cstdint>

#include "log/log_file.h"
#include "platform/platform.h"

enum class CommandLineOutcome {
    kRun,                // run the cleaner with the settings below
    kUsage,              // "?" was given: print the usage text
    kTooManyParameters,  // a second positional argument
    kMissingParameter,   // "L" was the last argument (`offending` is it)
    kInvalidOption,      // an option other than Q, L, ? (`offending` is it)
    kLogPathTooLong,   // the path after `offending` passes kLogPathSize - 1 (characters, or bytes)
    kLogPathNotExact,  // the path after `offending` is a best fit that cannot be traced back
};

struct CommandLine {
    CommandLineOutcome outcome;
    bool quiet;
    const char* folder;     // the positional folder, or nullptr
    const char* log_path;   // the last /L path, or nullptr
    const char* offending;  // the argument an error names, as typed
    bool log_path_is_wide;  // the file is named by log_path_wide; log_path is shown
    WCHAR log_path_wide[kLogPathSize];
};

// Examines argv[1..argc-1] in order and stops at the first error or at "?".
// A log path that is not the exact spelling of what was typed (a character
// the code page lacks) is taken in its wide form from the wide command line,
// or refused when that cannot be matched to argv.
CommandLine ParseCommandLine(int argc, char** argv);

// Prints the message or the usage text of a parse that does not run the
// cleaner, and returns the exit code (1 for the usage text, 2 for an error).
int32_t ReportCommandLine(const CommandLine& command_line);
