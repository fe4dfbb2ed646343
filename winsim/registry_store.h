// Implemented in registry.cpp, registry_wide.cpp (WideData, WideName), registry_file.cpp
// and system_facts.cpp (IsCodePageLeadByte, IsWindows95Family).
// The native registry's tree of keys and values, shared by its Win32 calls
// (registry.cpp), its .reg reader and writer (registry_text.cpp) and the
// registry file named by FIX_TAMRIX_REGISTRY (registry_file.cpp).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "winsim/win32_api.h"

namespace winsim {

// A value as the A calls see it. One stored as wide text (SetWideValue) also
// keeps what the W calls see: `name` and `data` are then its best-fit
// conversion, and the system finds it by its wide name. A value stored by the
// A calls has no wide form: the W calls widen `name` and `data`.
struct RegistryValue {
    std::string name;  // "" is the key's default value
    DWORD type;
    std::vector<BYTE> data;
    bool has_wide_name = false;
    std::u16string wide_name;
    bool has_wide_data = false;   // text only: other types read the same both ways
    std::vector<BYTE> wide_data;  // UTF-16LE
};

// A key's name as the A calls see it; one created by SetWideKey also keeps
// its UTF-16 name, of which `name` is then the best-fit conversion, and the
// system finds it by that wide name.
struct RegistryKey {
    std::string name;
    bool has_wide_name = false;
    std::u16string wide_name;
    RegistryKey* parent = nullptr;                      // nullptr for a root or a deleted key
    std::vector<std::unique_ptr<RegistryKey>> subkeys;  // in creation order
    std::vector<RegistryValue> values;                  // in creation order
    unsigned open_handles = 0;
    bool deleted = false;
    std::string deleted_path;  // what call records name a deleted key by
};

constexpr int kRegistryRootCount = 7;
constexpr size_t kMaxKeyNameLength = 255;
// Every registry call fails with this code while the registry file cannot be read.
constexpr DWORD kErrorBadRegistryFile = 1009;  // ERROR_BADDB

struct RegistryRoot {
    HKEY handle;
    const char* name;
};
// The predefined roots in the order they are saved.
extern const RegistryRoot kRegistryRoots[kRegistryRootCount];

// The live root key of kRegistryRoots[index].
RegistryKey* RegistryRootKey(int index);

// Whether `byte` leads a double-byte character in the code page set by
// SetDbcsLeadBytes (asked without recording a call).
bool IsCodePageLeadByte(BYTE byte);

// Whether the version set by SetVersion is one of the 95 family (asked
// without recording a call).
bool IsWindows95Family();

// Whether two names are equal without regard to ASCII case (double-byte
// characters compared exactly); `a` has `length` bytes.
bool RegistryNamesEqual(const char* a, size_t length, const std::string& b);
// The subkey of `key` that the ANSI name `name` (`length` bytes) names, as the
// system finds it (a key with a wide name only when `name` widens to it), or nullptr.
RegistryKey* FindSubkey(RegistryKey* key, const char* name, size_t length);
// The same for a UTF-16 name of `length` units.
RegistryKey* FindSubkeyWide(RegistryKey* key, const char16_t* name, size_t length);
// The value that the UTF-16 name `name` (`length` units) names, compared as
// the system does, without regard to ASCII case; nullptr when there is none.
RegistryValue* FindValueWide(RegistryKey* key, const char16_t* name, size_t length);
RegistryKey* AddSubkey(RegistryKey* key, const char* name, size_t length);
// Removes `key` (a subkey, never a root) from its parent with its subtree.
void RemoveSubkey(RegistryKey* key);

// Gives `value` what a W call stores: the UTF-16 `name`, `type` and `size`
// bytes of `data` (UTF-16LE for the text types), with the best-fit forms the
// A calls see beside them.
void StoreWideForms(RegistryValue* value, const std::u16string& name, DWORD type, const BYTE* data,
                    size_t size);
// The UTF-16 name the W calls give the value.
std::u16string WideNameText(const RegistryValue& value);

// The parts of every registry call. KeyOf: 0 with the key of `handle`,
// ERROR_INVALID_HANDLE (6) for a closed or unknown handle, ERROR_KEY_DELETED
// (1018) once the key has been deleted.
LONG KeyOf(HKEY handle, RegistryKey** key);
// What call records name a handle by.
void DescribeHandle(HKEY handle, char* out, size_t size);
// Follows a relative key path from `key`, creating missing keys when
// `create` is set. Trailing and doubled backslashes are accepted; a leading
// one gives ERROR_BAD_PATHNAME (161), a missing key ERROR_FILE_NOT_FOUND (2),
// a name longer than 255 characters ERROR_INVALID_PARAMETER (87) when creating.
LONG WalkPath(RegistryKey* key, const char* path, bool create, RegistryKey** found);
// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: the types the A calls convert.
bool IsText(DWORD type);

// The start of every registry call, A or W. Records "call(<handle>, detail)"
// ("call(<handle>)" when `detail` is nullptr), applies an injected fault and
// loads the registry file on first use; then, unless `found` is nullptr,
// finds the handle's key as KeyOf does. ERROR_SUCCESS when the call goes on,
// else the code it returns.
LONG StartRegistryCall(const char* call, HKEY handle, const char* detail, RegistryKey** found);
// What call records show an index by.
struct IndexText {
    char text[16];
};
IndexText ShowIndex(DWORD index);

// The value's data as the A calls (`wide` false) or the W calls see it; its
// size in bytes. Written to `out` when `capacity` bytes hold it (nothing when
// `out` is nullptr); the A calls add a NUL in a spare byte after text stored
// without one, which the size leaves out.
size_t ValueData(const RegistryValue& value, bool wide, BYTE* out, size_t capacity);
// The W calls' view of ValueData: the value's wide form, text the A calls
// stored widened, or other data as stored.
size_t WideData(const RegistryValue& value, BYTE* out, size_t capacity);
// The UTF-16 name the W calls give the value; written with its NUL when
// `capacity` units hold both. Returns its length without the NUL.
size_t WideName(const RegistryValue& value, char16_t* out, size_t capacity);
// How a value query or enumeration answers once it has its value: the type,
// then ERROR_MORE_DATA with the size needed in *data_size when `data` cannot
// hold the data, else the data and its size.
LONG AnswerValue(const RegistryValue& value, bool wide, LPDWORD type, LPBYTE data,
                 LPDWORD data_size);
// RegEnumValueA and W once started (`has_name`: a name buffer was given).
// ERROR_SUCCESS with *value the value at `index`, its type, data and size
// written as AnswerValue writes them and its name's length (in the call's
// characters, without the NUL) in *name_capacity: the caller then writes the
// name. Else ERROR_INVALID_PARAMETER, ERROR_NO_MORE_ITEMS past the last
// value, or ERROR_MORE_DATA when the name or the data does not fit (neither
// buffer written; for the data, *type and *data_size as AnswerValue leaves them).
LONG EnumValue(RegistryKey* key, DWORD index, bool wide, bool has_name, LPDWORD name_capacity,
               LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD data_size,
               const RegistryValue** value);
// RegQueryValueExA and W once started: `value` is what the name names
// (nullptr: none, ERROR_FILE_NOT_FOUND); ERROR_INVALID_PARAMETER for a
// reserved pointer or data without a size.
LONG QueryValue(const RegistryValue* value, bool wide, LPDWORD reserved, LPDWORD type, LPBYTE data,
                LPDWORD data_size);

// Replaces the whole registry with the subkeys and values of `roots` (moved
// from); every open handle is closed. Clears the change mark.
void ReplaceRegistry(RegistryKey (&roots)[kRegistryRootCount]);

// Whether a call changed the registry since it was loaded or cleared; the
// registry file is written back at exit only then. Every call (and every
// .reg text read into the live registry) that changes it marks it.
void MarkRegistryChanged();
bool RegistryChanged();
void ClearRegistryChanged();

// Loads the registry file on the first registry call. False, with
// kErrorBadRegistryFile in *code, while the file could not be read.
bool RegistryFileReady(DWORD* code);
// Forgets the registry file: after Reset the environment is not consulted.
void DetachRegistryFile();

}  // namespace winsim
