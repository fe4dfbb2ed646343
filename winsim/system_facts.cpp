// Native layer: folders, names, version and code page of the machine, with
// values tests set and the buffer rules of Windows.
#include <cstring>
#include <string>

#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

struct SystemFacts {
    std::string windows = "C:\\WINDOWS";
    std::string system = "C:\\WINDOWS\\system32";
    std::string temp = "C:\\WINDOWS\\TEMP\\";
    std::string computer = "TESTPC";
    std::string user = "tester";
    DWORD version = 0x0A280105;  // 5.1, build 2600: the NT family
    BYTE lead_first = 1;         // first > last: a single-byte code page
    BYTE lead_last = 0;
};

SystemFacts& Facts() {
    static SystemFacts facts;
    return facts;
}

// The directory calls: `path` with the buffer rules of Windows. The length
// without NUL when it fits, else the size needed with the NUL and the buffer
// untouched; 0 with the injected code as last error when a fault hits.
UINT GetFolder(const char* call, const std::string& path, LPSTR buffer, DWORD size) {
    DWORD fault = 0;
    if (CallFails(&fault, call, "%lu", static_cast<unsigned long>(size))) {
        SetLastError(fault);
        return 0;
    }
    if (path.size() + 1 > size) return static_cast<UINT>(path.size() + 1);
    memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<UINT>(path.size());
}

}  // namespace

void SetWindowsDirectory(const char* path) { Facts().windows = path; }
void SetSystemDirectory(const char* path) { Facts().system = path; }
void SetTempPath(const char* path) {
    // The temporary folder always comes back with its trailing backslash.
    Facts().temp = path;
    if (Facts().temp.empty() || Facts().temp.back() != '\\') Facts().temp += '\\';
}
void SetComputerName(const char* name) { Facts().computer = name; }
void SetUserName(const char* name) { Facts().user = name; }
void SetVersion(DWORD version) { Facts().version = version; }
void SetDbcsLeadBytes(BYTE first, BYTE last) {
    Facts().lead_first = first;
    Facts().lead_last = last;
}

void ResetSystemFacts() { Facts() = SystemFacts(); }

bool IsWindows95Family() { return (Facts().version & 0x80000000u) != 0; }

bool IsCodePageLeadByte(BYTE byte) {
    return Facts().lead_first <= Facts().lead_last && byte >= Facts().lead_first &&
           byte <= Facts().lead_last;
}

}  // namespace winsim

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    return winsim::GetFolder("GetWindowsDirectoryA", winsim::Facts().windows, buffer, size);
}

UINT GetSystemDirectoryA(LPSTR buffer, UINT size) {
    return winsim::GetFolder("GetSystemDirectoryA", winsim::Facts().system, buffer, size);
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    return winsim::GetFolder("GetTempPathA", winsim::Facts().temp, buffer, size);
}

// Too small: ERROR_BUFFER_OVERFLOW (111) and the size needed with the NUL;
// success: the length without the NUL.
BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetComputerNameA", "%lu",
                          size != nullptr ? static_cast<unsigned long>(*size) : 0ul)) {
        SetLastError(fault);
        return FALSE;
    }
    if (buffer == nullptr || size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& name = winsim::Facts().computer;
    if (name.size() + 1 > *size) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

// Too small: ERROR_INSUFFICIENT_BUFFER (122), the size needed with the NUL,
// the buffer untouched; success: the size with the NUL.
BOOL GetUserNameA(LPSTR buffer, LPDWORD size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetUserNameA", "%lu",
                          size != nullptr ? static_cast<unsigned long>(*size) : 0ul)) {
        SetLastError(fault);
        return FALSE;
    }
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& name = winsim::Facts().user;
    if (buffer == nullptr || name.size() + 1 > *size) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size() + 1);
    return TRUE;
}

DWORD GetVersion() {
    DWORD fault = 0;
    winsim::CallFails(&fault, "GetVersion", "%s", "");  // cannot fail on Windows either
    return winsim::Facts().version;
}

void Sleep(DWORD milliseconds) {
    DWORD fault = 0;
    winsim::CallFails(&fault, "Sleep", "%u", milliseconds);  // cannot fail on Windows either
}

BOOL IsDBCSLeadByte(BYTE test_char) {
    DWORD fault = 0;
    winsim::CallFails(&fault, "IsDBCSLeadByte", "%u", test_char);  // cannot fail either
    return winsim::IsCodePageLeadByte(test_char) ? TRUE : FALSE;
}
