// Whether names and data found through the A calls are what the registry holds. The NT
// family stores text in UTF-16 and the A calls convert it with best-fit
// mapping, so a look-alike (a full-width letter, a letter with a diacritic)
// can read back as the plain text that Windows would not start.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "registry/registry_action.h"

// One value as a W call gave it, in the caller's buffers.
struct WideValue {
    DWORD type;
    WCHAR* name;
    DWORD name_length;  // in: the name buffer's units, NUL included; out: the name's units
    BYTE* data;
    DWORD size;  // in: the data buffer's bytes; out: the data's bytes
};

// Reads the value at `index` of `key` through the W enumeration into `wide`.
// 0; ERROR_CALL_NOT_IMPLEMENTED (120) on the 95 family, whose registry is
// ANSI; otherwise the call's code (ERROR_MORE_DATA when a buffer is too small).
int32_t ReadWideValueAt(HKEY key, DWORD index, WideValue* wide);

// How much of text data must widen exactly: what the matcher looks at (up to
// the first NUL within the length found), or every byte, for data that is to
// be given back.
enum class TextPart { kCompared, kWhole };

// 0 when `wide` holds what an A call gave as `found`: the same type, text
// whose `part` widens exactly to the wide text's, other data byte for byte;
// ERROR_FILE_NOT_FOUND (2) when it does not; otherwise a conversion's code.
int32_t CompareWideData(const WideValue& wide, const RegistryData* found, TextPart part);

// The value `name` of the open `key`, which the A call read as `found`: 0
// when the part the matcher looks at widens exactly to the stored form (bytes
// after the text's NUL decide nothing), and on the 95 family (ANSI registry,
// W calls answer 120); 2 when it does not; otherwise the code of the call
// that failed.
int32_t CheckExactText(HKEY key, const char* name, const RegistryData* found);

// The same for the value at `index` of `key`, which the A enumeration gave as
// `name` and `found`: its name must read back exactly too.
int32_t CheckExactEnumeratedText(HKEY key, DWORD index, const char* name,
                                 const RegistryData* found);

// The subkey at `index` of `key`, which the A enumeration gave as `name`: 0
// when its stored name widens exactly from `name`, and on the 95 family;
// ERROR_NO_UNICODE_TRANSLATION (1113) when it does not, for opening it by
// `name` would open the key of that spelling instead; otherwise the code of
// the call that failed.
int32_t CheckExactSubkeyName(HKEY key, DWORD index, const char* name);
