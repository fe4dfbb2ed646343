#include "driver/command_line.h"

#include <cstdio>
#include <cstring>

#include "driver/wide_argument.h"
#include "log/log_file.h"
#include "platform/windows_family.h"
#include "tables/texts.h"

namespace {

bool IsOption(const char* argument) { return argument[0] == '/' || argument[0] == '-'; }

bool NameIs(const char* name, char upper) {
    return (name[0] == upper || name[0] == upper - 'A' + 'a') && name[1] == '\0';
}

CommandLine Stop(CommandLine parsed, CommandLineOutcome outcome, const char* offending) {
    parsed.outcome = outcome;
    parsed.offending = offending;
    return parsed;
}

void PrintUsage() {
    printf(
        "Scans for \"%s\" and removes it from the system\n\n%s [<folder>] [/Q] [/?]\n\n"
        "    <folder>    The folder where the tool will begin scanning.\n"
        "                If unspecified, the tool will scan all local\n"
        "                hard drives.\n"
        "    /Q          Quiet mode: suppresses prompting\n"
        "    /?          Display help information\n\n",
        kFamilyName, kToolName);
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine parsed = {CommandLineOutcome::kRun, false, nullptr, nullptr, nullptr, false, {0}};
    int log_path_index = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!IsOption(argument)) {
            if (parsed.folder != nullptr) {
                return Stop(parsed, CommandLineOutcome::kTooManyParameters, argument);
            }
            parsed.folder = argument;
            continue;
        }
        const char* name = argument + 1;
        if (NameIs(name, 'Q')) {
            parsed.quiet = true;
        } else if (NameIs(name, 'L')) {
            if (i + 1 >= argc) return Stop(parsed, CommandLineOutcome::kMissingParameter, argument);
            ++i;
            if (!FitsLogPath(argv[i])) {
                return Stop(parsed, CommandLineOutcome::kLogPathTooLong, argument);
            }
            parsed.log_path = argv[i];
            log_path_index = i;
        } else if (strcmp(name, "?") == 0) {
            return Stop(parsed, CommandLineOutcome::kUsage, argument);
        } else {
            return Stop(parsed, CommandLineOutcome::kInvalidOption, argument);
        }
    }
    if (log_path_index == 0) return parsed;
    const int32_t exact = FindExactArgument(argc, argv, log_path_index, parsed.log_path_wide,
                                            kLogPathSize, &parsed.log_path_is_wide);
    if (exact == ERROR_BUFFER_OVERFLOW) {
        return Stop(parsed, CommandLineOutcome::kLogPathTooLong, argv[log_path_index - 1]);
    }
    if (exact != 0) {
        return Stop(parsed, CommandLineOutcome::kLogPathNotExact, argv[log_path_index - 1]);
    }
    return parsed;
}

int32_t ReportCommandLine(const CommandLine& command_line) {
    switch (command_line.outcome) {
        case CommandLineOutcome::kUsage:
            PrintUsage();
            return 1;
        case CommandLineOutcome::kTooManyParameters:
            printf("Too many command-line parameters\n");
            return 2;
        case CommandLineOutcome::kMissingParameter:
            printf("Expected parameter after \"%s\" is missing.\n", command_line.offending);
            return 2;
        case CommandLineOutcome::kInvalidOption:
            printf("Invalid command-line option: %s\n", command_line.offending);
            return 2;
        case CommandLineOutcome::kLogPathTooLong:
            // The 95 family's file names are ANSI: its limit is in bytes.
            printf("Log file path after \"%s\" is too long (at most %d %s).\n",
                   command_line.offending, kLogPathSize - 1,
                   IsWindows95Family() ? "bytes" : "characters");
            return 2;
        case CommandLineOutcome::kLogPathNotExact:
            printf("Log file path after \"%s\" cannot be read exactly in this code page.\n",
                   command_line.offending);
            return 2;
        case CommandLineOutcome::kRun:
            break;
    }
    return 0;
}
