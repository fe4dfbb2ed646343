// A sandbox key, HKEY_CURRENT_USER\Software\fix_tamrix_test\<name>, for tests
// that run against the native registry and Wine's real one alike. Only
// Win32 calls are used, so the same helpers serve both.
#pragma once

#include <string>

#include "platform/platform.h"

// "Software\fix_tamrix_test": the parent of every sandbox, below HKEY_CURRENT_USER.
extern const char kSandboxParent[];

// Deletes the sandbox `name` with everything below it and creates it again,
// empty. Returns its full path ("HKEY_CURRENT_USER\Software\fix_tamrix_test\name").
std::string FreshSandbox(const char* name);

// Deletes `sub_key` of `parent` with its subtree using only Win32 calls.
// 0, or the first failing call's code (2 when the key does not exist).
LONG DeleteTreeForTest(HKEY parent, const char* sub_key);

// The sandbox `name` made fresh for one test, and deleted with all it holds
// when its owner goes.
class Sandbox {
  public:
    explicit Sandbox(const char* name)
        : sub_key(std::string(kSandboxParent) + "\\" + name), path(FreshSandbox(name)) {}
    ~Sandbox() { DeleteTreeForTest(HKEY_CURRENT_USER, sub_key.c_str()); }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    // A key below it, as a path below HKEY_CURRENT_USER.
    std::string Sub(const std::string& below) const { return sub_key + "\\" + below; }

    const std::string sub_key;  // below HKEY_CURRENT_USER
    const std::string path;     // "HKEY_CURRENT_USER\Software\fix_tamrix_test\<name>"
};

// Creates HKEY_CURRENT_USER\`sub_key` (and what is missing above it); true on success.
bool CreateKeyForTest(const std::string& sub_key);

// Sets a value of HKEY_CURRENT_USER\`sub_key`, creating the key; true on success.
bool SetValueForTest(const std::string& sub_key, const char* name, DWORD type,
                     const std::string& data);
// A REG_SZ value with its terminating NUL.
bool SetTextForTest(const std::string& sub_key, const char* name, const std::string& text);

// Adds `.reg` text to the registry as `reg import` does (on Windows by running
// it, natively through the native layer); true when it was read whole.
bool ImportForTest(const std::string& reg_text);

// Sets a value of HKEY_CURRENT_USER\`sub_key` (created if missing) as the NT
// family stores text, in UTF-16: `data` is `size` bytes (with its NUL if
// it is to have one). Through RegSetValueExW on Windows, through the
// native layer's hook natively. True on success.
bool SetWideValueForTest(const std::string& sub_key, const std::u16string& name, DWORD type,
                         const void* data, size_t size);
// A text value of that kind with its terminating NUL.
bool SetWideTextForTest(const std::string& sub_key, const std::u16string& name, DWORD type,
                        const std::u16string& text);

// Creates HKEY_CURRENT_USER\`sub_key`\`below` (what is missing of it too),
// the keys of `below` with UTF-16 names as the NT family keeps them: through
// RegCreateKeyW on Windows, through the native layer's hook natively. True
// on success.
bool CreateWideKeyForTest(const std::string& sub_key, const std::u16string& below);

// Whether HKEY_CURRENT_USER\`sub_key` exists.
bool KeyExistsForTest(const std::string& sub_key);

// Names of the subkeys of HKEY_CURRENT_USER\`sub_key`, sorted, joined by
// spaces; "<missing>" when the key cannot be opened.
std::string SubkeyNamesForTest(const std::string& sub_key);

// Every key below HKEY_CURRENT_USER\`sub_key` (itself included, as "."),
// each with its values as "name" type hex-bytes as stored (read through the
// W calls, except on the 95 family), keys and values sorted: tells whether a
// tree came back exactly. "<missing>" when it does not exist.
std::string DumpTreeForTest(const std::string& sub_key);

// The "Marker" text value of an open key, or "<none>": tells which key a
// path opened.
std::string MarkerOf(HKEY key);
