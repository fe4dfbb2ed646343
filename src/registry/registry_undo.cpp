#include "registry/registry_undo.h"

#include <cstring>

#include "common/text_compare.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/subkey_walk.h"
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

int32_t SaveTree(TreeWalk* walk, HKEY key, SubkeyPath* path);

int32_t SaveChild(void* context, HKEY child, SubkeyPath* path) {
    return SaveTree(static_cast<TreeWalk*>(context), child, path);
}

// Saves the open `key`, which `path` names, with its values, then each
// subkey through the subkey walk; one key is open per level. 0, or the first
// failure's code, where the walk stops.
int32_t SaveTree(TreeWalk* walk, HKEY key, SubkeyPath* path) {
    int32_t result = WriteUndoKey(&walk->writer, path->text);
    for (DWORD index = 0; result == 0; ++index) {
        DWORD name_size = sizeof walk->name;
        DWORD data_size = sizeof walk->data;
        DWORD type = 0;
        result = RegEnumValueA(key, index, walk->name, &name_size, nullptr, &type, walk->data,
                               &data_size);
        if (result == 0) WriteUndoValue(&walk->writer, walk->name, type, walk->data, data_size);
    }
    if (result != ERROR_NO_MORE_ITEMS) return result;  // ERROR_MORE_DATA: too large to hold
    if (walk->writer.error != 0) return walk->writer.error;
    return WalkSubkeys(key, path, SubkeyVisitor{SaveChild, nullptr, walk});
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
            SubkeyPath path = {walk.path, strlen(walk.path), sizeof walk.path};
            result = SaveTree(&walk, key, &path);
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
