// An undo file: created new under a name of its own, appended to one whole
// item at a time, each on disk before the next, and closed. The file is the
// program's own while it is open: read by anyone, written by nobody else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file_name.h"
#include "platform/platform.h"

struct UndoFile {
    HANDLE handle;   // INVALID_HANDLE_VALUE while none is open
    DWORD end;       // bytes of whole items on disk
    int32_t broken;  // why nothing more may go in: an item that could not be cut back out
    FileName name;   // the file's, or the name last tried
};

// Creates the undo file beside the log as <log name>_undo_YYYYMMDD_hhmmss.reg
// (fix_tamrix for a log name of no use; _2 ... _99 when taken) with `header`
// as its first item. 0 with it open; otherwise the failure's code, and no file.
int32_t OpenUndoFile(UndoFile* file, const BYTE* header, size_t length);

// Appends one item, flushed, or on failure cuts the file back to where it
// began. 0 or the code; a file that could not be cut back is broken for good.
int32_t AppendUndoItem(UndoFile* file, const BYTE* bytes, size_t length);

// Takes out the items appended since `mark`, an earlier `end`, for a change
// that was not made after all. 0 or the code (the file is then broken).
int32_t CutUndoFileBack(UndoFile* file, DWORD mark);

// Closes the file if one is open; what it holds is on disk already.
void CloseUndoFile(UndoFile* file);
