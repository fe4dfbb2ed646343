// Deleting a registry value, or a key with its whole subtree.
#include <cstring>

#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/text_compare.h"

namespace {

// 0 or the first failure's code; the key is closed on every return.
int32_t DeleteValue(const char* path, const char* value_name) {
    char name[kNameSize];
    int32_t result = ExpandPathVariables(value_name, name, sizeof name);
    if (result != 0) return result;
    return DeleteRegistryValueNamed(path, name);
}

// Deletes every subkey of the open `key` (which `path` names), highest index
// first. 0 or the first failure's code; `key` stays open for the caller.
int32_t DeleteSubkeys(HKEY key, const char* path, DWORD count) {
    char child[kKeyPathSize];
    size_t base = strlen(path);
    if (base + 1 >= sizeof child) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(child, path, base + 1);
    if (base == 0 || child[base - 1] != '\\') {
        child[base++] = '\\';
        child[base] = '\0';
    }
    char name[kNameSize];
    for (DWORD index = count; index-- > 0;) {
        name[0] = '\0';
        LONG result = RegEnumKeyA(key, index, name, sizeof name);
        if (result == ERROR_NO_MORE_ITEMS) break;  // subkeys went away meanwhile
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return result;
        name[sizeof name - 1] = '\0';
        size_t length = strlen(name);
        // ERROR_MORE_DATA counts as success only with a name in hand: an empty
        // name would turn the child's path into this key's own.
        if (length == 0) return result != ERROR_SUCCESS ? result : ERROR_BADKEY;
        if (base + length >= sizeof child) return ERROR_INSUFFICIENT_BUFFER;
        memcpy(child + base, name, length + 1);
        int32_t deleted = DeleteRegistryItem(child, nullptr);
        if (deleted != 0) return deleted;
    }
    return 0;
}

// 0 or the first failure's code; nothing stays open.
int32_t DeleteKeyTree(const char* path) {
    char work[kKeyPathSize];
    size_t length = strlen(path);
    if (length >= sizeof work) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(work, path, length + 1);
    if (length > 0 && work[length - 1] == '\\') work[--length] = '\0';
    if (FindLastBackslash(work) == nullptr) return ERROR_BADKEY;  // a root itself

    HKEY key = nullptr;
    int32_t result = OpenRegistryPath(path, &key);
    if (result != 0) return result;
    DWORD count = 0;
    result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    if (result == 0 && count > 0) result = DeleteSubkeys(key, path, count);
    RegCloseKey(key);
    if (result != 0) return result;

    // Split into the parent's path and the key's own name.
    char* slash = const_cast<char*>(FindLastBackslash(work));
    char name[kNameSize];
    size_t name_length = strlen(slash + 1);
    if (name_length >= sizeof name) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(name, slash + 1, name_length + 1);
    *slash = '\0';
    // A root parent keeps its backslash: the path parser wants "HKEY_...\".
    if (FindLastBackslash(work) == nullptr) {
        slash[0] = '\\';
        slash[1] = '\0';
    }
    HKEY parent = nullptr;
    result = OpenRegistryPath(work, &parent);
    if (result != 0) return result;
    LONG deleted = RegDeleteKeyA(parent, name);
    RegCloseKey(parent);
    return deleted;
}

}  // namespace

int32_t DeleteRegistryValueNamed(const char* path, const char* name) {
    HKEY key = nullptr;
    int32_t result = OpenRegistryPath(path, &key);
    if (result != 0) return result;
    LONG deleted = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return deleted;
}

int32_t DeleteRegistryItem(const char* path, const char* value_name) {
    return value_name != nullptr ? DeleteValue(path, value_name) : DeleteKeyTree(path);
}
