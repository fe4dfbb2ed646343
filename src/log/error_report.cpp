#include "log/error_report.h"

#include <cstdarg>
#include <cstdio>

#include "log/log_file.h"

namespace {

// The console form: `before`, the message, ": " and `system_text` if any, and "\n"; then
// the log's line.
void PrintAndLog(const char* before, const char* system_text, const char* format, va_list* args) {
    va_list copy;
    va_copy(copy, *args);
    printf("%s", before);
    vprintf(format, copy);
    va_end(copy);
    if (system_text != nullptr) {
        printf(": %s\n", system_text);
    } else {
        printf("\n");
    }
    LogLineWith(system_text, format, *args);
}

}  // namespace

void ReportError(int32_t code, const char* format, ...) {
    char* text = SystemErrorText(code);
    va_list args;
    va_start(args, format);
    PrintAndLog("\n", text != nullptr ? text : "", format, &args);
    va_end(args);
    FreeSystemErrorText(text);
}

void ReportLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintAndLog("", nullptr, format, &args);
    va_end(args);
}

void ReportNotice(const char* format, ...) {
    va_list args;
    va_start(args, format);
    PrintAndLog("\n", nullptr, format, &args);
    va_end(args);
}

void LogOrPrintLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (LogIsOpen()) {
        LogLineWith(nullptr, format, args);
    } else {
        PrintAndLog("", nullptr, format, &args);
    }
    va_end(args);
}
