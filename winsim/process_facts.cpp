// GetModuleFileNameA/W, GetCommandLineW and GetLocalTime of the native layer.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "winsim/code_page.h"
#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

struct ProcessFacts {
    bool fixed_clock = false;
    SYSTEMTIME clock{};
    bool fixed_module = false;
    std::string module_path;
    bool wide_module = false;
    std::u16string wide_module_path;
    bool fixed_command_line = false;
    std::u16string command_line;  // what GetCommandLineW last gave, or the hook's
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

void SetWideModuleFileName(const char16_t* path) {
    Facts().wide_module = path != nullptr;
    Facts().wide_module_path = path != nullptr ? path : u"";
}

void SetCommandLine(const char16_t* line) {
    Facts().fixed_command_line = line != nullptr;
    Facts().command_line = line != nullptr ? line : u"";
}

std::u16string CommandLineOf(const std::vector<std::string>& arguments) {
    std::u16string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += u' ';
        const std::u16string wide = WidenText(argument.data(), argument.size());
        if (!wide.empty() && wide.find_first_of(u" \t\"") == std::u16string::npos) {
            line += wide;
            continue;
        }
        // Quoted: a backslash run doubles before a quote (also the closing one).
        line += u'"';
        size_t slashes = 0;
        for (char16_t unit : wide) {
            if (unit == u'\\') {
                ++slashes;
            } else {
                line.append(unit == u'"' ? slashes : 0, u'\\');
                if (unit == u'"') line += u'\\';
                slashes = 0;
            }
            line += unit;
        }
        line.append(slashes, u'\\');
        line += u'"';
    }
    return line;
}

void ResetProcessFacts() { Facts() = ProcessFacts(); }

}  // namespace winsim

namespace winsim {
namespace {

// The program's path as the A call gives it; false when it cannot be had.
bool AnsiModulePath(std::string* path) {
    if (Facts().wide_module) {
        *path = NarrowText(Facts().wide_module_path.data(), Facts().wide_module_path.size());
    } else if (Facts().fixed_module) {
        *path = Facts().module_path;
    } else {
        char link[4096];
        ssize_t length = readlink("/proc/self/exe", link, sizeof link - 1);
        if (length <= 0) return false;
        path->assign(link, static_cast<size_t>(length));
    }
    return true;
}

// As on Windows: the length copied without NUL; a path that does not fit is
// cut to size - 1 characters, terminated, and the call returns size with
// ERROR_INSUFFICIENT_BUFFER.
template <typename Char>
DWORD CopyModulePath(const std::basic_string<Char>& path, Char* out, DWORD size) {
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() + 1 > size) {
        memcpy(out, path.data(), (size - 1) * sizeof(Char));
        out[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(out, path.c_str(), (path.size() + 1) * sizeof(Char));
    return static_cast<DWORD>(path.size());
}

}  // namespace
}  // namespace winsim

DWORD GetModuleFileNameA(HMODULE /*module*/, LPSTR file_name, DWORD size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetModuleFileNameA", "%lu", static_cast<unsigned long>(size))) {
        SetLastError(fault);
        return 0;
    }
    std::string path;
    if (!winsim::AnsiModulePath(&path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return winsim::CopyModulePath(path, file_name, size);
}

// The wide path set, else the A path widened; the 95 family's stub answers
// ERROR_CALL_NOT_IMPLEMENTED.
DWORD GetModuleFileNameW(HMODULE /*module*/, LPWSTR file_name, DWORD size) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetModuleFileNameW", "%lu", static_cast<unsigned long>(size))) {
        SetLastError(fault);
        return 0;
    }
    if (winsim::IsWindows95Family()) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    std::u16string path = winsim::Facts().wide_module_path;
    std::string narrow;
    if (!winsim::Facts().wide_module) {
        if (!winsim::AnsiModulePath(&narrow)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        path = winsim::WidenText(narrow.data(), narrow.size());
    }
    return winsim::CopyModulePath(path, file_name, size);
}

// The hook's line, or this process's arguments as Windows would pass them.
LPWSTR GetCommandLineW() {
    DWORD fault = 0;
    winsim::CallFails(&fault, "GetCommandLineW", "%s", "");  // cannot fail on Windows either
    winsim::ProcessFacts& facts = winsim::Facts();
    if (!facts.fixed_command_line) {
        std::vector<std::string> arguments;
        FILE* file = fopen("/proc/self/cmdline", "rb");
        if (file != nullptr) {
            std::string argument;
            for (int c = fgetc(file); c != EOF; c = fgetc(file)) {
                if (c != 0) {
                    argument += static_cast<char>(c);
                } else {
                    arguments.push_back(argument);
                    argument.clear();
                }
            }
            fclose(file);
        }
        facts.command_line = winsim::CommandLineOf(arguments);
    }
    return &facts.command_line[0];
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
