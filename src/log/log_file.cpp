#include "log/log_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/bounded_format.h"
#include "common/text_compare.h"
#include "common/wide_text.h"
#include "log/log_line.h"
#include "platform/append_file.h"
#include "platform/platform.h"
#include "platform/windows_family.h"

namespace {

char log_path_buffer[kLogPathSize];
WCHAR log_wide_buffer[kLogPathSize];
const char* log_path = nullptr;
bool log_path_wide = false;  // the file is named by log_wide_buffer, log_path only shown
FILE* log_file = nullptr;

const char kLogHeader[] =
    "\n\n/--------------------------------------------------------------\\\n"
    "|                      Vantorelkis, Inc.                       |\n"
    "|                           Log File                           |\n"
    "\\--------------------------------------------------------------/\n\n\n";

const char kLogExtension[] = ".log";

size_t WideFolderLength(const WCHAR* path) {
    size_t length = 0;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (path[i] < 0x80 && IsFolderSeparator(static_cast<char>(path[i]))) length = i + 1;
    }
    return length;
}

// Puts the ASCII `name` after the first `length` units of `wide`, a
// kLogPathSize buffer; false when it and the NUL do not fit.
bool AppendAscii(WCHAR* wide, size_t length, const char* name) {
    const size_t name_length = strlen(name);
    if (length + name_length + 1 > static_cast<size_t>(kLogPathSize)) return false;
    for (size_t i = 0; i <= name_length; ++i) wide[length + i] = static_cast<BYTE>(name[i]);
    return true;
}

// Fills the buffer with "<program folder><separator><tool_name>.log", or with
// the bare file name when the program's path cannot be had, holds no
// separator, or leaves no room for the file name. When the ANSI path is only
// a best-fit spelling of the program's own (a folder name that does not fit
// the code page), the file is named through the wide path, and the ANSI one
// is what is shown.
void ComposeDefaultLogPath(const char* tool_name) {
    char name[32];
    FormatBounded(name, sizeof name, "%s%s", tool_name, kLogExtension);
    char* buffer = log_path_buffer;
    log_path = buffer;
    log_path_wide = false;
    // 260 as Windows asks for it; the rest of the 268 bytes is headroom.
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length >= MAX_PATH) length = 0;  // failed, or cut short: the folder is unknown
    buffer[length] = '\0';
    DWORD units = GetModuleFileNameW(nullptr, log_wide_buffer, MAX_PATH);
    bool same = false;
    if (units == 0 && IsNotImplemented(static_cast<int32_t>(GetLastError()))) {
        // The 95 family: the ANSI path is the file system's own.
    } else if (units == 0 || units >= MAX_PATH) {
        length = 0;  // which folder the ANSI path means cannot be told
    } else if (length > 0 &&
               (CompareWidened(buffer, length, log_wide_buffer, units, &same) != 0 || !same)) {
        log_path_wide = AppendAscii(log_wide_buffer, WideFolderLength(log_wide_buffer), name);
        if (!log_path_wide) length = 0;
    }
    size_t folder = length > 0 ? FolderLength(buffer) : 0;
    if (folder + strlen(name) + 1 > sizeof log_path_buffer) {
        folder = 0;
        log_path_wide = false;
    }
    memcpy(buffer + folder, name, strlen(name) + 1);
}

}  // namespace

int32_t SetLogPath(const char* path, const WCHAR* wide_path) {
    const size_t length = strlen(path);
    if (length + 1 > sizeof log_path_buffer) return ERROR_BUFFER_OVERFLOW;
    if (wide_path != nullptr) {
        const size_t units = WideLength(wide_path, kLogPathSize);
        if (units + 1 > static_cast<size_t>(kLogPathSize)) return ERROR_BUFFER_OVERFLOW;
        memcpy(log_wide_buffer, wide_path, (units + 1) * sizeof(WCHAR));
    }
    memcpy(log_path_buffer, path, length + 1);
    log_path = log_path_buffer;
    log_path_wide = wide_path != nullptr;
    return 0;
}

const char* LogPath() { return log_path; }

int32_t ComposeBesideLog(const char* name, char* out, size_t size) {
    const char* path = log_path != nullptr ? log_path : "";
    return FormatBounded(out, size, "%.*s%s", static_cast<int>(FolderLength(path)), path, name) < 0
               ? ERROR_BUFFER_OVERFLOW
               : 0;
}

int32_t CreateFileBesideLog(const char* name, char* shown, size_t size, HANDLE* file) {
    *file = INVALID_HANDLE_VALUE;
    if (ComposeBesideLog(name, shown, size) != 0) return ERROR_BUFFER_OVERFLOW;
    // Created new, never opened: whatever stands at that name, a link
    // included, makes it fail.
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (log_path != nullptr && log_path_wide) {
        WCHAR wide[kLogPathSize];
        const size_t folder = WideFolderLength(log_wide_buffer);
        memcpy(wide, log_wide_buffer, folder * sizeof(WCHAR));
        if (!AppendAscii(wide, folder, name)) return ERROR_BUFFER_OVERFLOW;
        handle = CreateFileW(wide, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        handle = CreateFileA(shown, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (handle == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_ACCESS_DENIED);
    *file = handle;
    return 0;
}

void LogOpen(const char* tool_name) {
    if (log_file == nullptr) {
        if (log_path == nullptr) ComposeDefaultLogPath(tool_name);
        log_file = OpenAppendStream(log_path, log_path_wide ? log_wide_buffer : nullptr);
        if (log_file == nullptr) {
            printf("\nCould not open log file \"%s\".\n", log_path);
            return;
        }
    }
    // In one piece, as every record: another copy's line cannot land inside it.
    AppendToStream(log_file, kLogHeader, sizeof kLogHeader - 1);
}

void LogClose() {
    if (log_file == nullptr) return;
    fclose(log_file);
    log_file = nullptr;
}

bool LogIsOpen() { return log_file != nullptr; }

FILE* LogStreamIfOpen() { return log_file; }

void LogLine(const char* format, ...) {
    if (log_file == nullptr) return;
    LogRecord record;
    StartLogRecord(&record);
    va_list args;
    va_start(args, format);
    AppendLogText(&record, format, args);
    va_end(args);
    WriteLogRecord(&record, log_file);
}

void ResetLogForTests() {
    LogClose();
    log_path = nullptr;
    log_path_wide = false;
    log_path_buffer[0] = '\0';
}
