// The exactness check: a W call reads the stored form of a value or of a
// subkey's name, and the text the A call gave must widen back to it unit for unit.
#include "registry/exact_text.h"

#include <cstring>

#include "common/wide_text.h"
#include "registry/registry_limits.h"

namespace {

// An ANSI text never has fewer bytes than UTF-16 units (a character takes one
// or two bytes and one unit; a surrogate pair reads back as two '?'), so the
// wide form of anything that fitted the walk's buffers fits these.
constexpr size_t kWideUnits = kNameSize;

// The buffers of one wide value read by the walk's checks.
struct WideBuffers {
    WCHAR name[kWideUnits];
    BYTE data[kWideUnits * sizeof(WCHAR)];
};

WideValue WideValueIn(WideBuffers* buffers) {
    return WideValue{0, buffers->name, kWideUnits, buffers->data, sizeof buffers->data};
}

// A W call's result: the 95 family's stub answer means there is no other
// form to compare with.
bool IsAnsiRegistry(LONG code) { return code == ERROR_CALL_NOT_IMPLEMENTED; }

}  // namespace

int32_t ReadWideValueAt(HKEY key, DWORD index, WideValue* wide) {
    const DWORD name_capacity = wide->name_length;
    const DWORD data_capacity = wide->size;
    LONG code = RegEnumValueW(key, index, wide->name, &wide->name_length, nullptr, &wide->type,
                              wide->data, &wide->size);
    if (code != 0) return code;
    // Never trust a length beyond the buffer, whatever the system says.
    if (wide->name_length >= name_capacity) wide->name_length = name_capacity - 1;
    if (wide->size > data_capacity) wide->size = data_capacity;
    return 0;
}

int32_t CompareWideData(const WideValue& wide, const RegistryData* found, TextPart part) {
    if (wide.type != found->type) return ERROR_FILE_NOT_FOUND;
    const char* bytes = static_cast<const char*>(found->data);
    // The A calls convert multi-strings as they do text; a matcher compares
    // every byte of them.
    if (!IsTextType(found->type) && found->type != REG_MULTI_SZ) {
        if (wide.size != found->length) return ERROR_FILE_NOT_FOUND;
        return found->length == 0 || memcmp(wide.data, bytes, found->length) == 0
                   ? 0
                   : ERROR_FILE_NOT_FOUND;
    }
    const WCHAR* units = reinterpret_cast<const WCHAR*>(wide.data);
    size_t count = wide.size / sizeof(WCHAR);
    size_t length = found->length;
    if (part == TextPart::kCompared && IsTextType(found->type)) {
        length = strnlen(bytes, length);
        count = WideLength(units, count);
    }
    // Text the system stored is whole units; an odd byte in the part compared
    // was not put there by any A call, so it is nobody's exact text.
    if (count == wide.size / sizeof(WCHAR) && wide.size % sizeof(WCHAR) != 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return CompareWidened(bytes, length, units, count);
}

int32_t CheckExactText(HKEY key, const char* name, const RegistryData* found) {
    WideBuffers buffers;
    WideValue wide = WideValueIn(&buffers);
    if (name == nullptr || name[0] == '\0') {
        wide.name[0] = 0;
    } else if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide.name, static_cast<int>(kWideUnits)) ==
               0) {
        const DWORD code = GetLastError();
        return code != 0 ? static_cast<int32_t>(code) : ERROR_INTERNAL_ERROR;
    }
    LONG code = RegQueryValueExW(key, wide.name, nullptr, &wide.type, wide.data, &wide.size);
    if (IsAnsiRegistry(code)) return 0;
    if (code != 0) return code;
    if (wide.size > sizeof buffers.data) wide.size = sizeof buffers.data;
    return CompareWideData(wide, found, TextPart::kCompared);
}

int32_t CheckExactEnumeratedText(HKEY key, DWORD index, const char* name,
                                 const RegistryData* found) {
    WideBuffers buffers;
    WideValue wide = WideValueIn(&buffers);
    int32_t code = ReadWideValueAt(key, index, &wide);
    if (IsAnsiRegistry(code)) return 0;
    if (code != 0) return code;
    int32_t same = CompareWidened(name, strnlen(name, kNameSize), wide.name, wide.name_length);
    return same != 0 ? same : CompareWideData(wide, found, TextPart::kCompared);
}

int32_t CheckExactSubkeyName(HKEY key, DWORD index, const char* name) {
    WCHAR wide[kWideUnits];
    LONG code = RegEnumKeyW(key, index, wide, kWideUnits);
    if (IsAnsiRegistry(code)) return 0;
    if (code != 0) return code;
    const int32_t same =
        CompareWidened(name, strnlen(name, kNameSize), wide, WideLength(wide, kWideUnits - 1));
    return same == ERROR_FILE_NOT_FOUND ? ERROR_NO_UNICODE_TRANSLATION : same;
}
