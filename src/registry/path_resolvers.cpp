#include "registry/path_resolvers.h"

#include <cstring>

#include "platform/platform.h"
#include "platform/windows_family.h"
#include "registry/registry_limits.h"
#include "registry/registry_root.h"

namespace {

// What GetComputerNameA and GetUserNameA are asked for, terminator included:
// the longest computer name (15) and user name (256) Windows allows, plus 1.
constexpr DWORD kComputerNameSize = 16;
constexpr DWORD kUserNameSize = 257;

uint32_t BoundedLength(const char* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length] != '\0') ++length;
    return static_cast<uint32_t>(length);
}

// 0, the call's error, or ERROR_INTERNAL_ERROR for a folder that does not fit.
int32_t FolderResult(UINT returned, uint32_t* written) {
    *written = returned;
    if (returned == 0) return LastErrorOr(ERROR_INTERNAL_ERROR);
    if (returned > kFolderSize) return ERROR_INTERNAL_ERROR;
    return 0;
}

int32_t ResolveWindows(char* out, uint32_t* written) {
    return FolderResult(GetWindowsDirectoryA(out, kFolderSize), written);
}

int32_t ResolveSystem(char* out, uint32_t* written) {
    return FolderResult(GetSystemDirectoryA(out, kFolderSize), written);
}

int32_t ResolveTemp(char* out, uint32_t* written) {
    return FolderResult(GetTempPathA(kFolderSize, out), written);
}

int32_t ResolveComputerName(char* out, uint32_t* written) {
    DWORD size = kComputerNameSize;
    if (!GetComputerNameA(out, &size)) return LastErrorOr(ERROR_INTERNAL_ERROR);
    *written = BoundedLength(out, kComputerNameSize);
    return 0;
}

int32_t ResolveUserName(char* out, uint32_t* written) {
    DWORD size = kUserNameSize;
    if (!GetUserNameA(out, &size)) return LastErrorOr(ERROR_INTERNAL_ERROR);
    *written = BoundedLength(out, kUserNameSize);
    return 0;
}

int32_t ResolveProgramFiles(char* out, uint32_t* written) {
    int32_t result = ReadRegistryString(
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", out);
    if (result != 0) return result;
    *written = BoundedLength(out, kFolderSize);
    return 0;
}

int32_t ResolveUserId(char* out, uint32_t* written) {
    int32_t result = ReadRegistryString("HKEY_CURRENT_USER\\Identities", "Default User ID", out);
    if (result != 0) return result;
    *written = BoundedLength(out, kFolderSize);
    return 0;
}

// A table row whose compared length is the token's own, counted by the compiler.
template <size_t N>
constexpr PathVariable Variable(const char (&token)[N], PathResolver resolver) {
    return PathVariable{token, static_cast<uint32_t>(N - 1), resolver};
}

}  // namespace

const PathVariable kPathVariables[kPathVariableCount] = {
    Variable("%Windows%", ResolveWindows),
    Variable("%System%", ResolveSystem),
    Variable("%ProgramFiles%", ResolveProgramFiles),
    Variable("%ComputerName%", ResolveComputerName),
    Variable("%UserName%", ResolveUserName),
    Variable("%UserID%", ResolveUserId),
    Variable("%Temp%", ResolveTemp),
};

int32_t ReadRegistryString(const char* key_path, const char* value_name, char* output) {
    HKEY root = nullptr;
    const char* sub_key = nullptr;
    int32_t result = ParseRegistryRoot(key_path, &root, &sub_key);
    if (result != 0) return result;
    HKEY key = nullptr;
    result = RegOpenKeyA(root, sub_key, &key);
    if (result != 0) return result;
    DWORD type = 0;
    DWORD size = kFolderSize;
    LONG query =
        RegQueryValueExA(key, value_name, nullptr, &type, reinterpret_cast<BYTE*>(output), &size);
    RegCloseKey(key);
    if (query != ERROR_SUCCESS) return query;
    if (size > kFolderSize) return ERROR_MORE_DATA;  // a system that overstates what it wrote
    // Data without a NUL is terminated here; if it fills every byte, it does not fit as text.
    if (memchr(output, '\0', size) == nullptr) {
        if (size == kFolderSize) return ERROR_MORE_DATA;
        output[size] = '\0';
    }
    return 0;
}
