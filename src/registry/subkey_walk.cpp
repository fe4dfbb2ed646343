#include "registry/subkey_walk.h"

#include <cstring>

#include "common/text_compare.h"
#include "common/wide_text.h"
#include "platform/windows_family.h"
#include "registry/registry_limits.h"

namespace {

// Whether the subkey at `index` of `key`, which the A enumeration gave as
// `name`, is stored under that very name (always so on the 95 family): 0
// with the answer in *exact, or the failing call's code.
int32_t CompareSubkeyName(HKEY key, DWORD index, const char* name, bool* exact) {
    *exact = true;
    WCHAR wide[kNameSize];
    const LONG code = RegEnumKeyW(key, index, wide, kNameSize);
    if (IsNotImplemented(code)) return 0;
    if (code != 0) return code;
    return CompareWidened(name, strnlen(name, kNameSize), wide, WideLength(wide, kNameSize - 1),
                          exact);
}

// Opens the child `name` of `key`, visits it with its path in `path`, closes
// it and leaves it. 0 or the first failure's code.
int32_t VisitChild(HKEY key, const char* name, size_t name_length, SubkeyPath* path,
                   const SubkeyVisitor& visitor) {
    const size_t base = path->length;
    if (base + 1 + name_length >= path->size) return ERROR_INSUFFICIENT_BUFFER;
    HKEY child = nullptr;
    LONG opened = RegOpenKeyA(key, name, &child);
    if (opened != ERROR_SUCCESS) return opened;
    path->text[base] = '\\';
    memcpy(path->text + base + 1, name, name_length + 1);
    path->length = base + 1 + name_length;
    int32_t result = visitor.visit(visitor.context, child, path);
    RegCloseKey(child);
    path->text[base] = '\0';
    path->length = base;
    if (result != 0 || visitor.leave == nullptr) return result;
    return visitor.leave(visitor.context, key, name);
}

}  // namespace

int32_t WalkSubkeys(HKEY key, SubkeyPath* path, const SubkeyVisitor& visitor) {
    DWORD count = 0;
    LONG result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    char name[kNameSize];
    for (DWORD index = count; index-- > 0;) {
        result = RegEnumKeyA(key, index, name, sizeof name);
        if (result == ERROR_NO_MORE_ITEMS) return 0;  // subkeys went away meanwhile
        if (result != ERROR_SUCCESS) return result;
        name[sizeof name - 1] = '\0';  // whatever the system left there
        bool exact = false;
        result = CompareSubkeyName(key, index, name, &exact);
        if (result != 0) return result;
        // A name read through a best fit would open the key of that spelling.
        if (!exact) return ERROR_NO_UNICODE_TRANSLATION;
        const size_t length = strlen(name);
        if (length == 0 || FindLastBackslash(name) != nullptr) return ERROR_BADKEY;
        const int32_t visited = VisitChild(key, name, length, path, visitor);
        if (visited != 0) return visited;
    }
    return 0;
}
