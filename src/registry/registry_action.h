// The rows of registry action tables, and the matcher and callback the walk calls.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline bool IsTextType(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// Text types are NUL-terminated, the length counting the NUL; others are raw bytes.
struct RegistryData {
    uint32_t type;
    const void* data;  // nullptr: the row has no such data
    uint32_t length;
};

typedef bool (*RegistryMatcher)(const RegistryData* expected, const RegistryData* found);

// One row of a registry action table; a row whose key path is nullptr ends it.
struct RegistryAction {
    const char* key_path;      // full "HKEY_..." path, may hold path variables
    const char* value_name;    // nullptr: the key itself, or a search of its values
    RegistryData match;        // what the worm writes; data nullptr: no data test
    RegistryData replacement;  // data nullptr: delete; otherwise set the value to it
    RegistryMatcher matcher;   // nullptr: no data comparison
};

// A search names a value once it has found one.
inline bool NamesValue(const RegistryAction* row) { return row->value_name != nullptr; }
inline bool SetsValue(const RegistryAction* row) { return row->replacement.data != nullptr; }
inline bool HasMatchData(const RegistryAction* row) { return row->match.data != nullptr; }

// A search takes every value of the key that the matcher takes.
enum class RowForm { kValueTest, kExistenceTest, kWholeKey, kSearch };

inline RowForm FormOf(const RegistryAction* row) {
    const bool data = HasMatchData(row);
    if (!NamesValue(row)) return data ? RowForm::kSearch : RowForm::kWholeKey;
    return data && row->matcher != nullptr ? RowForm::kValueTest : RowForm::kExistenceTest;
}

// Gets the walk's working row, valid during the call; non-zero stops the walk.
typedef int32_t (*RegistryCallback)(int32_t code, const RegistryAction* row);
