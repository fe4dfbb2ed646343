#include "registry/registry_undo.h"

#include <cstring>

#include "common/text_compare.h"
#include "common/time_stamp.h"
#include "platform/windows_family.h"
#include "registry/reg_text.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/subkey_walk.h"
#include "registry/undo_file.h"

namespace {

// One item's text. The largest, a value with a name of 16,383 characters and
// 64 KiB of data written as hex ("xx," a byte, and a line break every 25
// bytes), takes about 554,000 bytes in UTF-16.
constexpr size_t kItemSize = 9 * 65536;

// The run's undo file, from its first item to the end of the run.
struct RunUndo {
    bool open;
    RegForm form;
    bool ansi_exact;  // NT 4.0: what goes into its ANSI file must come back as stored
    DWORD header_end;
    UndoFile file;
};
RunUndo run;
BYTE item_bytes[kItemSize];

// Starts an item with its comment line: the time and what is about to be done.
void StartItem(RegText* text, UndoAction action, const RegName* value_name, const char* key_path) {
    static const char* const kWhat[] = {"delete registry value", "set registry value",
                                        "delete registry key"};
    char stamp[kTimeStampSize];
    FormatTimeStamp(stamp);
    StartRegText(text, run.form, item_bytes, sizeof item_bytes);
    PutRegComment(text, stamp, kWhat[static_cast<int>(action)], value_name, key_path);
}

// The value's name in the file's form.
RegName NameOf(const FoundValue& value) {
    if (run.form == RegForm::kVersion5) {
        return RegName{nullptr, value.buffers->wide_name, value.wide_name_length};
    }
    return RegName{value.buffers->name, nullptr, value.name_length};
}

// Reads what the file's form needs of the value: 0; on NT 4.0
// ERROR_NO_UNICODE_TRANSLATION for one ANSI does not give back; or a read's code.
int32_t ReadToSave(FoundValue* value) {
    if (run.ansi_exact) {
        bool exact = false;
        const int32_t code = CompareWholeValue(value, &exact);
        return code != 0 || exact ? code : ERROR_NO_UNICODE_TRANSLATION;
    }
    if (run.form != RegForm::kVersion5) return 0;
    const int32_t code = ReadStoredForm(value);
    return code != 0 || HasStoredForm(value) ? code : ERROR_CALL_NOT_IMPLEMENTED;
}

// Puts the value's line in the file's form: 0 or text->error.
int32_t PutValue(RegText* text, const FoundValue& value) {
    const RegistryData& data = run.form == RegForm::kVersion5 ? value.wide : value.ansi;
    PutRegValue(text, NameOf(value), data.type, static_cast<const BYTE*>(data.data), data.length);
    return text->error;
}

// Appends the item `text` holds, and starts the next one, empty.
int32_t AppendItem(RegText* text) {
    const int32_t code = AppendUndoItem(&run.file, text->bytes, text->length);
    StartRegText(text, run.form, item_bytes, sizeof item_bytes);
    return code;
}

// Saves the open `key` as items, as many values to one as fit, then each
// subkey, one key open per level: 0 or the first failure's code.
int32_t SaveTree(void* context, HKEY key, SubkeyPath* path) {
    RegText* text = static_cast<RegText*>(context);
    PutRegKey(text, path->text);
    int32_t result = text->error;
    for (DWORD index = 0; result == 0; ++index) {
        FoundValue value;
        result = ReadFoundValue(key, index, WholeValueBuffers(), &value);
        if (result != 0) break;
        result = ReadToSave(&value);
        if (result != 0) break;
        const size_t mark = text->length;
        result = PutValue(text, value);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            // The item is full: the value starts the next, under the key's line again.
            text->length = mark;
            result = AppendItem(text);
            PutRegKey(text, path->text);
            if (result == 0) result = PutValue(text, value);
        }
    }
    if (result == ERROR_NO_MORE_ITEMS) result = AppendItem(text);
    if (result != 0) return result;
    return WalkSubkeys(key, path, SubkeyVisitor{SaveTree, nullptr, text});
}

}  // namespace

int32_t OpenRunUndoFile() {
    if (run.open) return run.file.broken;
    run.form = IsBeforeWindows2000() ? RegForm::kRegedit4 : RegForm::kVersion5;
    run.ansi_exact = run.form == RegForm::kRegedit4 && !IsWindows95Family();
    RegText header;
    StartRegText(&header, run.form, item_bytes, sizeof item_bytes);
    PutRegHeader(&header);
    const int32_t code = OpenUndoFile(&run.file, header.bytes, header.length);
    run.open = run.file.handle != INVALID_HANDLE_VALUE;
    run.header_end = run.file.end;
    return code;
}

int32_t SaveValueUndo(UndoAction action, const char* key_path, FoundValue* value) {
    char key[kKeyPathSize];
    int32_t result = NameRegistryKey(key_path, key, sizeof key);
    if (result == 0) result = OpenRunUndoFile();
    if (result == 0) result = ReadToSave(value);
    if (result != 0) return result;
    const RegName name = NameOf(*value);
    RegText text;
    StartItem(&text, action, &name, key_path);
    PutRegKey(&text, key);
    result = text.error != 0 ? text.error : PutValue(&text, *value);
    return result != 0 ? result : AppendUndoItem(&run.file, text.bytes, text.length);
}

int32_t SaveKeyUndo(const char* key_path, bool* saved) {
    *saved = false;
    char path[kKeyPathSize];
    int32_t result = NameRegistryKey(key_path, path, sizeof path);
    // A root is never deleted.
    if (result != 0 || FindLastBackslash(path) == nullptr) return result;
    HKEY key = nullptr;
    result = OpenRegistryPath(key_path, &key);
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND) return 0;
    if (result != 0) return result;
    result = OpenRunUndoFile();
    if (result == 0) {
        RegText text;
        StartItem(&text, UndoAction::kDeleteKey, nullptr, key_path);
        SubkeyPath subkeys = {path, strlen(path), sizeof path};
        result = SaveTree(&text, key, &subkeys);
        *saved = result == 0;
    }
    RegCloseKey(key);
    return result;
}

uint32_t RunUndoMark() { return run.open ? run.file.end : 0; }

int32_t TakeBackRunUndo(uint32_t mark) {
    // A mark taken before the file existed: everything after its header.
    const DWORD to = mark != 0 ? mark : run.header_end;
    if (!run.open || run.file.end <= to) return 0;
    return CutUndoFileBack(&run.file, to);
}

const char* RunUndoFilePath() { return run.file.name.shown; }

void CloseRunUndoFile() {
    run.file.name.shown[0] = '\0';
    if (!run.open) return;
    CloseUndoFile(&run.file);
    run.open = false;
}
