#include "log/error_report.h"

#include <cstdarg>
#include <cstdio>

#include "log/log_file.h"
#include "log/log_line.h"

namespace {

// Writes the message, then ": " and `system_text` unless it is nullptr, as
// one time-stamped line to the log when it is open. `args` is started and
// ended by the caller.
void LogMessage(const char* system_text, const char* format, va_list* args) {
    if (!LogIsOpen()) return;
    LogRecord record;
    StartLogRecord(&record);
    AppendLogText(&record, format, *args);
    if (system_text != nullptr) AppendLogTextf(&record, ": %s", system_text);
    AppendToLog(&record);
}

// The console form: `before`, the message and "\n"; then the log's line.
void PrintAndLog(const char* before, const char* format, va_list* args) {
    va_list copy;
    va_copy(copy, *args);
    printf("%s", before);
    vprintf(format, copy);
    va_end(copy);
    printf("\n");
    LogMessage(nullptr, format, args);
}

}  // namespace

void ReportError(int32_t code, const char* format, ...) {
    char* text = SystemErrorText(code);
    const char* shown = text != nullptr ? text : "";

    va_list args;
    va_start(args, format);
    printf("\n");
    vprintf(format, args);
    va_end(args);
    printf(": %s\n", shown);

    va_start(args, format);
    LogMessage(shown, format, &args);
    va_end(args);
    FreeSystemErrorText(text);
}

void ReportLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintAndLog("", format, &args);
    va_end(args);
}

void ReportNotice(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintAndLog("\n", format, &args);
    va_end(args);
}

void LogOrPrintLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (LogIsOpen()) {
        LogMessage(nullptr, format, &args);
    } else {
        PrintAndLog("", format, &args);
    }
    va_end(args);
}
