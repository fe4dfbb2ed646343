// GetLastError, FormatMessageA and the Local heap of the native layer.
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "winsim/layer.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

thread_local DWORD last_error = 0;

// Windows' English system texts for the codes the program meets.
const struct {
    DWORD code;
    const char* text;
} kEnglishTexts[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {111, "The file name is too long.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {317,
     "The system cannot find message text for message number 0x%1 in the message file for "
     "%2.\r\n"},
    {1009, "The configuration registry database is corrupt.\r\n"},
    {1010, "The configuration registry key is invalid.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1113, "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
    {1223, "The operation was canceled by the user.\r\n"},
    {1359, "An internal error occurred.\r\n"},
};

// Texts replaced or removed by tests; absent codes use the English table.
std::map<DWORD, std::string>& OverriddenTexts() {
    static std::map<DWORD, std::string> texts;
    return texts;
}
// Blocks whose LocalFree was made to fail; released at Reset so that a
// fault sweep does not show up as a leak.
std::vector<void*>& KeptBlocks() {
    static std::vector<void*> blocks;
    return blocks;
}
std::map<DWORD, bool>& RemovedTexts() {
    static std::map<DWORD, bool> removed;
    return removed;
}

const char* SystemText(DWORD code) {
    if (RemovedTexts().count(code) != 0) return nullptr;
    auto found = OverriddenTexts().find(code);
    if (found != OverriddenTexts().end()) return found->second.c_str();
    for (const auto& row : kEnglishTexts) {
        if (row.code == code) return row.text;
    }
    return nullptr;
}

}  // namespace

void SetSystemMessage(DWORD code, const char* text) {
    if (text == nullptr) {
        OverriddenTexts().erase(code);
        RemovedTexts()[code] = true;
    } else {
        RemovedTexts().erase(code);
        OverriddenTexts()[code] = text;
    }
}

void ResetErrorTexts() {
    OverriddenTexts().clear();
    RemovedTexts().clear();
    for (void* block : KeptBlocks()) free(block);
    KeptBlocks().clear();
    last_error = 0;
}

}  // namespace winsim

DWORD GetLastError() { return winsim::last_error; }

void SetLastError(DWORD code) { winsim::last_error = code; }

// Supports what the program asks for: FROM_SYSTEM with ALLOCATE_BUFFER (the
// text is returned in a LocalAlloc block stored through `buffer`), inserts
// ignored. Anything else fails with ERROR_INVALID_PARAMETER (87).
DWORD FormatMessageA(DWORD flags, const void* /*source*/, DWORD message_id, DWORD /*language_id*/,
                     LPSTR buffer, DWORD size, va_list* /*arguments*/) {
    DWORD fault = 0;
    const bool allocate = (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
    if (allocate && buffer != nullptr) *reinterpret_cast<char**>(buffer) = nullptr;
    if (winsim::CallFails(&fault, "FormatMessageA", "%lu",
                          static_cast<unsigned long>(message_id))) {
        SetLastError(fault);
        return 0;
    }
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || !allocate || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = winsim::SystemText(message_id);
    if (text == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const size_t length = strlen(text);
    char* block = static_cast<char*>(malloc(length + 1 > size ? length + 1 : size));
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    memcpy(block, text, length + 1);
    *reinterpret_cast<char**>(buffer) = block;
    return static_cast<DWORD>(length);
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "LocalAlloc", "%u, %zu", flags, bytes)) {
        SetLastError(fault);
        return nullptr;
    }
    void* block = malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return block;
}

// Returns NULL on success, as Windows does.
HLOCAL LocalFree(HLOCAL memory) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "LocalFree", "%s", memory == nullptr ? "NULL" : "block")) {
        SetLastError(fault);
        if (memory != nullptr) winsim::KeptBlocks().push_back(memory);
        return memory;
    }
    free(memory);
    return nullptr;
}
