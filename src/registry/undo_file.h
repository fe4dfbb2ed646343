// An undo file: created new, appended to one whole item at a time, each on
// disk before the next; nobody else may write it while it is open.
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

// Creates <log name>_undo_YYYYMMDD_hhmmss.reg beside the log with `header`
// in it: 0 with it open, otherwise the code and no file.
int32_t OpenUndoFile(UndoFile* file, const BYTE* header, size_t length);

// Appends one item, flushed, or cuts it back out: a file that cannot be cut back is broken.
int32_t AppendUndoItem(UndoFile* file, const BYTE* bytes, size_t length);

// Takes out the items appended since `mark`, an earlier `end`: 0 or the code.
int32_t CutUndoFileBack(UndoFile* file, DWORD mark);

void CloseUndoFile(UndoFile* file);
