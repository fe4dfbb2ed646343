#include "registry/path_variables.h"

#include <cstring>

#include "common/text_compare.h"
#include "platform/platform.h"
#include "registry/path_resolvers.h"
#include "registry/registry_limits.h"

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
