// The run's log file: append-only, one framed header per opening, one
// time-stamped line per event.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/file_name.h"

struct LogRecord;

// The longest log path /L may give, terminator included: in UTF-16 units, and
// in bytes on the 95 family, whose file names are ANSI.
constexpr int kLogPathSize = 268;

bool FitsLogPath(const char* path);

// Makes `path` the log path, opened by `wide_path` where that is the exact
// spelling. 0, or ERROR_BUFFER_OVERFLOW with the path unchanged.
int32_t SetLogPath(const char* path, const WCHAR* wide_path = nullptr);

// The log's name chosen so far, or nullptr while none has been chosen.
const FileName* LogName();

// Opens the log (by default `tool_name`.log beside the program) and appends the header;
// a failure is said on the console and the log stays closed.
void LogOpen(const char* tool_name);

void LogClose();
bool LogIsOpen();

// Appends `record` while the log is open; a failed write is said and closes the log.
void AppendToLog(LogRecord* record);

// Writes one time-stamped, flushed line to the log; nothing while it is closed.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same, ": " and `system_text` after the text unless it is nullptr.
void LogLineWith(const char* system_text, const char* format, va_list args);

// Test hook: closes the log and forgets its path and turns, as at process start.
void ResetLogForTests();
