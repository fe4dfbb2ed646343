#include "common/time_stamp.h"

#include "common/bounded_format.h"
#include "platform/platform.h"

void FormatTimeStamp(char (&out)[kTimeStampSize]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatBounded(out, sizeof out, "%04u-%02u-%02u, %02u:%02u:%02u,   ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
}

void FormatFileTimeStamp(char (&out)[kFileTimeStampSize]) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatBounded(out, sizeof out, "%04u%02u%02u_%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
}
