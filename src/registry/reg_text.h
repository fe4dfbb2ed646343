// The text of .reg files, as the system's Registry Editor reads them back,
// written into a caller's buffer: plain functions that touch no file.
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

// Text being written into the caller's buffer.
struct RegText {
    RegForm form;
    BYTE* bytes;
    size_t size;    // of the buffer
    size_t length;  // bytes written
    size_t column;  // characters on the line being written: hex data wraps there
    int32_t error;  // the first failure; nothing more is written after it
};

// Starts empty text of `form` in `bytes`, `size` bytes.
void StartRegText(RegText* text, RegForm form, BYTE* bytes, size_t size);

// Each writer below appends to `text` and leaves its outcome in text->error:
// ERROR_INSUFFICIENT_BUFFER (what did not fit is not there) or a failed conversion's code.

// The file's first line, with the byte-order mark in version 5.00 text.
void PutRegHeader(RegText* text);

// An empty line, then "; <stamp>about to <what>" with the value name (nullptr
// for a key) and the key quoted as in a value line, so no line break in them ends the comment.
void PutRegComment(RegText* text, const char* stamp, const char* what, const RegName* value_name,
                   const char* key_path);

// The "[key]" line of a full ANSI key path; ERROR_INVALID_DATA for one with a line break.
void PutRegKey(RegText* text, const char* key_path);

// One value (count 0: @, the default) as a line that imports back to the same
// type and bytes: plain text, dword: or hex. ERROR_INVALID_DATA, nothing
// written, for a name no file can hold: a NUL, or in ANSI a lead byte before
// a quote or line break, whose escaping backslash would read back as its trail byte.
void PutRegValue(RegText* text, const RegName& name, DWORD type, const BYTE* data, DWORD size);
