// Opening a key by its full registry path.
#include "registry/registry_path.h"

#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/text_compare.h"

namespace {

struct RootName {
    const char* name;  // after "HKEY_"
    size_t length;
    HKEY key;
};

// Tested in this order, each as a prefix over its own length.
const RootName kRootNames[] = {
    {"CLASSES_ROOT", 12, HKEY_CLASSES_ROOT},
    {"CURRENT_CONFIG", 14, HKEY_CURRENT_CONFIG},
    {"CURRENT_USER", 12, HKEY_CURRENT_USER},
    {"LOCAL_MACHINE", 13, HKEY_LOCAL_MACHINE},
    {"USERS", 5, HKEY_USERS},
    {"PERFORMANCE_DATA", 16, HKEY_PERFORMANCE_DATA},
    {"DYN_DATA", 8, HKEY_DYN_DATA},
};

}  // namespace

int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key) {
    const char* p = path;
    while (*p == ' ' || *p == '\t') ++p;
    if (CompareNoCase(p, "HKEY_", 5) != 0) return ERROR_BADKEY;
    p += 5;
    for (const RootName& candidate : kRootNames) {
        if (CompareNoCase(p, candidate.name, candidate.length) != 0) continue;
        p += candidate.length;
        if (*p != '\\') return ERROR_BADKEY;
        *root = candidate.key;
        *sub_key = p + 1;
        return 0;
    }
    return ERROR_BADKEY;
}

int32_t OpenRegistryPath(const char* path, HKEY* key) {
    *key = nullptr;
    HKEY root = nullptr;
    const char* rest = nullptr;
    int32_t result = ParseRegistryRoot(path, &root, &rest);
    if (result != 0) return result;
    char subkey[kKeyPathSize];
    result = ExpandPathVariables(rest, subkey, sizeof subkey);
    if (result != 0) return result;
    return RegOpenKeyA(root, subkey, key);
}
