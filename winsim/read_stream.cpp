// Native layer: the C library's buffered streams, with each open and each
// read recorded, and failing when a fault is injected into it.
#include "platform/read_stream.h"

#include "winsim/layer.h"

FILE* OpenReadStream(const char* path) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "OpenReadStream", "%s", path != nullptr ? path : "NULL")) {
        return nullptr;
    }
    return fopen(path, "rb");
}

// A read made to fail reads nothing, as a failing disk would.
bool ReadStreamBytes(FILE* stream, void* buffer, size_t size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "ReadStreamBytes", "%zu", size)) return false;
    fread(buffer, 1, size, stream);
    return ferror(stream) == 0;
}
