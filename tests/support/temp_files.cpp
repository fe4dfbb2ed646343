#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/capture.h"

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Removes `path` and, for a folder, all it holds, whatever the attributes.
void RemoveTree(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DeleteFileA(path.c_str());
        return;
    }
    // A link to a folder goes without what it leads to.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name != "." && name != "..") names.push_back(name);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        for (const std::string& name : names) RemoveTree(path + "\\" + name);
    }
    RemoveDirectoryA(path.c_str());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
#else
// Removes `path` and, for a folder, all it holds; links are removed, never followed.
void RemoveTree(const std::string& path) {
    struct stat facts;
    if (lstat(path.c_str(), &facts) != 0) return;
    if (!S_ISDIR(facts.st_mode)) {
        unlink(path.c_str());
        return;
    }
    chmod(path.c_str(), facts.st_mode | S_IRWXU);  // a folder made read-only still empties
    std::vector<std::string> names;
    if (DIR* folder = opendir(path.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(folder);
    }
    for (const std::string& name : names) RemoveTree(path + "/" + name);
    rmdir(path.c_str());
}

bool Exists(const std::string& path) {
    struct stat facts;
    return lstat(path.c_str(), &facts) == 0;
}
#endif

}  // namespace

TempFolder::TempFolder() : path_(MakeTempFolder()) {}

TempFolder::~TempFolder() {
    RemoveTree(path_);
    EXPECT_FALSE(Exists(path_)) << "the temporary folder " << path_ << " could not be removed";
}

void TempFolder::Empty() const {
    RemoveTree(path_);
#ifdef _WIN32
    CreateDirectoryA(path_.c_str(), nullptr);
#else
    mkdir(path_.c_str(), 0700);
#endif
}

std::string TempFolder::Write(const std::string& name, const std::string& contents,
                              DWORD attributes) const {
    const std::string path = path_ + "/" + name;
    WriteWholeFile(path, contents);
    EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    return path;
}
