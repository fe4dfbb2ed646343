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

// Saves `value`, found in the key that `key_path` (a row's path) names and
// still open, as one item of the run's undo file before `action` changes it:
// on disk when this returns 0, otherwise not in the file at all. The failures:
// ERROR_NO_UNICODE_TRANSLATION on NT 4.0, whose Registry Editor reads ANSI
// files only, for a value that would not come back from ANSI as stored;
// ERROR_INVALID_DATA for a key path or name that no .reg file can hold;
// the W call's (ReadStoredForm); NameRegistryKey's codes; the file's.
int32_t SaveValueUndo(UndoAction action, const char* key_path, FoundValue* value);

// Saves the key at `key_path` with its whole subtree before it is deleted,
// one item per key (a key whose values do not fit one item takes several),
// each subkey opened by the name it was enumerated by. A walk that stops
// (WalkSubkeys' failures, a value that cannot be saved) keeps the items
// saved before it. 0 with *saved true when all is on disk; 0 with *saved
// false when there is nothing to save (a root, or no key there, whose
// deletion then fails by itself); otherwise the failure's code. No key stays
// open.
int32_t SaveKeyUndo(const char* key_path, bool* saved);

// Where the run's undo file ends now: the mark to take back out what is
// saved after it.
uint32_t RunUndoMark();

// Takes the items saved since `mark` (from RunUndoMark) back out of the run's
// undo file, for a change that was not made after all. 0 when the file holds
// none of them (also when there were none), or the failure's code.
int32_t TakeBackRunUndo(uint32_t mark);

// The run's undo file as shown (ANSI), or the name last tried when it could
// not be created; "" before the first item.
const char* RunUndoFilePath();

// Closes the run's undo file if one was created; the next item creates a new one.
void CloseRunUndoFile();
