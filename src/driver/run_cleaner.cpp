#include "driver/run_cleaner.h"

#include <cstdio>

#include "console/box.h"
#include "console/prompts.h"
#include "console/quiet_mode.h"
#include "driver/command_line.h"
#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/registry_report.h"
#include "registry/registry_undo.h"
#include "registry/second_look.h"
#include "tables/registry_actions.h"
#include "tables/texts.h"

namespace {

void PrintTitle() {
    if (kBoxTexts.title != nullptr) PrintBox(kAlignCentre, kBoxTexts.title);
}

void PrintInstructions() {
    if (kBoxTexts.instructions == nullptr) return;
    PrintBox(kAlignLeft, kBoxTexts.instructions);
    PauseForKey();
}

// The file-scanning stage of this configuration: empty.
void RunScanStage() {}

}  // namespace

int32_t RunCleaner(int argc, char** argv) {
    printf("\n");
    PrintTitle();

    const CommandLine command_line = ParseCommandLine(argc, argv);
    if (command_line.outcome != CommandLineOutcome::kRun) return ReportCommandLine(command_line);
    if (command_line.quiet) SwitchOnQuietMode();
    if (command_line.log_path != nullptr) {
        SetLogPath(command_line.log_path,
                   command_line.log_path_is_wide ? command_line.log_path_wide : nullptr);
    }

    PrintInstructions();
    printf("\n\n");
    LogOpen(kToolName);
    if (IsQuietMode()) {
        printf("QUIET MODE\n");
        LogLine("Quiet mode specified.");
    }
    printf("\n");
    RunScanStage();
    printf("\n");
    // Every row is reported as it goes; the walk's result leaves the exit code alone.
    CleanRegistry(kRegistryActions, ReportRegistryResult);
    // A running worm writes back what was removed: the user must hear of it.
    LookAgainAtDoneRows(kToolName);
    printf("\n");
    // The run's undo file stays open until here, so that nobody else can
    // write into it while the run adds items.
    CloseRunUndoFile();
    LogClose();
    return 0;
}
