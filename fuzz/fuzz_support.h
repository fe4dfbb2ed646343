// Shared by the fuzzers: a quiet standard output, a failed check that stops
// the run, and the whole native registry read back through Win32 calls.
#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "platform/platform.h"

// Sends C stdio's standard output to /dev/null from now on.
void SilenceStdout();

// Prints `what` on stderr and aborts, which libFuzzer reports as a crash.
[[noreturn]] void FuzzFailure(const char* what);
inline void Require(bool holds, const char* what) {
    if (!holds) FuzzFailure(what);
}

struct StoredValue {
    DWORD type;
    std::string data;
    bool operator==(const StoredValue& other) const {
        return type == other.type && data == other.data;
    }
};

// Every key (full path) and every value (key path, name) of the registry.
struct RegistrySnapshot {
    std::set<std::string> keys;
    std::map<std::pair<std::string, std::string>, StoredValue> values;
};

// Reads the whole registry under all seven roots; injected faults must be
// cleared first. Leaves no handle open.
RegistrySnapshot TakeRegistrySnapshot();

// ASCII letters without regard to case, every other byte exactly.
bool EqualNoCase(const std::string& a, const std::string& b);

// Whether registry data is text (REG_SZ or REG_EXPAND_SZ) that, up to its
// first NUL and trimmed of C-locale white space at both ends, equals
// `expected` (also trimmed) without regard to case.
bool IsTextEqual(DWORD type, const std::string& data, const std::string& expected);
