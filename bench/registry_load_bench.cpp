// Loads generated registry files of 10,000 and 100,000 values, as the native
// program does at its first registry call, and prints the seconds each took.
//
//   registry_load_bench [<values> ...]
//
// Half the values sit in one key and half spread over keys of 100 values, so
// that both lookups of values within a key and of keys within a parent count.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "winsim/test_hooks.h"

namespace {

std::string GeneratedText(unsigned long values) {
    std::string text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Big]\n";
    char line[160];
    unsigned long in_one_key = values / 2;
    for (unsigned long i = 0; i < in_one_key; ++i) {
        snprintf(line, sizeof line, "\"Value %lu\"=\"C:\\\\Program Files\\\\App %lu\\\\app.exe\"\n",
                 i, i);
        text += line;
    }
    // Two values a line pair, 100 values a key.
    for (unsigned long i = in_one_key; i + 1 < values; i += 2) {
        if ((i - in_one_key) % 100 == 0) {
            snprintf(line, sizeof line, "\n[HKEY_CURRENT_USER\\Software\\Spread\\Key %lu]\n",
                     i / 100);
            text += line;
        }
        snprintf(line, sizeof line, "\"V%lu\"=dword:%08lx\n\"H%lu\"=hex(2):25,54,25,00\n", i, i, i);
        text += line;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<unsigned long> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(strtoul(argv[i], nullptr, 10));
    if (counts.empty()) counts = {10000, 100000};
    for (unsigned long count : counts) {
        std::string text = GeneratedText(count);
        winsim::Reset();
        auto start = std::chrono::steady_clock::now();
        std::string error;
        bool loaded = winsim::LoadRegistryText(text, &error);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!loaded) {
            fprintf(stderr, "registry_load_bench: %s\n", error.c_str());
            return 1;
        }
        printf("%lu values (%zu bytes): loaded in %.3f s\n", count, text.size(), seconds);
    }
    return 0;
}
