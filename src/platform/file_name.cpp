#include "platform/file_name.h"

#include <cstring>

#include "common/text_compare.h"
#include "common/wide_text.h"
#include "platform/windows_family.h"

namespace {

// Puts the ASCII `name` after the first `length` units of `wide`, a
// kLongPathUnits buffer; false when it and the NUL do not fit.
bool AppendAscii(WCHAR* wide, size_t length, const char* name) {
    const size_t name_length = strlen(name);
    if (length + name_length + 1 > kLongPathUnits) return false;
    for (size_t i = 0; i <= name_length; ++i) wide[length + i] = static_cast<BYTE>(name[i]);
    return true;
}

// Why a module file name call gave no path, or 0.
int32_t ModulePathFailure(DWORD length, size_t size) {
    if (length == 0) return LastErrorOr(ERROR_INTERNAL_ERROR);
    return length >= size ? ERROR_FILENAME_EXCED_RANGE : 0;
}

// Reads the program's path, with its exact spelling where the ANSI one is a
// best fit: 0, or why the path cannot be told.
int32_t ReadProgramPath(FileName* name) {
    const DWORD length = GetModuleFileNameA(nullptr, name->shown, kLongPathSize);
    int32_t code = ModulePathFailure(length, kLongPathSize);
    name->shown[code == 0 ? length : 0] = '\0';
    const DWORD units = GetModuleFileNameW(nullptr, name->exact, kLongPathUnits);
    // The 95 family has no W call: the ANSI path is the file system's own.
    if (units == 0 && IsNotImplemented(static_cast<int32_t>(GetLastError()))) return code;
    if (code == 0) code = ModulePathFailure(units, kLongPathUnits);
    if (code != 0) return code;
    bool same = false;
    name->has_exact = CompareWidened(name->shown, length, name->exact, units, &same) != 0 || !same;
    return 0;
}

}  // namespace

size_t WideFolderLength(const WCHAR* path) {
    size_t length = 0;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (path[i] < 0x80 && IsFolderSeparator(static_cast<char>(path[i]))) length = i + 1;
    }
    return length;
}

int32_t ChooseOpeningName(const FileName& name, const WCHAR** opening) {
    // The wide form of an exact ANSI name, and the "\\?\UNC" form before a
    // full path: what *opening points into.
    static WCHAR widened[kLongPathUnits];
    static WCHAR opening_name[kLongPathUnits + 6];
    const WCHAR* exact = name.has_exact ? name.exact : nullptr;
    *opening = exact;
    // ANSI text has no fewer bytes than characters: a short one is short.
    if ((exact == nullptr && strlen(name.shown) < MAX_PATH) || IsWindows95Family()) return 0;
    if (exact == nullptr) {
        if (MultiByteToWideChar(CP_ACP, 0, name.shown, -1, widened, kLongPathUnits) == 0) {
            return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
        }
        exact = widened;
    }
    if (WideLength(exact, kLongPathUnits) < MAX_PATH) return 0;
    WCHAR* full = opening_name + 6;
    const DWORD length = GetFullPathNameW(exact, kLongPathUnits, full, nullptr);
    if (length == 0) return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
    if (length >= kLongPathUnits) return ERROR_FILENAME_EXCED_RANGE;
    static const WCHAR kUnc[] = {'\\', '\\', '?', '\\', 'U', 'N', 'C'};
    *opening = full;
    if (full[0] != '\\' || full[1] != '\\') {
        // "C:\..." becomes "\\?\C:\...".
        *opening = full - 4;
        memcpy(opening_name + 2, kUnc, 4 * sizeof(WCHAR));
    } else if (full[2] != '?' && full[2] != '.') {
        // "\\server\share\..." becomes "\\?\UNC\server\share\...".
        *opening = opening_name;
        memcpy(opening_name, kUnc, sizeof kUnc);
    }
    return 0;
}

int32_t OpenNamedFile(const FileName& name, DWORD access, DWORD share, DWORD disposition,
                      HANDLE* file) {
    *file = INVALID_HANDLE_VALUE;
    const WCHAR* opening = nullptr;
    const int32_t code = ChooseOpeningName(name, &opening);
    if (code != 0) return code;
    *file = opening != nullptr ? CreateFileW(opening, access, share, nullptr, disposition,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)
                               : CreateFileA(name.shown, access, share, nullptr, disposition,
                                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (*file != INVALID_HANDLE_VALUE) return 0;
    const int32_t failure = LastErrorOr(ERROR_ACCESS_DENIED);
    return failure == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : failure;
}

int32_t DeleteNamedFile(const FileName& name) {
    const WCHAR* opening = nullptr;
    const int32_t code = ChooseOpeningName(name, &opening);
    if (code != 0) return code;
    const BOOL deleted = opening != nullptr ? DeleteFileW(opening) : DeleteFileA(name.shown);
    return deleted ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
}

int32_t NameBesideProgram(const char* file, FileName* name) {
    name->has_exact = false;
    int32_t code = ReadProgramPath(name);
    if (code == 0 && name->has_exact &&
        (!AppendAscii(name->exact, WideFolderLength(name->exact), file) ||
         !ShowExactly(name->exact, name->shown, kLongPathSize))) {
        code = ERROR_BAD_PATHNAME;
    }
    size_t folder = code == 0 ? FolderLength(name->shown) : 0;
    if (code == 0 && (folder == 0 || folder + strlen(file) + 1 > kLongPathSize)) {
        code = ERROR_BAD_PATHNAME;
    }
    if (code != 0) {
        name->has_exact = false;
        folder = 0;
    }
    memcpy(name->shown + folder, file, strlen(file) + 1);
    return code;
}
