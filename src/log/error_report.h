// The one way failures are reported: on the console and, when it is open, in
// the log, each time with the system's text for the error code; the same for
// events that are no failure but that the user must read; and a line that
// must be seen somewhere, in the log or else on the console.
#pragma once

#include <cstdint>

#include "log/system_text.h"  // the texts it shows

// Prints "\n", the message, ": " and the system's text for `code` on the
// console and writes the same, time-stamped, to the log when it is open.
void ReportError(int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Prints the message and "\n" on the console and writes the message,
// time-stamped, to the log when it is open: one event's words, written once.
void ReportLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ReportLine on a line of its own: "\n" before it on the console.
void ReportNotice(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes the line to the log when it is open; otherwise prints it, and "\n",
// on the console, so that what the log would have said is not lost.
void LogOrPrintLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
