#include "log/log_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/bounded_format.h"
#include "common/wide_text.h"
#include "log/log_line.h"
#include "log/system_text.h"
#include "platform/append_file.h"
#include "platform/windows_family.h"
#include "platform/write_turn.h"

namespace {

FileName log_name;
bool log_named = false;
FILE* log_file = nullptr;

const char kLogHeader[] =
    "\n\n/--------------------------------------------------------------\\\n"
    "|                      Vantorelkis, Inc.                       |\n"
    "|                           Log File                           |\n"
    "\\--------------------------------------------------------------/\n\n\n";

// Says on the console that the log cannot be used, with the text for `code`.
void SayAboutTheLog(const char* what, int32_t code) {
    if (code == 0) {
        printf("\n%s \"%s\".\n", what, log_name.shown);
        return;
    }
    char* text = SystemErrorText(code);
    printf("\n%s \"%s\": %s\n", what, log_name.shown, text != nullptr ? text : "");
    FreeSystemErrorText(text);
}

}  // namespace

bool FitsLogPath(const char* path) {
    const size_t bytes = strlen(path) + 1;
    // A character takes at least one byte, and a UTF-16 unit at most three.
    if (bytes <= static_cast<size_t>(kLogPathSize)) return true;
    if (IsWindows95Family() || bytes > 3 * static_cast<size_t>(kLogPathSize)) return false;
    // A count that fails is left to the wide argument's, which is bounded too.
    const int units = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    return units <= kLogPathSize;
}

int32_t SetLogPath(const char* path, const WCHAR* wide_path) {
    if (wide_path != nullptr) {
        const size_t units = WideLength(wide_path, kLogPathSize);
        if (units + 1 > static_cast<size_t>(kLogPathSize)) return ERROR_BUFFER_OVERFLOW;
        // Shown as what it names, not as the look-alike in argv.
        char shown[4 * kLogPathSize];
        if (!ShowExactly(wide_path, shown, sizeof shown)) return ERROR_BUFFER_OVERFLOW;
        memcpy(log_name.exact, wide_path, (units + 1) * sizeof(WCHAR));
        memcpy(log_name.shown, shown, strlen(shown) + 1);
    } else {
        if (!FitsLogPath(path)) return ERROR_BUFFER_OVERFLOW;
        memcpy(log_name.shown, path, strlen(path) + 1);
    }
    log_name.has_exact = wide_path != nullptr;
    log_named = true;
    return 0;
}

const FileName* LogName() { return log_named ? &log_name : nullptr; }

void LogOpen(const char* tool_name) {
    if (log_file == nullptr) {
        if (!log_named) {
            log_named = true;
            char name[32];
            FormatBounded(name, sizeof name, "%s.log", tool_name);
            const int32_t unknown = NameBesideProgram(name, &log_name);
            if (unknown != 0) {
                SayAboutTheLog("The program's folder could not be read, so the log goes to",
                               unknown);
            }
        }
        log_file = OpenAppendStream(log_name);
        if (log_file == nullptr) {
            SayAboutTheLog("Could not open log file", 0);
            return;
        }
    }
    // In one piece, as every record: another copy's line cannot land inside
    // it. A log without its whole header is no log.
    if (AppendToStream(log_file, kLogHeader, sizeof kLogHeader - 1) != 0) {
        LogClose();
        SayAboutTheLog("Could not open log file", 0);
    }
}

void LogClose() {
    if (log_file == nullptr) return;
    fclose(log_file);
    log_file = nullptr;
}

bool LogIsOpen() { return log_file != nullptr; }

void AppendToLog(LogRecord* record) {
    if (log_file == nullptr) return;
    const int32_t code = WriteLogRecord(record, log_file);
    if (code == 0) return;
    LogClose();
    SayAboutTheLog("Could not write to log file", code);
}

void LogLineWith(const char* system_text, const char* format, va_list args) {
    if (log_file == nullptr) return;
    LogRecord record;
    StartLogRecord(&record);
    AppendLogText(&record, format, args);
    if (system_text != nullptr) AppendLogTextf(&record, ": %s", system_text);
    AppendToLog(&record);
}

void LogLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogLineWith(nullptr, format, args);
    va_end(args);
}

void ResetLogForTests() {
    LogClose();
    ResetWriteTurnsForTests();
    log_named = false;
    log_name.has_exact = false;
    log_name.shown[0] = '\0';
}
