// The cleaning walk: each row's texts expanded, its key opened, its value
// read or searched for and matched, and every outcome handed to a callback.
#include "registry/clean_registry.h"

#include <cstring>
#include <initializer_list>

#include "platform/platform.h"
#include "registry/found_value.h"
#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"

namespace {

// The working row and the buffers of its texts, reused row to row.
struct WalkBuffers {
    RegistryAction row;
    char key_path[kKeyPathSize];
    char value_name[kNameSize];
    char match_text[kNameSize];
    char replacement_text[kNameSize];
    char examined_name[kNameSize];  // the value last given to the callback
};

// A value as found, by the walk and by the second look after it: the A call's
// reading fits the texts' sizes, and its wide form takes no more characters.
char found_name[kNameSize];
BYTE found_data[kNameSize];
WCHAR found_wide_name[kNameSize];
alignas(WCHAR) BYTE found_wide_data[kNameSize * sizeof(WCHAR)];
const ValueBuffers kFoundBuffers = {
    found_name,      sizeof found_name,      found_data,      sizeof found_data,
    found_wide_name, sizeof found_wide_name, found_wide_data, sizeof found_wide_data};

// Expands text data into `buffer` (kNameSize bytes) and points it there.
int32_t ExpandText(RegistryData* data, char* buffer) {
    if (!IsTextType(data->type) || data->data == nullptr) return 0;
    const int32_t code =
        ExpandPathVariables(static_cast<const char*>(data->data), buffer, kNameSize);
    if (code == 0) data->data = buffer;
    return code;
}

// Expands the row's texts in order, pointing the working row at each one done:
// 0 or the first failure's code.
int32_t ExpandRow(WalkBuffers* walk) {
    RegistryAction& row = walk->row;
    int32_t code = ExpandPathVariables(row.key_path, walk->key_path, sizeof walk->key_path);
    if (code != 0) return code;
    row.key_path = walk->key_path;
    if (row.value_name != nullptr) {
        code = ExpandPathVariables(row.value_name, walk->value_name, sizeof walk->value_name);
        if (code != 0) return code;
        row.value_name = walk->value_name;
    }
    code = ExpandText(&row.match, walk->match_text);
    return code != 0 ? code : ExpandText(&row.replacement, walk->replacement_text);
}

// Text lengths count the expanded text and its NUL; others are the table's.
void SetTextLengths(RegistryAction* row) {
    for (RegistryData* data : {&row->match, &row->replacement}) {
        if (IsTextType(data->type) && data->data != nullptr) {
            data->length = static_cast<uint32_t>(strlen(static_cast<const char*>(data->data)) + 1);
        }
    }
}

// Search row: one callback per matching value or enumeration error, each value
// examined once whatever the callbacks delete; closes `key`. Returns the first
// non-zero callback value, else 0.
int32_t SearchKey(WalkBuffers* walk, HKEY key, RegistryCallback callback) {
    RegistryAction& row = walk->row;
    SetTextLengths(&row);
    bool examined = false;  // a value was given to the callback, named in examined_name
    int32_t last = 0;
    for (DWORD index = 0; last == 0;) {
        FoundValue value;
        int32_t code = ReadFoundValue(key, index, kFoundBuffers, &value);
        if (code != 0) {
            if (code == ERROR_NO_MORE_ITEMS && (index > 0 || examined)) break;
            last = callback(code, &row);
            // Only a value too big for the buffers is worth stepping over: any
            // other failure (a key without values included) would come back at
            // every further index, and the walk would never end.
            if (code != ERROR_MORE_DATA) break;
            ++index;
            continue;
        }
        // A value given to the callback and left in place is back at this
        // index (a look-alike of its name with it, which would fail the check
        // anyway). A search without a matcher takes no value. The check takes
        // the name too: a look-alike's would delete another value.
        const bool seen = examined && strcmp(found_name, walk->examined_name) == 0;
        code =
            seen || row.matcher == nullptr ? ERROR_FILE_NOT_FOUND : CheckFoundValue(&row, &value);
        if (code == ERROR_FILE_NOT_FOUND) {
            ++index;
            continue;
        }
        memcpy(walk->examined_name, found_name, sizeof walk->examined_name);
        examined = true;
        row.value_name = walk->examined_name;
        // The index stays: a value the callback deleted has left it to the
        // next one, and one it left is passed over as seen.
        last = callback(code, &row);
    }
    RegCloseKey(key);
    return last;
}

}  // namespace

int32_t ExamineRow(const RegistryAction* row, HKEY key) {
    const RowForm form = FormOf(row);
    if (form == RowForm::kExistenceTest) {
        LONG code = RegQueryValueExA(key, row->value_name, nullptr, nullptr, nullptr, nullptr);
        return code == ERROR_MORE_DATA ? 0 : code;
    }
    if (form != RowForm::kValueTest) return 0;  // the key exists
    // Found by enumeration, as the action's check finds it again.
    FoundValue value;
    const int32_t code = FindValueNamed(key, row->value_name, kFoundBuffers, &value);
    return code != 0 ? code : CheckFoundValue(row, &value);
}

int32_t CleanRegistry(const RegistryAction* table, RegistryCallback callback) {
    if (table == nullptr || table->key_path == nullptr) return 0;
    WalkBuffers walk;
    for (const RegistryAction* entry = table; entry->key_path != nullptr; ++entry) {
        walk.row = *entry;
        int32_t code = ExpandRow(&walk);
        if (code == 0) {
            HKEY key = nullptr;
            code = OpenRegistryPath(walk.row.key_path, &key);
            if (code == 0) {
                if (FormOf(&walk.row) == RowForm::kSearch) {
                    int32_t stop = SearchKey(&walk, key, callback);
                    if (stop != 0) return stop;
                    continue;
                }
                code = ExamineRow(&walk.row, key);
                RegCloseKey(key);
            }
        }
        SetTextLengths(&walk.row);
        int32_t stop = callback(code, &walk.row);
        if (stop != 0) return stop;
    }
    return 0;
}
