// Native layer: the registry's W calls, and values stored as wide text. On
// the NT family the system keeps text in UTF-16 and the A calls convert it;
// on the 95 family the registry is ANSI and the W calls are stubs.
#include <cstdio>
#include <cstring>

#include "winsim/code_page.h"
#include "winsim/layer.h"
#include "winsim/registry_store.h"
#include "winsim/test_hooks.h"

namespace winsim {
namespace {

// Room for a value's name in call records.
constexpr size_t kShownSize = 560;

size_t WideLength(const char16_t* text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

// What call records show a wide name as: converted as the A calls would,
// cut to fit `size`.
void ShowWide(const char16_t* wide, char* out, size_t size) {
    size_t used = 0;
    for (; *wide != 0 && used + 3 <= size; ++wide) used += NarrowWideUnit(*wide, out + used);
    out[used] = '\0';
}

// The start of both W calls: StartRegistryCall, then, on the 95 family,
// the answer of its stubs.
LONG StartWideCall(const char* call, HKEY handle, const char* detail, RegistryKey** found) {
    const LONG status = StartRegistryCall(call, handle, detail, nullptr);
    if (status != ERROR_SUCCESS) return status;
    if (IsWindows95Family()) return ERROR_CALL_NOT_IMPLEMENTED;
    return KeyOf(handle, found);
}

// The UTF-16 name the W calls give a value or key; writes it with its NUL
// when `capacity` units hold both. Returns its length without the NUL.
template <typename Item>
size_t WideNameOf(const Item& value, char16_t* out, size_t capacity) {
    if (value.has_wide_name) {
        size_t length = value.wide_name.size();
        if (length + 1 <= capacity) {
            for (size_t i = 0; i < length; ++i) out[i] = value.wide_name[i];
            out[length] = 0;
        }
        return length;
    }
    size_t length = 0;
    for (size_t at = 0; at < value.name.size(); ++length) {
        char16_t unit = 0;
        at += WidenAnsiChar(value.name.data() + at, value.name.size() - at, &unit);
        if (length < capacity) out[length] = unit;
    }
    if (length < capacity) out[length] = 0;
    return length;
}

}  // namespace

size_t WideName(const RegistryValue& value, char16_t* out, size_t capacity) {
    return WideNameOf(value, out, capacity);
}

size_t WideData(const RegistryValue& value, BYTE* out, size_t capacity) {
    const std::vector<BYTE>& stored = value.has_wide_data ? value.wide_data : value.data;
    if (value.has_wide_data || !IsText(value.type)) {
        if (out != nullptr && stored.size() <= capacity && !stored.empty()) {
            memcpy(out, stored.data(), stored.size());
        }
        return stored.size();
    }
    size_t units = 0;
    for (size_t at = 0; at < stored.size(); ++units) {
        char16_t unit = 0;
        at += WidenAnsiChar(reinterpret_cast<const char*>(stored.data()) + at, stored.size() - at,
                            &unit);
        if (out != nullptr && 2 * units + 2 <= capacity) {
            out[2 * units] = static_cast<BYTE>(unit & 0xFF);
            out[2 * units + 1] = static_cast<BYTE>(unit >> 8);
        }
    }
    return 2 * units;
}

bool SetWideKey(HKEY root, const char* sub_key, const char16_t* path) {
    RegistryKey* key = nullptr;
    if (KeyOf(root, &key) != ERROR_SUCCESS || key->parent != nullptr || key->deleted) return false;
    if (sub_key != nullptr && sub_key[0] != '\0' &&
        WalkPath(key, sub_key, true, &key) != ERROR_SUCCESS) {
        return false;
    }
    for (const char16_t* name = path; *name != 0;) {
        size_t length = 0;
        while (name[length] != 0 && name[length] != u'\\') ++length;
        if (length == 0 || length > kMaxKeyNameLength) return false;
        RegistryKey* child = FindSubkeyWide(key, name, length);
        if (child == nullptr) {
            const std::string narrow = NarrowText(name, length);
            child = AddSubkey(key, narrow.data(), narrow.size());
            child->has_wide_name = true;
            child->wide_name.assign(name, length);
            MarkRegistryChanged();
        }
        key = child;
        name += length;
        if (*name == u'\\') ++name;
    }
    return true;
}

void StoreWideForms(RegistryValue* value, const std::u16string& name, DWORD type, const BYTE* data,
                    size_t size) {
    value->name = NarrowText(name.data(), name.size());
    value->has_wide_name = true;
    value->wide_name = name;
    value->type = type;
    value->has_wide_data = IsText(type);
    if (value->has_wide_data) {
        value->wide_data.assign(data, data + size);
        std::u16string units(size / 2, u'\0');  // an odd last byte converts to nothing
        for (size_t i = 0; i < units.size(); ++i) {
            units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
        }
        const std::string narrow = NarrowText(units.data(), units.size());
        value->data.assign(narrow.begin(), narrow.end());
    } else {
        value->wide_data.clear();
        value->data.assign(data, data + size);
    }
}

std::u16string WideNameText(const RegistryValue& value) {
    return value.has_wide_name ? value.wide_name : WidenText(value.name.data(), value.name.size());
}

bool SetWideValue(HKEY root, const char* sub_key, const char16_t* name, DWORD type,
                  const void* data, size_t size) {
    RegistryKey* key = nullptr;
    if (KeyOf(root, &key) != ERROR_SUCCESS || key->parent != nullptr || key->deleted) return false;
    if (sub_key != nullptr && sub_key[0] != '\0' &&
        WalkPath(key, sub_key, true, &key) != ERROR_SUCCESS) {
        return false;
    }
    const size_t name_length = WideLength(name);
    RegistryValue* value = FindValueWide(key, name, name_length);
    if (value == nullptr) {
        key->values.emplace_back();
        value = &key->values.back();
    }
    StoreWideForms(value, std::u16string(name, name_length), type, static_cast<const BYTE*>(data),
                   size);
    MarkRegistryChanged();
    return true;
}

}  // namespace winsim

using winsim::RegistryKey;
using winsim::RegistryValue;

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size) {
    const char16_t* wide = name != nullptr ? name : u"";
    char shown[winsim::kShownSize];
    winsim::ShowWide(name != nullptr ? wide : u"NULL", shown, sizeof shown);
    RegistryKey* found = nullptr;
    const LONG status = winsim::StartWideCall("RegQueryValueExW", key, shown, &found);
    if (status != ERROR_SUCCESS) return status;
    return winsim::QueryValue(winsim::FindValueWide(found, wide, winsim::WideLength(wide)), true,
                              reserved, type, data, data_size);
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_capacity, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size) {
    RegistryKey* found = nullptr;
    LONG status =
        winsim::StartWideCall("RegEnumValueW", key, winsim::ShowIndex(index).text, &found);
    if (status != ERROR_SUCCESS) return status;
    const RegistryValue* value = nullptr;
    status = winsim::EnumValue(found, index, true, name != nullptr, name_capacity, reserved, type,
                               data, data_size, &value);
    if (status != ERROR_SUCCESS) return status;
    winsim::WideName(*value, name, *name_capacity + 1);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyW(HKEY key, DWORD index, LPWSTR name, DWORD name_capacity) {
    RegistryKey* found = nullptr;
    const LONG status =
        winsim::StartWideCall("RegEnumKeyW", key, winsim::ShowIndex(index).text, &found);
    if (status != ERROR_SUCCESS) return status;
    if (name == nullptr) return ERROR_INVALID_PARAMETER;
    if (index >= found->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegistryKey& child = *found->subkeys[index];
    if (winsim::WideNameOf(child, nullptr, 0) + 1 > name_capacity) return ERROR_MORE_DATA;
    winsim::WideNameOf(child, name, name_capacity);
    return ERROR_SUCCESS;
}
