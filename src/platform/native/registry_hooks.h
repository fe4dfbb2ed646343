// Test hooks of the native registry: seed and read it as .reg text, count
// open handles. (Calls are recorded and faults injected through native_hooks.h.)
#pragma once

#include <string>

namespace native {

// Replaces the whole registry with the keys and values of `.reg` text
// ("REGEDIT4" or "Windows Registry Editor Version 5.00" header; string,
// expandable string, dword, hex and default values). False, with a message
// in *error, when the text cannot be read; the registry is then unchanged.
bool LoadRegistryText(const std::string& text, std::string* error = nullptr);

// The whole registry as "Windows Registry Editor Version 5.00" text, keys and
// values in creation order.
std::string SaveRegistryText();

// Registry handles opened and not yet closed (predefined roots not counted).
unsigned OpenHandleCount();

}  // namespace native
