#include "log/notice.h"

#include <cstdarg>
#include <cstdio>

#include "log/log_file.h"
#include "log/log_line.h"

void ReportNotice(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printf("\n");
    vprintf(format, args);
    printf("\n");
    va_end(args);

    if (LogIsOpen()) {
        LogRecord record;
        StartLogRecord(&record);
        va_start(args, format);
        AppendLogText(&record, format, args);
        va_end(args);
        AppendToLog(&record);
    }
}
