#include "registry/undo_writer.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/time_stamp.h"
#include "common/wide_text.h"

namespace {

constexpr DWORD kWindows95Family = 0x80000000u;
// regedit continues hex data once a line has reached this column.
constexpr size_t kHexWrapColumn = 76;

DWORD LastErrorOr(DWORD fallback) {
    DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : fallback;
}

bool IsWide(const UndoWriter* writer) { return writer->format == UndoFormat::kWide; }

void FlushBuffer(UndoWriter* writer) {
    if (writer->error == 0 && writer->used > 0) {
        DWORD written = 0;
        // A disk file takes all of a write or fails it.
        if (!WriteFile(writer->file, writer->buffer, static_cast<DWORD>(writer->used), &written,
                       nullptr)) {
            writer->error = static_cast<int32_t>(LastErrorOr(ERROR_ACCESS_DENIED));
        }
        writer->written += written;
    }
    writer->used = 0;
}

// One character: a byte, or a UTF-16LE unit in the wide format.
void PutUnit(UndoWriter* writer, unsigned unit) {
    if (writer->error != 0) return;
    if (writer->used + 2 > sizeof writer->buffer) FlushBuffer(writer);
    writer->buffer[writer->used++] = static_cast<char>(unit & 0xFF);
    if (IsWide(writer)) writer->buffer[writer->used++] = static_cast<char>(unit >> 8);
    writer->column = unit == '\n' ? 0 : writer->column + 1;
}

void PutAscii(UndoWriter* writer, const char* text) {
    for (; *text != '\0'; ++text) PutUnit(writer, static_cast<BYTE>(*text));
}

// A character between quotes, escaped as .reg files escape it. Line breaks
// appear only in names (data holding them is written as hex): "\r" and "\n".
void PutEscaped(UndoWriter* writer, unsigned unit) {
    if (unit == '\\' || unit == '"') {
        PutUnit(writer, '\\');
    } else if (unit == '\r' || unit == '\n') {
        PutUnit(writer, '\\');
        unit = unit == '\r' ? 'r' : 'n';
    }
    PutUnit(writer, unit);
}

int32_t PutEscapedUnits(void* context, const WCHAR* units, size_t count) {
    for (size_t i = 0; i < count; ++i) PutEscaped(static_cast<UndoWriter*>(context), units[i]);
    return 0;
}

int32_t PutPlainUnits(void* context, const WCHAR* units, size_t count) {
    for (size_t i = 0; i < count; ++i) PutUnit(static_cast<UndoWriter*>(context), units[i]);
    return 0;
}

// `text` in the file's form, between quotes and escaped when `quoted`. ANSI
// text goes into a wide file widened.
void PutText(UndoWriter* writer, const UndoText& text, bool quoted) {
    if (quoted) PutUnit(writer, '"');
    int32_t (*put)(void*, const WCHAR*, size_t) = quoted ? PutEscapedUnits : PutPlainUnits;
    if (text.wide != nullptr) {
        put(writer, text.wide, text.count);
    } else if (IsWide(writer)) {
        const int32_t code = WidenInPieces(text.ansi, text.count, put, writer);
        if (code != 0 && writer->error == 0) writer->error = code;
    } else {
        for (size_t i = 0; i < text.count; ++i) {
            const BYTE c = static_cast<BYTE>(text.ansi[i]);
            if (quoted && IsDBCSLeadByte(c) && i + 1 < text.count) {
                PutUnit(writer, c);  // its second byte may look like a backslash: it is none
                PutUnit(writer, static_cast<BYTE>(text.ansi[++i]));
            } else if (quoted) {
                PutEscaped(writer, c);
            } else {
                PutUnit(writer, c);
            }
        }
    }
    if (quoted) PutUnit(writer, '"');
}

UndoText Ansi(const char* text) { return UndoText{text, nullptr, strlen(text)}; }

unsigned UnitOf(const UndoText& text, size_t i) {
    return text.wide != nullptr ? text.wide[i] : static_cast<BYTE>(text.ansi[i]);
}

// REG_SZ that "text" gives back exactly: one terminating NUL, no other NUL,
// no line break; in the wide format whole UTF-16 units.
bool IsPlainText(const UndoWriter* writer, const BYTE* data, DWORD size, UndoText* text) {
    const size_t unit_size = IsWide(writer) ? 2 : 1;
    if (data == nullptr || size < unit_size || size % unit_size != 0) return false;
    *text = IsWide(writer) ? UndoText{nullptr, reinterpret_cast<const WCHAR*>(data), size / 2 - 1}
                           : UndoText{reinterpret_cast<const char*>(data), nullptr, size - 1};
    if (UnitOf(*text, text->count) != 0) return false;
    for (size_t i = 0; i < text->count; ++i) {
        const unsigned unit = UnitOf(*text, i);
        if (unit == 0 || unit == '\r' || unit == '\n') return false;
    }
    return true;
}

void PutByte(UndoWriter* writer, BYTE byte) {
    static const char kDigits[] = "0123456789abcdef";
    PutUnit(writer, static_cast<BYTE>(kDigits[byte >> 4]));
    PutUnit(writer, static_cast<BYTE>(kDigits[byte & 15]));
}

void PutHex(UndoWriter* writer, DWORD type, const BYTE* data, DWORD size) {
    if (type == REG_BINARY) {
        PutAscii(writer, "hex:");
    } else {
        char text[24];
        FormatBounded(text, sizeof text, "hex(%lx):", static_cast<unsigned long>(type));
        PutAscii(writer, text);
    }
    for (DWORD i = 0; i < size; ++i) {
        PutByte(writer, data[i]);
        if (i + 1 == size) break;
        PutUnit(writer, ',');
        if (writer->column >= kHexWrapColumn) PutAscii(writer, "\\\r\n  ");
    }
}

}  // namespace

UndoFormat UndoFormatOfSystem() {
    const DWORD version = GetVersion();
    if ((version & kWindows95Family) != 0) return UndoFormat::kAnsi;
    return (version & 0xFF) >= 5 ? UndoFormat::kWide : UndoFormat::kAnsiExact;
}

int32_t StartUndoWriter(UndoWriter* writer, HANDLE file, UndoFormat format) {
    writer->file = file;
    writer->format = format;
    writer->error = 0;
    writer->broken = 0;
    writer->committed = 0;
    writer->written = 0;
    writer->used = 0;
    writer->column = 0;
    if (IsWide(writer)) {
        PutUnit(writer, 0xFEFF);
        PutAscii(writer, "Windows Registry Editor Version 5.00\r\n");
    } else {
        PutAscii(writer, "REGEDIT4\r\n");
    }
    writer->broken = EndUndoItem(writer, 0, false);
    return writer->broken;
}

int32_t EndUndoItem(UndoWriter* writer, int32_t result, bool keep_part) {
    if (writer->broken != 0) return writer->broken;
    // An item stops only between its lines, unless writing failed.
    if (writer->error == 0 && (result == 0 || keep_part)) {
        FlushBuffer(writer);
        if (writer->error == 0 && !FlushFileBuffers(writer->file)) {
            writer->error = static_cast<int32_t>(LastErrorOr(ERROR_ACCESS_DENIED));
        }
    }
    const bool kept = writer->error == 0 && (result == 0 || keep_part);
    if (result == 0) result = writer->error;
    if (kept) {
        writer->committed = writer->written;
    } else {
        // The file is the program's own and nobody else writes it: cut it
        // back to its last whole item.
        writer->used = 0;
        if (SetFilePointer(writer->file, static_cast<LONG>(writer->committed), nullptr,
                           FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !SetEndOfFile(writer->file)) {
            writer->broken = result;
        }
        writer->written = writer->committed;
    }
    writer->error = 0;
    writer->column = 0;
    return result;
}

void CloseUndoWriter(UndoWriter* writer) {
    CloseHandle(writer->file);
    writer->file = INVALID_HANDLE_VALUE;
}

void WriteUndoComment(UndoWriter* writer, const char* what, const UndoText* value_name,
                      const char* key_path) {
    char stamp[kTimeStampSize];  // as the log's lines begin
    FormatTimeStamp(stamp);
    PutAscii(writer, "\r\n; ");
    PutAscii(writer, stamp);
    PutAscii(writer, "about to ");
    PutAscii(writer, what);
    // Quoted as in a value line: no line break in a name may end the comment.
    if (value_name != nullptr) {
        PutUnit(writer, ' ');
        PutText(writer, *value_name, true);
        PutAscii(writer, " in key");
    }
    PutUnit(writer, ' ');
    PutText(writer, Ansi(key_path), true);
    PutAscii(writer, "\r\n");
}

int32_t WriteUndoKey(UndoWriter* writer, const char* key_path) {
    for (const char* p = key_path; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') return ERROR_INVALID_DATA;
    }
    PutUnit(writer, '[');
    PutText(writer, Ansi(key_path), false);
    PutAscii(writer, "]\r\n");
    return 0;
}

int32_t WriteUndoValue(UndoWriter* writer, const UndoText& name, DWORD type, const BYTE* data,
                       DWORD size) {
    for (size_t i = 0; i < name.count; ++i) {
        if (UnitOf(name, i) == 0) return ERROR_INVALID_DATA;
    }
    if (name.count == 0) {
        PutUnit(writer, '@');
    } else {
        PutText(writer, name, true);
    }
    PutUnit(writer, '=');
    UndoText text;
    if (type == REG_SZ && IsPlainText(writer, data, size, &text)) {
        PutText(writer, text, true);
    } else if (type == REG_DWORD && size == 4) {
        PutAscii(writer, "dword:");
        for (int i = 3; i >= 0; --i) PutByte(writer, data[i]);
    } else {
        PutHex(writer, type, data, size);
    }
    PutAscii(writer, "\r\n");
    return 0;
}
