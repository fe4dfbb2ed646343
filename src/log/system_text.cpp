#include "log/system_text.h"

#include "common/bounded_format.h"
#include "platform/platform.h"

const DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
const size_t kFallbackTextSize = 32;

char* SystemErrorText(int32_t code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(kSystemTextFlags, nullptr, static_cast<DWORD>(code), 0,
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr);
    if (length != 0 && text != nullptr) {
        // Trailing line breaks go; the first character always stays.
        for (DWORD i = length - 1; length > 1 && i >= 1; --i) {
            if (text[i] != '\r' && text[i] != '\n') break;
            text[i] = '\0';
        }
        return text;
    }
    text = static_cast<char*>(LocalAlloc(LMEM_FIXED, kFallbackTextSize));
    if (text == nullptr) return nullptr;
    FormatBounded(text, kFallbackTextSize, "%lu",
                  static_cast<unsigned long>(static_cast<uint32_t>(code)));
    return text;
}

void FreeSystemErrorText(char* text) {
    if (text != nullptr) LocalFree(text);
}
