// The cleaning walk over a fuzzed Run key: the built-in table, then a table
// of search rows. Neither may remove a value that does not hold the worm's
// data, change anything else, or leave a key open; without injected faults
// the built-in table removes every value it is meant to.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

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
#include "registry/registry_action.h"
#include "registry/registry_limits.h"
#include "registry/registry_report.h"
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
const char* const kFaultCalls[] = {"RegOpenKeyA",     "RegQueryValueExA",    "RegEnumValueA",
                                   "RegDeleteValueA", "GetSystemDirectoryA", "FormatMessageA",
                                   "LocalAlloc",      "CreateFileA",         "WriteFile"};
constexpr size_t kFaultCallCount = sizeof kFaultCalls / sizeof kFaultCalls[0];

// The log path, never opened: the undo file goes beside it, into a folder
// of this fuzzer's own, and is removed after each input.
// Plain arrays, still there for the exit handler that removes them.
char fuzz_folder[] = "/tmp/fix_tamrix_fuzz_XXXXXX";
char log_path[sizeof fuzz_folder + 16];
char undo_path[sizeof fuzz_folder + 32];

void RemoveFuzzFolder() {
    remove(undo_path);
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

// Seeds the registry from the input; false when the input names none.
bool SeedRegistry(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 7) == 0) {
        return winsim::LoadRegistryText(input.ConsumeRemainingBytesAsString());
    }
    HKEY run = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, kRunSubkey, &run) != ERROR_SUCCESS) return false;
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
        RegSetValueExA(run, name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(data.size()));
    }
    RegCloseKey(run);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SilenceStdout();
    if (mkdtemp(fuzz_folder) == nullptr) FuzzFailure("no temporary folder");
    snprintf(log_path, sizeof log_path, "%s/fuzz.log", fuzz_folder);
    snprintf(undo_path, sizeof undo_path, "%s/fix_tamrix_undo.reg", fuzz_folder);
    atexit(RemoveFuzzFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    winsim::Reset();
    ResetLogForTests();
    SetLogPath(log_path);
    remove(undo_path);
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
    CheckOnlyTargetsGone(
        cleaned, TakeRegistrySnapshot(),
        [&](const std::string&, const StoredValue& value) { return IsSearchTarget(value, texts); });
    return 0;
}
