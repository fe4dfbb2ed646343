// Implemented in platform/win32/read_stream.cpp and, natively, winsim/read_stream.cpp.
// A file read through the C runtime's buffered streams, as the signature
// check reads the files it examines.
#pragma once

#include <cstddef>
#include <cstdio>

// Opens `path` for binary reading ("rb"); nullptr when it cannot be opened.
// The caller closes the stream with fclose.
FILE* OpenReadStream(const char* path);

// Reads up to `size` bytes from the stream's position into `buffer`. False
// when the stream reports a read error; a read cut short by the file's end
// is none (the bytes past it are left as they were).
bool ReadStreamBytes(FILE* stream, void* buffer, size_t size);
