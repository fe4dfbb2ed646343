// Opening a key by its full registry path.
#include "registry/registry_path.h"

#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/text_compare.h"

namespace {

constexpr char kRootPrefix[] = "HKEY_";
constexpr size_t kRootPrefixLength = sizeof kRootPrefix - 1;

struct RootName {
    const char* name;  // after "HKEY_"
    size_t length;
    HKEY key;
};

// A table row whose compared length is the name's own, counted by the compiler.
template <size_t N>
constexpr RootName Root(const char (&name)[N], HKEY key) {
    return RootName{name, N - 1, key};
}

// Tested in this order, each as a prefix over its own length.
const RootName kRootNames[] = {
    Root("CLASSES_ROOT", HKEY_CLASSES_ROOT),
    Root("CURRENT_CONFIG", HKEY_CURRENT_CONFIG),
    Root("CURRENT_USER", HKEY_CURRENT_USER),
    Root("LOCAL_MACHINE", HKEY_LOCAL_MACHINE),
    Root("USERS", HKEY_USERS),
    Root("PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA),
    Root("DYN_DATA", HKEY_DYN_DATA),
};

}  // namespace

int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key) {
    const char* p = path;
    while (*p == ' ' || *p == '\t') ++p;
    if (CompareNoCase(p, kRootPrefix, kRootPrefixLength) != 0) return ERROR_BADKEY;
    p += kRootPrefixLength;
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
