// The registry file of the native program: FIX_TAMRIX_REGISTRY names a .reg
// file that is read at the first registry call and written back at exit when
// anything changed. A file that cannot be read is reported once on stderr;
// every registry call then fails with ERROR_BADDB (1009) and the file is
// never written, so a typo in a test's registry cannot be overwritten.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "winsim/test_hooks.h"
#include "winsim/registry_store.h"

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
        fprintf(stderr,
                "fix_tamrix: the registry file \"%s\" %s%s; every registry call fails and the "
                "file is left as it is\n",
                file->path.c_str(), error.compare(0, 5, "line ") == 0 ? "is malformed: " : "",
                error.c_str());
        return;
    }
    file->state = FileState::kLoaded;
    if (!file->exit_hook) {
        file->exit_hook = true;
        atexit(WriteBackAtExit);
    }
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
    // Written beside the file and renamed over it, so a failed write keeps the old one.
    std::string temporary = file.path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << SaveRegistryText();
        out.close();
        if (!out) {
            remove(temporary.c_str());
            if (error != nullptr) *error = "cannot write the registry file \"" + file.path + "\"";
            return false;
        }
    }
    if (rename(temporary.c_str(), file.path.c_str()) != 0) {
        remove(temporary.c_str());
        if (error != nullptr) *error = "cannot replace the registry file \"" + file.path + "\"";
        return false;
    }
    ClearRegistryChanged();
    return true;
}

}  // namespace winsim
