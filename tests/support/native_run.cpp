#include "support/native_run.h"

#include "console/quiet_mode.h"
#include "driver/run_cleaner.h"
#include "log/log_file.h"
#include "registry/registry_undo.h"
#include "support/argument_vector.h"
#include "support/capture.h"
#include "support/expected_text.h"

void ResetProcessState() {
    CloseRunUndoFile();  // before the layer forgets its handle
    winsim::Reset();
    ResetQuietModeForTests();
    ResetLogForTests();
}

RunResult RunInProcess(std::initializer_list<std::string> arguments) {
    ArgumentVector command_line(arguments);
    RunResult result{0, ""};
    result.output = CaptureStdout(
        [&] { result.exit_code = RunCleaner(command_line.argc(), command_line.argv()); });
    return result;
}

std::string AfterTitleBox(const std::string& output) {
    const std::string border = ExpectedText("box_border.txt");
    size_t first = output.find(border);
    if (first == std::string::npos) return "<no title box>";
    size_t second = output.find(border, first + border.size());
    if (second == std::string::npos) return "<no title box>";
    return output.substr(second + border.size());
}

SYSTEMTIME FixedTime() {
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 8;
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 3;
    return time;
}
