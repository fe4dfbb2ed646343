#include "platform/windows_family.h"

#include "platform/platform.h"

bool IsWindows95Family() { return (GetVersion() & 0x80000000u) != 0; }

bool IsBeforeWindows2000() { return IsWindows95Family() || (GetVersion() & 0xFF) < 5; }

bool IsNotImplemented(int32_t code) { return code == ERROR_CALL_NOT_IMPLEMENTED; }

int32_t LastErrorOr(int32_t fallback) {
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? static_cast<int32_t>(code) : fallback;
}
