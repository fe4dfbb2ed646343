// Native layer: file handles (CreateFileA/W, SetFilePointer, WriteFile,
// FlushFileBuffers, SetEndOfFile, CloseHandle) over Linux descriptors, with
// Windows' share modes kept between the handles of this process.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "winsim/code_page.h"
#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

constexpr DWORD kWriteAccess = GENERIC_WRITE | FILE_APPEND_DATA;

struct OpenFile {
    int descriptor;
    dev_t device;
    ino_t inode;
    DWORD access;
    DWORD share;
};

struct HandleState {
    std::map<uintptr_t, OpenFile> files;
    uintptr_t next = 0x1000;  // never reused, so a stale handle stays invalid
};

HandleState& Handles() {
    static HandleState state;
    return state;
}

const char* Shown(const char* path) { return path != nullptr ? path : "NULL"; }

OpenFile* FindFile(HANDLE handle) {
    auto found = Handles().files.find(reinterpret_cast<uintptr_t>(handle));
    return found != Handles().files.end() ? &found->second : nullptr;
}

// Whether a new handle with `access` and `share` may be opened beside `open`.
bool SharingAllows(const OpenFile& open, DWORD access, DWORD share) {
    const bool reads = (access & GENERIC_READ) != 0, writes = (access & kWriteAccess) != 0;
    const bool open_reads = (open.access & GENERIC_READ) != 0;
    const bool open_writes = (open.access & kWriteAccess) != 0;
    if (reads && (open.share & FILE_SHARE_READ) == 0) return false;
    if (writes && (open.share & FILE_SHARE_WRITE) == 0) return false;
    if (open_reads && (share & FILE_SHARE_READ) == 0) return false;
    if (open_writes && (share & FILE_SHARE_WRITE) == 0) return false;
    return true;
}

BOOL Fails(DWORD code);

// The start of a call on a handle that must be open for writing: recorded,
// an injected fault applied. The open file, or nullptr with the error set
// (6 for an unknown handle, 5 for one without write access).
OpenFile* StartWriteCall(const char* name, HANDLE file) {
    DWORD fault = 0;
    if (CallFails(&fault, name, "%p", file)) {
        Fails(fault);
        return nullptr;
    }
    OpenFile* open = FindFile(file);
    if (open == nullptr || (open->access & kWriteAccess) == 0) {
        Fails(open == nullptr ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return open;
}

HANDLE FailsWith(DWORD code) {
    SetLastError(code);
    return INVALID_HANDLE_VALUE;
}

BOOL Fails(DWORD code) {
    SetLastError(code);
    return FALSE;
}

}  // namespace

unsigned OpenFileHandleCount() { return static_cast<unsigned>(Handles().files.size()); }

bool HostFileName(const char* ansi, const char16_t* wide, std::string* host, DWORD* error) {
    static const char16_t kLongPrefix[] = u"\\\\?\\";
    if (wide != nullptr && std::char_traits<char16_t>::compare(wide, kLongPrefix, 4) == 0) {
        *host = HostPath(wide + 4);
        return true;
    }
    const size_t length = wide != nullptr ? std::char_traits<char16_t>::length(wide)
                                          : WidenText(ansi, strlen(ansi)).size();
    if (length >= MAX_PATH) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    *host = wide != nullptr ? HostPath(wide) : ansi;
    return true;
}

void ResetFileHandles() {
    for (auto& entry : Handles().files) close(entry.second.descriptor);
    Handles().files.clear();
}

}  // namespace winsim

// A folder cannot be opened as a file (5), nor created new where anything
// stands, a link to nothing included (80, measured under Wine 8.0); a share mode that an open
// handle of this process denies gives 32. OPEN_ALWAYS and CREATE_ALWAYS set 183 when the file
// existed, 0 otherwise, as Windows does.
namespace winsim {
namespace {

HANDLE OpenHandle(const char* path, DWORD access, DWORD share_mode, DWORD disposition) {
    if (path[0] == '\0') return winsim::FailsWith(ERROR_PATH_NOT_FOUND);
    int flags = O_CLOEXEC;
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & winsim::kWriteAccess) != 0;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if ((access & FILE_APPEND_DATA) != 0 && (access & GENERIC_WRITE) == 0) flags |= O_APPEND;
    switch (disposition) {
        case CREATE_NEW:
            flags |= O_CREAT | O_EXCL;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC;
            break;
        case OPEN_EXISTING:
            break;
        case OPEN_ALWAYS:
            flags |= O_CREAT;
            break;
        case TRUNCATE_EXISTING:
            flags |= O_TRUNC;
            break;
        default:
            return winsim::FailsWith(ERROR_INVALID_PARAMETER);
    }
    struct stat info;
    const bool existed = stat(path, &info) == 0;
    if (existed) {
        // A new file's name is taken by whatever stands there, a folder too.
        if (disposition == CREATE_NEW) return winsim::FailsWith(ERROR_FILE_EXISTS);
        if (S_ISDIR(info.st_mode)) return winsim::FailsWith(ERROR_ACCESS_DENIED);
        for (const auto& entry : winsim::Handles().files) {
            const winsim::OpenFile& open = entry.second;
            if (open.device == info.st_dev && open.inode == info.st_ino &&
                !winsim::SharingAllows(open, access, share_mode)) {
                return winsim::FailsWith(ERROR_SHARING_VIOLATION);
            }
        }
    }
    const int descriptor = open(path, flags, 0666);
    if (descriptor < 0) {
        if (errno == EEXIST) return winsim::FailsWith(ERROR_FILE_EXISTS);
        if (errno == EISDIR) return winsim::FailsWith(ERROR_ACCESS_DENIED);
        return winsim::FailsWith(winsim::ErrorOfMissing(path, errno));
    }
    if (fstat(descriptor, &info) != 0) {
        close(descriptor);
        return winsim::FailsWith(ERROR_ACCESS_DENIED);
    }
    winsim::HandleState& handles = winsim::Handles();
    const uintptr_t handle = handles.next;
    handles.next += 4;
    handles.files[handle] =
        winsim::OpenFile{descriptor, info.st_dev, info.st_ino, access, share_mode};
    const bool reported = existed && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS);
    SetLastError(reported ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace
}  // namespace winsim

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share_mode, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*template_file*/) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "CreateFileA", "%s, 0x%lx, 0x%lx, %lu", winsim::Shown(path),
                          static_cast<unsigned long>(access),
                          static_cast<unsigned long>(share_mode),
                          static_cast<unsigned long>(disposition))) {
        return winsim::FailsWith(fault);
    }
    if (path == nullptr) return winsim::FailsWith(ERROR_INVALID_PARAMETER);
    std::string host;
    DWORD error = 0;
    if (!winsim::HostFileName(path, nullptr, &host, &error)) return winsim::FailsWith(error);
    return winsim::OpenHandle(host.c_str(), access, share_mode, disposition);
}

// Recorded with the path in UTF-8; the 95 family's stub answers
// ERROR_CALL_NOT_IMPLEMENTED.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, SECURITY_ATTRIBUTES* /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*template_file*/) {
    const std::string host = path != nullptr ? winsim::HostPath(path) : "NULL";
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "CreateFileW", "%s, 0x%lx, 0x%lx, %lu", host.c_str(),
                          static_cast<unsigned long>(access),
                          static_cast<unsigned long>(share_mode),
                          static_cast<unsigned long>(disposition))) {
        return winsim::FailsWith(fault);
    }
    if (winsim::IsWindows95Family()) return winsim::FailsWith(ERROR_CALL_NOT_IMPLEMENTED);
    if (path == nullptr) return winsim::FailsWith(ERROR_INVALID_PARAMETER);
    std::string name;
    DWORD error = 0;
    if (!winsim::HostFileName(nullptr, path, &name, &error)) return winsim::FailsWith(error);
    return winsim::OpenHandle(name.c_str(), access, share_mode, disposition);
}

// 32-bit positions only when distance_high is null, as Windows.
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "SetFilePointer", "%p, %ld, %lu", file,
                          static_cast<long>(distance), static_cast<unsigned long>(method))) {
        SetLastError(fault);
        return INVALID_SET_FILE_POINTER;
    }
    winsim::OpenFile* open = winsim::FindFile(file);
    if (open == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    if (method > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset = distance;
    if (distance_high != nullptr) {
        offset = static_cast<int64_t>(
            (static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
            static_cast<uint32_t>(distance));
    }
    const int whence = method == FILE_BEGIN     ? SEEK_SET
                       : method == FILE_CURRENT ? SEEK_CUR
                                                : SEEK_END;
    const off_t at = lseek(open->descriptor, static_cast<off_t>(offset), whence);
    if (at < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);  // a negative position: 131 on Windows
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high != nullptr)
        *distance_high = static_cast<LONG>(static_cast<uint64_t>(at) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(at);
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, OVERLAPPED* /*overlapped*/) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "WriteFile", "%p, %lu", file, static_cast<unsigned long>(size))) {
        if (written != nullptr) *written = 0;
        return winsim::Fails(fault);
    }
    if (written == nullptr) return winsim::Fails(ERROR_INVALID_PARAMETER);
    *written = 0;
    winsim::OpenFile* open = winsim::FindFile(file);
    if (open == nullptr) return winsim::Fails(ERROR_INVALID_HANDLE);
    if ((open->access & winsim::kWriteAccess) == 0) return winsim::Fails(ERROR_ACCESS_DENIED);
    const char* bytes = static_cast<const char*>(data);
    while (*written < size) {
        const ssize_t done = write(open->descriptor, bytes + *written, size - *written);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            return winsim::Fails(done < 0 && errno == ENOSPC ? ERROR_DISK_FULL
                                                             : ERROR_ACCESS_DENIED);
        }
        *written += static_cast<DWORD>(done);
    }
    return TRUE;
}

// Writes the file's data to the disk (fsync); a handle without write access
// cannot be flushed (5), as on Windows.
BOOL FlushFileBuffers(HANDLE file) {
    winsim::OpenFile* open = winsim::StartWriteCall("FlushFileBuffers", file);
    if (open == nullptr) return FALSE;
    if (fsync(open->descriptor) != 0) return winsim::Fails(ERROR_ACCESS_DENIED);
    return TRUE;
}

// The file ends at the handle's position.
BOOL SetEndOfFile(HANDLE file) {
    winsim::OpenFile* open = winsim::StartWriteCall("SetEndOfFile", file);
    if (open == nullptr) return FALSE;
    const off_t at = lseek(open->descriptor, 0, SEEK_CUR);
    if (at < 0 || ftruncate(open->descriptor, at) != 0) return winsim::Fails(ERROR_ACCESS_DENIED);
    return TRUE;
}

// Lexical, as Windows: "." and ".." go without looking at the disk.
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* file_part) {
    const std::string host = name != nullptr ? winsim::HostPath(name) : "NULL";
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetFullPathNameW", "%s, %lu", host.c_str(),
                          static_cast<unsigned long>(size))) {
        SetLastError(fault);
        return 0;
    }
    if (winsim::IsWindows95Family()) return winsim::Fails(ERROR_CALL_NOT_IMPLEMENTED);
    if (name == nullptr || name[0] == 0) return winsim::Fails(ERROR_INVALID_PARAMETER);
    std::string path = host;
    if (path[0] != '/') {
        char folder[PATH_MAX];
        if (getcwd(folder, sizeof folder) == nullptr) return winsim::Fails(ERROR_ACCESS_DENIED);
        path = std::string(folder) + "/" + path;
    }
    std::vector<std::string> parts;
    for (size_t at = 0; at < path.size();) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) full += "/" + part;
    if (full.empty() || path.back() == '/') full += "/";
    const std::u16string wide = winsim::WidePath(full);
    if (wide.size() + 1 > size) return static_cast<DWORD>(wide.size() + 1);
    std::char_traits<char16_t>::copy(buffer, wide.c_str(), wide.size() + 1);
    if (file_part != nullptr) {
        const size_t slash = full.rfind('/');
        *file_part = slash + 1 < full.size()
                         ? buffer + winsim::WidePath(full.substr(0, slash + 1)).size()
                         : nullptr;
    }
    return static_cast<DWORD>(wide.size());
}

// A fault makes it do nothing: the handle stays open.
BOOL CloseHandle(HANDLE object) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "CloseHandle", "%p", object)) return winsim::Fails(fault);
    auto found = winsim::Handles().files.find(reinterpret_cast<uintptr_t>(object));
    if (found == winsim::Handles().files.end()) return winsim::Fails(ERROR_INVALID_HANDLE);
    close(found->second.descriptor);
    winsim::Handles().files.erase(found);
    return TRUE;
}

namespace winsim {
namespace {

// A lock call, recorded with the byte it asks for; never held (see win32_api.h).
BOOL RecordLockCall(const char* name, DWORD offset) {
    DWORD fault = 0;
    if (CallFails(&fault, name, "0x%lx", static_cast<unsigned long>(offset))) return Fails(fault);
    return TRUE;
}

}  // namespace
}  // namespace winsim

BOOL LockFile(HANDLE /*file*/, DWORD offset_low, DWORD /*offset_high*/, DWORD /*bytes_low*/,
              DWORD /*bytes_high*/) {
    return winsim::RecordLockCall("LockFile", offset_low);
}

BOOL UnlockFile(HANDLE /*file*/, DWORD offset_low, DWORD /*offset_high*/, DWORD /*bytes_low*/,
                DWORD /*bytes_high*/) {
    return winsim::RecordLockCall("UnlockFile", offset_low);
}
