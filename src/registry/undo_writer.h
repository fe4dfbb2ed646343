// The undo file: registry items appended as REGEDIT4 text in the ANSI code
// page, which both Windows families' regedit and reg import read back byte
// for byte, written through one fixed buffer and flushed to disk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The undo file's name, beside the log.
constexpr char kUndoFileName[] = "fix_tamrix_undo.reg";

struct UndoWriter {
    HANDLE file;
    int32_t error;  // the first failure writing the file; nothing is written after it
    size_t used;    // bytes waiting in `buffer`
    size_t column;  // of the line being written, for wrapping long hex data
    char buffer[512];
};

// Opens the undo file at `path` for appending (creating it, with its
// "REGEDIT4" header when it is new or empty). 0, or the system's code with
// nothing left open (ERROR_SHARING_VIOLATION while another copy writes it).
int32_t OpenUndoFile(const char* path, UndoWriter* writer);

// Writes what is buffered, flushes the file to disk and closes it. Returns 0
// once everything is on disk, otherwise the first failure's code; the file is
// closed either way.
int32_t CloseUndoFile(UndoWriter* writer);

// Starts an item: an empty line, then "; <local time as the log writes it>about to <what>"
// with the value name (nullptr for a key) and the key quoted as in a value
// line, so that no line break in them can end the comment.
void WriteUndoComment(UndoWriter* writer, const char* what, const char* value_name,
                      const char* key_path);

// Writes the "[key]" line of a full key path. ERROR_INVALID_DATA with
// nothing written when the path holds a line break, which no .reg file can hold.
int32_t WriteUndoKey(UndoWriter* writer, const char* key_path);

// Writes one value as a line that imports back to the same type and bytes:
// "name"="text" for REG_SZ text that can be written so, dword: for a 4-byte
// REG_DWORD, otherwise hex: (REG_BINARY) or hex(t): with every byte,
// continued over lines as regedit does. The name "" is the default value, @.
void WriteUndoValue(UndoWriter* writer, const char* name, DWORD type, const BYTE* data, DWORD size);

// Writes "name"=-, the line that deletes a value that did not exist.
void WriteUndoValueAbsent(UndoWriter* writer, const char* name);
