#include "log/log_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/bounded_format.h"
#include "log/log_line.h"
#include "platform/append_file.h"
#include "platform/platform.h"

namespace {

char log_path_buffer[kLogPathSize];
const char* log_path = nullptr;
FILE* log_file = nullptr;

const char kLogHeader[] =
    "\n\n/--------------------------------------------------------------\\\n"
    "|                      Vantorelkis, Inc.                       |\n"
    "|                           Log File                           |\n"
    "\\--------------------------------------------------------------/\n\n\n";

const char kLogExtension[] = ".log";

// Fills the buffer with "<program folder><separator><tool_name>.log", or with
// the bare file name when the program's path cannot be had, holds no
// separator, or leaves no room for the file name.
void ComposeDefaultLogPath(const char* tool_name) {
    char* buffer = log_path_buffer;
    // 260 as Windows asks for it; the rest of the 268 bytes is headroom.
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        buffer[0] = '\0';  // failed, or cut short: the folder is unknown
    } else {
        buffer[length] = '\0';
    }
    char* separator = strrchr(buffer, kPathSeparator);
    if (separator == nullptr) {
        buffer[0] = '\0';
    } else {
        separator[1] = '\0';
    }
    size_t folder_length = strlen(buffer);
    const size_t name_length = strlen(tool_name) + strlen(kLogExtension);
    if (folder_length + name_length + 1 > sizeof log_path_buffer) folder_length = 0;
    FormatBounded(buffer + folder_length, sizeof log_path_buffer - folder_length, "%s%s", tool_name,
                  kLogExtension);
    log_path = buffer;
}

}  // namespace

int32_t SetLogPath(const char* path) {
    const size_t length = strlen(path);
    if (length + 1 > sizeof log_path_buffer) return ERROR_BUFFER_OVERFLOW;
    memcpy(log_path_buffer, path, length + 1);
    log_path = log_path_buffer;
    return 0;
}

const char* LogPath() { return log_path; }

int32_t ComposeBesideLog(const char* name, char* out, size_t size) {
    const char* path = log_path != nullptr ? log_path : "";
    int folder_length = 0;
    for (int i = 0; path[i] != '\0'; ++i) {
        if (IsFolderSeparator(path[i])) {
            folder_length = i + 1;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
            ++i;  // a double-byte character's second byte is no separator
        }
    }
    return FormatBounded(out, size, "%.*s%s", folder_length, path, name) < 0 ? ERROR_BUFFER_OVERFLOW
                                                                             : 0;
}

void LogOpen(const char* tool_name) {
    if (log_file == nullptr) {
        if (log_path == nullptr) ComposeDefaultLogPath(tool_name);
        log_file = OpenAppendStream(log_path);
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
    log_path_buffer[0] = '\0';
}
