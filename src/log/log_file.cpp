#include "log/log_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/bounded_format.h"
#include "common/text_compare.h"
#include "common/wide_text.h"
#include "log/log_line.h"
#include "log/system_text.h"
#include "platform/append_file.h"
#include "platform/windows_family.h"

namespace {

char log_path_buffer[kLongPathSize];
WCHAR log_wide_buffer[kLongPathUnits];
const char* log_path = nullptr;
bool log_path_wide = false;  // the file is named by log_wide_buffer, log_path only shown
FILE* log_file = nullptr;

// A file name's exact wide form, and the name it is opened by: room for
// "\\?\UNC" before a full path.
WCHAR exact_name[kLongPathUnits];
WCHAR opening_name[kLongPathUnits + 6];

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
// kLongPathUnits buffer; false when it and the NUL do not fit.
bool AppendAscii(WCHAR* wide, size_t length, const char* name) {
    const size_t name_length = strlen(name);
    if (length + name_length + 1 > kLongPathUnits) return false;
    for (size_t i = 0; i <= name_length; ++i) wide[length + i] = static_cast<BYTE>(name[i]);
    return true;
}

// Prints what the console says of a log that cannot be used, with the
// system's text for `code` (none for 0).
void SayAboutTheLog(const char* what, int32_t code) {
    if (code == 0) {
        printf("\n%s \"%s\".\n", what, log_path);
        return;
    }
    char* text = SystemErrorText(code);
    printf("\n%s \"%s\": %s\n", what, log_path, text != nullptr ? text : "");
    FreeSystemErrorText(text);
}

// Fills the buffer with "<program folder><separator><tool_name>.log". When
// the ANSI path is only a best-fit spelling of the program's own (a folder
// name that does not fit the code page), the file is named through the wide
// path, and the ANSI one is what is shown. 0; or why the program's folder is
// unknown, with the bare file name (in the current folder) in the buffer.
int32_t ComposeDefaultLogPath(const char* tool_name) {
    char name[32];
    FormatBounded(name, sizeof name, "%s%s", tool_name, kLogExtension);
    char* buffer = log_path_buffer;
    log_path = buffer;
    log_path_wide = false;
    int32_t unknown = 0;
    DWORD length = GetModuleFileNameA(nullptr, buffer, kLongPathSize);
    if (length == 0 || length >= kLongPathSize) {
        unknown = length == 0 ? LastErrorOr(ERROR_INTERNAL_ERROR) : ERROR_FILENAME_EXCED_RANGE;
        length = 0;
    }
    buffer[length] = '\0';
    const DWORD units = GetModuleFileNameW(nullptr, log_wide_buffer, kLongPathUnits);
    bool same = false;
    if (units == 0 && IsNotImplemented(static_cast<int32_t>(GetLastError()))) {
        // The 95 family: the ANSI path is the file system's own.
    } else if (units == 0 || units >= kLongPathUnits) {
        // Which folder the ANSI path means cannot be told.
        if (unknown == 0) {
            unknown = units == 0 ? LastErrorOr(ERROR_INTERNAL_ERROR) : ERROR_FILENAME_EXCED_RANGE;
        }
        length = 0;
    } else if (length > 0 &&
               (CompareWidened(buffer, length, log_wide_buffer, units, &same) != 0 || !same)) {
        log_path_wide = AppendAscii(log_wide_buffer, WideFolderLength(log_wide_buffer), name);
        if (!log_path_wide) length = 0;
    }
    size_t folder = length > 0 ? FolderLength(buffer) : 0;
    if (folder + strlen(name) + 1 > kLongPathSize) folder = 0;
    if (folder == 0) {
        log_path_wide = false;
        if (unknown == 0) unknown = ERROR_BAD_PATHNAME;
    }
    memcpy(buffer + folder, name, strlen(name) + 1);
    return unknown;
}

// How the file `shown` names (ANSI, as shown; `exact` its wide spelling, or
// nullptr when `shown` is exact) is opened. 0 with *name nullptr: through
// the ANSI call, by `shown`; or with *name a wide name: `exact`, or, where
// the path passes MAX_PATH - 1 characters on the NT family, the "\\?\" form
// of its full path, the only form the system opens at that length. On the 95
// family, whose limit that is, the ANSI call fails such a path. Otherwise the
// code of the conversion that failed.
int32_t ChooseOpeningName(const char* shown, const WCHAR* exact, const WCHAR** name) {
    *name = exact;
    // ANSI text has no fewer bytes than characters: a short one is short.
    if ((exact == nullptr && strlen(shown) < MAX_PATH) || IsWindows95Family()) return 0;
    if (exact == nullptr) {
        if (MultiByteToWideChar(CP_ACP, 0, shown, -1, exact_name, kLongPathUnits) == 0) {
            return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
        }
        exact = exact_name;
    }
    if (WideLength(exact, kLongPathUnits) < MAX_PATH) return 0;
    WCHAR* full = opening_name + 6;
    const DWORD length = GetFullPathNameW(exact, kLongPathUnits, full, nullptr);
    if (length == 0) return LastErrorOr(ERROR_FILENAME_EXCED_RANGE);
    if (length >= kLongPathUnits) return ERROR_FILENAME_EXCED_RANGE;
    static const WCHAR kUnc[] = {'\\', '\\', '?', '\\', 'U', 'N', 'C'};
    *name = full;
    if (full[0] != '\\' || full[1] != '\\') {
        // "C:\..." becomes "\\?\C:\...".
        *name = full - 4;
        memcpy(opening_name + 2, kUnc, 4 * sizeof(WCHAR));
    } else if (full[2] != '?' && full[2] != '.') {
        // "\\server\share\..." becomes "\\?\UNC\server\share\...".
        *name = opening_name;
        memcpy(opening_name, kUnc, sizeof kUnc);
    }
    return 0;
}

}  // namespace

int32_t SetLogPath(const char* path, const WCHAR* wide_path) {
    const size_t length = strlen(path);
    if (length + 1 > static_cast<size_t>(kLogPathSize)) return ERROR_BUFFER_OVERFLOW;
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

int32_t CreateFileBesideLog(const char* name, char* shown, size_t size, HANDLE* file) {
    *file = INVALID_HANDLE_VALUE;
    const char* path = log_path != nullptr ? log_path : "";
    if (FormatBounded(shown, size, "%.*s%s", static_cast<int>(FolderLength(path)), path, name) <
        0) {
        return ERROR_BUFFER_OVERFLOW;
    }
    const WCHAR* exact = nullptr;
    if (log_path != nullptr && log_path_wide) {
        const size_t folder = WideFolderLength(log_wide_buffer);
        memcpy(exact_name, log_wide_buffer, folder * sizeof(WCHAR));
        if (!AppendAscii(exact_name, folder, name)) return ERROR_BUFFER_OVERFLOW;
        exact = exact_name;
    }
    const WCHAR* opening = nullptr;
    const int32_t code = ChooseOpeningName(shown, exact, &opening);
    if (code != 0) return code;
    // Created new, never opened: whatever stands at that name, a link
    // included, makes it fail.
    const HANDLE handle = opening != nullptr
                              ? CreateFileW(opening, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)
                              : CreateFileA(shown, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_ACCESS_DENIED);
    *file = handle;
    return 0;
}

void LogOpen(const char* tool_name) {
    if (log_file == nullptr) {
        if (log_path == nullptr) {
            const int32_t unknown = ComposeDefaultLogPath(tool_name);
            if (unknown != 0) {
                SayAboutTheLog("The program's folder could not be read, so the log goes to",
                               unknown);
            }
        }
        const WCHAR* name = nullptr;
        if (ChooseOpeningName(log_path, log_path_wide ? log_wide_buffer : nullptr, &name) == 0) {
            log_file = OpenAppendStream(log_path, name);
        }
        if (log_file == nullptr) {
            SayAboutTheLog("Could not open log file", 0);
            return;
        }
    }
    // In one piece, as every record: another copy's line cannot land inside
    // it. A log without its whole header is no log.
    if (AppendToStream(log_file, kLogHeader, sizeof kLogHeader - 1) != 0) {
        LogClose();
        SayAboutTheLog("Could not open log file", 0);
    }
}

void LogClose() {
    if (log_file == nullptr) return;
    fclose(log_file);
    log_file = nullptr;
}

bool LogIsOpen() { return log_file != nullptr; }

void AppendToLog(LogRecord* record) {
    if (log_file == nullptr) return;
    const int32_t code = WriteLogRecord(record, log_file);
    if (code == 0) return;
    LogClose();
    SayAboutTheLog("Could not write to log file", code);
}

void LogLine(const char* format, ...) {
    if (log_file == nullptr) return;
    LogRecord record;
    StartLogRecord(&record);
    va_list args;
    va_start(args, format);
    AppendLogText(&record, format, args);
    va_end(args);
    AppendToLog(&record);
}

void ResetLogForTests() {
    LogClose();
    log_path = nullptr;
    log_path_wide = false;
    log_path_buffer[0] = '\0';
}
