// Failures and events the user must read, on the console and in the log when it is open.
#pragma once

#include <cstdint>

#include "log/system_text.h"  // the texts it shows

// "\n", the message, ": " and the system's text for `code`; the log's line without the "\n".
void ReportError(int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The message and "\n" on the console, the message in the log.
void ReportLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ReportLine on a line of its own: "\n" before it on the console.
void ReportNotice(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The line in the log when it is open, else on the console, so that it is not lost.
void LogOrPrintLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
