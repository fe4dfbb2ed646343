// The registry file of the native program: FIX_TAMRIX_REGISTRY names a .reg
// file that is read at the first registry call and written back at exit when
// anything changed. A file that cannot be read is reported once on stderr;
// every registry call then fails with ERROR_BADDB (1009) and the file is
// never written, so a typo in a test's registry cannot be overwritten.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

enum class FileState { kUnchecked, kNone, kPending, kLoaded, kBroken };

struct RegistryFile {
    FileState state = FileState::kUnchecked;  // kUnchecked: the environment not yet read
    std::string path;
    bool exit_hook = false;
};

RegistryFile& File() {
    static RegistryFile file;
    return file;
}

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

void WriteBackAtExit() {
    std::string error;
    if (!WriteBackRegistryFile(&error)) fprintf(stderr, "fix_tamrix: %s\n", error.c_str());
}

void ReadFile(RegistryFile* file) {
    std::string error;
    struct stat facts;
    bool exists = stat(file->path.c_str(), &facts) == 0;
    std::ifstream in;
    if (!exists && errno == ENOENT) {
        RegistryKey empty[kRegistryRootCount];  // a missing file is an empty registry
        ReplaceRegistry(empty);
    } else if (!exists || !S_ISREG(facts.st_mode) || (in.open(file->path, std::ios::binary), !in)) {
        error = "cannot be opened";
    } else {
        std::ostringstream text;
        text << in.rdbuf();
        if (!LoadRegistryText(text.str(), &error) && error.empty()) error = "cannot be read";
    }
    if (!error.empty()) {
        file->state = FileState::kBroken;
        const char* what = "";
        if (error.find("cannot be held exactly") != std::string::npos) {
            what = "holds what the native registry cannot hold: ";
        } else if (error.compare(0, 5, "line ") == 0) {
            what = "is malformed: ";
        }
        fprintf(stderr,
                "fix_tamrix: the registry file \"%s\" %s%s; every registry call fails and the "
                "file is left as it is\n",
                file->path.c_str(), what, error.c_str());
        return;
    }
    file->state = FileState::kLoaded;
    if (!file->exit_hook) {
        file->exit_hook = true;
        atexit(WriteBackAtExit);
    }
}

// Writes all of `text` to `fd`; false with errno set when that fails.
bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Creates a new temporary file beside `target`, never through an existing
// name or link; -1 when none can be made.
int CreateTemporary(const std::string& target, std::string* temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = target + ".tmp";
        if (attempt > 0)
            *temporary += "." + std::to_string(getpid()) + "." + std::to_string(attempt);
        int fd =
            open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Replaces the contents of the file at `path` with `text` as one step: a
// temporary file in the same folder is written completely, synced, given
// the file's permission bits and renamed over it, so the file is either as
// it was or wholly new. A symbolic link is written through to its target
// and stays a link. "" on success, else what went wrong.
std::string ReplaceFileContents(const std::string& path, const std::string& text) {
    std::string target = path;
    mode_t mode = 0666 & ~CurrentUmask();
    struct stat facts;
    if (lstat(path.c_str(), &facts) == 0) {
        if (S_ISLNK(facts.st_mode)) {
            char* resolved = realpath(path.c_str(), nullptr);
            if (resolved == nullptr) {
                return "the registry file \"" + path + "\" is a link to nothing; it is not written";
            }
            target = resolved;
            free(resolved);
            if (stat(target.c_str(), &facts) != 0) {
                return "the registry file \"" + path + "\" cannot be examined; it is not written";
            }
        }
        if (!S_ISREG(facts.st_mode)) {
            return "the registry file \"" + path + "\" is not a plain file; it is not written";
        }
        mode = facts.st_mode & 07777;
    } else if (errno != ENOENT) {
        return "the registry file \"" + path + "\" cannot be examined; it is not written";
    }
    std::string temporary;
    int fd = CreateTemporary(target, &temporary);
    if (fd < 0) {
        return "no temporary file can be created beside the registry file \"" + target +
               "\"; it is left as it was";
    }
    bool written = WriteAll(fd, text) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return "cannot write the registry file \"" + target + "\"; it is left as it was";
    }
    std::string folder = target.substr(0, target.find_last_of('/') + 1);
    int folder_fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0) {
        fsync(folder_fd);  // the rename itself lasts only once the folder is synced
        close(folder_fd);
    }
    return "";
}

}  // namespace

bool RegistryFileReady(DWORD* code) {
    RegistryFile& file = File();
    if (file.state == FileState::kUnchecked) {
        const char* path = getenv("FIX_TAMRIX_REGISTRY");
        file.state = path != nullptr && path[0] != '\0' ? FileState::kPending : FileState::kNone;
        if (path != nullptr) file.path = path;
    }
    if (file.state == FileState::kPending) ReadFile(&file);
    if (file.state == FileState::kBroken) {
        *code = kErrorBadRegistryFile;
        return false;
    }
    return true;
}

void DetachRegistryFile() {
    File().state = FileState::kNone;
    File().path.clear();
}

void UseRegistryFile(const char* path) {
    RegistryFile& file = File();
    file.state = path != nullptr ? FileState::kPending : FileState::kNone;
    file.path = path != nullptr ? path : "";
}

bool WriteBackRegistryFile(std::string* error) {
    RegistryFile& file = File();
    if (file.state != FileState::kLoaded || !RegistryChanged()) return true;
    std::string problem = ReplaceFileContents(file.path, SaveRegistryText());
    if (!problem.empty()) {
        if (error != nullptr) *error = problem;
        return false;
    }
    ClearRegistryChanged();
    return true;
}

}  // namespace winsim
