#include "support/registry_builders.h"

RegistryAction Row(const char* key, const char* name, RowData match, RowData replacement,
                   RegistryMatcher matcher) {
    return RegistryAction{key, name, match.data, replacement.data, matcher};
}

std::string Utf16(const std::string& text) {
    std::string wide;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned unit = static_cast<unsigned char>(text[i]);
        const size_t trail = unit >= 0xe0 ? 2 : unit >= 0xc0 ? 1 : 0;
        if (trail != 0) unit &= trail == 2 ? 0x0f : 0x1f;
        for (size_t end = i + trail; i < end && i + 1 < text.size();)
            unit = unit << 6 | (text[++i] & 0x3f);
        wide += {static_cast<char>(unit & 0xff), static_cast<char>(unit >> 8)};
    }
    return wide;
}

std::string Version5File(const std::string& rest, bool wide) {
    const std::string text = "Windows Registry Editor Version 5.00" + rest;
    return wide ? "\xff\xfe" + Utf16(text) : text;
}
