// Reading on Windows: the C runtime's own buffered streams.
#include "platform/read_stream.h"

FILE* OpenReadStream(const char* path) { return fopen(path, "rb"); }

bool ReadStreamBytes(FILE* stream, void* buffer, size_t size) {
    fread(buffer, 1, size, stream);
    return ferror(stream) == 0;
}
