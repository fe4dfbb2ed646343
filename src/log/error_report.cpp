#include "log/error_report.h"

#include <cstdarg>
#include <cstdio>

#include "log/log_file.h"
#include "log/log_line.h"
#include "log/system_text.h"

void ReportError(int32_t code, const char* format, ...) {
    char* text = SystemErrorText(code);
    const char* shown = text != nullptr ? text : "";

    va_list args;
    va_start(args, format);
    printf("\n");
    vprintf(format, args);
    va_end(args);
    printf(": %s\n", shown);

    if (LogIsOpen()) {
        LogRecord record;
        StartLogRecord(&record);
        va_start(args, format);
        AppendLogText(&record, format, args);
        va_end(args);
        AppendLogTextf(&record, ": %s", shown);
        AppendToLog(&record);
    }
    FreeSystemErrorText(text);
}

void LogOrPrintLine(const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (LogIsOpen()) {
        LogRecord record;
        StartLogRecord(&record);
        AppendLogText(&record, format, args);
        AppendToLog(&record);
    } else {
        vprintf(format, args);
        printf("\n");
    }
    va_end(args);
}
