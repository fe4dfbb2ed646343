// Header only: sizes of the registry engine's fixed buffers, terminator included.
#pragma once

#include <cstddef>

constexpr size_t kKeyPathSize = 520;  // an expanded registry key path
constexpr size_t kNameSize = 268;     // value names, text data, data read, subkey names
constexpr size_t kFolderSize = 261;   // what the system is asked for folder paths
