// Native layer: appending through a POSIX descriptor opened with O_APPEND,
// whose every write lands at the end as one piece.
#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "winsim/code_page.h"

FILE* OpenAppendStream(const char* path, const WCHAR* wide_path) {
    const std::string host = wide_path != nullptr ? winsim::HostPath(wide_path) : path;
    const int descriptor = open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (descriptor < 0) return nullptr;
    FILE* stream = fdopen(descriptor, "a");
    if (stream == nullptr) close(descriptor);
    return stream;
}

void AppendToStream(FILE* stream, const char* text, size_t size) {
    // The stream's buffer holds the whole text, so the flush is one write.
    fwrite(text, 1, size, stream);
    fflush(stream);
}
