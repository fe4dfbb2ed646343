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

// Each writer below appends to `text`; its outcome is text->error:
// ERROR_INSUFFICIENT_BUFFER when the buffer is full (what did not fit is
// not there), or the code of a conversion of ANSI text that failed.

// The file's first line: "REGEDIT4", or the byte-order mark and "Windows
// Registry Editor Version 5.00".
void PutRegHeader(RegText* text);

// An empty line, then "; <stamp>about to <what>" with the value name
// (nullptr for a key) and the key quoted as in a value line, so that no line
// break in them can end the comment.
void PutRegComment(RegText* text, const char* stamp, const char* what, const RegName* value_name,
                   const char* key_path);

// The "[key]" line of a full key path (ANSI). ERROR_INVALID_DATA, with
// nothing written, when the path holds a line break, which no .reg file can
// hold.
void PutRegKey(RegText* text, const char* key_path);

// One value as a line that imports back to the same type and bytes:
// "name"="text" for REG_SZ that one NUL ends and that holds no other NUL nor
// a line break, dword: for a 4-byte REG_DWORD, otherwise hex: (REG_BINARY) or
// hex(t): with every byte, continued over lines as regedit does. The name
// (count 0: @, the default value) is in the form's own kind of text;
// ERROR_INVALID_DATA, with nothing written, for a name that no file of the
// form can hold: one with a NUL, or in ANSI a lead byte before a quote or a
// line break (reading back would take the backslash before it for its trail
// byte).
void PutRegValue(RegText* text, const RegName& name, DWORD type, const BYTE* data, DWORD size);
