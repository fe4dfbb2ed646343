// A temporary folder that removes itself with everything in it, and test
// files written into it with chosen attributes.
#pragma once

#include <string>

#include "platform/platform.h"

// A fresh, empty temporary folder, removed with all it holds (read-only and
// hidden files, subfolders) when its owner goes; a folder that cannot be
// removed then fails the test, as a handle left open would make it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, without a trailing separator.
    const std::string& path() const { return path_; }
    // Removes all the folder holds, leaving it empty.
    void Empty() const;
    // Writes `contents` to the file `name` in it and gives it `attributes`; its path.
    std::string Write(const std::string& name, const std::string& contents,
                      DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;

  private:
    std::string path_;
};
