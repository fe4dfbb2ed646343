// The run's undo file: what the cleaner is about to change, saved as it
// stands in the registry before the change is made, in the form that this
// system's Registry Editor reads back exactly.
#pragma once

#include <cstdint>

#include "registry/found_value.h"

// What the cleaner is about to do to the item it saves.
enum class UndoAction { kDeleteValue = 0, kSetValue = 1, kDeleteKey = 2 };

// Creates the run's undo file at the first call, and again while none could be:
// 0, or why it cannot be written (a broken file's code at every later call).
int32_t OpenRunUndoFile();

// Saves `value` of the key at `key_path` as one item before `action`: on disk on
// 0, otherwise not in the file at all (the read's, conversion's or file's code).
int32_t SaveValueUndo(UndoAction action, const char* key_path, FoundValue* value);

// Saves the key at `key_path` and its subtree: 0 with *saved false when there
// is nothing to save, or the failure's code with the items before it kept.
int32_t SaveKeyUndo(const char* key_path, bool* saved);

// Where the run's file ends now, and the items saved since taken back out, for
// a change that was not made after all: 0 or the failure's code.
uint32_t RunUndoMark();
int32_t TakeBackRunUndo(uint32_t mark);

// The run's undo file as shown, or the name last tried; "" before the first item.
const char* RunUndoFilePath();

// Closes the run's file; the next item creates a new one.
void CloseRunUndoFile();
