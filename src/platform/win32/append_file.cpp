// Appending on Windows: a handle that may only append, under a C runtime
// stream in text mode, and a lock that lets one writer at a time at the end.
#include "platform/append_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/windows_family.h"
#include "platform/write_turn.h"

FILE* OpenAppendStream(const FileName& name) {
    // Without FILE_WRITE_DATA the system writes at the end whatever the file
    // pointer says; read access is what locking asks for. The 95 family
    // knows only the generic rights.
    const DWORD access =
        IsWindows95Family() ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ | FILE_APPEND_DATA;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (OpenNamedFile(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, &file) != 0) {
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_TEXT);
    if (descriptor == -1) {
        CloseHandle(file);
        return nullptr;
    }
    FILE* stream = _fdopen(descriptor, "at");
    if (stream == nullptr) _close(descriptor);  // closes the handle with it
    return stream;
}

int32_t AppendToStream(FILE* stream, const char* text, size_t size) {
    // An append-only handle alone is not enough everywhere (some systems find
    // the end and write there in two steps), so writers also take turns.
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    const bool locked = file != INVALID_HANDLE_VALUE && TakeWriteTurn(file);
    // The C runtime leaves the system's code of a failed write; a write
    // short of room fails without one.
    SetLastError(ERROR_SUCCESS);
    const bool written = fwrite(text, 1, size, stream) == size;
    const int32_t code = fflush(stream) == 0 && written ? 0 : LastErrorOr(ERROR_DISK_FULL);
    if (locked) EndWriteTurn(file);
    return code;
}
