// The run's undo file: what the cleaner is about to change, saved as it
// stands in the registry before the change is made, in the form that this
// system's Registry Editor reads back exactly.
#pragma once

#include <cstdint>

#include "registry/found_value.h"

// What the cleaner is about to do to the item it saves.
enum class UndoAction { kDeleteValue = 0, kSetValue = 1, kDeleteKey = 2 };

// Creates the run's undo file beside the log at the first call (see
// OpenUndoFile), and again at a later one while none could be created. 0, or
// why it cannot be written; a file that broke gives that at every later call.
int32_t OpenRunUndoFile();

// Saves `value` of the open key at `key_path` as one item before `action`: on
// disk on 0, otherwise not in the file at all (ERROR_NO_UNICODE_TRANSLATION on
// NT 4.0 for a value ANSI cannot give back, ERROR_INVALID_DATA for a name no
// .reg file can hold, or a read's or the file's code).
int32_t SaveValueUndo(UndoAction action, const char* key_path, FoundValue* value);

// Saves the key at `key_path` and its subtree, one item per key: 0 with *saved
// true when all is on disk, false when there is nothing to save; otherwise
// the failure's code, the items before it kept. No key stays open.
int32_t SaveKeyUndo(const char* key_path, bool* saved);

// Where the run's file ends now, and the items saved since taken back out, for
// a change that was not made after all: 0 or the failure's code.
uint32_t RunUndoMark();
int32_t TakeBackRunUndo(uint32_t mark);

// The run's undo file as shown, or the name last tried; "" before the first item.
const char* RunUndoFilePath();

// Closes the run's file; the next item creates a new one.
void CloseRunUndoFile();
