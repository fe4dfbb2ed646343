// A registry value as it is stored, and whether it is a row's, exactly: the A
// calls convert UTF-16 with best fits, so a look-alike can read as the worm's
// text. The matchers compare the A call's reading; the W call's tells if it is exact.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "registry/registry_action.h"

// The caller's buffers for one value, with their sizes in bytes.
struct ValueBuffers {
    char* name;
    DWORD name_size;
    BYTE* data;
    DWORD data_size;
    WCHAR* wide_name;
    DWORD wide_name_size;
    BYTE* wide_data;  // aligned for WCHAR
    DWORD wide_data_size;
};

const int32_t kStoredFormUnread = -1;
const int32_t kStoredFormAnsi = -2;

// One value as the enumeration gave it; its stored form is read when first needed.
struct FoundValue {
    HKEY key;
    DWORD index;
    const ValueBuffers* buffers;
    DWORD name_length;  // bytes of buffers->name
    RegistryData ansi;  // the A call's type, buffers->data and its length
    // The W call's answer: unread, kStoredFormAnsi on the 95 family, 0, or its
    // failure, which every check that needs the stored form returns.
    int32_t stored_form;
    DWORD wide_name_length;  // units of buffers->wide_name
    RegistryData wide;       // the W call's type, buffers->wide_data and its length
};

inline bool HasStoredForm(const FoundValue* value) { return value->stored_form == 0; }

// Static buffers for any value name and data up to 64 KiB; the second set
// holds the last reading before an action, compared with the first.
const ValueBuffers& WholeValueBuffers();
const ValueBuffers& LastReadingBuffers();

// Whether two readings of a value are the same byte for byte, in both forms.
bool IsSameReading(const FoundValue& first, const FoundValue& last);

// Reads the value at `index` through the A call: 0, or its code
// (ERROR_NO_MORE_ITEMS past the last, ERROR_MORE_DATA when it does not fit).
int32_t ReadFoundValue(HKEY key, DWORD index, const ValueBuffers& buffers, FoundValue* value);

// Reads the stored form once: 0 (also on the 95 family) or the W call's failure.
int32_t ReadStoredForm(FoundValue* value);

// Finds the value whose stored name is `name` without regard to case, passing
// over look-alikes: 0, ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA, or a read's code.
int32_t FindValueNamed(HKEY key, const char* name, const ValueBuffers& buffers, FoundValue* value);

// Whether `value` is the row's (a value test's or a search's), exactly: its
// matcher takes the A call's data, and the name and the part of the data it
// compares are as stored. 0 when it is; ERROR_FILE_NOT_FOUND when it is not
// (to the user, a value not found); or the W call's or conversion's failure.
int32_t CheckFoundValue(const RegistryAction* row, FoundValue* value);

// Whether the whole value comes back as stored from the A call's reading, as
// an ANSI .reg file gives it back: 0 with *exact, or the failure's code.
int32_t CompareWholeValue(FoundValue* value, bool* exact);
