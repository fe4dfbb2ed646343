// What the registry tests feed the program: table rows, UTF-16 bytes and
// registry files.
#pragma once

#include <cstdint>
#include <string>

#include "registry/match_registry_data.h"
#include "registry/registry_action.h"

// A row's data: text (REG_SZ of length 0, as the product's tables give it and
// the walk measures), nullptr for none, or typed data.
struct RowData {
    RowData(const char* text) : data{REG_SZ, text, 0} {}  // NOLINT(google-explicit-constructor)
    RowData(uint32_t type, const void* bytes, uint32_t length) : data{type, bytes, length} {}
    RegistryData data;
};

// A row for the value `name` of `key` (nullptr: the key, or a search of its
// values), with the product tables' matcher unless another is given.
RegistryAction Row(const char* key, const char* name, RowData match = nullptr,
                   RowData replacement = nullptr, RegistryMatcher matcher = MatchRegistryData);

// The UTF-16LE bytes of UTF-8 `text` (characters of up to three bytes).
std::string Utf16(const std::string& text);

// A version 5.00 registry file: its first line, then `rest` from that line's
// break on; `wide`: in UTF-16LE behind FF FE, as the system exports it.
std::string Version5File(const std::string& rest, bool wide = false);
