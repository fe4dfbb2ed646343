// Path variables, key paths and deletions on arbitrary texts against a small
// seeded registry whose variable-backed values are fuzzed too: buffers hold,
// no key stays open, a root is never deleted from, and a key deletion removes
// exactly the tree its path names (variables expanded once, names found
// below it taken as they stand) and nothing outside it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "registry/path_variables.h"
#include "registry/registry_delete.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace {

const char kSeed[] =
    "REGEDIT4\n"
    "[HKEY_CURRENT_USER]\n@=\"root default\"\n\"RootValue\"=\"r\"\n"
    "[HKEY_CURRENT_USER\\Software\\A\\B\\C]\n\"v\"=\"1\"\n"
    "[HKEY_CURRENT_USER\\Software\\A\\D]\n\"screen\"=\"x\"\n"
    "[HKEY_CURRENT_USER\\Software\\A\\%UserName%]\n"
    "[HKEY_CURRENT_USER\\Software\\A\\tester\\E]\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
    "\"screen\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr\"\n"
    "[HKEY_CURRENT_USER\\Identities]\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
    "[HKEY_LOCAL_MACHINE\\C:\\WINDOWS\\system32]\n\"v\"=\"2\"\n"
    "[HKEY_USERS\\.DEFAULT\\Software]\n";

const char* const kPieces[] = {
    "HKEY_CURRENT_USER\\",
    "hkey_local_machine\\",
    "HKEY_USERS\\",
    "HKEY_CURRENT_USER",
    " \t",
    "Software",
    "\\",
    "A",
    "B\\C",
    "tester",
    "Identities",
    "%UserID%",
    "%ProgramFiles%",
    "%Temp%",
    "%System%",
    "%Windows%",
    "%ComputerName%",
    "%UserName%",
    "%",
    "\x81",
};

// A text made of pieces of registry paths and raw bytes, without NULs.
std::string PathText(FuzzedDataProvider& input) {
    std::string text;
    const int pieces = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < pieces; ++i) {
        if (input.ConsumeBool()) {
            text += kPieces[input.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)];
        } else {
            text += input.ConsumeRandomLengthString(600);
        }
    }
    return text.substr(0, text.find('\0'));
}

// A value of HKEY_LOCAL_MACHINE behind a path variable, with fuzzed type and bytes.
void SetFuzzedValue(FuzzedDataProvider& input, const char* sub_key, const char* name) {
    if (!input.ConsumeBool()) return;
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, sub_key, &key) != ERROR_SUCCESS) return;
    const DWORD type = input.ConsumeBool() ? REG_SZ : input.ConsumeIntegralInRange<DWORD>(0, 8);
    std::string data = input.ConsumeRandomLengthString(300);
    data.push_back('\0');  // the byte after the counted data, which text types look at
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() - 1 + input.ConsumeIntegralInRange(0, 1)));
    RegCloseKey(key);
}

void SeedRegistry(FuzzedDataProvider& input) {
    if (!winsim::LoadRegistryText(kSeed)) FuzzFailure("the seed registry does not load");
    // %UserID% reads HKEY_CURRENT_USER\Identities, %ProgramFiles% HKEY_LOCAL_MACHINE.
    if (input.ConsumeBool()) {
        HKEY key = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, "Identities", &key) == ERROR_SUCCESS) {
            std::string data = input.ConsumeRandomLengthString(300);
            data.push_back('\0');
            RegSetValueExA(key, "Default User ID", 0, input.ConsumeBool() ? REG_SZ : REG_BINARY,
                           reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size() - input.ConsumeIntegralInRange(0, 1)));
            RegCloseKey(key);
        }
    }
    SetFuzzedValue(input, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    if (input.ConsumeBool()) {
        winsim::SetDbcsLeadBytes(input.ConsumeIntegral<BYTE>(), input.ConsumeIntegral<BYTE>());
    }
    if (input.ConsumeIntegralInRange(0, 3) == 0) {
        const std::string folder = PathText(input);
        switch (input.ConsumeIntegralInRange(0, 4)) {
            case 0:
                winsim::SetSystemDirectory(folder.c_str());
                break;
            case 1:
                winsim::SetWindowsDirectory(folder.c_str());
                break;
            case 2:
                winsim::SetTempPath(folder.c_str());
                break;
            case 3:
                winsim::SetUserName(folder.c_str());
                break;
            default:
                winsim::SetComputerName(folder.c_str());
                break;
        }
    }
}

bool IsRootHandle(HKEY key) {
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                      HKEY_CURRENT_CONFIG, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA}) {
        if (key == root) return true;
    }
    return false;
}

void CheckExpansion(const std::string& text, size_t capacity) {
    // Exactly `capacity` bytes on the heap, so that a write past them is seen.
    std::unique_ptr<char[]> output(new char[capacity > 0 ? capacity : 1]);
    const int32_t result = ExpandPathVariables(text.c_str(), output.get(), capacity);
    if (result == 0) {
        Require(capacity > 0 && strnlen(output.get(), capacity) < capacity,
                "an expansion is not terminated within its buffer");
    }
    if (text.find('%') == std::string::npos) {
        Require((result == 0) == (text.size() < capacity),
                "a text without variables did not expand exactly when it fits");
        Require(result != 0 || text == output.get(), "a text without variables changed");
    }
    Require(winsim::OpenHandleCount() == 0, "an expansion left a key open");
}

// Whether the path opens a predefined root itself; nothing stays open.
bool NamesRoot(const std::string& path) {
    HKEY key = reinterpret_cast<HKEY>(uintptr_t{1});
    const int32_t result = OpenRegistryPath(path.c_str(), &key);
    if (result != 0) {
        Require(key == nullptr, "a failed open left a handle behind");
        Require(winsim::OpenHandleCount() == 0, "a failed open left a key open");
        return false;
    }
    const bool root = IsRootHandle(key);
    RegCloseKey(key);
    Require(winsim::OpenHandleCount() == 0, "a closed key stays open");
    return root;
}

// The key a path names after one expansion of its variables, as the native
// registry resolves it: its full path as the snapshot spells it ("" when it
// names none), and the length of the path's text as expanded.
struct NamedKey {
    std::string full_path;
    size_t text_length = 0;
    bool own_name_empty = false;  // the expanded path ends in two backslashes
    bool is_root = false;
};

NamedKey FindNamedKey(const std::string& path) {
    NamedKey named;
    const size_t start = path.find_first_not_of(" \t");
    if (start == std::string::npos) return named;
    for (int index = 0; index < winsim::kRegistryRootCount; ++index) {
        const std::string root = winsim::kRegistryRoots[index].name;
        if (path.size() <= start + root.size() || path[start + root.size()] != '\\' ||
            !EqualNoCase(path.substr(start, root.size()), root)) {
            continue;
        }
        const size_t rest = start + root.size() + 1;
        char expanded[kKeyPathSize];
        if (ExpandPathVariables(path.c_str() + rest, expanded, sizeof expanded) != 0) return named;
        std::string sub_key = expanded;
        if (!sub_key.empty() && sub_key.back() == '\\') sub_key.pop_back();
        named.own_name_empty = !sub_key.empty() && sub_key.back() == '\\';
        named.text_length = rest + sub_key.size();
        if (!sub_key.empty() && sub_key[0] == '\\') return named;  // refused by the registry
        named.is_root = sub_key.empty();
        winsim::RegistryKey* key = winsim::RegistryRootKey(index);
        std::string full = root;
        for (size_t p = 0; p < sub_key.size();) {
            size_t end = p;
            while (end < sub_key.size() && sub_key[end] != '\\') {
                if (winsim::IsCodePageLeadByte(static_cast<BYTE>(sub_key[end])) &&
                    end + 1 < sub_key.size()) {
                    ++end;
                }
                ++end;
            }
            if (end > p) {
                key = winsim::FindSubkey(key, sub_key.c_str() + p, end - p);
                if (key == nullptr) return named;
                full += "\\" + key->name;
            }
            p = end + 1;
        }
        named.full_path = full;
        return named;
    }
    return named;
}

bool IsInTree(const std::string& key, const std::string& tree) {
    return !tree.empty() && key.compare(0, tree.size(), tree) == 0 &&
           (key.size() == tree.size() || key[tree.size()] == '\\');
}

bool IsDoubleByteCodePage() {
    for (int byte = 0; byte < 256; ++byte) {
        if (winsim::IsCodePageLeadByte(static_cast<BYTE>(byte))) return true;
    }
    return false;
}

void CheckKeyDeletion(const std::string& path) {
    const bool root = NamesRoot(path);
    const NamedKey named = FindNamedKey(path);
    const RegistrySnapshot before = TakeRegistrySnapshot();
    const int32_t result = DeleteRegistryItem(path.c_str(), nullptr);
    Require(winsim::OpenHandleCount() == 0, "a key deletion left a key open");
    const RegistrySnapshot after = TakeRegistrySnapshot();
    if (root || named.is_root)
        Require(result != 0 && after.keys == before.keys && after.values == before.values,
                "a deletion of a root changed the registry");
    for (const std::string& key : after.keys) {
        Require(before.keys.count(key) == 1, "a key deletion created a key");
    }
    for (const auto& entry : before.values) {
        if (after.keys.count(entry.first.first) == 0) continue;  // its key went
        auto found = after.values.find(entry.first);
        Require(found != after.values.end() && found->second == entry.second,
                "a key deletion changed a value of a key that stays");
    }
    if (result == 0)
        Require(after.keys.size() < before.keys.size(), "a key deletion deleted nothing");

    // Exactly the named tree: nothing outside it goes, and on success all of it.
    bool fits = path.size() < kKeyPathSize;
    for (const std::string& key : before.keys) {
        const bool inside = IsInTree(key, named.full_path);
        Require(inside || after.keys.count(key) == 1,
                "a key deletion removed a key outside the tree its path names");
        if (inside) {
            Require(result != 0 || after.keys.count(key) == 0,
                    "a key deletion reported success and left part of its tree");
            fits = fits && named.text_length + key.size() - named.full_path.size() < kKeyPathSize;
        }
    }
    // In a healthy registry an existing tree whose paths fit goes whole. (In
    // a double-byte code page the engine and this model may split a path
    // differently, so only the single-byte one is held to that.)
    if (!root && !named.is_root && !named.full_path.empty() && !named.own_name_empty && fits &&
        !IsDoubleByteCodePage()) {
        if (result != 0) {
            char what[120];
            snprintf(what, sizeof what, "the deletion of an existing tree failed with %d",
                     static_cast<int>(result));
            FuzzFailure(what);
        }
    }
}

void CheckValueDeletion(const std::string& path, const std::string& name) {
    const RegistrySnapshot before = TakeRegistrySnapshot();
    const int32_t result = DeleteRegistryItem(path.c_str(), name.c_str());
    Require(winsim::OpenHandleCount() == 0, "a value deletion left a key open");
    const RegistrySnapshot after = TakeRegistrySnapshot();
    Require(after.keys == before.keys, "a value deletion changed the keys");
    size_t gone = 0;
    for (const auto& entry : before.values) {
        auto found = after.values.find(entry.first);
        if (found == after.values.end()) {
            ++gone;
            continue;
        }
        Require(found->second == entry.second, "a value deletion changed a value");
    }
    Require(after.values.size() + gone == before.values.size(), "a value deletion created a value");
    Require(gone == (result == 0 ? 1u : 0u),
            "a value deletion removed other than one value on success");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    winsim::Reset();
    SeedRegistry(input);
    const std::string path = PathText(input);
    const bool key_deletion = input.ConsumeBool();
    const std::string name = PathText(input);
    const size_t small_capacity = input.ConsumeIntegralInRange<size_t>(0, 64);

    for (size_t capacity : {kNameSize, kKeyPathSize, small_capacity}) {
        CheckExpansion(path, capacity);
        CheckExpansion(name, capacity);
    }
    NamesRoot(path);
    if (key_deletion) {
        CheckKeyDeletion(path);
    } else {
        CheckValueDeletion(path, name);
    }
    return 0;
}
