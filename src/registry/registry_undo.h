// Saving what the cleaner is about to change, as it stands in the registry,
// to the undo file before the change is made.
#pragma once

#include <cstdint>

// What the cleaner is about to do to the item it saves.
enum class UndoAction { kDeleteValue = 0, kSetValue = 1, kDeleteKey = 2 };

// Appends the current state of what `action` is about to change to the undo
// file at `undo_path` and flushes it to disk: the value called exactly `name`
// ("" is the default value) of the key at `key_path`, or for kDeleteKey that
// key with its whole subtree, every key and value, walked key by key with
// each subkey opened by the name it was enumerated by. Returns 0 with *saved
// true once it is on disk; 0 with *saved false when there is nothing to save
// (the key or the value missing, or a root key: the action then fails by
// itself, or, for a value set in a race with its deletion, creates it);
// otherwise the first failure's code (ERROR_MORE_DATA
// for a name or data larger than the fixed buffers); a tree's walk stops at
// its first failure, and what reached the file before it stays there. The
// undo file and every key are closed again on every return.
int32_t SaveUndoData(const char* undo_path, UndoAction action, const char* key_path,
                     const char* name, bool* saved);
