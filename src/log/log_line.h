// One log record put together in a fixed buffer and written in one piece, so
// that copies of the program appending to one log never tear each other's lines.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// The most a record takes in the file, each "\n" two bytes: msvcrt writes at most 1024
// bytes of text mode at once. Longer is cut.
constexpr size_t kLogRecordSize = 1024;

struct LogRecord {
    char text[kLogRecordSize + 1];
    size_t length;       // bytes in text, its final line end not yet added
    size_t file_length;  // what they take in the file, each "\n" counted twice
};

// Starts a record with the local time stamp.
void StartLogRecord(LogRecord* record);

// Appends formatted text, cut where the record is full.
void AppendLogText(LogRecord* record, const char* format, va_list args);
void AppendLogTextf(LogRecord* record, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Ends the record with "\n" and appends it to `file` in one piece: 0 or the code.
int32_t WriteLogRecord(LogRecord* record, FILE* file);
