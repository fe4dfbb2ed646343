#include "support/temp_files.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/capture.h"

std::string WriteTestFile(const std::string& folder, const std::string& name,
                          const std::string& contents, DWORD attributes,
                          std::vector<std::string>* files) {
    const std::string path = folder + "/" + name;
    WriteWholeFile(path, contents);
    EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    files->push_back(path);
    return path;
}

void RemoveTestFiles(const std::vector<std::string>& files) {
    for (const std::string& path : files) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        remove(path.c_str());
    }
}
