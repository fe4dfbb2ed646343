// Files read through the C runtime's buffered streams, as the signature check reads them.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens `path` "rb"; nullptr on failure. Closed with fclose.
FILE* OpenReadStream(const char* path);

// Reads up to `size` bytes: false only on a read error, not at the file's end.
bool ReadStreamBytes(FILE* stream, void* buffer, size_t size);
