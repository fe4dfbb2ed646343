#include "fuzz_support.h"

#include <cstdlib>
#include <vector>

#include "winsim/registry_store.h"

void SilenceStdout() {
    fflush(stdout);
    if (freopen("/dev/null", "w", stdout) == nullptr) FuzzFailure("cannot silence stdout");
}

void FuzzFailure(const char* what) {
    fprintf(stderr, "fuzz check failed: %s\n", what);
    abort();
}

namespace {

void ReadKey(HKEY key, const std::string& path, RegistrySnapshot* snapshot) {
    snapshot->keys.insert(path);
    DWORD subkeys = 0, longest_key = 0, values = 0, longest_name = 0, longest_data = 0;
    LONG code = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longest_key, nullptr,
                                 &values, &longest_name, &longest_data, nullptr, nullptr);
    if (code != ERROR_SUCCESS) FuzzFailure("RegQueryInfoKeyA failed while reading back");
    std::vector<char> name(longest_name + 1);
    std::vector<BYTE> data(longest_data + 1);
    for (DWORD i = 0; i < values; ++i) {
        DWORD name_size = static_cast<DWORD>(name.size());
        DWORD data_size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        code =
            RegEnumValueA(key, i, name.data(), &name_size, nullptr, &type, data.data(), &data_size);
        if (code != ERROR_SUCCESS) FuzzFailure("RegEnumValueA failed while reading back");
        snapshot->values[{path, std::string(name.data(), name_size)}] =
            StoredValue{type, std::string(reinterpret_cast<char*>(data.data()), data_size)};
    }
    std::vector<char> child(longest_key + 1);
    for (DWORD i = 0; i < subkeys; ++i) {
        code = RegEnumKeyA(key, i, child.data(), static_cast<DWORD>(child.size()));
        if (code != ERROR_SUCCESS) FuzzFailure("RegEnumKeyA failed while reading back");
        HKEY opened = nullptr;
        if (RegOpenKeyA(key, child.data(), &opened) != ERROR_SUCCESS) {
            FuzzFailure("RegOpenKeyA failed while reading back");
        }
        ReadKey(opened, path + "\\" + child.data(), snapshot);
        RegCloseKey(opened);
    }
}

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string Trimmed(const std::string& text) {
    size_t start = 0, end = text.size();
    while (start < end && IsBlank(static_cast<unsigned char>(text[start]))) ++start;
    while (end > start && IsBlank(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(start, end - start);
}

}  // namespace

RegistrySnapshot TakeRegistrySnapshot() {
    RegistrySnapshot snapshot;
    for (const winsim::RegistryRoot& root : winsim::kRegistryRoots) {
        ReadKey(root.handle, root.name, &snapshot);
    }
    return snapshot;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool IsTextEqual(DWORD type, const std::string& data, const std::string& expected) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    return EqualNoCase(Trimmed(data.substr(0, data.find('\0'))), Trimmed(expected));
}
