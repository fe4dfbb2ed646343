#include "support/registry_sandbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#ifndef _WIN32
#include "winsim/test_hooks.h"
#endif

const char kSandboxParent[] = "Software\\fix_tamrix_test";

LONG DeleteTreeForTest(HKEY parent, const char* sub_key) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyA(parent, sub_key, &key);
    if (result != ERROR_SUCCESS) return result;
    char name[300];
    // Always the last subkey, so that indices stay valid while deleting.
    DWORD count = 0;
    result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    while (result == ERROR_SUCCESS && count > 0) {
        result = RegEnumKeyA(key, count - 1, name, sizeof name);
        if (result == ERROR_SUCCESS) result = DeleteTreeForTest(key, name);
        --count;
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return result;
    return RegDeleteKeyA(parent, sub_key);
}

std::string FreshSandbox(const char* name) {
    std::string sub_key = std::string(kSandboxParent) + "\\" + name;
    DeleteTreeForTest(HKEY_CURRENT_USER, sub_key.c_str());
    CreateKeyForTest(sub_key);
    return "HKEY_CURRENT_USER\\" + sub_key;
}

bool CreateKeyForTest(const std::string& sub_key) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool SetValueForTest(const std::string& sub_key, const char* name, DWORD type,
                     const std::string& data) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return false;
    LONG result = RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool SetTextForTest(const std::string& sub_key, const char* name, const std::string& text) {
    return SetValueForTest(sub_key, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

bool ImportForTest(const std::string& reg_text) {
#ifdef _WIN32
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return false;
    const std::string path = std::string(folder) + "fix_tamrix_import.reg";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << reg_text;
        if (!out) return false;
    }
    int code = system(("reg import \"" + path + "\" >NUL 2>&1").c_str());
    remove(path.c_str());
    return code == 0;
#else
    return winsim::ImportRegistryText(reg_text);
#endif
}

bool SetWideValueForTest(const std::string& sub_key, const std::u16string& name, DWORD type,
                         const void* data, size_t size) {
#ifdef _WIN32
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return false;
    LONG result = RegSetValueExW(key, reinterpret_cast<const wchar_t*>(name.c_str()), 0, type,
                                 static_cast<const BYTE*>(data), static_cast<DWORD>(size));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
#else
    return winsim::SetWideValue(HKEY_CURRENT_USER, sub_key.c_str(), name.c_str(), type, data, size);
#endif
}

bool SetWideTextForTest(const std::string& sub_key, const std::u16string& name, DWORD type,
                        const std::u16string& text) {
    return SetWideValueForTest(sub_key, name, type, text.c_str(),
                               (text.size() + 1) * sizeof(char16_t));
}

bool CreateWideKeyForTest(const std::string& sub_key, const std::u16string& below) {
#ifdef _WIN32
    std::u16string path(sub_key.begin(), sub_key.end());  // sandbox paths are ASCII
    path += u"\\" + below;
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(path.c_str()), &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
#else
    return winsim::SetWideKey(HKEY_CURRENT_USER, sub_key.c_str(), below.c_str());
#endif
}

bool KeyExistsForTest(const std::string& sub_key) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string SubkeyNamesForTest(const std::string& sub_key) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) {
        return "<missing>";
    }
    std::vector<std::string> names;
    char name[300];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        names.push_back(name);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& n : names) joined += (joined.empty() ? "" : " ") + n;
    return joined;
}

namespace {

std::string Hex(const BYTE* data, DWORD size) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (DWORD b = 0; b < size; ++b) {
        hex += kHex[data[b] >> 4];
        hex += kHex[data[b] & 15];
    }
    return hex;
}

// The values of `key` as stored: through the W calls (names with their
// units beyond ASCII as \uXXXX, data in UTF-16 as the system keeps it), or
// through the A calls on the 95 family, whose registry is ANSI.
std::vector<std::string> DumpValues(HKEY key) {
    std::vector<std::string> values;
    static BYTE data[70000];
    static WCHAR wide[16384];
    for (DWORD i = 0;; ++i) {
        DWORD name_size = 16384, data_size = sizeof data, type = 0;
        LONG result = RegEnumValueW(key, i, wide, &name_size, nullptr, &type, data, &data_size);
        if (result == ERROR_CALL_NOT_IMPLEMENTED) break;
        if (result != ERROR_SUCCESS) return values;
        std::string name;
        for (DWORD u = 0; u < name_size; ++u) {
            char unit[8];
            snprintf(unit, sizeof unit, wide[u] < 0x80 ? "%c" : "\\u%04x", wide[u]);
            name += unit;
        }
        values.push_back("  \"" + name + "\" " + std::to_string(type) + " " + Hex(data, data_size));
    }
    char name[300];
    for (DWORD i = 0;; ++i) {
        DWORD name_size = sizeof name, data_size = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &name_size, nullptr, &type, data, &data_size) !=
            ERROR_SUCCESS) {
            break;
        }
        values.push_back("  \"" + std::string(name) + "\" " + std::to_string(type) + " " +
                         Hex(data, data_size));
    }
    return values;
}

void DumpKey(HKEY key, const std::string& relative, std::vector<std::string>* lines) {
    std::vector<std::string> values = DumpValues(key);
    char name[300];
    std::sort(values.begin(), values.end());
    lines->push_back("[" + relative + "]");
    lines->insert(lines->end(), values.begin(), values.end());
    std::vector<std::string> children;
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        children.push_back(name);
    }
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) {
        HKEY opened = nullptr;
        if (RegOpenKeyA(key, child.c_str(), &opened) != ERROR_SUCCESS) {
            lines->push_back("[" + relative + "\\" + child + "] <cannot be opened>");
            continue;
        }
        DumpKey(opened, relative + "\\" + child, lines);
        RegCloseKey(opened);
    }
}

}  // namespace

std::string DumpTreeForTest(const std::string& sub_key) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) {
        return "<missing>";
    }
    std::vector<std::string> lines;
    DumpKey(key, ".", &lines);
    RegCloseKey(key);
    std::string dump;
    for (const std::string& line : lines) dump += line + "\n";
    return dump;
}

std::string MarkerOf(HKEY key) {
    char data[64];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, "Marker", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS ||
        size == 0 || data[size - 1] != '\0') {
        return "<none>";
    }
    return data;
}
