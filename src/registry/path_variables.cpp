// Expansion of path variables, and the registry read behind two of them.
#include "registry/path_variables.h"

#include <cstring>

#include "platform/platform.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/text_compare.h"

namespace {

const PathVariable* MatchingVariable(const char* text) {
    for (const PathVariable& variable : kPathVariables) {
        if (CompareNoCase(text, variable.token, variable.token_length) == 0) return &variable;
    }
    return nullptr;
}

}  // namespace

int32_t ExpandPathVariables(const char* input, char* output, size_t capacity) {
    if (capacity == 0) return ERROR_INSUFFICIENT_BUFFER;
    size_t written = 0;  // the output always keeps one byte free for the NUL
    const char* read = input;
    while (*read != '\0') {
        const PathVariable* variable = *read == '%' ? MatchingVariable(read) : nullptr;
        if (variable == nullptr) {
            if (written + 1 >= capacity) return ERROR_INSUFFICIENT_BUFFER;
            output[written++] = *read++;
            continue;
        }
        read += variable->token_length;
        // Resolvers write up to kFolderSize bytes; the value is copied only if it fits.
        char value[kFolderSize];
        uint32_t length = 0;
        int32_t result = variable->resolver(value, &length);
        if (result != 0) return result;
        if (length >= sizeof value) return ERROR_INTERNAL_ERROR;
        if (written + length >= capacity) return ERROR_INSUFFICIENT_BUFFER;
        memcpy(output + written, value, length);
        written += length;
        // The value's trailing backslash and the text's next one become one.
        if (written > 0 && output[written - 1] == '\\' && *read == '\\') --written;
    }
    output[written] = '\0';
    return 0;
}

int32_t ReadRegistryString(const char* key_path, const char* value_name, char* output) {
    HKEY key = nullptr;
    int32_t result = OpenRegistryPath(key_path, &key);
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
