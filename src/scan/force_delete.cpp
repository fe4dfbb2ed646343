#include "scan/force_delete.h"

#include "platform/platform.h"

namespace {

constexpr int kDeleteAttempts = 5;
constexpr DWORD kWindows95Family = 0x80000000u;

// A failed call that left no error code must still not read as success.
int32_t FailureCode(DWORD error) {
    return error != ERROR_SUCCESS ? static_cast<int32_t>(error) : ERROR_INTERNAL_ERROR;
}

}  // namespace

int32_t ForceDeleteFile(const char* path) {
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        // Without the attribute change a read-only file cannot be deleted.
        if (SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(path)) return 0;
    }
    const int32_t error = FailureCode(GetLastError());
    if (!IsWindowsNT()) return error;
    if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return 0;
    return FailureCode(GetLastError());
}

bool IsWindowsNT() { return (GetVersion() & kWindows95Family) == 0; }
