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

// Stops at the first error or "?"; a log path argv does not spell exactly is
// taken from the wide command line, or refused when that does not match argv.
CommandLine ParseCommandLine(int argc, char** argv);

// Prints the usage text (exit code 1) or the error (2) of a parse that does not run.
int32_t ReportCommandLine(const CommandLine& command_line);
