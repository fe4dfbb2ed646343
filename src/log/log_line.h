// One log record (a time-stamped line, or the header) put together in a fixed
// buffer and handed to the file in one write, so that copies of the program
// appending to the same log never tear or lose each other's lines.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// The most bytes one record takes in the file, its line ends counted as the
// two bytes they become on Windows: the Windows C runtime turns at most 1024
// bytes of text-mode output into one system write. A longer line is cut.
constexpr size_t kLogRecordSize = 1024;

struct LogRecord {
    char text[kLogRecordSize + 1];
    size_t length;       // bytes in text, its final line end not yet added
    size_t file_length;  // what they take in the file, each "\n" counted twice
};

// Starts a record with the local time as "YYYY-MM-DD, hh:mm:ss,   ".
void StartLogRecord(LogRecord* record);

// Appends formatted text to the record, cut where the record is full (room
// for the final line end always stays).
void AppendLogText(LogRecord* record, const char* format, va_list args);
void AppendLogTextf(LogRecord* record, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Ends the record with "\n" and appends it to `file` (a stream from
// OpenAppendStream) in one piece. 0, or the code of the write that failed.
int32_t WriteLogRecord(LogRecord* record, FILE* file);
