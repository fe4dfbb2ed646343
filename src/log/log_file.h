// The run's log file: append-only, one framed header per opening, one
// time-stamped line per event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// Size of the process-wide log-path buffer, terminator included (in units
// for the wide form).
constexpr int kLogPathSize = 268;

// Copies `path` into the log-path buffer and makes it the log path. When the
// ANSI text is not the file system's exact spelling, `wide_path` is (its
// UTF-16 form, nullptr otherwise): the file is then opened through it, and
// `path` is only what the console and the log show. Returns 0, or
// ERROR_BUFFER_OVERFLOW (111) with the log path unchanged when a path and
// its terminator do not fit the buffer.
int32_t SetLogPath(const char* path, const WCHAR* wide_path = nullptr);

// The log path chosen so far as shown (ANSI), or nullptr while none has been
// chosen.
const char* LogPath();

// Writes the log path's folder (separator included; none for a path without
// a folder, or while no log path has been chosen: the current folder)
// followed by `name` into `out`, as shown. Returns 0, or ERROR_BUFFER_OVERFLOW
// (111) with the text cut (terminated) when it and its terminator do not fit
// `size`.
int32_t ComposeBesideLog(const char* name, char* out, size_t size);

// Creates the file `name` (ASCII) new beside the log, through the folder's
// exact spelling, with write access that nobody else shares. Writes the path
// as shown into `shown` first, whatever the outcome. 0 with *file open;
// otherwise the system's code (ERROR_FILE_EXISTS (80) when something of that
// name is there, a link included) or ERROR_BUFFER_OVERFLOW, nothing opened.
int32_t CreateFileBesideLog(const char* name, char* shown, size_t size, HANDLE* file);

// Opens the log and appends the header; with no path set, the log is
// `tool_name`.log beside the program. If the file cannot be opened, prints a
// console message and leaves the log closed. If the log is open, only writes
// the header again.
void LogOpen(const char* tool_name);

// Closes the log if it is open.
void LogClose();

// True while the log is open.
bool LogIsOpen();

// The log's stream while the log is open, or nullptr while it is closed, for
// the log's own writers (ReportError). Opens nothing.
FILE* LogStreamIfOpen();

// Writes one time-stamped, flushed line to the log; nothing while it is closed.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Test hook, never called by the program: closes the log and forgets its
// path, as at process start.
void ResetLogForTests();
