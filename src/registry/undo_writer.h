// The undo file's writer: registry items as the system's Registry Editor
// reads them back, item by item through one fixed buffer, each flushed to
// disk, or taken back out of the file when it cannot be written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

enum class UndoFormat {
    kAnsi,       // REGEDIT4 in the ANSI code page: the 95 family, whose registry is ANSI
    kAnsiExact,  // REGEDIT4, each item checked to widen back exactly: NT 4.0, whose
                 // Registry Editor reads no other kind
    kWide,       // "Windows Registry Editor Version 5.00" in UTF-16LE, names and data as
                 // the W calls read them: the NT family from Windows 2000 on
};

// The format this system's Registry Editor reads back exactly.
UndoFormat UndoFormatOfSystem();

struct UndoWriter {
    HANDLE file;
    UndoFormat format;
    int32_t error;    // the item's first failure; nothing more of it is written
    int32_t broken;   // a failure the file could not be mended from: no item goes in after it
    DWORD committed;  // bytes of the header and of whole items, on disk
    DWORD written;    // bytes handed to the file
    size_t used;      // bytes waiting in `buffer`
    size_t column;    // of the line being written, in characters, for wrapping hex data
    char buffer[512];
};

// Takes over `file` (new, empty, open for writing) and writes the header of
// `format`, flushed to disk. 0, or the failure's code, which then stays the
// answer for every item; either way the writer owns the file.
int32_t StartUndoWriter(UndoWriter* writer, HANDLE file, UndoFormat format);

// Ends an item: with `result` 0, or with `keep_part` (an item that stopped
// between its lines: what came before is worth giving back), writes what is
// buffered and flushes the file to disk; otherwise, and when writing fails,
// takes the item's bytes back out of the file, so that the file holds only
// whole lines of what was saved. Returns `result`, the failure of writing, or
// the writer's lasting failure.
int32_t EndUndoItem(UndoWriter* writer, int32_t result, bool keep_part);

// Closes the file; what it holds is on disk already.
void CloseUndoWriter(UndoWriter* writer);

// A text to write: ANSI bytes, or UTF-16 units (the wide format only).
struct UndoText {
    const char* ansi;
    const WCHAR* wide;  // used when not nullptr
    size_t count;       // bytes or units
};

// Starts an item: an empty line, then "; <local time as the log writes it>about to <what>"
// with the value name (nullptr for a key) and the key quoted as in a value
// line, so that no line break in them can end the comment.
void WriteUndoComment(UndoWriter* writer, const char* what, const UndoText* value_name,
                      const char* key_path);

// Writes the "[key]" line of a full key path (ANSI). ERROR_INVALID_DATA
// with nothing written when the path holds a line break, which no .reg file
// can hold.
int32_t WriteUndoKey(UndoWriter* writer, const char* key_path);

// Writes one value as a line that imports back to the same type and bytes:
// "name"="text" for REG_SZ text that can be written so, dword: for a 4-byte
// REG_DWORD, otherwise hex: (REG_BINARY) or hex(t): with every byte,
// continued over lines as regedit does. The name (no count: @, the default
// value) and text data are in the file's own form: UTF-16 in the wide format.
// ERROR_INVALID_DATA with nothing written for a name that holds a NUL.
int32_t WriteUndoValue(UndoWriter* writer, const UndoText& name, DWORD type, const BYTE* data,
                       DWORD size);
