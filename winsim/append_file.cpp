// Native layer: appending through a POSIX descriptor opened with O_APPEND,
// whose every write lands at the end as one piece. The two steps of an
// append are recorded, and can be made to fail, as the C runtime calls that
// the Windows program makes: "fwrite(<size>)" and "fflush", between the
// turn's LockFile and UnlockFile.
#include "platform/append_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <string>

#include "platform/write_turn.h"
#include "winsim/code_page.h"
#include "winsim/layer.h"

namespace {

DWORD WriteError() { return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED; }

// The two steps of one append: the text into the stream's buffer, which holds
// it whole, and the flush, one write.
int32_t AppendWhole(FILE* stream, const char* text, size_t size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "fwrite", "%zu", size)) return static_cast<int32_t>(fault);
    if (fwrite(text, 1, size, stream) != size) return static_cast<int32_t>(WriteError());
    DWORD code = 0;
    if (!winsim::CallFails(&code, "fflush", "%s", "") && fflush(stream) == 0) return 0;
    if (code == 0) code = WriteError();
    // As Windows' C runtime after a failed write: what the buffer held is lost.
    __fpurge(stream);
    return static_cast<int32_t>(code);
}

}  // namespace

FILE* OpenAppendStream(const FileName& name) {
    const WCHAR* opening = nullptr;
    std::string host;
    DWORD error = 0;
    if (ChooseOpeningName(name, &opening) != 0 ||
        !winsim::HostFileName(name.shown, opening, &host, &error)) {
        return nullptr;
    }
    const int descriptor = open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (descriptor < 0) return nullptr;
    FILE* stream = fdopen(descriptor, "a");
    if (stream == nullptr) close(descriptor);
    return stream;
}

int32_t AppendToStream(FILE* stream, const char* text, size_t size) {
    // Turns as the Windows program takes them, though O_APPEND needs none.
    const HANDLE turn = reinterpret_cast<HANDLE>(static_cast<intptr_t>(fileno(stream)));
    const bool locked = TakeWriteTurn(turn);
    const int32_t code = AppendWhole(stream, text, size);
    if (locked) EndWriteTurn(turn);
    return code;
}
