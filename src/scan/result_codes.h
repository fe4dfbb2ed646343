// The engine's own result codes (negative; positive codes are Win32 errors)
// and the texts of all of them.
#pragma once

#include <cstdint>

constexpr int32_t kResultFileOpening = -1;
constexpr int32_t kResultParameter = -2;
constexpr int32_t kResultFileSize = -25;
constexpr int32_t kResultFileType = -26;
constexpr int32_t kResultFileMapping = -27;

// The constant text of an engine result code; "Undefined error" for any code
// outside the engine's table, every positive one included. Never fails.
const char* ErrorCodeText(int32_t code);
