// Implemented in log_file.cpp (the log) and error_report.cpp (error reports).
// The run's log file (append-only, one framed header per opening, one
// time-stamped line per event) and the one way failures are reported.
#pragma once

#include <cstddef>
#include <cstdint>

// Size of the process-wide log-path buffer, terminator included.
constexpr int kLogPathSize = 268;

// Copies `path` into the log-path buffer and makes it the log path.
// Returns 0, or ERROR_BUFFER_OVERFLOW (111) with the log path unchanged when
// the path and its terminator do not fit the buffer.
int32_t SetLogPath(const char* path);

// The log path chosen so far, or nullptr while none has been chosen.
const char* LogPath();

// Writes the log path's folder (separator included; none for a path without
// a folder, or while no log path has been chosen: the current folder)
// followed by `name` into `out`. Returns 0, or ERROR_BUFFER_OVERFLOW (111)
// with the text cut (terminated) when it and its terminator do not fit `size`.
int32_t ComposeBesideLog(const char* name, char* out, size_t size);

// Opens the log (the default path beside the program if none was set) and
// appends the header. If the file cannot be opened, prints a console message
// and leaves the log closed. If the log is open, only writes the header again.
void LogOpen();

// Closes the log if it is open.
void LogClose();

// True while the log is open.
bool LogIsOpen();

// Writes one time-stamped, flushed line to the log; nothing while it is closed.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints "\n", the message, ": " and the system's text for `code` on the
// console and writes the same, time-stamped, to the log when it is open.
void ReportError(int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The system's text for `code` without trailing line breaks, in a block the
// caller releases with FreeSystemErrorText; the code's unsigned decimal digits
// when the system has no text; nullptr when not even that can be allocated.
char* SystemErrorText(int32_t code);

// Releases a text from SystemErrorText with LocalFree; nullptr is ignored.
void FreeSystemErrorText(char* text);

// Puts the log back as at process start (closed, no path). For tests.
void ResetLogState();
