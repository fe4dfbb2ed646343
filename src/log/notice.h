// Events that are no failure but that the user must read: said once, on the
// console and in the log alike.
#pragma once

// Prints "\n", the message and "\n" on the console and writes the message,
// time-stamped, to the log when it is open.
void ReportNotice(const char* format, ...) __attribute__((format(printf, 1, 2)));
