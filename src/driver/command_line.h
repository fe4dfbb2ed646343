// The command line: [<folder>] [/Q] [/?] and the unlisted /L <path>.
// Parsing only reports what it found; the run driver acts on it.
#pragma once

#include <cstdint>

enum class CommandLineOutcome {
    kRun,                // run the cleaner with the settings below
    kUsage,              // "?" was given: print the usage text
    kTooManyParameters,  // a second positional argument
    kMissingParameter,   // "L" was the last argument (`offending` is it)
    kInvalidOption,      // an option other than Q, L, ? (`offending` is it)
    kLogPathTooLong,     // the path after `offending` does not fit the log-path buffer
};

struct CommandLine {
    CommandLineOutcome outcome;
    bool quiet;
    const char* folder;     // the positional folder, or nullptr
    const char* log_path;   // the last /L path, or nullptr
    const char* offending;  // the argument an error names, as typed
};

// Examines argv[1..argc-1] in order and stops at the first error or at "?".
CommandLine ParseCommandLine(int argc, char** argv);

// Prints the message or the usage text of a parse that does not run the
// cleaner, and returns the exit code (1 for the usage text, 2 for an error).
int32_t ReportCommandLine(const CommandLine& command_line);
