#include "registry/undo_file.h"

#include "common/bounded_format.h"
#include "common/time_stamp.h"
#include "platform/windows_family.h"

namespace {

// Names tried for one run's file: its time stamp, then _2 ... _99.
constexpr unsigned kNameTries = 99;

}  // namespace

int32_t OpenUndoFile(UndoFile* file, const BYTE* header, size_t length) {
    file->handle = INVALID_HANDLE_VALUE;
    file->end = 0;
    file->broken = 0;
    char stamp[kFileTimeStampSize];
    FormatFileTimeStamp(stamp);
    int32_t code = ERROR_FILE_EXISTS;
    for (unsigned n = 1; n <= kNameTries && code == ERROR_FILE_EXISTS; ++n) {
        char name[48];
        if (n == 1) {
            FormatBounded(name, sizeof name, "fix_tamrix_undo_%s.reg", stamp);
        } else {
            FormatBounded(name, sizeof name, "fix_tamrix_undo_%s_%u.reg", stamp, n);
        }
        code = CreateFileBesideLog(name, file->shown, sizeof file->shown, &file->handle);
        if (code == ERROR_ALREADY_EXISTS) code = ERROR_FILE_EXISTS;
    }
    if (code != 0) return code;
    // A file without its header is no .reg text: nothing may follow.
    code = AppendUndoItem(file, header, length);
    if (code != 0) file->broken = code;
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
