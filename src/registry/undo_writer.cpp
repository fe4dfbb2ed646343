#include "registry/undo_writer.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/time_stamp.h"

namespace {

// regedit continues hex data once a line has reached this column.
constexpr size_t kHexWrapColumn = 76;

DWORD LastErrorOr(DWORD fallback) {
    DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : fallback;
}

void FlushBuffer(UndoWriter* writer) {
    if (writer->error == 0 && writer->used > 0) {
        DWORD written = 0;
        // A disk file takes all of a write or fails it.
        if (!WriteFile(writer->file, writer->buffer, static_cast<DWORD>(writer->used), &written,
                       nullptr)) {
            writer->error = static_cast<int32_t>(LastErrorOr(ERROR_ACCESS_DENIED));
        }
    }
    writer->used = 0;
}

void PutChar(UndoWriter* writer, char c) {
    if (writer->error != 0) return;
    if (writer->used == sizeof writer->buffer) FlushBuffer(writer);
    writer->buffer[writer->used++] = c;
    writer->column = c == '\n' ? 0 : writer->column + 1;
}

void PutText(UndoWriter* writer, const char* text) {
    for (; *text != '\0'; ++text) PutChar(writer, *text);
}

// Text between quotes, escaped as .reg files escape it. Line breaks appear
// only in names (data holding them is written as hex): "\r" and "\n".
void PutQuoted(UndoWriter* writer, const char* text, size_t length) {
    PutChar(writer, '"');
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < length) {
            PutChar(writer, c);  // its second byte may look like a backslash: it is none
            PutChar(writer, text[++i]);
        } else if (c == '\\' || c == '"') {
            PutChar(writer, '\\');
            PutChar(writer, c);
        } else if (c == '\r' || c == '\n') {
            PutChar(writer, '\\');
            PutChar(writer, c == '\r' ? 'r' : 'n');
        } else {
            PutChar(writer, c);
        }
    }
    PutChar(writer, '"');
}

void PutName(UndoWriter* writer, const char* name) {
    if (name[0] == '\0') {
        PutChar(writer, '@');
    } else {
        PutQuoted(writer, name, strlen(name));
    }
}

// REG_SZ that "text" gives back exactly: one terminating NUL, no other NUL,
// no line break.
bool IsPlainText(const BYTE* data, DWORD size) {
    if (size == 0 || data[size - 1] != 0) return false;
    for (DWORD i = 0; i + 1 < size; ++i) {
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
    }
    return true;
}

void PutByte(UndoWriter* writer, BYTE byte) {
    static const char kDigits[] = "0123456789abcdef";
    PutChar(writer, kDigits[byte >> 4]);
    PutChar(writer, kDigits[byte & 15]);
}

void PutHex(UndoWriter* writer, DWORD type, const BYTE* data, DWORD size) {
    if (type == REG_BINARY) {
        PutText(writer, "hex:");
    } else {
        char text[24];
        FormatBounded(text, sizeof text, "hex(%lx):", static_cast<unsigned long>(type));
        PutText(writer, text);
    }
    for (DWORD i = 0; i < size; ++i) {
        PutByte(writer, data[i]);
        if (i + 1 == size) break;
        PutChar(writer, ',');
        if (writer->column >= kHexWrapColumn) PutText(writer, "\\\r\n  ");
    }
}

}  // namespace

int32_t OpenUndoFile(const char* path, UndoWriter* writer) {
    writer->file = INVALID_HANDLE_VALUE;
    writer->error = 0;
    writer->used = 0;
    writer->column = 0;
    // Write access shared with nobody: two items (of two copies of the
    // program) never interleave; the second copy reports the file busy.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return static_cast<int32_t>(LastErrorOr(ERROR_ACCESS_DENIED));
    // Files past 4 GiB (which this one never grows to) are no concern here.
    const DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
    if (end == INVALID_SET_FILE_POINTER) {
        const DWORD code = LastErrorOr(ERROR_ACCESS_DENIED);
        CloseHandle(file);
        return static_cast<int32_t>(code);
    }
    writer->file = file;
    if (end == 0) PutText(writer, "REGEDIT4\r\n");
    return 0;
}

int32_t CloseUndoFile(UndoWriter* writer) {
    FlushBuffer(writer);
    if (writer->error == 0 && !FlushFileBuffers(writer->file)) {
        writer->error = static_cast<int32_t>(LastErrorOr(ERROR_ACCESS_DENIED));
    }
    // Once flushed, the data is on disk: a failed close loses nothing.
    CloseHandle(writer->file);
    writer->file = INVALID_HANDLE_VALUE;
    return writer->error;
}

void WriteUndoComment(UndoWriter* writer, const char* what, const char* value_name,
                      const char* key_path) {
    char stamp[kTimeStampSize];  // as the log's lines begin
    FormatTimeStamp(stamp);
    PutText(writer, "\r\n; ");
    PutText(writer, stamp);
    PutText(writer, "about to ");
    PutText(writer, what);
    // Quoted as in a value line: no line break in a name may end the comment.
    if (value_name != nullptr) {
        PutChar(writer, ' ');
        PutQuoted(writer, value_name, strlen(value_name));
        PutText(writer, " in key");
    }
    PutChar(writer, ' ');
    PutQuoted(writer, key_path, strlen(key_path));
    PutText(writer, "\r\n");
}

int32_t WriteUndoKey(UndoWriter* writer, const char* key_path) {
    for (const char* p = key_path; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') return ERROR_INVALID_DATA;
    }
    PutChar(writer, '[');
    PutText(writer, key_path);
    PutText(writer, "]\r\n");
    return 0;
}

void WriteUndoValue(UndoWriter* writer, const char* name, DWORD type, const BYTE* data,
                    DWORD size) {
    PutName(writer, name);
    PutChar(writer, '=');
    if (type == REG_SZ && IsPlainText(data, size)) {
        PutQuoted(writer, reinterpret_cast<const char*>(data), size - 1);
    } else if (type == REG_DWORD && size == 4) {
        PutText(writer, "dword:");
        for (int i = 3; i >= 0; --i) PutByte(writer, data[i]);
    } else {
        PutHex(writer, type, data, size);
    }
    PutText(writer, "\r\n");
}
