#include "registry/match_registry_data.h"

#include <cstring>

#include "common/text_compare.h"

namespace {

// The C locale's white space; bytes of 128 and above never are.
bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Trims `text` (at most `length` bytes, up to its first NUL) at both ends.
void Trim(const char** text, size_t* length) {
    const char* start = *text;
    size_t count = strnlen(start, *length);
    while (count > 0 && IsBlank(static_cast<unsigned char>(*start))) {
        ++start;
        --count;
    }
    while (count > 0 && IsBlank(static_cast<unsigned char>(start[count - 1]))) --count;
    *text = start;
    *length = count;
}

}  // namespace

bool MatchRegistryData(const RegistryData* expected, const RegistryData* found) {
    if (IsTextType(expected->type)) {
        if (!IsTextType(found->type)) return false;
        if (expected->data == nullptr || found->data == nullptr) return false;
        // Found data is read no further than the bytes the system returned.
        const char* want = static_cast<const char*>(expected->data);
        size_t want_length = strlen(want);
        const char* have = static_cast<const char*>(found->data);
        size_t have_length = found->length;
        Trim(&want, &want_length);
        Trim(&have, &have_length);
        if (want_length != have_length) return false;
        return want_length == 0 || CompareNoCase(want, have, want_length) == 0;
    }
    if (expected->length != found->length) return false;
    if (expected->length == 0) return true;
    if (expected->data == nullptr || found->data == nullptr) return false;
    return memcmp(expected->data, found->data, expected->length) == 0;
}
