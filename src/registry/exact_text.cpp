// The exactness check: a W call reads the stored form of a value or of a
// subkey's name, and the text the A call gave must widen back to it unit for unit.
#include "registry/exact_text.h"

#include <cstring>

#include "registry/registry_limits.h"

namespace {

// An ANSI text never has fewer bytes than UTF-16 units (a character takes one
// or two bytes and one unit; a surrogate pair reads back as two '?'), so the
// wide form of anything that fitted the walk's buffers fits these.
constexpr size_t kWideUnits = kNameSize;

// The wide form of one value as a W call gave it.
struct WideValue {
    DWORD type;
    WCHAR name[kWideUnits];
    DWORD name_length;  // units, without the NUL
    BYTE data[kWideUnits * sizeof(WCHAR)];
    DWORD size;  // bytes
};

// The code of a failed conversion, never 0.
int32_t ConversionFailure() {
    DWORD code = GetLastError();
    return code != 0 ? static_cast<int32_t>(code) : ERROR_INTERNAL_ERROR;
}

// 0 when `ansi` (`length` bytes) widens to the `units` UTF-16 units at
// `wide` exactly, 2 when it does not, else the conversion's failure code.
int32_t CompareWidened(const char* ansi, size_t length, const void* wide, size_t units) {
    if (length == 0 || units == 0) return length == units ? 0 : ERROR_FILE_NOT_FOUND;
    if (length > kWideUnits || units > kWideUnits) return ERROR_FILE_NOT_FOUND;
    WCHAR widened[kWideUnits];
    int count = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), widened,
                                    static_cast<int>(kWideUnits));
    if (count == 0) return ConversionFailure();
    if (static_cast<size_t>(count) != units) return ERROR_FILE_NOT_FOUND;
    return memcmp(widened, wide, units * sizeof(WCHAR)) == 0 ? 0 : ERROR_FILE_NOT_FOUND;
}

// 0 when the wide form holds what the A call gave as `found`: the same type,
// and text that widens to it exactly (other data byte for byte); else 2 or a
// conversion's failure code.
int32_t CompareData(const WideValue& wide, const RegistryData* found) {
    if (wide.type != found->type) return ERROR_FILE_NOT_FOUND;
    const char* bytes = static_cast<const char*>(found->data);
    // The A calls convert multi-strings as they do text.
    if (!IsTextType(found->type) && found->type != REG_MULTI_SZ) {
        if (wide.size != found->length) return ERROR_FILE_NOT_FOUND;
        return found->length == 0 || memcmp(wide.data, bytes, found->length) == 0
                   ? 0
                   : ERROR_FILE_NOT_FOUND;
    }
    // Text the system stored is whole units; an odd byte was not put there
    // by any A call, so it is nobody's exact text.
    if (wide.size % sizeof(WCHAR) != 0) return ERROR_FILE_NOT_FOUND;
    return CompareWidened(bytes, found->length, wide.data, wide.size / sizeof(WCHAR));
}

// A W call's result: the 95 family's stub answer means there is no other
// form to compare with.
bool IsAnsiRegistry(LONG code) { return code == ERROR_CALL_NOT_IMPLEMENTED; }

}  // namespace

int32_t CheckExactText(HKEY key, const char* name, const RegistryData* found) {
    WideValue wide;
    if (name == nullptr || name[0] == '\0') {
        wide.name[0] = 0;
    } else if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide.name, static_cast<int>(kWideUnits)) ==
               0) {
        return ConversionFailure();
    }
    wide.size = sizeof wide.data;
    LONG code = RegQueryValueExW(key, wide.name, nullptr, &wide.type, wide.data, &wide.size);
    if (IsAnsiRegistry(code)) return 0;
    if (code != 0) return code;
    // Never trust a length beyond the buffer, whatever the system says.
    if (wide.size > sizeof wide.data) wide.size = sizeof wide.data;
    return CompareData(wide, found);
}

int32_t CheckExactEnumeratedText(HKEY key, DWORD index, const char* name,
                                 const RegistryData* found) {
    WideValue wide;
    wide.name_length = kWideUnits;
    wide.size = sizeof wide.data;
    LONG code = RegEnumValueW(key, index, wide.name, &wide.name_length, nullptr, &wide.type,
                              wide.data, &wide.size);
    if (IsAnsiRegistry(code)) return 0;
    if (code != 0) return code;
    if (wide.name_length >= kWideUnits) wide.name_length = kWideUnits - 1;
    if (wide.size > sizeof wide.data) wide.size = sizeof wide.data;
    int32_t same = CompareWidened(name, strnlen(name, kNameSize), wide.name, wide.name_length);
    return same != 0 ? same : CompareData(wide, found);
}

int32_t CheckExactSubkeyName(HKEY key, DWORD index, const char* name) {
    WCHAR wide[kWideUnits];
    LONG code = RegEnumKeyW(key, index, wide, kWideUnits);
    if (IsAnsiRegistry(code)) return 0;
    if (code != 0) return code;
    size_t units = 0;
    while (units + 1 < kWideUnits && wide[units] != 0) ++units;
    int32_t same = CompareWidened(name, strnlen(name, kNameSize), wide, units);
    return same == ERROR_FILE_NOT_FOUND ? ERROR_NO_UNICODE_TRANSLATION : same;
}
