// Implemented in platform/win32/append_file.cpp and, natively, winsim/append_file.cpp.
// A file that several programs append to at once, such as a log shared by
// every machine that runs the program from one network folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/file_name.h"

// Opens the file as a text stream for appending only, creating it when it is
// missing; others may read and append meanwhile. nullptr when it cannot be
// opened. The caller writes with AppendToStream and closes with fclose.
FILE* OpenAppendStream(const FileName& name);

// Writes `size` bytes of text at the file's end in one piece and flushes
// them: no other program appending through AppendToStream writes into them
// or over them. 0, or the code of the write that failed (the file may then
// hold part of the text).
int32_t AppendToStream(FILE* stream, const char* text, size_t size);
