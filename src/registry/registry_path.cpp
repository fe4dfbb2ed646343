#include "registry/registry_path.h"

#include "common/bounded_format.h"
#include "common/text_compare.h"
#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/registry_root.h"

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
    HKEY root = nullptr;
    const char* rest = nullptr;
    const char* root_name = nullptr;
    int32_t result = ParseRegistryRoot(path, &root, &rest, &root_name);
    if (result != 0) return result;
    char subkey[kKeyPathSize];
    result = ExpandPathVariables(rest, subkey, sizeof subkey);
    if (result != 0) return result;
    const int length = FormatBounded(out, size, "HKEY_%s\\%s", root_name, subkey);
    if (length < 0) return ERROR_INSUFFICIENT_BUFFER;
    // Without its trailing backslash, which the root's own name has too.
    if (FindLastBackslash(out) == out + length - 1) out[length - 1] = '\0';
    return 0;
}
