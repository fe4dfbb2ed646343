// Saving what the cleaner is about to change, as it stands in the registry,
// to the run's undo file before the change is made; and reading a value
// again right before it is changed, so that what is saved, and changed, is
// what the walk found.
#pragma once

#include <cstdint>

#include "registry/registry_action.h"

// What the cleaner is about to do to the item it saves.
enum class UndoAction { kDeleteValue = 0, kSetValue = 1, kDeleteKey = 2 };

struct UndoOutcome {
    // 0: go ahead. Otherwise leave the value alone: ERROR_FILE_NOT_FOUND (2)
    // when it is gone or no longer the data the row's matcher and the
    // exactness check took (it changed after the walk checked it), or the
    // code of the read that failed.
    int32_t changed;
    // 0, or why the undo data could not be saved; the action goes ahead.
    int32_t failure;
    bool saved;  // the item is on disk in the run's undo file
};

// For a value action: finds the value `row` names (its name exactly, the
// default value for "") by enumerating the key, so that its name comes in
// the stored spelling, and checks it as the walk did. Then saves the value,
// or for kDeleteKey the key at row->key_path with its whole subtree (every
// key and value, each subkey opened by the name it was enumerated by), to
// the run's undo file, which the first item creates new beside the log:
// fix_tamrix_undo_YYYYMMDD_hhmmss.reg, from the local time then, with _2, _3
// ... when that name is taken. The item is on disk before this returns, or
// none of it is in the file; a tree whose walk stopped keeps the keys and
// values saved before the stop. A root key or a missing key to delete is no
// item (the action then fails by itself). Every key is closed on return; the
// file stays open until CloseRunUndoFile.
UndoOutcome SaveUndoData(UndoAction action, const RegistryAction* row);

// The run's undo file as shown (ANSI), or the name last tried when it could
// not be created; "" before the first item.
const char* RunUndoFilePath();

// Closes the run's undo file if one was created; the next item creates a new one.
void CloseRunUndoFile();
