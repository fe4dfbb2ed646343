// Checks every file of a folder against WORM_TAMRIX.A and prints files per
// second, bytes read per file and how often each result came up.
//
//   scan_folder_bench [<folder> [<rounds>]]
//
// Without a folder it makes a temporary one with generated files (infected
// and clean executables, text and short files), checks it, and removes it.
// Files are only checked, never deleted.
#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/result_codes.h"
#include "scan/signature_check.h"
#include "support/capture.h"
#include "support/pe_fixture.h"
#include "tables/detections.h"

#ifdef _WIN32
#include <direct.h>
#endif

namespace {

constexpr int kDefaultRounds = 5;
constexpr int kGeneratedOfEachKind = 50;

// Bytes this process has read from files so far, as the system counts them
// (stdio's buffering included); 0 when the system does not say.
unsigned long long BytesReadSoFar() {
#ifdef _WIN32
    IO_COUNTERS counters;
    if (!GetProcessIoCounters(GetCurrentProcess(), &counters)) return 0;
    return counters.ReadTransferCount;
#else
    FILE* io = fopen("/proc/self/io", "r");
    if (io == nullptr) return 0;
    unsigned long long bytes = 0;
    char line[128];
    while (fgets(line, sizeof line, io) != nullptr) {
        if (sscanf(line, "rchar: %llu", &bytes) == 1) break;
    }
    fclose(io);
    return bytes;
#endif
}

std::vector<std::string> FilesOf(const std::string& folder) {
    std::vector<std::string> files;
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) return files;
    while (dirent* entry = readdir(listing)) {
        const std::string path = folder + kPathSeparator + entry->d_name;
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) files.push_back(path);
    }
    closedir(listing);
    return files;
}

std::vector<std::string> MakeSampleFiles(const std::string& folder) {
    const std::string infected = MakeInfectedPe(kTamrixSignatures);
    std::string clean = infected;
    clean[static_cast<size_t>(kTamrixSignatures[0].file_offset)] ^= 0x01;
    const std::string kinds[] = {infected, clean, std::string(4096, 't'), std::string(30, 's')};
    std::vector<std::string> paths;
    int number = 0;
    for (const std::string& contents : kinds) {
        for (int i = 0; i < kGeneratedOfEachKind; ++i) {
            paths.push_back(folder + kPathSeparator + "sample" + std::to_string(number++));
            WriteWholeFile(paths.back(), contents);
        }
    }
    return paths;
}

void RemoveFolder(const std::string& folder, const std::vector<std::string>& files) {
    for (const std::string& path : files) remove(path.c_str());
#ifdef _WIN32
    _rmdir(folder.c_str());
#else
    remove(folder.c_str());
#endif
}

struct ResultCount {
    int32_t result;
    unsigned long count;
};

}  // namespace

int main(int argc, char** argv) {
    const bool generated = argc < 2;
    const std::string folder = generated ? MakeTempFolder() : argv[1];
    const int rounds = argc >= 3 ? atoi(argv[2]) : kDefaultRounds;
    std::vector<std::string> samples;
    if (generated) samples = MakeSampleFiles(folder);
    const std::vector<std::string> files = FilesOf(folder);
    if (files.empty() || rounds <= 0) {
        fprintf(stderr, "no files to check in \"%s\"\n", folder.c_str());
        if (generated) RemoveFolder(folder, samples);
        return 1;
    }

    ResultCount counts[16] = {};
    size_t distinct = 0;
    const unsigned long long bytes_before = BytesReadSoFar();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& path : files) {
            const int32_t result = CheckFileSignatures(path.c_str(), kTamrixSignatures);
            size_t i = 0;
            while (i < distinct && counts[i].result != result) ++i;
            if (i == distinct && distinct < sizeof counts / sizeof counts[0]) {
                counts[distinct++] = ResultCount{result, 0};
            }
            if (i < distinct) ++counts[i].count;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const unsigned long long bytes_read = BytesReadSoFar() - bytes_before;
    const double checks = static_cast<double>(files.size()) * rounds;

    printf("folder: %s%s\n", folder.c_str(), generated ? " (generated samples)" : "");
    printf("files: %zu, rounds: %d, checks: %.0f, seconds: %.3f\n", files.size(), rounds, checks,
           seconds);
    printf("files per second: %.0f\n", seconds > 0 ? checks / seconds : 0.0);
    if (bytes_read == 0) {
        printf("bytes read per file: unknown (the system counted no reads)\n");
    } else {
        printf("bytes read per file: %.0f\n", static_cast<double>(bytes_read) / checks);
    }
    for (size_t i = 0; i < distinct; ++i) {
        const char* meaning = counts[i].result == 1   ? "infected"
                              : counts[i].result == 0 ? "clean"
                                                      : ErrorCodeText(counts[i].result);
        printf("result %3d (%s): %lu\n", static_cast<int>(counts[i].result), meaning,
               counts[i].count);
    }
    if (generated) RemoveFolder(folder, samples);
    return 0;
}
