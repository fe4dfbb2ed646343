// The cleaning walk over a fuzzed Run key: the built-in table, a table of
// search rows, then a fuzzed table of every row form (key deletions, value
// and existence tests, searches, with replacement data or without), row by
// row. None may remove or change what its rows do not name, or leave a key
// open; without injected faults the built-in table removes every value it is
// meant to, a search leaves no matching value and a key deletion no key of
// the tree.
#include <dirent.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/quiet_mode.h"
#include "fuzz_support.h"
#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/path_variables.h"
#include "registry/registry_action.h"
#include "registry/registry_limits.h"
#include "registry/registry_report.h"
#include "registry/registry_undo.h"
#include "tables/registry_actions.h"
#include "winsim/test_hooks.h"

namespace {

const char kRunPath[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunSubkey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kWormFiles[] = {"Screen.scr", "List.txt.scr", "List480.txt.scr"};

const RegistryAction kSearchRows[] = {
    {kRunPath,
     nullptr,
     {REG_SZ, "%System%\\Screen.scr", 0},
     {REG_SZ, nullptr, 0},
     MatchRegistryData},
    {kRunPath,
     nullptr,
     {REG_SZ, "%System%\\List.txt.scr", 0},
     {REG_SZ, nullptr, 0},
     MatchRegistryData},
    {kRunPath,
     nullptr,
     {REG_SZ, "%System%\\List480.txt.scr", 0},
     {REG_SZ, nullptr, 0},
     MatchRegistryData},
    {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
};

// Calls an injected fault may hit (not RegCloseKey: a failed close keeps its
// handle by design, which is no leak of the engine's).
const char* const kFaultCalls[] = {
    "RegOpenKeyA",         "RegQueryValueExA", "RegEnumValueA", "RegDeleteValueA",
    "GetSystemDirectoryA", "FormatMessageA",   "LocalAlloc",    "CreateFileA",
    "WriteFile",           "RegEnumKeyA",      "RegEnumKeyW",   "RegQueryInfoKeyA",
    "RegDeleteKeyA",       "RegSetValueExA",   "RegEnumValueW", "MultiByteToWideChar"};
constexpr size_t kFaultCallCount = sizeof kFaultCalls / sizeof kFaultCalls[0];

// The log path, never opened: undo files go beside it, into a folder of
// this fuzzer's own, and are removed after each input.
// Plain arrays, still there for the exit handler that removes them.
char fuzz_folder[] = "/tmp/fix_tamrix_fuzz_XXXXXX";
char log_path[sizeof fuzz_folder + 16];

void RemoveUndoFiles() {
    DIR* folder = opendir(fuzz_folder);
    if (folder == nullptr) return;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.') continue;
        remove((std::string(fuzz_folder) + "/" + entry->d_name).c_str());
    }
    closedir(folder);
}

void RemoveFuzzFolder() {
    RemoveUndoFiles();
    rmdir(fuzz_folder);
}

// The worm's file in the system folder as the walk expands it, or "" when the
// system folder cannot be had or the text does not fit the walk's buffer.
std::string WormText(const std::string& system_folder, const char* file) {
    if (system_folder.empty() || system_folder.size() + 1 > kFolderSize) return "";
    std::string text = system_folder;
    if (text.back() == '\\') text.pop_back();
    text += std::string("\\") + file;
    return text.size() + 1 <= kNameSize ? text : "";
}

bool IsRunKey(const std::string& path) {
    return EqualNoCase(path, std::string("HKEY_CURRENT_USER\\") + kRunSubkey);
}

// A name the built-in table deletes when its data is `text`.
bool IsBuiltInTarget(const std::string& name, const StoredValue& value,
                     const std::string (&texts)[3]) {
    if (EqualNoCase(name, "screen"))
        return !texts[0].empty() && IsTextEqual(value.type, value.data, texts[0]);
    if (!EqualNoCase(name, "sys")) return false;
    return (!texts[1].empty() && IsTextEqual(value.type, value.data, texts[1])) ||
           (!texts[2].empty() && IsTextEqual(value.type, value.data, texts[2]));
}

bool IsSearchTarget(const StoredValue& value, const std::string (&texts)[3]) {
    for (const std::string& text : texts) {
        if (!text.empty() && IsTextEqual(value.type, value.data, text)) return true;
    }
    return false;
}

// Keys stay, values outside the Run key stay as they were, values of the Run
// key stay as they were or are gone, and only the targets may be gone.
template <typename IsTarget>
void CheckOnlyTargetsGone(const RegistrySnapshot& before, const RegistrySnapshot& after,
                          IsTarget is_target) {
    Require(before.keys == after.keys, "a key appeared or disappeared");
    for (const auto& entry : after.values) {
        Require(before.values.count(entry.first) == 1, "a value appeared");
    }
    for (const auto& entry : before.values) {
        auto found = after.values.find(entry.first);
        if (found != after.values.end()) {
            Require(found->second == entry.second, "a value's type or data changed");
            continue;
        }
        Require(IsRunKey(entry.first.first), "a value outside the Run key is gone");
        Require(is_target(entry.first.second, entry.second),
                "a value the worm did not write is gone");
    }
}

std::string WormLikeText(FuzzedDataProvider& input) {
    std::string text = input.ConsumeRandomLengthString(8);  // leading blanks, most often
    text += input.ConsumeBool() ? "C:\\WINDOWS\\system32" : input.ConsumeRandomLengthString(300);
    text += input.ConsumeBool() ? "\\" : "";
    text += kWormFiles[input.ConsumeIntegralInRange<size_t>(0, 2)];
    text += input.ConsumeRandomLengthString(8);  // trailing blanks or a NUL and more
    if (input.ConsumeBool()) text.push_back('\0');
    return text;
}

// Fills `key` with up to 12 fuzzed values.
void SeedValues(FuzzedDataProvider& input, HKEY key) {
    const int count = input.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        static const char* const kNames[] = {"screen", "SYS", "Sys", "Tray", ""};
        std::string name = input.ConsumeBool() ? kNames[input.ConsumeIntegralInRange<size_t>(0, 4)]
                                               : input.ConsumeRandomLengthString(300);
        name = name.substr(0, name.find('\0'));
        static const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_MULTI_SZ, REG_DWORD};
        const DWORD type = input.ConsumeBool() ? kTypes[input.ConsumeIntegralInRange<size_t>(0, 4)]
                                               : input.ConsumeIntegral<DWORD>();
        std::string data =
            input.ConsumeBool() ? WormLikeText(input) : input.ConsumeRandomLengthString(600);
        // RegSetValueExA looks at the byte after the data of a text type.
        std::vector<BYTE> bytes(data.begin(), data.end());
        bytes.push_back(input.ConsumeIntegral<BYTE>());
        RegSetValueExA(key, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(data.size()));
    }
}

// Seeds the registry from the input: the Run key's values, and a few keys
// below it and beside it with values of their own; false when the input
// names none.
bool SeedRegistry(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 7) == 0) {
        return winsim::LoadRegistryText(input.ConsumeRemainingBytesAsString());
    }
    HKEY run = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kRunSubkey, &run) != ERROR_SUCCESS) return false;
    SeedValues(input, run);
    RegCloseKey(run);
    const int keys = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < keys && input.remaining_bytes() > 0; ++i) {
        static const char* const kKeys[] = {
            "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub",
            "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub\\Deeper", "Software\\Other",
            "Software\\Other\\A\\B", "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\"};
        std::string path = kKeys[input.ConsumeIntegralInRange<size_t>(0, 4)];
        if (path.back() == '\\') path += input.ConsumeRandomLengthString(12);
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) continue;
        SeedValues(input, key);
        RegCloseKey(key);
    }
    return true;
}

// --- A fuzzed table of every row form, walked row by row -----------------------

// One row with the texts it points to, and the same texts expanded as the
// walk expands them (the key path twice: once by the walk, once when opened).
struct FuzzRow {
    std::string key, name, match, replacement;
    bool has_name = false, has_match = false, has_replacement = false, has_matcher = false;
    DWORD match_type = REG_SZ, replacement_type = REG_SZ;
    bool expanded = false;  // every text expanded without failure
    std::string key_expanded, name_expanded, match_expanded, replacement_expanded;
};

// `text` expanded as the walk does; false when the expansion fails.
bool Expand(const std::string& text, size_t capacity, std::string* out) {
    std::vector<char> buffer(capacity);
    if (ExpandPathVariables(text.c_str(), buffer.data(), capacity) != 0) return false;
    *out = buffer.data();
    return true;
}

void ExpandFuzzRow(FuzzRow* row) {
    std::string once;
    row->expanded =
        Expand(row->key, kKeyPathSize, &once) && Expand(once, kKeyPathSize, &row->key_expanded);
    if (row->has_name)
        row->expanded = row->expanded && Expand(row->name, kNameSize, &row->name_expanded);
    const bool text_match = row->match_type == REG_SZ || row->match_type == REG_EXPAND_SZ;
    row->match_expanded = row->match;
    if (row->has_match && text_match) {
        row->expanded = row->expanded && Expand(row->match, kNameSize, &row->match_expanded);
    }
    const bool text_replacement =
        row->replacement_type == REG_SZ || row->replacement_type == REG_EXPAND_SZ;
    row->replacement_expanded = row->replacement;
    if (row->has_replacement && text_replacement) {
        row->expanded =
            row->expanded && Expand(row->replacement, kNameSize, &row->replacement_expanded);
        row->replacement_expanded.push_back('\0');  // set with its NUL
    }
    // As the path's parser reads it: leading blanks and tabs skipped, one
    // trailing backslash left out.
    std::string& key = row->key_expanded;
    key.erase(0, std::min(key.find_first_not_of(" \t"), key.size()));
    if (!key.empty() && key.back() == '\\') key.pop_back();
}

RegistryAction ActionOf(const FuzzRow& row) {
    return RegistryAction{
        row.key.c_str(),
        row.has_name ? row.name.c_str() : nullptr,
        {row.match_type, row.has_match ? row.match.data() : nullptr,
         static_cast<uint32_t>(row.match.size())},
        {row.replacement_type, row.has_replacement ? row.replacement.data() : nullptr,
         static_cast<uint32_t>(row.replacement.size())},
        row.has_matcher ? MatchRegistryData : nullptr};
}

// Text with each ASCII letter's case flipped where `mask` has a bit set.
std::string Recased(std::string text, uint64_t mask) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((mask >> (i % 64) & 1) == 0) continue;
        if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 32);
        if (c >= 'A' && c <= 'Z') text[i] = static_cast<char>(c + 32);
    }
    return text;
}

FuzzRow MakeFuzzRow(FuzzedDataProvider& input, const RegistrySnapshot& registry) {
    std::vector<std::string> keys;
    for (const std::string& key : registry.keys) {
        if (key.rfind("HKEY_CURRENT_USER\\Software", 0) == 0) keys.push_back(key);
    }
    FuzzRow row;
    if (keys.empty() || input.ConsumeIntegralInRange(0, 15) == 0) {
        row.key = input.ConsumeBool() ? "HKEY_CURRENT_USER\\" : input.ConsumeRandomLengthString(40);
    } else {
        row.key = Recased(keys[input.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)],
                          input.ConsumeIntegral<uint64_t>());
        if (input.ConsumeBool()) row.key += "\\";
    }
    row.key = row.key.substr(0, row.key.find('\0'));
    // Names and data of values the registry holds, so that rows find things.
    std::vector<std::pair<std::string, StoredValue>> values;
    for (const auto& entry : registry.values) values.push_back({entry.first.second, entry.second});
    const StoredValue* picked = nullptr;
    std::string picked_name;
    if (!values.empty()) {
        const auto& value = values[input.ConsumeIntegralInRange<size_t>(0, values.size() - 1)];
        picked_name = value.first;
        picked = &value.second;
    }
    enum { kKeyDeletion, kValueTest, kExistenceTest, kSearch };
    const int form = input.ConsumeIntegralInRange(0, 3);
    row.has_name = form == kValueTest || form == kExistenceTest;
    if (row.has_name) {
        row.name = picked != nullptr && input.ConsumeBool() ? picked_name
                                                            : input.ConsumeRandomLengthString(20);
        row.name = row.name.substr(0, row.name.find('\0'));
    }
    row.has_match =
        form == kValueTest || form == kSearch || (form == kExistenceTest && input.ConsumeBool());
    row.has_matcher =
        form == kValueTest || (form == kSearch && input.ConsumeIntegralInRange(0, 7) != 0);
    if (row.has_match) {
        if (picked != nullptr && input.ConsumeIntegralInRange(0, 5) == 0) {
            row.match_type = REG_BINARY;  // raw bytes compare whatever the type
            row.match = picked->data;
        } else {
            row.match = picked != nullptr && input.ConsumeBool() ? picked->data
                        : input.ConsumeBool() ? std::string("%System%\\") + kWormFiles[0]
                                              : input.ConsumeRandomLengthString(30);
            row.match = row.match.substr(0, row.match.find('\0'));
        }
    }
    row.has_replacement = form != kKeyDeletion && input.ConsumeBool();
    if (row.has_replacement) {
        static const DWORD kTypes[] = {REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD};
        row.replacement_type = kTypes[input.ConsumeIntegralInRange<size_t>(0, 3)];
        row.replacement =
            input.ConsumeBool() ? "C:\\Clean\\%UserName%.exe" : input.ConsumeRandomLengthString(20);
        if (row.replacement_type == REG_SZ || row.replacement_type == REG_EXPAND_SZ) {
            row.replacement = row.replacement.substr(0, row.replacement.find('\0'));
        }
    }
    ExpandFuzzRow(&row);
    return row;
}

// Whether the key `path` is `top` or lies below it (ASCII case aside).
bool IsInTree(const std::string& path, const std::string& top) {
    if (path.size() < top.size() || !EqualNoCase(path.substr(0, top.size()), top)) return false;
    return path.size() == top.size() || path[top.size()] == '\\';
}

// Whether the row's match part takes `value`, as the walk's comparison does.
bool RowMatches(const FuzzRow& row, const StoredValue& value) {
    if (!row.has_match || !row.has_matcher) return row.has_name;  // existence test, or none
    if (value.data.size() > kNameSize) return false;              // read as ERROR_MORE_DATA
    if (row.match_type == REG_SZ || row.match_type == REG_EXPAND_SZ) {
        return IsTextEqual(value.type, value.data, row.match_expanded);
    }
    return value.data == row.match_expanded;
}

// What one row may have done, given the registry before and after it: keys
// go only with a key deletion, and only from the tree it names (never a
// root); a value changes only in the row's key, named by the row or found by
// its search, holding data the row matches, and then is gone (no replacement
// data) or holds the replacement. Without faults, a search leaves no value
// it takes unchanged, and a key deletion no key of its tree.
void CheckFuzzRow(const FuzzRow& row, const RegistrySnapshot& before, const RegistrySnapshot& after,
                  bool fault) {
    const bool key_deletion = !row.has_name && !row.has_match;
    const bool search = !row.has_name && row.has_match;
    const std::string& top = row.key_expanded;
    const bool names_a_key = row.expanded && top.find('\\') != std::string::npos;
    for (const std::string& key : after.keys)
        Require(before.keys.count(key) == 1, "a key appeared");
    for (const std::string& key : before.keys) {
        if (after.keys.count(key) == 1) continue;
        Require(key_deletion && names_a_key && IsInTree(key, top),
                "a key outside the row's tree is gone");
    }
    for (const auto& entry : after.values) {
        Require(before.values.count(entry.first) == 1, "a value appeared");
    }
    for (const auto& entry : before.values) {
        if (after.keys.count(entry.first.first) == 0) continue;  // gone with its key
        const auto found = after.values.find(entry.first);
        if (found != after.values.end() && found->second == entry.second) continue;
        Require(!key_deletion && row.expanded && EqualNoCase(entry.first.first, top),
                "a value outside the row's key changed");
        Require(search || EqualNoCase(entry.first.second, row.name_expanded),
                "a value the row does not name changed");
        Require(entry.first.second.size() < kNameSize || !search, "a value named too long changed");
        Require(RowMatches(row, entry.second), "a value the row does not match changed");
        if (found == after.values.end()) {
            Require(!row.has_replacement, "a value is gone by a row that sets it");
        } else {
            Require(row.has_replacement && found->second.type == row.replacement_type &&
                        found->second.data == row.replacement_expanded,
                    "a value changed to other than the replacement");
        }
    }
    if (fault || !row.expanded) return;
    if (search && row.has_matcher) {
        for (const auto& entry : before.values) {
            if (!EqualNoCase(entry.first.first, top) || entry.first.second.size() >= kNameSize ||
                !RowMatches(row, entry.second)) {
                continue;
            }
            const auto found = after.values.find(entry.first);
            Require(found != after.values.end() || !row.has_replacement,
                    "a value the search set is gone");
            Require(row.has_replacement ? found->second.data == row.replacement_expanded
                                        : found == after.values.end(),
                    "the search left a value it takes");
        }
    }
    if (key_deletion && names_a_key && before.keys.count(top) == 1) {
        bool fits = true;
        for (const std::string& key : before.keys) {
            if (IsInTree(key, top) && key.size() + 1 >= kKeyPathSize) fits = false;
        }
        for (const std::string& key : after.keys) {
            Require(!fits || !IsInTree(key, top), "a key deletion left a key of its tree");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    if (mkdtemp(fuzz_folder) == nullptr) FuzzFailure("no temporary folder");
    snprintf(log_path, sizeof log_path, "%s/fuzz.log", fuzz_folder);
    atexit(RemoveFuzzFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    CloseRunUndoFile();  // each input is a run of its own, and the layer forgets its handle
    winsim::Reset();
    ResetLogForTests();
    SetLogPath(log_path);
    RemoveUndoFiles();
    SwitchOnQuietMode();
    std::string system_folder = "C:\\WINDOWS\\system32";
    if (input.ConsumeIntegralInRange(0, 3) == 0) {
        system_folder = input.ConsumeRandomLengthString(300);
        system_folder = system_folder.substr(0, system_folder.find('\0'));
    }
    winsim::SetSystemDirectory(system_folder.c_str());
    const bool fault = input.ConsumeIntegralInRange(0, 3) == 0;
    const char* fault_call =
        kFaultCalls[input.ConsumeIntegralInRange<size_t>(0, kFaultCallCount - 1)];
    const DWORD fault_code = input.ConsumeIntegralInRange<DWORD>(1, 1500);
    const unsigned fault_occurrence = input.ConsumeIntegralInRange(1u, 8u);
    if (!SeedRegistry(input)) return 0;

    std::string texts[3];
    for (int i = 0; i < 3; ++i) texts[i] = WormText(system_folder, kWormFiles[i]);

    const RegistrySnapshot seeded = TakeRegistrySnapshot();
    if (fault) winsim::FailCall(fault_call, fault_code, fault_occurrence);
    Require(CleanRegistry(kRegistryActions, ReportRegistryResult) == 0,
            "the walk did not return 0");
    Require(winsim::OpenHandleCount() == 0, "a key is left open after the built-in table");
    winsim::ClearFaults();
    const RegistrySnapshot cleaned = TakeRegistrySnapshot();
    CheckOnlyTargetsGone(seeded, cleaned, [&](const std::string& name, const StoredValue& value) {
        return IsBuiltInTarget(name, value, texts);
    });
    if (!fault) {
        for (const auto& entry : cleaned.values) {
            Require(!(IsRunKey(entry.first.first) && entry.second.data.size() <= kNameSize &&
                      IsBuiltInTarget(entry.first.second, entry.second, texts)),
                    "a value the built-in table should delete is still there");
        }
    }

    if (fault) winsim::FailCall(fault_call, fault_code, fault_occurrence);
    Require(CleanRegistry(kSearchRows, ReportRegistryResult) == 0, "the search did not return 0");
    Require(winsim::OpenHandleCount() == 0, "a key is left open after the search rows");
    winsim::ClearFaults();
    RegistrySnapshot searched = TakeRegistrySnapshot();
    CheckOnlyTargetsGone(cleaned, searched, [&](const std::string&, const StoredValue& value) {
        return IsSearchTarget(value, texts);
    });

    const int rows = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < rows; ++i) {
        const FuzzRow row = MakeFuzzRow(input, searched);
        const RegistryAction table[] = {ActionOf(row), kSearchRows[3]};
        if (fault) winsim::FailCall(fault_call, fault_code, fault_occurrence);
        Require(CleanRegistry(table, ReportRegistryResult) == 0, "a fuzzed row did not return 0");
        Require(winsim::OpenHandleCount() == 0, "a key is left open after a fuzzed row");
        winsim::ClearFaults();
        RegistrySnapshot after = TakeRegistrySnapshot();
        CheckFuzzRow(row, searched, after, fault);
        searched = std::move(after);
    }
    CloseRunUndoFile();
    RemoveUndoFiles();
    return 0;
}
