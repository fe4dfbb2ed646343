#include "registry/registry_undo.h"

#include <cstring>

#include "common/bounded_format.h"
#include "common/text_compare.h"
#include "common/time_stamp.h"
#include "common/wide_text.h"
#include "log/log_file.h"
#include "registry/exact_text.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/subkey_walk.h"
#include "registry/undo_writer.h"

namespace {

// Any value name the NT family allows, with its NUL; data larger than this
// cannot be read whole into a fixed buffer and is refused.
constexpr DWORD kUndoNameSize = 16384;
constexpr DWORD kUndoDataSize = 65536;
// Names tried for one run's file: its time stamp, then _2 ... _99.
constexpr unsigned kUndoNameTries = 99;
// Room for the log's folder and the undo file's name.
constexpr size_t kUndoPathSize = kLogPathSize + 40;

// The run's undo file, from its first item to the end of the run.
struct RunUndoFile {
    bool open;
    UndoWriter writer;
    char shown[kUndoPathSize];
};
RunUndoFile run_file;

// Whether the walk took the row's value for its data, not for being there.
bool HasDataTest(const RegistryAction* row) {
    return row->matcher != nullptr && row->match.data != nullptr;
}

bool IsMissing(int32_t code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// Creates the run's undo file at its first item. 0, or why it could not be
// (ERROR_FILE_EXISTS once every name was taken).
int32_t OpenRunUndoFile() {
    if (run_file.open) return run_file.writer.broken;
    char stamp[kFileTimeStampSize];
    FormatFileTimeStamp(stamp);
    int32_t code = ERROR_FILE_EXISTS;
    for (unsigned n = 1; n <= kUndoNameTries && code == ERROR_FILE_EXISTS; ++n) {
        char name[48];
        if (n == 1) {
            FormatBounded(name, sizeof name, "fix_tamrix_undo_%s.reg", stamp);
        } else {
            FormatBounded(name, sizeof name, "fix_tamrix_undo_%s_%u.reg", stamp, n);
        }
        HANDLE file = INVALID_HANDLE_VALUE;
        code = CreateFileBesideLog(name, run_file.shown, sizeof run_file.shown, &file);
        if (code == ERROR_ALREADY_EXISTS) code = ERROR_FILE_EXISTS;
        if (code == 0) {
            run_file.open = true;
            code = StartUndoWriter(&run_file.writer, file, UndoFormatOfSystem());
        }
    }
    return code;
}

// The buffers of one item: the key path, and one value in both its forms.
// Aligned, since wide text is read from the data buffers unit by unit.
struct ItemBuffers {
    char path[kKeyPathSize];
    char name[kUndoNameSize];
    alignas(4) BYTE data[kUndoDataSize];
    WCHAR wide_name[kUndoNameSize];
    alignas(4) BYTE wide_data[kUndoDataSize];
};

// One value at an index of its key: as the A enumeration gave it, and as the
// W one did (has_wide false on the 95 family, or when it was not read).
struct FoundValue {
    RegistryData ansi;
    DWORD name_length;
    bool has_wide;
    WideValue wide;
};

// Reads the value at `index` through the A call (when `ansi`) and the W call
// (when `wide`; the 95 family's stub answer leaves has_wide false). 0 or the
// first call's failure (ERROR_MORE_DATA for a name or data too large).
int32_t ReadValueAt(ItemBuffers* buffers, HKEY key, DWORD index, bool ansi, bool wide,
                    FoundValue* found) {
    found->has_wide = false;
    if (ansi) {
        DWORD name_size = kUndoNameSize;
        DWORD size = kUndoDataSize;
        DWORD type = 0;
        LONG code = RegEnumValueA(key, index, buffers->name, &name_size, nullptr, &type,
                                  buffers->data, &size);
        if (code != 0) return code;
        // Never trust a length beyond the buffer, whatever the system says.
        found->name_length = name_size < kUndoNameSize ? name_size : kUndoNameSize - 1;
        found->ansi =
            RegistryData{type, buffers->data, size < kUndoDataSize ? size : kUndoDataSize};
    }
    if (!wide) return 0;
    found->wide =
        WideValue{0, buffers->wide_name, kUndoNameSize, buffers->wide_data, kUndoDataSize};
    const int32_t code = ReadWideValueAt(key, index, &found->wide);
    found->has_wide = code == 0;
    return code == ERROR_CALL_NOT_IMPLEMENTED ? 0 : code;
}

// The value `row` names, found by enumeration, and checked as the walk
// checks it: the row's matcher, and the exactness check on the part it looks
// at. 0; ERROR_FILE_NOT_FOUND when it is gone or no longer matches; or a
// read's code (ERROR_MORE_DATA for data larger than the walk's buffers).
int32_t FindCheckedValue(ItemBuffers* buffers, HKEY key, const RegistryAction* row,
                         FoundValue* found) {
    const char* name = row->value_name;
    const size_t length = strlen(name);
    for (DWORD index = 0;; ++index) {
        int32_t code = ReadValueAt(buffers, key, index, true, false, found);
        if (code == ERROR_MORE_DATA) {
            // Too large to read whole: the name alone tells whether it is the row's.
            DWORD name_size = kUndoNameSize;
            code = RegEnumValueA(key, index, buffers->name, &name_size, nullptr, nullptr, nullptr,
                                 nullptr);
            if (code == 0 && name_size == length &&
                CompareNoCase(buffers->name, name, length) == 0) {
                return ERROR_MORE_DATA;
            }
            if (code == 0 || code == ERROR_MORE_DATA) continue;
        }
        if (code == ERROR_NO_MORE_ITEMS) return ERROR_FILE_NOT_FOUND;
        if (code != 0) return code;
        if (found->name_length != length || CompareNoCase(buffers->name, name, length) != 0) {
            continue;
        }
        code = ReadValueAt(buffers, key, index, false, true, found);
        if (code != 0) return code;
        // A look-alike's name reads as the row's through a best fit, but the
        // row's name deletes another value: that one is further on.
        if (!found->has_wide) break;
        code = CompareWidened(buffers->name, length, found->wide.name, found->wide.name_length);
        if (code != ERROR_FILE_NOT_FOUND) {
            if (code != 0) return code;
            break;
        }
    }
    if (!HasDataTest(row)) return 0;
    if (found->ansi.length > kNameSize || !row->matcher(&row->match, &found->ansi)) {
        return found->ansi.length > kNameSize ? ERROR_MORE_DATA : ERROR_FILE_NOT_FOUND;
    }
    // Other data reads the same through both calls, unless it changed between them.
    if (!found->has_wide) return 0;
    return CompareWideData(found->wide, &found->ansi, TextPart::kCompared);
}

// The value's name in the file's form.
UndoText NameOf(const UndoWriter& writer, const ItemBuffers& buffers, const FoundValue& found) {
    if (writer.format == UndoFormat::kWide) {
        return UndoText{nullptr, buffers.wide_name, found.wide.name_length};
    }
    return UndoText{buffers.name, nullptr, found.name_length};
}

// Writes the value in the file's form: the W calls' name and data in the
// wide format, the A calls' otherwise. On NT 4.0 ANSI that would not come
// back as what is stored (a name or text the code page cannot hold) is not
// written: ERROR_NO_UNICODE_TRANSLATION.
int32_t WriteFoundValue(UndoWriter* writer, const ItemBuffers& buffers, const FoundValue& found) {
    if (writer->format == UndoFormat::kWide) {
        if (!found.has_wide) return ERROR_CALL_NOT_IMPLEMENTED;
        return WriteUndoValue(writer, NameOf(*writer, buffers, found), found.wide.type,
                              found.wide.data, found.wide.size);
    }
    if (writer->format == UndoFormat::kAnsiExact &&
        (!found.has_wide ||
         CompareWidened(buffers.name, found.name_length, found.wide.name, found.wide.name_length) !=
             0 ||
         CompareWideData(found.wide, &found.ansi, TextPart::kWhole) != 0)) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    return WriteUndoValue(writer, NameOf(*writer, buffers, found), found.ansi.type, buffers.data,
                          found.ansi.length);
}

struct TreeWalk {
    UndoWriter* writer;
    ItemBuffers* buffers;
};

int32_t SaveTree(TreeWalk* walk, HKEY key, SubkeyPath* path);

int32_t SaveChild(void* context, HKEY child, SubkeyPath* path) {
    return SaveTree(static_cast<TreeWalk*>(context), child, path);
}

// Saves the open `key`, which `path` names, with its values, then each
// subkey through the subkey walk; one key is open per level. 0, or the first
// failure's code, where the walk stops.
int32_t SaveTree(TreeWalk* walk, HKEY key, SubkeyPath* path) {
    const UndoFormat format = walk->writer->format;
    int32_t result = WriteUndoKey(walk->writer, path->text);
    for (DWORD index = 0; result == 0; ++index) {
        FoundValue found;
        result = ReadValueAt(walk->buffers, key, index, format != UndoFormat::kWide,
                             format != UndoFormat::kAnsi, &found);
        if (result == 0) result = WriteFoundValue(walk->writer, *walk->buffers, found);
    }
    if (result != ERROR_NO_MORE_ITEMS) return result;
    return WalkSubkeys(key, path, SubkeyVisitor{SaveChild, nullptr, walk});
}

}  // namespace

UndoOutcome SaveUndoData(UndoAction action, const RegistryAction* row) {
    UndoOutcome outcome = {0, 0, false};
    const bool whole_key = action == UndoAction::kDeleteKey;
    ItemBuffers buffers;
    int32_t result = NameRegistryKey(row->key_path, buffers.path, sizeof buffers.path);
    // A root is never deleted; a missing key makes the action fail by itself.
    if (result != 0 || (whole_key && FindLastBackslash(buffers.path) == nullptr)) {
        outcome.failure = result;
        return outcome;
    }
    HKEY key = nullptr;
    result = OpenRegistryPath(row->key_path, &key);
    if (result != 0) {
        if (!whole_key) {
            outcome.changed = result;
        } else if (!IsMissing(result)) {
            outcome.failure = result;
        }
        return outcome;
    }
    FoundValue found;
    int32_t unsaved = 0;
    if (!whole_key) outcome.changed = FindCheckedValue(&buffers, key, row, &found);
    if (outcome.changed == ERROR_MORE_DATA && !HasDataTest(row)) {
        // A value tested for being there only is still there: too large to
        // save, and the action goes ahead.
        outcome.changed = 0;
        unsaved = ERROR_MORE_DATA;
    }
    if (outcome.changed == 0) {
        // Created at the first item, saved or not: the report names the file.
        result = OpenRunUndoFile();
        UndoWriter* writer = &run_file.writer;
        if (result == 0 && unsaved == 0) {
            static const char* const kWhat[] = {"delete registry value", "set registry value",
                                                "delete registry key"};
            const char* what = kWhat[static_cast<int>(action)];
            if (whole_key) {
                WriteUndoComment(writer, what, nullptr, row->key_path);
                TreeWalk walk = {writer, &buffers};
                SubkeyPath path = {buffers.path, strlen(buffers.path), sizeof buffers.path};
                result = SaveTree(&walk, key, &path);
            } else {
                const UndoText name = NameOf(*writer, buffers, found);
                WriteUndoComment(writer, what, &name, row->key_path);
                result = WriteUndoKey(writer, buffers.path);
                if (result == 0) result = WriteFoundValue(writer, buffers, found);
            }
            // A tree's walk that stopped keeps what it saved: the deletion,
            // walking the same way, deletes that much before it stops there too.
            result = EndUndoItem(writer, result, whole_key);
        }
        outcome.failure = result != 0 ? result : unsaved;
        outcome.saved = outcome.failure == 0;
    }
    RegCloseKey(key);
    return outcome;
}

const char* RunUndoFilePath() { return run_file.shown; }

void CloseRunUndoFile() {
    run_file.shown[0] = '\0';
    if (!run_file.open) return;
    CloseUndoWriter(&run_file.writer);
    run_file.open = false;
}
