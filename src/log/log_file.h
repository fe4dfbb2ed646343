// The run's log file: append-only, one framed header per opening, one
// time-stamped line per event; and the files that go beside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

struct LogRecord;

// The longest log path that SetLogPath takes, terminator included (in units
// for the wide form): what /L may give.
constexpr int kLogPathSize = 268;
// Room for the longest path the NT family allows, 32,767 characters, in
// UTF-16 units and as ANSI (two bytes a character at most): the program's
// own folder may be that long.
constexpr size_t kLongPathUnits = 32768;
constexpr size_t kLongPathSize = 2 * kLongPathUnits;

// Copies `path` into the log-path buffer and makes it the log path. When the
// ANSI text is not the file system's exact spelling, `wide_path` is (its
// UTF-16 form, nullptr otherwise): the file is then opened through it, and
// `path` is only what the console and the log show. Returns 0, or
// ERROR_BUFFER_OVERFLOW (111) with the log path unchanged when a path and
// its terminator do not fit kLogPathSize.
int32_t SetLogPath(const char* path, const WCHAR* wide_path = nullptr);

// The log path chosen so far as shown (ANSI), or nullptr while none has been
// chosen.
const char* LogPath();

// Creates the file `name` (ASCII) new beside the log (in the current folder
// while no log path has been chosen, or for one without a folder), through
// the folder's exact spelling, with write access that nobody else shares.
// Writes the path as shown into `shown` first, whatever the outcome. On the
// NT family a path of MAX_PATH characters or more is opened in its "\\?\"
// form. 0 with *file open; otherwise the system's code (ERROR_FILE_EXISTS
// (80) when something of that name is there, a link included) or
// ERROR_BUFFER_OVERFLOW when the path does not fit `size`; nothing opened.
int32_t CreateFileBesideLog(const char* name, char* shown, size_t size, HANDLE* file);

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
// path, as at process start.
void ResetLogForTests();
