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

// What to do with each subkey: `visit` with the child open and the path
// naming it; then, once the child is closed again, `leave` (may be nullptr)
// with the parent and the child's name. A non-zero return from either stops
// the walk with that code.
struct SubkeyVisitor {
    int32_t (*visit)(void* context, HKEY child, SubkeyPath* path);
    int32_t (*leave)(void* context, HKEY parent, const char* name);
    void* context;
};

// Visits every subkey of the open `key`, whose path `path` holds, from the
// highest index down (the count is read once), so that a visitor may delete
// the child it was given; a walk that runs out of subkeys early ends there.
// Returns 0 or the first failure, where the walk stops:
// - RegQueryInfoKeyA's, RegEnumKeyA's (ERROR_MORE_DATA for a name of
//   kNameSize bytes or more: a name cut short would open another key),
//   RegEnumKeyW's or RegOpenKeyA's code;
// - ERROR_NO_UNICODE_TRANSLATION for a name the A call gave with best fits;
// - ERROR_BADKEY for an empty name or one holding a backslash (it would open
//   this key again, or another one);
// - ERROR_INSUFFICIENT_BUFFER when the child's path would not fit the buffer;
// - the visitor's.
// `key` stays open; every child is closed again, and path->text is given
// back as it came.
int32_t WalkSubkeys(HKEY key, SubkeyPath* path, const SubkeyVisitor& visitor);
