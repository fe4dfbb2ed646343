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

// Creates the undo file beside the log, named after it: the log's file name
// without its extension (fix_tamrix when it has none, or one too long for a
// file name), then _undo_YYYYMMDD_hhmmss.reg from the local time now (_2,
// _3 ... _99 when that name is taken: whatever stands there, a link
// included). Appends `header` as its first item. 0 with the file open;
// otherwise the failure's code (ERROR_FILE_EXISTS when every name was
// taken), and no file: one whose header did not go in is deleted again.
int32_t OpenUndoFile(UndoFile* file, const BYTE* header, size_t length);

// Appends one item and flushes it to disk; when that fails, cuts the file
// back to where the item began, so that the file holds only whole items.
// 0, or the failure's code; a file that could not be cut back is broken, and
// every later item gets that code.
int32_t AppendUndoItem(UndoFile* file, const BYTE* bytes, size_t length);

// Cuts the file back to `mark`, an earlier `end`, taking out the items
// appended since: for a change that was not made after all. 0, or the
// failure's code; a file that could not be cut back is broken.
int32_t CutUndoFileBack(UndoFile* file, DWORD mark);

// Closes the file if one is open; what it holds is on disk already.
void CloseUndoFile(UndoFile* file);
