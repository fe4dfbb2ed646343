// Native layer: file attributes, deletion and moves on real Linux files.
// Read-only is the owner's write bit; hidden, system and archive are kept
// here per path, and forgotten when the file goes away.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "winsim/code_page.h"
#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

constexpr DWORD kKeptBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kMoveReplaceExisting = 0x1;
constexpr DWORD kErrorAlreadyExists = 183;

// Which file a path named when its bits were kept: a later file at the same
// path may get the same inode, but not the same birth time.
struct FileIdentity {
    dev_t device;
    ino_t inode;
    int64_t born_seconds;
    uint32_t born_nanoseconds;
};

struct KeptAttributes {
    DWORD bits;
    FileIdentity file;
};

struct FileState {
    std::map<std::string, KeptAttributes> attributes;  // by canonical path
    std::vector<std::string> restart_operations;
    bool administrator = true;
};

FileState& Files() {
    static FileState state;
    return state;
}

const char* Shown(const char* path) { return path != nullptr ? path : "NULL"; }

// The canonical form of an existing path, for keying attributes.
std::string CanonicalPath(const char* path) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) == nullptr) return path;
    return resolved;
}

FileIdentity IdentityOf(const std::string& path, const struct stat& info) {
    FileIdentity identity{info.st_dev, info.st_ino, 0, 0};
    struct statx extra;
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &extra) == 0 &&
        (extra.stx_mask & STATX_BTIME) != 0) {
        identity.born_seconds = extra.stx_btime.tv_sec;
        identity.born_nanoseconds = extra.stx_btime.tv_nsec;
    }
    return identity;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode && a.born_seconds == b.born_seconds &&
           a.born_nanoseconds == b.born_nanoseconds;
}

DWORD KeptBits(const char* path, const struct stat& info) {
    if (Files().attributes.empty()) return 0;  // spares the path's resolution
    const std::string canonical = CanonicalPath(path);
    auto found = Files().attributes.find(canonical);
    if (found == Files().attributes.end()) return 0;
    if (!SameFile(found->second.file, IdentityOf(canonical, info))) {
        Files().attributes.erase(found);  // a later file took the old one's path
        return 0;
    }
    return found->second.bits;
}

void KeepBits(const std::string& canonical, const struct stat& info, DWORD bits) {
    if (bits == 0) {
        Files().attributes.erase(canonical);
    } else {
        Files().attributes[canonical] = KeptAttributes{bits, IdentityOf(canonical, info)};
    }
}

bool Fails(DWORD error) {
    SetLastError(error);
    return false;
}

}  // namespace

// Windows' code for a path that could not be reached: 3 when the folder is
// missing, 2 when only the file is.
DWORD ErrorOfMissing(const char* path, int error) {
    if (error == ENOTDIR || error == ENAMETOOLONG) return ERROR_PATH_NOT_FOUND;
    if (error == EACCES || error == EPERM) return ERROR_ACCESS_DENIED;
    if (error != ENOENT) return ERROR_ACCESS_DENIED;
    std::string folder(path);
    const size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos) return ERROR_FILE_NOT_FOUND;
    folder.resize(slash == 0 ? 1 : slash);
    struct stat info;
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                     : ERROR_PATH_NOT_FOUND;
}

const std::vector<std::string>& RestartOperations() { return Files().restart_operations; }

void SetAdministrator(bool on) { Files().administrator = on; }

void ResetFiles() { Files() = FileState(); }

}  // namespace winsim

using winsim::Fails;

DWORD GetFileAttributesA(LPCSTR path) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "GetFileAttributesA", "%s", winsim::Shown(path))) {
        SetLastError(fault);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (path == nullptr || path[0] == '\0') {
        SetLastError(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat info;
    if (stat(path, &info) != 0) {
        SetLastError(winsim::ErrorOfMissing(path, errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = winsim::KeptBits(path, info);
    if (S_ISDIR(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if ((info.st_mode & S_IWUSR) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// NORMAL is honoured only alone (it clears everything); bits that cannot be
// set, such as DIRECTORY, are ignored. A folder keeps its read-only bit here,
// since its mode guards its contents on Linux.
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "SetFileAttributesA", "%s, 0x%lx", winsim::Shown(path),
                          static_cast<unsigned long>(attributes))) {
        return Fails(fault);
    }
    if (path == nullptr || path[0] == '\0') {
        return Fails(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
    }
    struct stat info;
    if (stat(path, &info) != 0) return Fails(winsim::ErrorOfMissing(path, errno));
    const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    DWORD kept = attributes & winsim::kKeptBits;
    if (S_ISDIR(info.st_mode)) {
        if (read_only) kept |= FILE_ATTRIBUTE_READONLY;
    } else {
        const mode_t mode = read_only ? (info.st_mode & ~S_IWUSR) : (info.st_mode | S_IWUSR);
        if ((mode & 07777) != (info.st_mode & 07777) && chmod(path, mode & 07777) != 0) {
            return Fails(ERROR_ACCESS_DENIED);
        }
    }
    winsim::KeepBits(winsim::CanonicalPath(path), info, kept);
    return TRUE;
}

namespace winsim {
namespace {

BOOL DeleteHostFile(const char* path) {
    struct stat info;
    if (lstat(path, &info) != 0) return Fails(winsim::ErrorOfMissing(path, errno));
    if (S_ISDIR(info.st_mode)) return Fails(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0) {
        return Fails(ERROR_ACCESS_DENIED);  // read-only
    }
    const std::string canonical = winsim::CanonicalPath(path);
    if (unlink(path) != 0) return Fails(winsim::ErrorOfMissing(path, errno));
    winsim::Files().attributes.erase(canonical);
    return TRUE;
}

}  // namespace
}  // namespace winsim

BOOL DeleteFileA(LPCSTR path) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "DeleteFileA", "%s", winsim::Shown(path))) return Fails(fault);
    if (path == nullptr || path[0] == '\0') {
        return Fails(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
    }
    return winsim::DeleteHostFile(path);
}

// Recorded with the path in UTF-8; the 95 family's stub answers
// ERROR_CALL_NOT_IMPLEMENTED.
BOOL DeleteFileW(LPCWSTR path) {
    const std::string shown = path != nullptr ? winsim::HostPath(path) : "NULL";
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "DeleteFileW", "%s", shown.c_str())) return Fails(fault);
    if (winsim::IsWindows95Family()) return Fails(ERROR_CALL_NOT_IMPLEMENTED);
    if (path == nullptr || path[0] == 0) {
        return Fails(path == nullptr ? ERROR_INVALID_PARAMETER : ERROR_FILE_NOT_FOUND);
    }
    std::string host;
    DWORD error = 0;
    if (!winsim::HostFileName(nullptr, path, &host, &error)) return Fails(error);
    return winsim::DeleteHostFile(host.c_str());
}

// With MOVEFILE_DELAY_UNTIL_REBOOT the operation is only recorded, as Windows
// only records it for the next restart; otherwise the file is renamed now.
BOOL MoveFileExA(LPCSTR existing, LPCSTR new_name, DWORD flags) {
    DWORD fault = 0;
    if (winsim::CallFails(&fault, "MoveFileExA", "%s, %s, 0x%lx", winsim::Shown(existing),
                          winsim::Shown(new_name), static_cast<unsigned long>(flags))) {
        return Fails(fault);
    }
    if (existing == nullptr || existing[0] == '\0') return Fails(ERROR_INVALID_PARAMETER);
    if ((flags & MOVEFILE_DELAY_UNTIL_REBOOT) != 0) {
        if (!winsim::Files().administrator) return Fails(ERROR_ACCESS_DENIED);
        winsim::Files().restart_operations.push_back(new_name == nullptr ? std::string(existing)
                                                                         : std::string(existing) +
                                                                               " -> " + new_name);
        return TRUE;
    }
    if (new_name == nullptr || new_name[0] == '\0') return Fails(ERROR_INVALID_PARAMETER);
    struct stat info;
    if (lstat(existing, &info) != 0) return Fails(winsim::ErrorOfMissing(existing, errno));
    struct stat target;
    if ((flags & winsim::kMoveReplaceExisting) == 0 && lstat(new_name, &target) == 0) {
        return Fails(winsim::kErrorAlreadyExists);
    }
    const std::string from = winsim::CanonicalPath(existing);
    if (rename(existing, new_name) != 0) return Fails(winsim::ErrorOfMissing(new_name, errno));
    auto found = winsim::Files().attributes.find(from);
    if (found != winsim::Files().attributes.end()) {
        const winsim::KeptAttributes kept = found->second;
        winsim::Files().attributes.erase(found);
        winsim::Files().attributes[winsim::CanonicalPath(new_name)] = kept;
    }
    return TRUE;
}
