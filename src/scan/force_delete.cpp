#include "scan/force_delete.h"

#include "platform/platform.h"
#include "platform/windows_family.h"

namespace {

constexpr int kDeleteAttempts = 5;

}  // namespace

int32_t ForceDeleteFile(const char* path) {
    if (path == nullptr) return ERROR_INVALID_PARAMETER;
    for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
        // Without the attribute change a read-only file cannot be deleted.
        if (SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(path)) return 0;
    }
    const int32_t error = LastErrorOr(ERROR_INTERNAL_ERROR);
    // The 95 family has no deletion at restart.
    if (IsWindows95Family()) return error;
    if (MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return 0;
    return LastErrorOr(ERROR_INTERNAL_ERROR);
}
