#include "registry/found_value.h"

#include <cstring>

#include "common/text_compare.h"
#include "common/wide_text.h"
#include "platform/windows_family.h"

namespace {

// A value name of the NT family has at most 16,383 characters: as ANSI up to
// two bytes each.
char whole_name[32768];
alignas(WCHAR) BYTE whole_data[65536];
WCHAR whole_wide_name[16384];
alignas(WCHAR) BYTE whole_wide_data[65536];

const ValueBuffers kWholeValueBuffers = {
    whole_name,      sizeof whole_name,      whole_data,      sizeof whole_data,
    whole_wide_name, sizeof whole_wide_name, whole_wide_data, sizeof whole_wide_data,
};

char last_name[sizeof whole_name];
alignas(WCHAR) BYTE last_data[sizeof whole_data];
WCHAR last_wide_name[sizeof whole_wide_name / sizeof(WCHAR)];
alignas(WCHAR) BYTE last_wide_data[sizeof whole_wide_data];

const ValueBuffers kLastReadingBuffers = {
    last_name,      sizeof last_name,      last_data,      sizeof last_data,
    last_wide_name, sizeof last_wide_name, last_wide_data, sizeof last_wide_data,
};

bool SameBytes(const void* a, size_t a_length, const void* b, size_t b_length) {
    return a_length == b_length && (a_length == 0 || memcmp(a, b, a_length) == 0);
}

bool SameData(const RegistryData& a, const RegistryData& b) {
    return a.type == b.type && SameBytes(a.data, a.length, b.data, b.length);
}

bool IsNamed(const char* found, size_t found_length, const char* name, size_t length) {
    return found_length == length && CompareNoCase(found, name, length) == 0;
}

// Whether the name the A call gave is the stored one, the stored form read.
int32_t CompareNames(FoundValue* value, bool* same) {
    const int32_t code = ReadStoredForm(value);
    *same = code == 0;
    if (code != 0 || !HasStoredForm(value)) return code;
    return CompareWidened(value->buffers->name, value->name_length, value->buffers->wide_name,
                          value->wide_name_length, same);
}

// Whether the W call's data is what the A call read: text (up to its NUL
// unless `whole`) and multi-strings widened exactly, other data byte for byte.
int32_t CompareData(const RegistryData& wide, const RegistryData& ansi, bool whole, bool* same) {
    *same = false;
    if (wide.type != ansi.type) return 0;
    const char* bytes = static_cast<const char*>(ansi.data);
    if (!IsTextType(ansi.type) && ansi.type != REG_MULTI_SZ) {
        *same = SameBytes(wide.data, wide.length, bytes, ansi.length);
        return 0;
    }
    const WCHAR* units = static_cast<const WCHAR*>(wide.data);
    size_t count = wide.length / sizeof(WCHAR);
    size_t length = ansi.length;
    if (!whole && IsTextType(ansi.type)) {
        length = strnlen(bytes, length);
        count = WideLength(units, count);
    }
    // Text the system stored is whole units; an odd byte in the part compared
    // was not put there by any A call, so it is nobody's exact text.
    if (count == wide.length / sizeof(WCHAR) && wide.length % sizeof(WCHAR) != 0) return 0;
    return CompareWidened(bytes, length, units, count, same);
}

}  // namespace

const ValueBuffers& WholeValueBuffers() { return kWholeValueBuffers; }

const ValueBuffers& LastReadingBuffers() { return kLastReadingBuffers; }

bool IsSameReading(const FoundValue& first, const FoundValue& last) {
    if (!SameBytes(first.buffers->name, first.name_length, last.buffers->name, last.name_length) ||
        !SameData(first.ansi, last.ansi) || HasStoredForm(&first) != HasStoredForm(&last)) {
        return false;
    }
    return !HasStoredForm(&first) ||
           (SameBytes(first.buffers->wide_name, first.wide_name_length * sizeof(WCHAR),
                      last.buffers->wide_name, last.wide_name_length * sizeof(WCHAR)) &&
            SameData(first.wide, last.wide));
}

int32_t ReadFoundValue(HKEY key, DWORD index, const ValueBuffers& buffers, FoundValue* value) {
    *value = FoundValue{};
    value->key = key;
    value->index = index;
    value->buffers = &buffers;
    value->stored_form = kStoredFormUnread;
    DWORD name_length = buffers.name_size;
    DWORD length = buffers.data_size;
    DWORD type = 0;
    const LONG code = RegEnumValueA(key, index, buffers.name, &name_length, nullptr, &type,
                                    buffers.data, &length);
    if (code != 0) return code;
    // Never trust a length beyond the buffer, whatever the system says.
    value->name_length = name_length < buffers.name_size ? name_length : buffers.name_size - 1;
    buffers.name[value->name_length] = '\0';
    value->ansi =
        RegistryData{type, buffers.data, length < buffers.data_size ? length : buffers.data_size};
    return 0;
}

int32_t ReadStoredForm(FoundValue* value) {
    if (value->stored_form == kStoredFormUnread) {
        const ValueBuffers& buffers = *value->buffers;
        const DWORD units = buffers.wide_name_size / sizeof(WCHAR);
        DWORD name_length = units;
        DWORD length = buffers.wide_data_size;
        DWORD type = 0;
        const LONG code = RegEnumValueW(value->key, value->index, buffers.wide_name, &name_length,
                                        nullptr, &type, buffers.wide_data, &length);
        value->stored_form = IsNotImplemented(code) ? kStoredFormAnsi : code;
        value->wide_name_length = name_length < units ? name_length : units - 1;
        value->wide =
            RegistryData{type, buffers.wide_data,
                         length < buffers.wide_data_size ? length : buffers.wide_data_size};
    }
    return value->stored_form == kStoredFormAnsi ? 0 : value->stored_form;
}

int32_t FindValueNamed(HKEY key, const char* name, const ValueBuffers& buffers, FoundValue* value) {
    const size_t length = strlen(name);
    for (DWORD index = 0;; ++index) {
        int32_t code = ReadFoundValue(key, index, buffers, value);
        if (code == ERROR_MORE_DATA) {
            // Too large to read whole: the name alone tells whether it is the one.
            DWORD name_length = buffers.name_size;
            code = RegEnumValueA(key, index, buffers.name, &name_length, nullptr, nullptr, nullptr,
                                 nullptr);
            if (code == 0 && IsNamed(buffers.name, name_length, name, length)) {
                return ERROR_MORE_DATA;
            }
            if (code == 0 || code == ERROR_MORE_DATA) continue;
        }
        if (code == ERROR_NO_MORE_ITEMS) return ERROR_FILE_NOT_FOUND;
        if (code != 0) return code;
        if (!IsNamed(buffers.name, value->name_length, name, length)) continue;
        bool same = false;
        code = CompareNames(value, &same);
        if (code != 0 || same) return code;
    }
}

int32_t CheckFoundValue(const RegistryAction* row, FoundValue* value) {
    if (!row->matcher(&row->match, &value->ansi)) return ERROR_FILE_NOT_FOUND;
    bool same = false;
    int32_t code = CompareNames(value, &same);
    if (code == 0 && same && HasStoredForm(value)) {
        code = CompareData(value->wide, value->ansi, false, &same);
    }
    return code != 0 || same ? code : ERROR_FILE_NOT_FOUND;
}

int32_t CompareWholeValue(FoundValue* value, bool* exact) {
    const int32_t code = CompareNames(value, exact);
    if (code != 0 || !*exact || !HasStoredForm(value)) return code;
    return CompareData(value->wide, value->ansi, true, exact);
}
