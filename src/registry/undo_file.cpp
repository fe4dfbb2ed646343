#include "registry/undo_file.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/text_compare.h"
#include "common/time_stamp.h"
#include "log/log_file.h"
#include "platform/windows_family.h"

namespace {

// Names tried for one run's file: its time stamp, then _2 ... _99.
constexpr unsigned kNameTries = 99;
// The longest file name the file systems take, in characters.
constexpr size_t kLongestName = 255;
// The name's start when the log's is of no use.
const char kFallbackBase[] = "fix_tamrix";

// The length of the file name at `start` without its extension ('.' is never
// a trail byte).
template <typename Char>
size_t BaseNameLength(const Char* path, size_t start) {
    const Char* dot = nullptr;
    const Char* end = path + start;
    for (; *end != 0; ++end) {
        if (*end == '.') dot = end;
    }
    return static_cast<size_t>((dot != nullptr ? dot : end) - (path + start));
}

// Copies the ASCII `text` to `out` as UTF-16; returns where it ends.
WCHAR* WidenAscii(const char* text, WCHAR* out) {
    for (; *text != '\0'; ++text) *out++ = static_cast<BYTE>(*text);
    return out;
}

// Names the file after the log, `suffix` after its base name, in both
// spellings: 0 or ERROR_BUFFER_OVERFLOW.
int32_t NameUndoFile(FileName* name, const char* suffix) {
    const FileName* log_name = LogName();
    const char* log = log_name != nullptr ? log_name->shown : "";
    const WCHAR* exact = log_name != nullptr && log_name->has_exact ? log_name->exact : nullptr;
    const size_t start = FolderLength(log);
    const size_t length = BaseNameLength(log, start);
    const size_t suffix_length = strlen(suffix);
    size_t wide_start = 0;
    size_t wide_length = 0;
    size_t characters = length;  // a character takes at least one byte
    if (exact != nullptr) {
        wide_start = WideFolderLength(exact);
        wide_length = BaseNameLength(exact, wide_start);
        characters = wide_length;
    } else if (length + suffix_length > kLongestName) {
        // A count that fails gives the short name.
        characters = static_cast<size_t>(
            MultiByteToWideChar(CP_ACP, 0, log + start, static_cast<int>(length), nullptr, 0));
    }
    const bool fallback = characters == 0 || characters + suffix_length > kLongestName;
    const char* base = fallback ? kFallbackBase : log + start;
    const int base_length = static_cast<int>(fallback ? strlen(kFallbackBase) : length);
    if (FormatBounded(name->shown, sizeof name->shown, "%.*s%.*s%s", static_cast<int>(start), log,
                      base_length, base, suffix) < 0) {
        return ERROR_BUFFER_OVERFLOW;
    }
    name->has_exact = exact != nullptr;
    if (exact == nullptr) return 0;
    if (!fallback) wide_start += wide_length;
    const size_t ascii = fallback ? strlen(kFallbackBase) + suffix_length : suffix_length;
    if (wide_start + ascii + 1 > sizeof name->exact / sizeof(WCHAR)) return ERROR_BUFFER_OVERFLOW;
    memcpy(name->exact, exact, wide_start * sizeof(WCHAR));
    WCHAR* out = WidenAscii(fallback ? kFallbackBase : "", name->exact + wide_start);
    *WidenAscii(suffix, out) = 0;
    return 0;
}

}  // namespace

int32_t OpenUndoFile(UndoFile* file, const BYTE* header, size_t length) {
    file->handle = INVALID_HANDLE_VALUE;
    file->end = 0;
    file->broken = 0;
    char stamp[kFileTimeStampSize];
    FormatFileTimeStamp(stamp);
    int32_t code = ERROR_FILE_EXISTS;
    for (unsigned n = 1; n <= kNameTries && code == ERROR_FILE_EXISTS; ++n) {
        char number[8] = "";
        if (n > 1) FormatBounded(number, sizeof number, "_%u", n);
        char suffix[48];
        FormatBounded(suffix, sizeof suffix, "_undo_%s%s.reg", stamp, number);
        code = NameUndoFile(&file->name, suffix);
        // Created new, never opened: a link planted at the name makes it fail.
        if (code == 0) {
            code = OpenNamedFile(file->name, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                                 &file->handle);
        }
    }
    if (code != 0) return code;
    code = AppendUndoItem(file, header, length);
    if (code != 0) {
        // A file without its header is no .reg text: it goes again. The file
        // is the one just created, which nobody else could write to.
        CloseUndoFile(file);
        DeleteNamedFile(file->name);
    }
    return code;
}

int32_t AppendUndoItem(UndoFile* file, const BYTE* bytes, size_t length) {
    if (file->broken != 0) return file->broken;
    DWORD written = 0;
    int32_t code = 0;
    if (!WriteFile(file->handle, bytes, static_cast<DWORD>(length), &written, nullptr) ||
        !FlushFileBuffers(file->handle)) {
        code = LastErrorOr(ERROR_ACCESS_DENIED);
    } else if (written != length) {
        code = ERROR_DISK_FULL;  // a disk file takes all of a write only when there is room
    }
    if (code == 0) {
        file->end += written;
        return 0;
    }
    // The file is the program's own and nobody else writes it: cutting it
    // back to its last whole item leaves no half item for an import to meet.
    if (CutUndoFileBack(file, file->end) != 0) file->broken = code;
    return code;
}

int32_t CutUndoFileBack(UndoFile* file, DWORD mark) {
    if (file->broken != 0) return file->broken;
    if (SetFilePointer(file->handle, static_cast<LONG>(mark), nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER ||
        !SetEndOfFile(file->handle)) {
        file->broken = LastErrorOr(ERROR_ACCESS_DENIED);
        return file->broken;
    }
    file->end = mark;
    return 0;
}

void CloseUndoFile(UndoFile* file) {
    if (file->handle == INVALID_HANDLE_VALUE) return;
    CloseHandle(file->handle);
    file->handle = INVALID_HANDLE_VALUE;
}
