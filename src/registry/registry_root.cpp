#include "registry/registry_root.h"

#include <cstddef>

#include "common/text_compare.h"

namespace {

constexpr char kRootPrefix[] = "HKEY_";
constexpr size_t kRootPrefixLength = sizeof kRootPrefix - 1;

struct RootName {
    const char* name;  // after "HKEY_"
    size_t length;
};

// A table row whose compared length is the name's own, counted by the compiler.
template <size_t N>
constexpr RootName Root(const char (&name)[N]) {
    return RootName{name, N - 1};
}

// Tested in this order, each as a prefix over its own length. The handles
// are casts that no constant table can hold: RootKey gives them by row.
constexpr RootName kRootNames[] = {
    Root("CLASSES_ROOT"), Root("CURRENT_CONFIG"),   Root("CURRENT_USER"), Root("LOCAL_MACHINE"),
    Root("USERS"),        Root("PERFORMANCE_DATA"), Root("DYN_DATA"),
};

HKEY RootKey(size_t row) {
    switch (row) {
        case 0:
            return HKEY_CLASSES_ROOT;
        case 1:
            return HKEY_CURRENT_CONFIG;
        case 2:
            return HKEY_CURRENT_USER;
        case 3:
            return HKEY_LOCAL_MACHINE;
        case 4:
            return HKEY_USERS;
        case 5:
            return HKEY_PERFORMANCE_DATA;
        default:
            return HKEY_DYN_DATA;
    }
}

}  // namespace

int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key,
                          const char** root_name) {
    const char* p = path;
    while (*p == ' ' || *p == '\t') ++p;
    if (CompareNoCase(p, kRootPrefix, kRootPrefixLength) != 0) return ERROR_BADKEY;
    p += kRootPrefixLength;
    for (size_t row = 0; row < sizeof kRootNames / sizeof kRootNames[0]; ++row) {
        const RootName& candidate = kRootNames[row];
        if (CompareNoCase(p, candidate.name, candidate.length) != 0) continue;
        // The root's whole name, and a backslash right after it.
        if (p[candidate.length] != '\\') return ERROR_BADKEY;
        *root = RootKey(row);
        *sub_key = p + candidate.length + 1;
        if (root_name != nullptr) *root_name = candidate.name;
        return 0;
    }
    return ERROR_BADKEY;
}
