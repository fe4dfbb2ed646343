// A registry value as it is stored, and whether it is a row's, exactly. The
// NT family stores text in UTF-16 and the A calls convert it with best-fit
// mapping, so a look-alike (a full-width letter, a letter with a diacritic)
// can read back as the plain text that Windows would not start. So a value is
// read through the A call, which the matchers compare, and through the W call,
// which tells whether that reading is exact.
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

// One value as the enumeration gave it, its name in the stored spelling.
// Its stored form is read through the W call when it is first needed, while
// its key is open.
struct FoundValue {
    HKEY key;
    DWORD index;
    const ValueBuffers* buffers;
    DWORD name_length;  // bytes of buffers->name
    RegistryData ansi;  // the A call's type, buffers->data and its length
    // The W call's answer: kStoredFormUnread until it is made, kStoredFormAnsi
    // where the registry has no other form (the 95 family), 0 when it read the
    // value, otherwise its failure, which every check that needs it returns.
    int32_t stored_form;
    DWORD wide_name_length;  // units of buffers->wide_name
    RegistryData wide;       // the W call's type, buffers->wide_data and its length
};

inline bool HasStoredForm(const FoundValue* value) { return value->stored_form == 0; }

// Buffers for any value name the NT family allows and data up to 64 KiB,
// static: one set, which the check before an action and the save of a key
// tree use in turn.
const ValueBuffers& WholeValueBuffers();

// A second set of the same sizes: for the last reading of a value right
// before an action, which is compared with the first.
const ValueBuffers& LastReadingBuffers();

// Whether two readings of a value are the same byte for byte: the name and
// the data as the A call gave them, and the stored form where both read it.
bool IsSameReading(const FoundValue& first, const FoundValue& last);

// Reads the value at `index` of `key` through the A call: 0; ERROR_NO_MORE_ITEMS
// past the last value; ERROR_MORE_DATA when its name or data does not fit
// the buffers; otherwise the call's code.
int32_t ReadFoundValue(HKEY key, DWORD index, const ValueBuffers& buffers, FoundValue* value);

// Reads the value's stored form through the W call, unless that was done:
// 0 (also on the 95 family, whose registry is ANSI and has no other form),
// or the W call's failure.
int32_t ReadStoredForm(FoundValue* value);

// Finds the value called `name` ("" for the default value) of `key` by
// enumeration: the first whose stored name is `name` without regard to case
// (a look-alike that reads so only through a best fit is passed over). 0
// with the value read; ERROR_FILE_NOT_FOUND when there is none;
// ERROR_MORE_DATA when it is too large for the buffers; otherwise a read's code.
int32_t FindValueNamed(HKEY key, const char* name, const ValueBuffers& buffers, FoundValue* value);

// Whether `value` is the row's (a value test's or a search's), exactly: its
// matcher takes the A call's data, and the name and the part of the data it
// compares are as stored. 0 when it is; ERROR_FILE_NOT_FOUND when it is not
// (to the user, a value not found); or the W call's or conversion's failure.
int32_t CheckFoundValue(const RegistryAction* row, FoundValue* value);

// Whether the whole of `value`, name and data, comes back as stored from the
// A call's reading (always so on the 95 family): what an ANSI .reg file
// gives back. 0 with the answer in *exact, or the code of the W call or
// conversion that failed.
int32_t CompareWholeValue(FoundValue* value, bool* exact);
