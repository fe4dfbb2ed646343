#include "support/native_run.h"

#include <algorithm>

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

RunResult RunInProcess(const std::vector<std::string>& arguments) {
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

const char kFixedStamp[] = "2026-12-08, 09:05:03,   ";

std::string Stamped(const std::string& lines) {
    std::string stamped;
    for (size_t start = 0; start < lines.size();) {
        const size_t end = std::min(lines.find('\n', start), lines.size() - 1) + 1;
        stamped += kFixedStamp + lines.substr(start, end - start);
        start = end;
    }
    return stamped;
}

void LoggedRun::Start() {
    ResetProcessState();
    winsim::SetLocalTime(FixedTime());
    folder_.Empty();
    SetLogPath(log_path_.c_str());
    CaptureStdout([] { LogOpen("fix_tamrix"); });
}

void LoggedRun::Finish() {
    CloseRunUndoFile();
    LogClose();
}

std::string LoggedRun::LogLines() const {
    const std::string log = ReadWholeFile(log_path_);
    const std::string header = ExpectedText("log_header.txt");
    if (log.compare(0, header.size(), header) != 0) return "<no log header>\n" + log;
    return log.substr(header.size());
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
