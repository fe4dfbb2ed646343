// Opening a key by its full registry path.
#include "registry/registry_path.h"

#include <cstring>

#include "log/bounded_format.h"
#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/text_compare.h"

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

// The row of the root `path` begins with (after blanks and tabs), with
// *sub_key right after the root's backslash; -1 for a malformed path.
int FindRoot(const char* path, const char** sub_key) {
    const char* p = path;
    while (*p == ' ' || *p == '\t') ++p;
    if (CompareNoCase(p, kRootPrefix, kRootPrefixLength) != 0) return -1;
    p += kRootPrefixLength;
    for (size_t row = 0; row < sizeof kRootNames / sizeof kRootNames[0]; ++row) {
        const RootName& candidate = kRootNames[row];
        if (CompareNoCase(p, candidate.name, candidate.length) != 0) continue;
        p += candidate.length;
        if (*p != '\\') return -1;
        *sub_key = p + 1;
        return static_cast<int>(row);
    }
    return -1;
}

}  // namespace

int32_t ParseRegistryRoot(const char* path, HKEY* root, const char** sub_key) {
    const int row = FindRoot(path, sub_key);
    if (row < 0) return ERROR_BADKEY;
    *root = RootKey(static_cast<size_t>(row));
    return 0;
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

int32_t NameRegistryKey(const char* path, char* out, size_t size) {
    const char* rest = nullptr;
    const int row = FindRoot(path, &rest);
    if (row < 0) return ERROR_BADKEY;
    char subkey[kKeyPathSize];
    int32_t result = ExpandPathVariables(rest, subkey, sizeof subkey);
    if (result != 0) return result;
    const int length = FormatBounded(out, size, "HKEY_%s\\%s", kRootNames[row].name, subkey);
    if (length < 0) return ERROR_INSUFFICIENT_BUFFER;
    // Without its trailing backslash, which the root's own name has too.
    if (FindLastBackslash(out) == out + length - 1) out[length - 1] = '\0';
    return 0;
}
