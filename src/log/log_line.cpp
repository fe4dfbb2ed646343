// Log records: time stamp, bounded text, one write per record.
#include "log/log_line.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/time_stamp.h"
#include "platform/append_file.h"

namespace {

// Room for text before the final line end, which takes up to two bytes.
constexpr size_t kTextRoom = kLogRecordSize - 2;

// Counts the bytes from record->length on (just written, NUL-terminated) into
// the record, cutting them where the file would pass kTextRoom.
void TakeAppendedBytes(LogRecord* record) {
    char* text = record->text;
    size_t length = record->length;
    size_t file_length = record->file_length;
    while (text[length] != '\0') {
        const size_t size = text[length] == '\n' ? 2 : 1;
        if (length >= kTextRoom || file_length + size > kTextRoom) break;
        file_length += size;
        ++length;
    }
    text[length] = '\0';
    record->length = length;
    record->file_length = file_length;
}

}  // namespace

void StartLogRecord(LogRecord* record) {
    record->length = 0;
    record->file_length = 0;
    char stamp[kTimeStampSize];
    FormatTimeStamp(stamp);
    AppendLogTextf(record, "%s", stamp);
}

void AppendLogText(LogRecord* record, const char* format, va_list args) {
    if (record->length >= kTextRoom) return;
    char* out = record->text + record->length;
    const size_t room = kTextRoom - record->length + 1;  // with the NUL
    out[0] = '\0';                                       // a format that fails adds nothing
    FormatBoundedV(out, room, format, args);             // terminated even when cut
    TakeAppendedBytes(record);
}

void AppendLogTextf(LogRecord* record, const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendLogText(record, format, args);
    va_end(args);
}

int32_t WriteLogRecord(LogRecord* record, FILE* file) {
    record->text[record->length++] = '\n';
    record->text[record->length] = '\0';
    return AppendToStream(file, record->text, record->length);
}
