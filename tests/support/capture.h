// Test support: what a piece of code prints on standard output, and files.
#pragma once

#include <functional>
#include <string>

// Runs `body` and returns everything it wrote to standard output (C stdio).
std::string CaptureStdout(const std::function<void()>& body);

// A fresh, empty temporary folder (trailing separator not included).
std::string MakeTempFolder();

// Whole contents of a file, or "<missing>" when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Writes `contents` to `path`, replacing it.
void WriteWholeFile(const std::string& path, const std::string& contents);
