// The local time as every log line and undo item begins with it.
#pragma once

#include <cstddef>

constexpr size_t kTimeStampSize = 32;

// The local time now as "YYYY-MM-DD, hh:mm:ss,   ", always terminated.
void FormatTimeStamp(char (&out)[kTimeStampSize]);

constexpr size_t kFileTimeStampSize = 16;

// The local time now as "YYYYMMDD_hhmmss", always terminated.
void FormatFileTimeStamp(char (&out)[kFileTimeStampSize]);
