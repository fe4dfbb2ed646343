// Native layer: the registry calls, over an in-memory tree of keys and values.
// Handles live in a fixed table so that opening, reading and closing keys
// never touch the heap; a handle value carries a serial number, so a closed
// handle stays invalid when its slot is used again (until the serial, 20 bits,
// comes round again a million openings later).
#include <cstdio>
#include <cstring>

#include "winsim/code_page.h"
#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {

const RegistryRoot kRegistryRoots[kRegistryRootCount] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
    {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
    {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

namespace {

constexpr unsigned kMaxOpenHandles = 1023;  // slot numbers fit the handle's low 12 bits
constexpr unsigned kSlotBits = 12;
// The serial takes the other 20 bits of a 32-bit value, in 64-bit builds as
// in 32-bit ones, where a longer serial would lose its high bits.
constexpr uintptr_t kSerialMask = (uintptr_t{1} << 20) - 1;
// Room for a key's path in call records.
constexpr size_t kDescribeSize = 560;

struct HandleSlot {
    RegistryKey* key;  // nullptr: free
    uintptr_t serial;
};

struct RegistryState {
    RegistryKey roots[kRegistryRootCount];
    HandleSlot slots[kMaxOpenHandles] = {};
    uintptr_t next_serial = 1;
    // Deleted keys that still have open handles; freed with their last handle.
    std::vector<std::unique_ptr<RegistryKey>> deleted;
    bool changed = false;
};

RegistryState& State() {
    static RegistryState* state = [] {
        static RegistryState storage;
        for (int i = 0; i < kRegistryRootCount; ++i) storage.roots[i].name = kRegistryRoots[i].name;
        return &storage;
    }();
    return *state;
}

int RootIndex(HKEY handle) {
    for (int i = 0; i < kRegistryRootCount; ++i) {
        if (kRegistryRoots[i].handle == handle) return i;
    }
    return -1;
}

HandleSlot* SlotOf(HKEY handle) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t low = value & ((uintptr_t{1} << kSlotBits) - 1);
    if (low == 0 || low % 4 != 0) return nullptr;
    uintptr_t index = low / 4 - 1;
    if (index >= kMaxOpenHandles) return nullptr;
    HandleSlot* slot = &State().slots[index];
    if (slot->key == nullptr || slot->serial != value >> kSlotBits) return nullptr;
    return slot;
}

// 0 with a new handle on `key`, or ERROR_NOT_ENOUGH_MEMORY (8) when the table is full.
LONG OpenHandle(RegistryKey* key, HKEY* handle) {
    RegistryState& state = State();
    for (unsigned i = 0; i < kMaxOpenHandles; ++i) {
        if (state.slots[i].key != nullptr) continue;
        // Serial 0x80000 in slot 0 would make 0x80000004, HKEY_PERFORMANCE_DATA's
        // value: every call would take the handle for that root, and closing it
        // would never free its slot. Such a serial is skipped.
        uintptr_t value = 0;
        do {
            state.slots[i].serial = state.next_serial++ & kSerialMask;
            value = (state.slots[i].serial << kSlotBits) | ((i + 1) * 4);
        } while (RootIndex(reinterpret_cast<HKEY>(value)) >= 0);
        state.slots[i].key = key;
        ++key->open_handles;
        *handle = reinterpret_cast<HKEY>(value);
        return ERROR_SUCCESS;
    }
    return ERROR_NOT_ENOUGH_MEMORY;
}

void CloseSlot(HandleSlot* slot) {
    RegistryKey* key = slot->key;
    slot->key = nullptr;
    if (--key->open_handles != 0 || !key->deleted) return;
    std::vector<std::unique_ptr<RegistryKey>>& deleted = State().deleted;
    for (size_t i = 0; i < deleted.size(); ++i) {
        if (deleted[i].get() == key) {
            deleted.erase(deleted.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

// The key's full path ("HKEY_CURRENT_USER\Software"), cut to fit `size`.
void WriteKeyPath(const RegistryKey* key, char* out, size_t size) {
    if (key->deleted) {
        snprintf(out, size, "%s", key->deleted_path.c_str());
        return;
    }
    const RegistryKey* chain[128];
    size_t depth = 0;
    for (const RegistryKey* k = key; k != nullptr && depth < 128; k = k->parent) chain[depth++] = k;
    size_t used = 0;
    out[0] = '\0';
    while (depth > 0 && used + 1 < size) {
        const RegistryKey* k = chain[--depth];
        int n = snprintf(out + used, size - used, "%s%s", k->parent != nullptr ? "\\" : "",
                         k->name.c_str());
        if (n < 0) break;
        used += static_cast<size_t>(n);
    }
}

const char* Shown(const char* text) { return text != nullptr ? text : "NULL"; }

char16_t FoldAscii(char16_t unit) {
    return unit >= 'A' && unit <= 'Z' ? static_cast<char16_t>(unit + 32) : unit;
}

// Whether the ANSI name `ansi` (`length` bytes), widened, is the UTF-16 name
// `wide` without regard to ASCII case: how the system finds a value by a name
// given to an A call.
bool AnsiNamesWide(const char* ansi, size_t length, const char16_t* wide, size_t wide_length) {
    size_t at = 0;
    size_t unit_index = 0;
    while (at < length) {
        char16_t unit = 0;
        at += WidenAnsiChar(ansi + at, length - at, &unit);
        if (unit_index == wide_length || FoldAscii(unit) != FoldAscii(wide[unit_index])) {
            return false;
        }
        ++unit_index;
    }
    return unit_index == wide_length;
}

// Whether the UTF-16 name `wide` (`length` units) names the value or key
// `item`, without regard to ASCII case.
template <typename Item>
bool WideNames(const Item& item, const char16_t* wide, size_t length) {
    if (!item.has_wide_name) return AnsiNamesWide(item.name.data(), item.name.size(), wide, length);
    if (item.wide_name.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (FoldAscii(item.wide_name[i]) != FoldAscii(wide[i])) return false;
    }
    return true;
}

// Whether the ANSI name `name` (`length` bytes) names the value or key, as
// the system compares: widened, when the item has a wide name.
template <typename Item>
bool AnsiNames(const Item& item, const char* name, size_t length) {
    return item.has_wide_name
               ? AnsiNamesWide(name, length, item.wide_name.data(), item.wide_name.size())
               : RegistryNamesEqual(name, length, item.name);
}

// The value that the ANSI name `name` names, compared as the system does, in
// UTF-16 and without regard to ASCII case; nullptr when there is none.
RegistryValue* FindValue(RegistryKey* key, const char* name) {
    size_t length = strlen(name);
    for (RegistryValue& value : key->values) {
        if (AnsiNames(value, name, length)) return &value;
    }
    return nullptr;
}

// Sets or replaces a value; a replaced value keeps its place in the order
// and its name, and its data comes from the A calls now.
void StoreValue(RegistryKey* key, const char* name, DWORD type, const BYTE* data, size_t size) {
    RegistryValue* value = FindValue(key, name);
    if (value == nullptr) {
        key->values.emplace_back();
        value = &key->values.back();
        value->name = name;
    }
    value->type = type;
    value->data.assign(data, data + size);
    value->has_wide_data = false;
    value->wide_data.clear();
}

}  // namespace

// --- The parts of every call ------------------------------------------------

LONG KeyOf(HKEY handle, RegistryKey** key) {
    int root = RootIndex(handle);
    if (root >= 0) {
        *key = &State().roots[root];
        return ERROR_SUCCESS;
    }
    HandleSlot* slot = SlotOf(handle);
    if (slot == nullptr) return ERROR_INVALID_HANDLE;
    if (slot->key->deleted) return ERROR_KEY_DELETED;
    *key = slot->key;
    return ERROR_SUCCESS;
}

void DescribeHandle(HKEY handle, char* out, size_t size) {
    int root = RootIndex(handle);
    if (root >= 0) {
        snprintf(out, size, "%s", kRegistryRoots[root].name);
        return;
    }
    HandleSlot* slot = SlotOf(handle);
    if (slot == nullptr) {
        snprintf(out, size, "<invalid %#lx>",
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(handle)));
        return;
    }
    WriteKeyPath(slot->key, out, size);
}

LONG WalkPath(RegistryKey* key, const char* path, bool create, RegistryKey** found) {
    if (path[0] == '\\') return ERROR_BAD_PATHNAME;
    const char* p = path;
    while (*p != '\0') {
        const char* end = p;
        while (*end != '\0' && *end != '\\') {
            // A trail byte that looks like a backslash separates nothing.
            if (IsCodePageLeadByte(static_cast<BYTE>(*end)) && end[1] != '\0') ++end;
            ++end;
        }
        size_t length = static_cast<size_t>(end - p);
        if (length == 0) {  // backslashes in a row count as one, as under Wine
            p = end + 1;
            continue;
        }
        RegistryKey* child = FindSubkey(key, p, length);
        if (child == nullptr) {
            if (!create) return ERROR_FILE_NOT_FOUND;
            if (length > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
            child = AddSubkey(key, p, length);
            MarkRegistryChanged();
        }
        key = child;
        p = *end == '\\' ? end + 1 : end;
    }
    *found = key;
    return ERROR_SUCCESS;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

LONG StartRegistryCall(const char* call, HKEY handle, const char* detail, RegistryKey** found) {
    char where[kDescribeSize];
    DescribeHandle(handle, where, sizeof where);
    DWORD fault = 0;
    const bool fails = detail != nullptr ? CallFails(&fault, call, "%s, %s", where, detail)
                                         : CallFails(&fault, call, "%s", where);
    if (fails || !RegistryFileReady(&fault)) return static_cast<LONG>(fault);
    return found != nullptr ? KeyOf(handle, found) : ERROR_SUCCESS;
}

IndexText ShowIndex(DWORD index) {
    IndexText shown;
    snprintf(shown.text, sizeof shown.text, "%lu", static_cast<unsigned long>(index));
    return shown;
}

size_t ValueData(const RegistryValue& value, bool wide, BYTE* out, size_t capacity) {
    if (wide) return WideData(value, out, capacity);
    const size_t stored = value.data.size();
    if (out == nullptr || stored > capacity) return stored;
    if (stored != 0) memcpy(out, value.data.data(), stored);
    if (IsText(value.type) && capacity > stored && (stored == 0 || value.data[stored - 1] != 0)) {
        out[stored] = 0;
    }
    return stored;
}

LONG AnswerValue(const RegistryValue& value, bool wide, LPDWORD type, LPBYTE data,
                 LPDWORD data_size) {
    const DWORD size = static_cast<DWORD>(ValueData(value, wide, nullptr, 0));
    if (type != nullptr) *type = value.type;
    if (data != nullptr) {
        if (*data_size < size) {
            *data_size = size;
            return ERROR_MORE_DATA;
        }
        ValueData(value, wide, data, *data_size);
    }
    if (data_size != nullptr) *data_size = size;
    return ERROR_SUCCESS;
}

LONG EnumValue(RegistryKey* key, DWORD index, bool wide, bool has_name, LPDWORD name_capacity,
               LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD data_size,
               const RegistryValue** value) {
    if (!has_name || name_capacity == nullptr || reserved != nullptr ||
        (data != nullptr && data_size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (index >= key->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegistryValue& found = key->values[index];
    // Measured first, so that a name or data that does not fit leaves both buffers untouched.
    const size_t name_length = wide ? WideName(found, nullptr, 0) : found.name.size();
    if (name_length + 1 > *name_capacity) return ERROR_MORE_DATA;
    const LONG status = AnswerValue(found, wide, type, data, data_size);
    if (status != ERROR_SUCCESS) return status;
    *name_capacity = static_cast<DWORD>(name_length);
    *value = &found;
    return ERROR_SUCCESS;
}

LONG QueryValue(const RegistryValue* value, bool wide, LPDWORD reserved, LPDWORD type, LPBYTE data,
                LPDWORD data_size) {
    if (reserved != nullptr || (data != nullptr && data_size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    return AnswerValue(*value, wide, type, data, data_size);
}

// --- The tree ---------------------------------------------------------------

RegistryKey* RegistryRootKey(int index) { return &State().roots[index]; }

bool RegistryNamesEqual(const char* a, size_t length, const std::string& b) {
    if (b.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (IsCodePageLeadByte(x) && i + 1 < length) {
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

RegistryValue* FindValueWide(RegistryKey* key, const char16_t* name, size_t length) {
    for (RegistryValue& value : key->values) {
        if (WideNames(value, name, length)) return &value;
    }
    return nullptr;
}

RegistryKey* FindSubkey(RegistryKey* key, const char* name, size_t length) {
    for (const std::unique_ptr<RegistryKey>& child : key->subkeys) {
        if (AnsiNames(*child, name, length)) return child.get();
    }
    return nullptr;
}

RegistryKey* FindSubkeyWide(RegistryKey* key, const char16_t* name, size_t length) {
    for (const std::unique_ptr<RegistryKey>& child : key->subkeys) {
        if (WideNames(*child, name, length)) return child.get();
    }
    return nullptr;
}

RegistryKey* AddSubkey(RegistryKey* key, const char* name, size_t length) {
    std::unique_ptr<RegistryKey> child(new RegistryKey);
    child->name.assign(name, length);
    child->parent = key;
    key->subkeys.push_back(std::move(child));
    return key->subkeys.back().get();
}

void RemoveSubkey(RegistryKey* key) {
    RegistryKey* parent = key->parent;
    for (size_t i = 0; i < parent->subkeys.size(); ++i) {
        if (parent->subkeys[i].get() != key) continue;
        std::unique_ptr<RegistryKey> owned = std::move(parent->subkeys[i]);
        parent->subkeys.erase(parent->subkeys.begin() + static_cast<std::ptrdiff_t>(i));
        // Keys below with open handles must outlive the subtree, marked deleted.
        std::vector<RegistryKey*> pending{key};
        std::vector<std::unique_ptr<RegistryKey>> keep;
        char path[1024];
        WriteKeyPath(key, path, sizeof path);
        owned->parent = nullptr;
        owned->deleted = true;
        owned->deleted_path = path;
        for (size_t k = 0; k < pending.size(); ++k) {
            for (std::unique_ptr<RegistryKey>& child : pending[k]->subkeys) {
                child->deleted = true;
                child->deleted_path = pending[k]->deleted_path + "\\" + child->name;
                child->parent = nullptr;
                pending.push_back(child.get());
            }
        }
        // Deepest first, so that no key is freed before its subkeys were looked at.
        for (size_t k = pending.size(); k-- > 0;) {
            for (std::unique_ptr<RegistryKey>& child : pending[k]->subkeys) {
                if (child->open_handles != 0) keep.push_back(std::move(child));
            }
            pending[k]->subkeys.clear();
        }
        if (owned->open_handles != 0) keep.push_back(std::move(owned));
        for (std::unique_ptr<RegistryKey>& k : keep) State().deleted.push_back(std::move(k));
        return;
    }
}

void ReplaceRegistry(RegistryKey (&roots)[kRegistryRootCount]) {
    RegistryState& state = State();
    for (HandleSlot& slot : state.slots) slot.key = nullptr;
    state.deleted.clear();
    for (int i = 0; i < kRegistryRootCount; ++i) {
        state.roots[i].subkeys = std::move(roots[i].subkeys);
        state.roots[i].values = std::move(roots[i].values);
        state.roots[i].open_handles = 0;
        for (std::unique_ptr<RegistryKey>& child : state.roots[i].subkeys) {
            child->parent = &state.roots[i];
        }
    }
    state.changed = false;
}

void MarkRegistryChanged() { State().changed = true; }
bool RegistryChanged() { return State().changed; }
void ClearRegistryChanged() { State().changed = false; }

unsigned OpenHandleCount() {
    unsigned count = 0;
    for (const HandleSlot& slot : State().slots) count += slot.key != nullptr ? 1 : 0;
    return count;
}

void ResetRegistry() {
    DetachRegistryFile();
    RegistryKey empty[kRegistryRootCount];
    ReplaceRegistry(empty);
}

}  // namespace winsim

// --- The calls ----------------------------------------------------------------

using winsim::RegistryKey;
using winsim::RegistryValue;
using winsim::StartRegistryCall;

namespace {

LONG OpenOrCreate(const char* call, HKEY key, LPCSTR sub_key, PHKEY result, bool create) {
    const LONG started = StartRegistryCall(call, key, winsim::Shown(sub_key), nullptr);
    if (result != nullptr) *result = nullptr;
    if (started != ERROR_SUCCESS) return started;
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    RegistryKey* start = nullptr;
    LONG status = winsim::KeyOf(key, &start);
    if (status != ERROR_SUCCESS) return status;
    RegistryKey* found = start;
    if (sub_key == nullptr || sub_key[0] == '\0') {
        // RegOpenKeyA hands back the handle it was given; RegCreateKeyA opens
        // a new one on the same key, a predefined root included.
        if (!create) {
            *result = key;
            return ERROR_SUCCESS;
        }
        return winsim::OpenHandle(found, result);
    }
    status = winsim::WalkPath(start, sub_key, create, &found);
    if (status != ERROR_SUCCESS) return status;
    return winsim::OpenHandle(found, result);
}

}  // namespace

LONG RegOpenKeyA(HKEY key, LPCSTR sub_key, PHKEY result) {
    return OpenOrCreate("RegOpenKeyA", key, sub_key, result, false);
}

LONG RegCreateKeyA(HKEY key, LPCSTR sub_key, PHKEY result) {
    return OpenOrCreate("RegCreateKeyA", key, sub_key, result, true);
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size) {
    RegistryKey* found = nullptr;
    const LONG status = StartRegistryCall("RegQueryValueExA", key, winsim::Shown(name), &found);
    if (status != ERROR_SUCCESS) return status;
    return winsim::QueryValue(winsim::FindValue(found, name != nullptr ? name : ""), false,
                              reserved, type, data, data_size);
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_capacity, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size) {
    RegistryKey* found = nullptr;
    LONG status = StartRegistryCall("RegEnumValueA", key, winsim::ShowIndex(index).text, &found);
    if (status != ERROR_SUCCESS) return status;
    const RegistryValue* value = nullptr;
    status = winsim::EnumValue(found, index, false, name != nullptr, name_capacity, reserved, type,
                               data, data_size, &value);
    if (status != ERROR_SUCCESS) return status;
    memcpy(name, value->name.c_str(), value->name.size() + 1);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD name_capacity) {
    RegistryKey* found = nullptr;
    const LONG status =
        StartRegistryCall("RegEnumKeyA", key, winsim::ShowIndex(index).text, &found);
    if (status != ERROR_SUCCESS) return status;
    if (name == nullptr) return ERROR_INVALID_PARAMETER;
    if (index >= found->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& child = found->subkeys[index]->name;
    if (child.size() + 1 > name_capacity) return ERROR_MORE_DATA;
    memcpy(name, child.c_str(), child.size() + 1);
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKeyA(HKEY key, LPSTR class_name, LPDWORD class_capacity, LPDWORD reserved,
                      LPDWORD sub_keys, LPDWORD max_sub_key_len, LPDWORD max_class_len,
                      LPDWORD values, LPDWORD max_value_name_len, LPDWORD max_value_len,
                      LPDWORD security_descriptor, PFILETIME last_write_time) {
    RegistryKey* found = nullptr;
    const LONG status = StartRegistryCall("RegQueryInfoKeyA", key, nullptr, &found);
    if (status != ERROR_SUCCESS) return status;
    if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
    if (class_name != nullptr && class_capacity != nullptr && *class_capacity > 0) {
        class_name[0] = '\0';
    }
    if (class_capacity != nullptr) *class_capacity = 0;
    DWORD longest_key = 0, longest_name = 0, longest_data = 0;
    for (const std::unique_ptr<RegistryKey>& child : found->subkeys) {
        if (child->name.size() > longest_key) longest_key = static_cast<DWORD>(child->name.size());
    }
    for (const RegistryValue& value : found->values) {
        if (value.name.size() > longest_name) longest_name = static_cast<DWORD>(value.name.size());
        if (value.data.size() > longest_data) longest_data = static_cast<DWORD>(value.data.size());
    }
    if (sub_keys != nullptr) *sub_keys = static_cast<DWORD>(found->subkeys.size());
    if (max_sub_key_len != nullptr) *max_sub_key_len = longest_key;
    if (max_class_len != nullptr) *max_class_len = 0;
    if (values != nullptr) *values = static_cast<DWORD>(found->values.size());
    if (max_value_name_len != nullptr) *max_value_name_len = longest_name;
    if (max_value_len != nullptr) *max_value_len = longest_data;
    if (security_descriptor != nullptr) *security_descriptor = 0;
    if (last_write_time != nullptr) *last_write_time = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD /*reserved*/, DWORD type, const BYTE* data,
                    DWORD data_size) {
    RegistryKey* found = nullptr;
    const LONG status = StartRegistryCall("RegSetValueExA", key, winsim::Shown(name), &found);
    if (status != ERROR_SUCCESS) return status;
    if (data == nullptr && data_size != 0) return ERROR_INVALID_PARAMETER;
    size_t size = data_size;
    // Windows keeps the NUL that follows text whose size left it out.
    if (data != nullptr && winsim::IsText(type) && (size == 0 || data[size - 1] != 0) &&
        data[size] == 0) {
        ++size;
    }
    winsim::StoreValue(found, name != nullptr ? name : "", type, data, data != nullptr ? size : 0);
    winsim::MarkRegistryChanged();
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) {
    RegistryKey* found = nullptr;
    const LONG status = StartRegistryCall("RegDeleteValueA", key, winsim::Shown(name), &found);
    if (status != ERROR_SUCCESS) return status;
    const RegistryValue* value = winsim::FindValue(found, name != nullptr ? name : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    found->values.erase(found->values.begin() + (value - found->values.data()));
    winsim::MarkRegistryChanged();
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
    RegistryKey* found = nullptr;
    LONG status = StartRegistryCall("RegDeleteKeyA", key, winsim::Shown(sub_key), &found);
    if (status != ERROR_SUCCESS) return status;
    if (sub_key == nullptr) return ERROR_INVALID_PARAMETER;
    RegistryKey* target = found;  // "" deletes the handle's own key
    if (sub_key[0] != '\0') {
        status = winsim::WalkPath(found, sub_key, false, &target);
        if (status != ERROR_SUCCESS) return status;
    }
    // A root cannot be deleted, nor (as on the NT family) a key with subkeys.
    if (target->parent == nullptr || !target->subkeys.empty()) return ERROR_ACCESS_DENIED;
    winsim::RemoveSubkey(target);
    winsim::MarkRegistryChanged();
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    // No key lookup: a handle on a deleted key still closes.
    const LONG status = StartRegistryCall("RegCloseKey", key, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (winsim::RootIndex(key) >= 0) return ERROR_SUCCESS;  // predefined: closing is harmless
    winsim::HandleSlot* slot = winsim::SlotOf(key);
    if (slot == nullptr) return ERROR_INVALID_HANDLE;
    winsim::CloseSlot(slot);
    return ERROR_SUCCESS;
}
