// A registry value as stored, and whether it is a row's exactly: the A calls
// convert with best fits, so the W call's reading tells a look-alike apart.
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
    DWORD name_length;    // bytes of buffers->name
    RegistryData ansi;    // the A call's type, buffers->data and its length
    int32_t stored_form;  // kStoredFormUnread, kStoredFormAnsi (95 family), 0 or the W call's code
    DWORD wide_name_length;  // units of buffers->wide_name
    RegistryData wide;       // the W call's type, buffers->wide_data and its length
};

inline bool HasStoredForm(const FoundValue* value) { return value->stored_form == 0; }

// Static buffers for any value up to 64 KiB; the second holds the last reading before an action.
const ValueBuffers& WholeValueBuffers();
const ValueBuffers& LastReadingBuffers();

bool IsSameReading(const FoundValue& first, const FoundValue& last);

// Reads the value at `index` through the A call: 0 or its code.
int32_t ReadFoundValue(HKEY key, DWORD index, const ValueBuffers& buffers, FoundValue* value);

// Reads the stored form once: 0 (also on the 95 family) or the W call's failure.
int32_t ReadStoredForm(FoundValue* value);

// Finds the value stored as `name` (any case), passing over look-alikes: 0,
// ERROR_FILE_NOT_FOUND, ERROR_MORE_DATA or a read's code.
int32_t FindValueNamed(HKEY key, const char* name, const ValueBuffers& buffers, FoundValue* value);

// 0 when the matcher takes the A call's data and the name and compared data
// are as stored; ERROR_FILE_NOT_FOUND when not; or the W call's failure.
int32_t CheckFoundValue(const RegistryAction* row, FoundValue* value);

// Whether an ANSI .reg file of the A call's reading gives the whole value back as stored.
int32_t CompareWholeValue(FoundValue* value, bool* exact);
