#include "support/capture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <windows.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define fileno _fileno
#else
#include <unistd.h>
#endif

std::string CaptureStdout(const std::function<void()>& body) {
    fflush(stdout);
    std::string path;
#ifdef _WIN32
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    char file[MAX_PATH];
    GetTempFileNameA(folder, "ftc", 0, file);
    path = file;
    FILE* sink = fopen(path.c_str(), "wb");
#else
    std::string pattern = "/tmp/fix_tamrix_capture_XXXXXX";
    int fd = mkstemp(&pattern[0]);
    path = pattern;
    FILE* sink = fdopen(fd, "wb");
#endif
    int saved = dup(fileno(stdout));
    dup2(fileno(sink), fileno(stdout));
    body();
    fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    fclose(sink);
    std::string output = ReadWholeFile(path);
    remove(path.c_str());
    return output;
}

std::string MakeTempFolder() {
#ifdef _WIN32
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    static int counter = 0;
    std::string path = std::string(folder) + "fix_tamrix_test_" +
                       std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    _mkdir(path.c_str());
    return path;
#else
    char pattern[] = "/tmp/fix_tamrix_test_XXXXXX";
    return mkdtemp(pattern);
#endif
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}
