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

int32_t DeleteSubtree(HKEY parent, const char* name, size_t path_length);

// Deletes every subkey of the open `key`, whose full path is `path_length`
// bytes long, highest index first. 0 or the first failure's code; `key`
// stays open for the caller.
int32_t DeleteSubkeys(HKEY key, size_t path_length) {
    DWORD count = 0;
    LONG result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    char name[kNameSize];
    for (DWORD index = count; index-- > 0;) {
        name[0] = '\0';
        result = RegEnumKeyA(key, index, name, sizeof name);
        if (result == ERROR_NO_MORE_ITEMS) break;  // subkeys went away meanwhile
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return result;
        name[sizeof name - 1] = '\0';
        size_t length = strlen(name);
        // ERROR_MORE_DATA counts as success only with a name in hand: an empty
        // name would open this key itself again.
        if (length == 0) return result != ERROR_SUCCESS ? result : ERROR_BADKEY;
        // A backslash would make the name a path to some other key.
        if (FindLastBackslash(name) != nullptr) return ERROR_BADKEY;
        // Every key of the tree keeps a full path that fits a key-path buffer,
        // which also bounds the depth of this recursion.
        size_t child_length = path_length + 1 + length;
        if (child_length >= kKeyPathSize) return ERROR_INSUFFICIENT_BUFFER;
        int32_t deleted = DeleteSubtree(key, name, child_length);
        if (deleted != 0) return deleted;
    }
    return 0;
}

// Deletes the subkey `name` of the open `parent` with its subtree. The name
// is opened as it stands: names found by enumeration are never expanded.
// 0 or the first failure's code; every key opened here is closed.
int32_t DeleteSubtree(HKEY parent, const char* name, size_t path_length) {
    HKEY key = nullptr;
    LONG opened = RegOpenKeyA(parent, name, &key);
    if (opened != ERROR_SUCCESS) return opened;
    int32_t result = DeleteSubkeys(key, path_length);
    RegCloseKey(key);
    if (result != 0) return result;
    return RegDeleteKeyA(parent, name);
}

// A key to delete, named once and for all by the caller's expanded path.
struct KeyTreePath {
    HKEY root;
    char sub_key[kKeyPathSize];  // below the root, opened as it stands
    char parent[kKeyPathSize];   // the parent's path below the root ("" for the root)
    char name[kNameSize];        // the key's own name within its parent
    size_t length;               // of the full path, trailing backslash not counted
};

// Expands the path's variables once and splits it into parent and own name.
// 0, ERROR_BADKEY (1010) for a malformed path or one naming a root, the
// expansion's code, or ERROR_INSUFFICIENT_BUFFER.
int32_t ResolveKeyTreePath(const char* path, KeyTreePath* out) {
    const char* rest = nullptr;
    int32_t result = ParseRegistryRoot(path, &out->root, &rest);
    if (result != 0) return result;
    result = ExpandPathVariables(rest, out->sub_key, sizeof out->sub_key);
    if (result != 0) return result;
    size_t length = strlen(out->sub_key);
    memcpy(out->parent, out->sub_key, length + 1);
    if (length > 0 && out->parent[length - 1] == '\\') out->parent[--length] = '\0';
    out->length = static_cast<size_t>(rest - path) + length;
    char* slash = const_cast<char*>(FindLastBackslash(out->parent));
    const char* own = slash != nullptr ? slash + 1 : out->parent;
    size_t name_length = strlen(own);
    if (name_length == 0) return ERROR_BADKEY;  // would name the parent, or the root
    if (name_length >= sizeof out->name) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(out->name, own, name_length + 1);
    if (slash != nullptr) {
        *slash = '\0';
    } else {
        out->parent[0] = '\0';  // directly below the root
    }
    return 0;
}

// 0 or the first failure's code; nothing stays open.
int32_t DeleteKeyTree(const char* path) {
    // A root itself ("HKEY_...\") is refused before anything is expanded.
    char work[kKeyPathSize];
    size_t length = strlen(path);
    if (length >= sizeof work) return ERROR_INSUFFICIENT_BUFFER;
    memcpy(work, path, length + 1);
    if (length > 0 && work[length - 1] == '\\') work[--length] = '\0';
    if (FindLastBackslash(work) == nullptr) return ERROR_BADKEY;

    KeyTreePath tree;
    int32_t result = ResolveKeyTreePath(path, &tree);
    if (result != 0) return result;
    HKEY key = nullptr;
    result = RegOpenKeyA(tree.root, tree.sub_key, &key);
    if (result != 0) return result;
    result = DeleteSubkeys(key, tree.length);
    RegCloseKey(key);
    if (result != 0) return result;

    HKEY parent = nullptr;
    result = RegOpenKeyA(tree.root, tree.parent, &parent);
    if (result != 0) return result;
    LONG deleted = RegDeleteKeyA(parent, tree.name);
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
