// The local time as every log line and undo item begins with it.
#pragma once

#include <cstddef>

// Room for a time stamp and its terminator.
constexpr size_t kTimeStampSize = 32;

// Writes the local time now as "YYYY-MM-DD, hh:mm:ss,   " (a comma and three
// spaces after the time) into `out`, always terminated.
void FormatTimeStamp(char (&out)[kTimeStampSize]);

// Room for a file name's time stamp and its terminator.
constexpr size_t kFileTimeStampSize = 16;

// Writes the local time now as "YYYYMMDD_hhmmss" into `out`, always terminated.
void FormatFileTimeStamp(char (&out)[kFileTimeStampSize]);
