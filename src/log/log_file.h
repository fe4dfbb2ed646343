// The run's log file: append-only, one framed header per opening, one
// time-stamped line per event.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_name.h"
#include "platform/platform.h"

struct LogRecord;

// The longest log path that SetLogPath takes, terminator included: in
// characters (UTF-16 units), and in bytes on the 95 family, whose file names
// are ANSI. What /L may give.
constexpr int kLogPathSize = 268;

// Whether the ANSI `path` fits kLogPathSize as above.
bool FitsLogPath(const char* path);

// Makes `path` the log path. When the ANSI text is not the file system's
// exact spelling, `wide_path` is (its UTF-16 form, nullptr otherwise): the
// file is then opened through it, and shown as ShowExactly gives it. Returns
// 0, or ERROR_BUFFER_OVERFLOW (111) with the log path unchanged when a path
// does not fit kLogPathSize.
int32_t SetLogPath(const char* path, const WCHAR* wide_path = nullptr);

// The log's name chosen so far, or nullptr while none has been chosen.
const FileName* LogName();

// Opens the log and appends the header; with no path set, the log is
// `tool_name`.log beside the program (in the current folder, said on the
// console, when the program's folder cannot be read). If the file cannot be
// opened, or the header cannot be written whole, prints a console message
// and leaves the log closed. If the log is open, only writes the header again.
void LogOpen(const char* tool_name);

// Closes the log if it is open.
void LogClose();

// True while the log is open.
bool LogIsOpen();

// Appends `record` (log_line.h) to the log while it is open. A write that
// fails is said once on the console, with the log's path and the system's
// text for the code, and the log is closed: nothing more goes into it.
void AppendToLog(LogRecord* record);

// Writes one time-stamped, flushed line to the log; nothing while it is closed.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Test hook, never called by the program: closes the log and forgets its
// path and its writers' turns, as at process start.
void ResetLogForTests();
