// Header only: the rows of registry action tables, the data they carry, and
// the matcher and callback the cleaning walk calls.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline bool IsTextType(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Typed registry data: REG_SZ and REG_EXPAND_SZ are text, NUL-terminated and
// its length counting the NUL; every other type is raw bytes.
struct RegistryData {
    uint32_t type;
    const void* data;  // nullptr: the row has no such data
    uint32_t length;
};

// Compares the data a row expects with the data found: true for a match.
typedef bool (*RegistryMatcher)(const RegistryData* expected, const RegistryData* found);

// One row of a registry action table; a row whose key path is nullptr ends it.
struct RegistryAction {
    const char* key_path;      // full "HKEY_..." path, may hold path variables
    const char* value_name;    // nullptr: the key itself, or a search of its values
    RegistryData match;        // what the worm writes; data nullptr: no data test
    RegistryData replacement;  // data nullptr: delete; otherwise set the value to it
    RegistryMatcher matcher;   // nullptr: no data comparison
};

// Whether the row names a value (a search does once it has found one), and
// whether its action sets the value rather than deleting it.
inline bool NamesValue(const RegistryAction* row) { return row->value_name != nullptr; }
inline bool SetsValue(const RegistryAction* row) { return row->replacement.data != nullptr; }
inline bool HasMatchData(const RegistryAction* row) { return row->match.data != nullptr; }

// A row's four forms, told apart by the fields it fills; a search takes every
// value of the key that the matcher takes.
enum class RowForm { kValueTest, kExistenceTest, kWholeKey, kSearch };

inline RowForm FormOf(const RegistryAction* row) {
    const bool data = HasMatchData(row);
    if (!NamesValue(row)) return data ? RowForm::kSearch : RowForm::kWholeKey;
    return data && row->matcher != nullptr ? RowForm::kValueTest : RowForm::kExistenceTest;
}

// Reports one row's outcome; the row is the walk's working copy, valid only
// during the call. A non-zero return stops the walk with that value.
typedef int32_t (*RegistryCallback)(int32_t code, const RegistryAction* row);
