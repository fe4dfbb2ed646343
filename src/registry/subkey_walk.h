// The walk over a key's subkeys, for deleting and for saving a tree: each
// name checked to be the key's own and opened as it stands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The walked key's path in the caller's buffer; a child's name is appended while it is visited.
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

// Visits the subkeys of `key` from the highest index down, so a visitor may
// delete its child; stops at the first failure, a name it could not open as
// stored included. `key` and path->text come back as they came.
int32_t WalkSubkeys(HKEY key, SubkeyPath* path, const SubkeyVisitor& visitor);
