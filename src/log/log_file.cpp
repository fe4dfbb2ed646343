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
#include "platform/file_name.h"
#include "platform/windows_family.h"
#include "platform/write_turn.h"

namespace {

char log_path_buffer[kLongPathSize];
WCHAR log_wide_buffer[kLongPathUnits];
const char* log_path = nullptr;
bool log_path_wide = false;  // the file is named by log_wide_buffer, log_path only shown
FILE* log_file = nullptr;

const char kLogHeader[] =
    "\n\n/--------------------------------------------------------------\\\n"
    "|                      Vantorelkis, Inc.                       |\n"
    "|                           Log File                           |\n"
    "\\--------------------------------------------------------------/\n\n\n";

const char kLogExtension[] = ".log";

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
    // Shown as what it names, not as the look-alike the A call gave.
    if (log_path_wide && !ShowExactly(log_wide_buffer, buffer, kLongPathSize)) {
        log_path_wide = false;
        length = 0;
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

}  // namespace

bool FitsLogPath(const char* path) {
    const size_t bytes = strlen(path) + 1;
    // A character takes at least one byte, and a UTF-16 unit at most three.
    if (bytes <= static_cast<size_t>(kLogPathSize)) return true;
    if (IsWindows95Family() || bytes > 3 * static_cast<size_t>(kLogPathSize)) return false;
    // A count that fails is left to the wide argument's, which is bounded too.
    const int units = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    return units <= kLogPathSize;
}

int32_t SetLogPath(const char* path, const WCHAR* wide_path) {
    if (wide_path != nullptr) {
        const size_t units = WideLength(wide_path, kLogPathSize);
        if (units + 1 > static_cast<size_t>(kLogPathSize)) return ERROR_BUFFER_OVERFLOW;
        // Shown as what it names, not as the look-alike in argv.
        char shown[4 * kLogPathSize];
        if (!ShowExactly(wide_path, shown, sizeof shown)) return ERROR_BUFFER_OVERFLOW;
        memcpy(log_wide_buffer, wide_path, (units + 1) * sizeof(WCHAR));
        memcpy(log_path_buffer, shown, strlen(shown) + 1);
    } else {
        if (!FitsLogPath(path)) return ERROR_BUFFER_OVERFLOW;
        memcpy(log_path_buffer, path, strlen(path) + 1);
    }
    log_path = log_path_buffer;
    log_path_wide = wide_path != nullptr;
    return 0;
}

const char* LogPath() { return log_path; }

const WCHAR* LogExactPath() {
    return log_path != nullptr && log_path_wide ? log_wide_buffer : nullptr;
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
    ResetWriteTurnsForTests();
    log_path = nullptr;
    log_path_wide = false;
    log_path_buffer[0] = '\0';
}
