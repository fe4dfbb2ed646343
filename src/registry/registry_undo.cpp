#include "registry/registry_undo.h"

#include <cstring>

#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/text_compare.h"
#include "registry/undo_writer.h"

namespace {

// Any value name the NT family allows, with its NUL; data larger than this
// cannot be read whole into a fixed buffer and is refused.
constexpr DWORD kUndoNameSize = 16384;
constexpr DWORD kUndoDataSize = 65536;

bool IsMissing(int32_t code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// One walk over a key tree: the path of the key being saved (its names as
// enumerated, appended level by level) and the buffers every level shares.
struct TreeWalk {
    UndoWriter writer;
    char path[kKeyPathSize];
    char name[kUndoNameSize];
    BYTE data[kUndoDataSize];
};

// Saves the open `key`, which walk->path names, with its values, then each
// subkey, opened by the name it was enumerated by (never expanded); one key
// is open per level. 0, or the first failure's code, where the walk stops.
int32_t SaveTree(TreeWalk* walk, HKEY key) {
    int32_t result = WriteUndoKey(&walk->writer, walk->path);
    for (DWORD index = 0; result == 0; ++index) {
        DWORD name_size = sizeof walk->name;
        DWORD data_size = sizeof walk->data;
        DWORD type = 0;
        result = RegEnumValueA(key, index, walk->name, &name_size, nullptr, &type, walk->data,
                               &data_size);
        if (result == 0) WriteUndoValue(&walk->writer, walk->name, type, walk->data, data_size);
    }
    if (result != ERROR_NO_MORE_ITEMS) return result;  // ERROR_MORE_DATA: too large to hold
    const size_t base = strlen(walk->path);
    for (DWORD index = 0; walk->writer.error == 0; ++index) {
        result = RegEnumKeyA(key, index, walk->name, kNameSize);
        if (result == ERROR_NO_MORE_ITEMS) return 0;
        if (result != 0) return result;
        walk->name[kNameSize - 1] = '\0';
        const size_t length = strlen(walk->name);
        // "" would open this key again, a backslash some other key.
        if (length == 0 || FindLastBackslash(walk->name) != nullptr) return ERROR_BADKEY;
        if (base + 1 + length >= sizeof walk->path) return ERROR_INSUFFICIENT_BUFFER;
        HKEY opened = nullptr;
        result = RegOpenKeyA(key, walk->name, &opened);
        if (result != 0) return result;
        walk->path[base] = '\\';
        memcpy(walk->path + base + 1, walk->name, length + 1);
        result = SaveTree(walk, opened);
        RegCloseKey(opened);
        walk->path[base] = '\0';
        if (result != 0) return result;
    }
    return 0;
}

}  // namespace

int32_t SaveUndoData(const char* undo_path, UndoAction action, const char* key_path,
                     const char* name, bool* saved) {
    *saved = false;
    const bool whole_key = action == UndoAction::kDeleteKey;
    TreeWalk walk;
    int32_t result = NameRegistryKey(key_path, walk.path, sizeof walk.path);
    if (result != 0) return result;
    // A root is never deleted; a missing key makes the action fail by itself.
    if (whole_key && FindLastBackslash(walk.path) == nullptr) return 0;
    HKEY key = nullptr;
    result = OpenRegistryPath(key_path, &key);
    if (IsMissing(result)) return 0;
    if (result != 0) return result;
    DWORD size = sizeof walk.data;
    DWORD type = 0;
    if (!whole_key) {
        result = RegQueryValueExA(key, name, nullptr, &type, walk.data, &size);
        if (result == ERROR_FILE_NOT_FOUND) {
            RegCloseKey(key);
            return 0;  // nothing to give back, and the action fails by itself
        }
    }
    if (result == 0) result = OpenUndoFile(undo_path, &walk.writer);
    if (result == 0) {
        static const char* const kWhat[] = {"delete registry value", "set registry value",
                                            "delete registry key"};
        WriteUndoComment(&walk.writer, kWhat[static_cast<int>(action)], whole_key ? nullptr : name,
                         key_path);
        if (whole_key) {
            result = SaveTree(&walk, key);
        } else {
            result = WriteUndoKey(&walk.writer, walk.path);
            if (result == 0) WriteUndoValue(&walk.writer, name, type, walk.data, size);
        }
        const int32_t closed = CloseUndoFile(&walk.writer);
        if (result == 0) result = closed;
        *saved = result == 0;
    }
    RegCloseKey(key);
    return result;
}
