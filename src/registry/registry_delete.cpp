#include "registry/registry_delete.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/text_compare.h"
#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/registry_root.h"
#include "registry/subkey_walk.h"

namespace {

// 0 or the first failure's code; the key is closed on every return.
int32_t DeleteValue(const char* path, const char* value_name) {
    char name[kNameSize];
    int32_t result = ExpandPathVariables(value_name, name, sizeof name);
    if (result != 0) return result;
    return DeleteRegistryValueNamed(path, name);
}

// Deletes the subkeys of the open `key` depth first: 0 or the first failure.
int32_t DeleteSubkeys(HKEY key, SubkeyPath* path);

int32_t DeleteChildSubkeys(void*, HKEY child, SubkeyPath* path) {
    return DeleteSubkeys(child, path);
}

int32_t DeleteChild(void*, HKEY parent, const char* name) { return RegDeleteKeyA(parent, name); }

int32_t DeleteSubkeys(HKEY key, SubkeyPath* path) {
    return WalkSubkeys(key, path, SubkeyVisitor{DeleteChildSubkeys, DeleteChild, nullptr});
}

// A key to delete, named once and for all by the caller's expanded path.
struct KeyTreePath {
    HKEY root;
    char sub_key[kKeyPathSize];  // below the root, opened as it stands
    char parent[kKeyPathSize];   // the parent's path below the root ("" for the root)
    char name[kNameSize];        // the key's own name within its parent
    char full[kKeyPathSize];     // "HKEY_<root>\<sub_key>", trailing backslash cut
};

// Expands the path's variables once and splits it into parent and own name.
// 0, ERROR_BADKEY (1010) for a malformed path or one naming a root, the
// expansion's code, or ERROR_INSUFFICIENT_BUFFER.
int32_t ResolveKeyTreePath(const char* path, KeyTreePath* out) {
    const char* rest = nullptr;
    const char* root_name = nullptr;
    int32_t result = ParseRegistryRoot(path, &out->root, &rest, &root_name);
    if (result != 0) return result;
    result = ExpandPathVariables(rest, out->sub_key, sizeof out->sub_key);
    if (result != 0) return result;
    size_t length = strlen(out->sub_key);
    memcpy(out->parent, out->sub_key, length + 1);
    if (length > 0 && out->parent[length - 1] == '\\') out->parent[--length] = '\0';
    // Every key of the tree keeps a full path that fits a key-path buffer,
    // which also bounds the depth of the walk.
    if (FormatBounded(out->full, sizeof out->full, "HKEY_%s\\%s", root_name, out->parent) < 0) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
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
    SubkeyPath subkeys = {tree.full, strlen(tree.full), sizeof tree.full};
    result = DeleteSubkeys(key, &subkeys);
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
