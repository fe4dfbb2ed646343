#include "platform/file_name.h"

#include <cstring>

#include "common/wide_text.h"
#include "platform/windows_family.h"

namespace {

// A file name's exact wide form, and the name it is opened by: room for
// "\\?\UNC" before a full path.
WCHAR exact_name[kLongPathUnits];
WCHAR opening_name[kLongPathUnits + 6];

}  // namespace

size_t WideFolderLength(const WCHAR* path) {
    size_t length = 0;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (path[i] < 0x80 && IsFolderSeparator(static_cast<char>(path[i]))) length = i + 1;
    }
    return length;
}

int32_t ChooseOpeningName(const char* shown, const WCHAR* exact, const WCHAR** name) {
    *name = exact;
    // ANSI text has no fewer bytes than characters: a short one is short.
    if ((exact == nullptr && strlen(shown) < MAX_PATH) || IsWindows95Family()) return 0;
    if (exact == nullptr) {
        if (MultiByteToWideChar(CP_ACP, 0, shown, -1, exact_name, kLongPathUnits) == 0) {
            return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
        }
        exact = exact_name;
    }
    if (WideLength(exact, kLongPathUnits) < MAX_PATH) return 0;
    WCHAR* full = opening_name + 6;
    const DWORD length = GetFullPathNameW(exact, kLongPathUnits, full, nullptr);
    if (length == 0) return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
    if (length >= kLongPathUnits) return ERROR_FILENAME_EXCED_RANGE;
    static const WCHAR kUnc[] = {'\\', '\\', '?', '\\', 'U', 'N', 'C'};
    *name = full;
    if (full[0] != '\\' || full[1] != '\\') {
        // "C:\..." becomes "\\?\C:\...".
        *name = full - 4;
        memcpy(opening_name + 2, kUnc, 4 * sizeof(WCHAR));
    } else if (full[2] != '?' && full[2] != '.') {
        // "\\server\share\..." becomes "\\?\UNC\server\share\...".
        *name = opening_name;
        memcpy(opening_name, kUnc, sizeof kUnc);
    }
    return 0;
}

int32_t CreateNewFile(const char* shown, const WCHAR* exact, HANDLE* file) {
    *file = INVALID_HANDLE_VALUE;
    const WCHAR* opening = nullptr;
    const int32_t code = ChooseOpeningName(shown, exact, &opening);
    if (code != 0) return code;
    // Created new, never opened: a link planted at the name makes it fail.
    const HANDLE handle = opening != nullptr
                              ? CreateFileW(opening, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)
                              : CreateFileA(shown, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const int32_t failure = LastErrorOr(ERROR_ACCESS_DENIED);
        return failure == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : failure;
    }
    *file = handle;
    return 0;
}

int32_t DeleteNamedFile(const char* shown, const WCHAR* exact) {
    const WCHAR* opening = nullptr;
    const int32_t code = ChooseOpeningName(shown, exact, &opening);
    if (code != 0) return code;
    const BOOL deleted = opening != nullptr ? DeleteFileW(opening) : DeleteFileA(shown);
    return deleted ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
}
