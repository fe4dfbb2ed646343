// Test files written into a temporary folder with chosen attributes, and
// removed again afterwards, read-only ones included.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// Writes `contents` to `folder`/`name`, gives it `attributes` and records the
// path in `files`; returns the path.
std::string WriteTestFile(const std::string& folder, const std::string& name,
                          const std::string& contents, DWORD attributes,
                          std::vector<std::string>* files);

// Removes every file in `files`, whatever its attributes.
void RemoveTestFiles(const std::vector<std::string>& files);
