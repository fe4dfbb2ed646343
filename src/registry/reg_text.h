// The text of .reg files as the Registry Editor reads them back, into a caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

enum class RegForm {
    kRegedit4,  // "REGEDIT4" in the ANSI code page: the 95 family and NT 4.0 read it
    kVersion5,  // "Windows Registry Editor Version 5.00" in UTF-16LE: Windows 2000 on
};

// A name or text to write: ANSI bytes, or UTF-16 units (kVersion5 only).
struct RegName {
    const char* ansi;
    const WCHAR* wide;  // used when not nullptr
    size_t count;       // bytes or units
};

struct RegText {
    RegForm form;
    BYTE* bytes;
    size_t size;    // of the buffer
    size_t length;  // bytes written
    size_t column;  // characters on the line being written: hex data wraps there
    int32_t error;  // the first failure; nothing more is written after it
};

void StartRegText(RegText* text, RegForm form, BYTE* bytes, size_t size);

// Each writer below appends to `text` and leaves its failure in text->error;
// what did not fit is not there.

// The file's first line, with the byte-order mark in version 5.00 text.
void PutRegHeader(RegText* text);

// An empty line, then "; <stamp>about to <what>" with the value (nullptr: a
// key) and key quoted as in a value line, so no line break ends the comment.
void PutRegComment(RegText* text, const char* stamp, const char* what, const RegName* value_name,
                   const char* key_path);

// The "[key]" line; ERROR_INVALID_DATA for a path with a line break.
void PutRegKey(RegText* text, const char* key_path);

// One value (count 0: @) as a line that imports back to the same type and
// bytes; ERROR_INVALID_DATA for a name no file can hold (a NUL, or in ANSI a
// lead byte before a quote or line break, whose backslash would be its trail).
void PutRegValue(RegText* text, const RegName& name, DWORD type, const BYTE* data, DWORD size);
