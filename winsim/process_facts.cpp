// GetModuleFileNameA and GetLocalTime of the native layer.
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

#include "winsim/layer.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

struct ProcessFacts {
    bool fixed_clock = false;
    SYSTEMTIME clock{};
    bool fixed_module = false;
    std::string module_path;
};

ProcessFacts& Facts() {
    static ProcessFacts facts;
    return facts;
}

}  // namespace

void SetLocalTime(const SYSTEMTIME& time) {
    Facts().fixed_clock = true;
    Facts().clock = time;
}

void SetModuleFileName(const char* path) {
    Facts().fixed_module = path != nullptr;
    Facts().module_path = path != nullptr ? path : "";
}

void ResetProcessFacts() { Facts() = ProcessFacts(); }

}  // namespace winsim

// As on Windows: the length copied without NUL; a path that does not fit is
// cut to size - 1 characters, terminated, and the call returns size with
// ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE /*module*/, LPSTR file_name, DWORD size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetModuleFileNameA", "%lu", static_cast<unsigned long>(size))) {
        SetLastError(fault);
        return 0;
    }
    std::string path;
    if (winsim::Facts().fixed_module) {
        path = winsim::Facts().module_path;
    } else {
        char link[4096];
        ssize_t length = readlink("/proc/self/exe", link, sizeof link - 1);
        if (length <= 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        path.assign(link, static_cast<size_t>(length));
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > size) {
        memcpy(file_name, path.data(), size - 1);
        file_name[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(file_name, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

void GetLocalTime(SYSTEMTIME* time) {
    DWORD fault = 0;
    winsim::CallFails(&fault, "GetLocalTime", "%s", "");  // cannot fail on Windows either
    if (winsim::Facts().fixed_clock) {
        *time = winsim::Facts().clock;
        return;
    }
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
