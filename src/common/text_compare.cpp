#include "common/text_compare.h"

#include <cstring>

#include "platform/platform.h"

namespace {

// Lead bytes are 0x81 or above: ASCII needs no call.
bool IsLeadByte(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 0x80 && IsDBCSLeadByte(byte);
}

int LowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// The last byte of `text` that `is_separator` takes and is no trail byte.
const char* FindLastSeparator(const char* text, bool (*is_separator)(char)) {
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; ++p) {
        if (IsLeadByte(*p)) {
            if (p[1] == '\0') break;
            ++p;  // the trail byte may look like a backslash, but is not one
        } else if (is_separator(*p)) {
            last = p;
        }
    }
    return last;
}

bool IsBackslash(char c) { return c == '\\'; }

}  // namespace

int CompareNoCase(const char* a, const char* b, size_t n) {
    size_t i = 0;
    while (i < n) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (i + 1 < n && IsLeadByte(a[i]) && a[i + 1] != '\0') {
            // A double-byte character has no case here: both bytes must be equal.
            const int difference = memcmp(a + i, b + i, 2);
            if (difference != 0) return difference;
            i += 2;
            continue;
        }
        int difference = LowerAscii(x) - LowerAscii(y);
        if (difference != 0 || x == '\0') return difference;
        ++i;
    }
    return 0;
}

const char* FindLastBackslash(const char* text) { return FindLastSeparator(text, IsBackslash); }

size_t FolderLength(const char* path) {
    const char* last = FindLastSeparator(path, IsFolderSeparator);
    return last != nullptr ? static_cast<size_t>(last - path) + 1 : 0;
}
