// A file several programs append to at once, such as a log in a shared network folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/file_name.h"

// Opens (or creates) the file as an append-only text stream, shared with other writers;
// nullptr on failure. Written with AppendToStream, closed with fclose.
FILE* OpenAppendStream(const FileName& name);

// Writes and flushes the text at the file's end in one piece, untorn by other appenders:
// 0, or the failed write's code (part of the text may then be in the file).
int32_t AppendToStream(FILE* stream, const char* text, size_t size);
