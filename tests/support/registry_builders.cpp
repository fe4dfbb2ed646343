#include "support/registry_builders.h"

RegistryAction Row(const char* key, const char* name, RowData match, RowData replacement,
                   RegistryMatcher matcher) {
    return RegistryAction{key, name, match.data, replacement.data, matcher};
}

std::string Utf16(const std::string& text) {
    std::string wide;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned unit = static_cast<unsigned char>(text[i]);
        // A lead byte's own bits (the one after its ones is 0), six of each trail byte.
        const int trail = unit >= 0xe0 ? 2 : unit >= 0xc0 ? 1 : 0;
        unit &= 0x7fu >> trail;
        for (int n = 0; n < trail && i + 1 < text.size(); ++n)
            unit = unit << 6 | (text[++i] & 0x3f);
        wide += {static_cast<char>(unit & 0xff), static_cast<char>(unit >> 8)};
    }
    return wide;
}

std::string Version5File(const std::string& rest, bool wide) {
    const std::string text = "Windows Registry Editor Version 5.00" + rest;
    return wide ? "\xff\xfe" + Utf16(text) : text;
}
