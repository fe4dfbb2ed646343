// The one walk over the subkeys of a registry key, for deleting a key tree
// and for saving one: each name as the enumeration found it, checked to be
// the key's own, and opened as it stands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The path of the key being walked, in the caller's buffer; each child's name
// is appended after a backslash while that child is visited.
struct SubkeyPath {
    char* text;     // terminated
    size_t length;  // of text
    size_t size;    // of the buffer, NUL included
};

// `visit` gets each child open, the path naming it; `leave` (may be nullptr)
// the parent and the child's name once it is closed. Non-zero stops the walk.
struct SubkeyVisitor {
    int32_t (*visit)(void* context, HKEY child, SubkeyPath* path);
    int32_t (*leave)(void* context, HKEY parent, const char* name);
    void* context;
};

// Visits every subkey of the open `key` from the highest index down, so a
// visitor may delete the child it was given. Stops at the first failure: a
// registry call's, ERROR_MORE_DATA for a name that does not fit (cut short it
// would open another key), ERROR_NO_UNICODE_TRANSLATION for a best-fit name,
// ERROR_BADKEY for an empty name or one with a backslash, ERROR_INSUFFICIENT_BUFFER
// for a path too long, or the visitor's. `key` and path->text come back as they came.
int32_t WalkSubkeys(HKEY key, SubkeyPath* path, const SubkeyVisitor& visitor);
