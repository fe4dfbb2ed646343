#include "registry/reg_text.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/wide_text.h"

namespace {

// regedit continues hex data once a line has reached this column.
constexpr size_t kHexWrapColumn = 76;

bool IsWide(const RegText* text) { return text->form == RegForm::kVersion5; }

// One character: a byte, or a UTF-16LE unit in version 5.00 text.
void PutUnit(RegText* text, unsigned unit) {
    if (text->error != 0) return;
    const size_t size = IsWide(text) ? 2 : 1;
    if (text->length + size > text->size) {
        text->error = ERROR_INSUFFICIENT_BUFFER;
        return;
    }
    text->bytes[text->length++] = static_cast<BYTE>(unit & 0xFF);
    if (IsWide(text)) text->bytes[text->length++] = static_cast<BYTE>(unit >> 8);
    text->column = unit == '\n' ? 0 : text->column + 1;
}

void PutAscii(RegText* text, const char* ascii) {
    for (; *ascii != '\0'; ++ascii) PutUnit(text, static_cast<BYTE>(*ascii));
}

// A character between quotes, escaped as .reg files escape it. Line breaks
// appear only in names (data holding them is written as hex): "\r" and "\n".
void PutEscaped(RegText* text, unsigned unit) {
    if (unit == '\\' || unit == '"') {
        PutUnit(text, '\\');
    } else if (unit == '\r' || unit == '\n') {
        PutUnit(text, '\\');
        unit = unit == '\r' ? 'r' : 'n';
    }
    PutUnit(text, unit);
}

int32_t PutEscapedUnits(void* context, const WCHAR* units, size_t count) {
    for (size_t i = 0; i < count; ++i) PutEscaped(static_cast<RegText*>(context), units[i]);
    return 0;
}

int32_t PutPlainUnits(void* context, const WCHAR* units, size_t count) {
    for (size_t i = 0; i < count; ++i) PutUnit(static_cast<RegText*>(context), units[i]);
    return 0;
}

// `name` in the text's form, quoted and escaped when `quoted`.
void PutName(RegText* text, const RegName& name, bool quoted) {
    if (quoted) PutUnit(text, '"');
    int32_t (*put)(void*, const WCHAR*, size_t) = quoted ? PutEscapedUnits : PutPlainUnits;
    if (name.wide != nullptr) {
        put(text, name.wide, name.count);
    } else if (IsWide(text)) {
        const int32_t code = WidenInPieces(name.ansi, name.count, put, text);
        if (code != 0 && text->error == 0) text->error = code;
    } else {
        for (size_t i = 0; i < name.count; ++i) {
            const BYTE c = static_cast<BYTE>(name.ansi[i]);
            if (quoted && IsDBCSLeadByte(c) && i + 1 < name.count) {
                PutUnit(text, c);  // its second byte may look like a backslash: it is none
                PutUnit(text, static_cast<BYTE>(name.ansi[++i]));
            } else if (quoted) {
                PutEscaped(text, c);
            } else {
                PutUnit(text, c);
            }
        }
    }
    if (quoted) PutUnit(text, '"');
}

RegName Ansi(const char* ansi) { return RegName{ansi, nullptr, strlen(ansi)}; }

unsigned UnitOf(const RegName& name, size_t i) {
    return name.wide != nullptr ? name.wide[i] : static_cast<BYTE>(name.ansi[i]);
}

// Whether `name` can stand between quotes and be read back: no NUL, and in
// ANSI no lead byte right before a character written with a backslash (a
// quote or a line break), which reading back would take for its trail byte.
bool CanQuote(const RegName& name) {
    for (size_t i = 0; i < name.count; ++i) {
        const unsigned unit = UnitOf(name, i);
        if (unit == 0) return false;
        if (name.wide != nullptr || unit < 0x80 || i + 1 == name.count || !IsDBCSLeadByte(unit)) {
            continue;
        }
        const unsigned next = UnitOf(name, ++i);
        if (next == 0 || next == '"' || next == '\r' || next == '\n') return false;
    }
    return true;
}

// Whether REG_SZ `data` comes back exactly from "text": one final NUL, no line
// break, nothing CanQuote refuses, whole units in version 5.00 text.
bool IsPlainText(const RegText* text, const BYTE* data, DWORD size, RegName* plain) {
    const size_t unit_size = IsWide(text) ? 2 : 1;
    if (data == nullptr || size < unit_size || size % unit_size != 0) return false;
    *plain = IsWide(text) ? RegName{nullptr, reinterpret_cast<const WCHAR*>(data), size / 2 - 1}
                          : RegName{reinterpret_cast<const char*>(data), nullptr, size - 1};
    if (UnitOf(*plain, plain->count) != 0 || !CanQuote(*plain)) return false;
    for (size_t i = 0; i < plain->count; ++i) {
        const unsigned unit = UnitOf(*plain, i);
        if (unit == '\r' || unit == '\n') return false;
    }
    return true;
}

void PutByte(RegText* text, BYTE byte) {
    static const char kDigits[] = "0123456789abcdef";
    PutUnit(text, static_cast<BYTE>(kDigits[byte >> 4]));
    PutUnit(text, static_cast<BYTE>(kDigits[byte & 15]));
}

void PutHex(RegText* text, DWORD type, const BYTE* data, DWORD size) {
    if (type == REG_BINARY) {
        PutAscii(text, "hex:");
    } else {
        char prefix[24];
        FormatBounded(prefix, sizeof prefix, "hex(%lx):", static_cast<unsigned long>(type));
        PutAscii(text, prefix);
    }
    for (DWORD i = 0; i < size; ++i) {
        PutByte(text, data[i]);
        if (i + 1 == size) break;
        PutUnit(text, ',');
        if (text->column >= kHexWrapColumn) PutAscii(text, "\\\r\n  ");
    }
}

}  // namespace

void StartRegText(RegText* text, RegForm form, BYTE* bytes, size_t size) {
    *text = RegText{form, bytes, size, 0, 0, 0};
}

void PutRegHeader(RegText* text) {
    if (IsWide(text)) {
        PutUnit(text, 0xFEFF);
        PutAscii(text, "Windows Registry Editor Version 5.00\r\n");
    } else {
        PutAscii(text, "REGEDIT4\r\n");
    }
}

void PutRegComment(RegText* text, const char* stamp, const char* what, const RegName* value_name,
                   const char* key_path) {
    PutAscii(text, "\r\n; ");
    PutAscii(text, stamp);
    PutAscii(text, "about to ");
    PutAscii(text, what);
    if (value_name != nullptr) {
        PutUnit(text, ' ');
        PutName(text, *value_name, true);
        PutAscii(text, " in key");
    }
    PutUnit(text, ' ');
    PutName(text, Ansi(key_path), true);
    PutAscii(text, "\r\n");
}

void PutRegKey(RegText* text, const char* key_path) {
    for (const char* p = key_path; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') {
            if (text->error == 0) text->error = ERROR_INVALID_DATA;
            return;
        }
    }
    PutUnit(text, '[');
    PutName(text, Ansi(key_path), false);
    PutAscii(text, "]\r\n");
}

void PutRegValue(RegText* text, const RegName& name, DWORD type, const BYTE* data, DWORD size) {
    if (!CanQuote(name)) {
        if (text->error == 0) text->error = ERROR_INVALID_DATA;
        return;
    }
    if (name.count == 0) {
        PutUnit(text, '@');
    } else {
        PutName(text, name, true);
    }
    PutUnit(text, '=');
    RegName plain;
    if (type == REG_SZ && IsPlainText(text, data, size, &plain)) {
        PutName(text, plain, true);
    } else if (type == REG_DWORD && size == 4) {
        PutAscii(text, "dword:");
        for (int i = 3; i >= 0; --i) PutByte(text, data[i]);
    } else {
        PutHex(text, type, data, size);
    }
    PutAscii(text, "\r\n");
}
