// The engine's own result codes (negative) and their texts.
#pragma once

#include <cstdint>

constexpr int32_t kResultFileOpening = -1;
constexpr int32_t kResultParameter = -2;
constexpr int32_t kResultFileSize = -25;
constexpr int32_t kResultFileType = -26;
constexpr int32_t kResultFileMapping = -27;

// The text of an engine result code; "Undefined error" for any other code.
const char* ErrorCodeText(int32_t code);
