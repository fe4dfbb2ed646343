#include "registry/registry_report.h"

#include <cstdio>
#include <cstring>

#include "common/bounded_format.h"
#include "log/error_report.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "registry/found_value.h"
#include "registry/registry_delete.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/registry_undo.h"
#include "registry/second_look.h"

namespace {

// The row's match data as shown in a report: text as it stands; raw bytes as
// comma-separated hex pairs (they may hold no NUL, and need not be printable).
const char* ShownMatchData(const RegistryData& match, char* buffer, size_t size) {
    if (IsTextType(match.type)) return static_cast<const char*>(match.data);
    const unsigned char* bytes = static_cast<const unsigned char*>(match.data);
    size_t used = 0;
    buffer[0] = '\0';
    for (uint32_t i = 0; i < match.length && used + 4 < size; ++i) {
        const int written =
            FormatBounded(buffer + used, size - used, i == 0 ? "%02x" : ",%02x", bytes[i]);
        if (written < 0) break;  // cut short: what stands is terminated
        used += static_cast<size_t>(written);
    }
    return buffer;
}

// Finds and checks the row's value as the walk did: 0, ERROR_FILE_NOT_FOUND
// when it is gone or no longer the row's, ERROR_MORE_DATA, or a read's code.
int32_t FindValueAgain(const RegistryAction* row, HKEY key, const ValueBuffers& buffers,
                       FoundValue* value) {
    int32_t result = FindValueNamed(key, row->value_name, buffers, value);
    if (result != 0 || FormOf(row) != RowForm::kValueTest) return result;
    // The walk's buffers never held more: data this long was never the row's.
    if (value->ansi.length > kNameSize) return ERROR_MORE_DATA;
    return CheckFoundValue(row, value);
}

// Reports the save of an item: a failure everywhere, a success in the log
// (or, without one, on the console).
void ReportSave(int32_t failure, const RegistryAction* row) {
    if (failure != 0) {
        ReportError(failure, "Undo data could not be saved to \"%s\"", RunUndoFilePath());
    } else if (!NamesValue(row)) {
        LogOrPrintLine("Undo data for registry key \"%s\" was saved to \"%s\".", row->key_path,
                       RunUndoFilePath());
    } else {
        LogOrPrintLine("Undo data for registry value \"%s\" in key \"%s\" was saved to \"%s\".",
                       row->value_name, row->key_path, RunUndoFilePath());
    }
}

// Finds the value again into *first and saves it before `action`. A failed
// save is reported and the action goes ahead: removing the worm comes first.
// 0 to go ahead, or why the value must be left alone.
int32_t SaveValueItem(const RegistryAction* row, HKEY key, UndoAction action, FoundValue* first) {
    int32_t found = FindValueAgain(row, key, WholeValueBuffers(), first);
    if (found == 0) {
        ReportSave(SaveValueUndo(action, row->key_path, first), row);
    } else if (found == ERROR_MORE_DATA && FormOf(row) != RowForm::kValueTest) {
        // Taken for being there, it still is, too large to save: the report
        // names the run's file all the same.
        const int32_t failure = OpenRunUndoFile();
        ReportSave(failure != 0 ? failure : ERROR_MORE_DATA, row);
        *first = FoundValue{};  // no reading to compare the last one with
        found = 0;
    }
    return found;
}

// The last call before the change: the value is still the row's and reads as
// it was saved. 0 to go ahead, otherwise why it must be left alone.
int32_t CheckValueLast(const RegistryAction* row, HKEY key, const FoundValue& first) {
    FoundValue last;
    const int32_t found = FindValueAgain(row, key, LastReadingBuffers(), &last);
    // A value too large to read whole was never compared, nor saved.
    if (first.buffers == nullptr) return found == ERROR_MORE_DATA ? 0 : found;
    if (found != 0) return found;
    return IsSameReading(first, last) ? 0 : ERROR_FILE_NOT_FOUND;
}

// Takes a change's undo item back out: left in, it would write the old data
// over a value that was left alone.
void TakeBackSave(uint32_t mark) {
    const int32_t failure = TakeBackRunUndo(mark);
    if (failure != 0) {
        ReportError(failure, "Undo data could not be taken back out of \"%s\"", RunUndoFilePath());
    }
}

// Reports a value left alone, `done` what was not done to it.
void ReportLeftAlone(int32_t code, const RegistryAction* row, const char* done) {
    if (code == ERROR_FILE_NOT_FOUND) {
        ReportError(
            code, "Registry value \"%s\" in key \"%s\" changed after it was checked and was not %s",
            row->value_name, row->key_path, done);
    } else {
        ReportAccessError(code, row);
    }
}

void DeleteKey(const RegistryAction* row) {
    const uint32_t mark = RunUndoMark();
    bool saved = false;
    const int32_t failure = SaveKeyUndo(row->key_path, &saved);
    if (failure != 0 || saved) ReportSave(failure, row);
    printf("Deleting registry key \"%s\"...", row->key_path);
    // The key is checked again right before its deletion begins: one that is
    // gone keeps nothing of it in the undo file.
    HKEY key = nullptr;
    int32_t code = OpenRegistryPath(row->key_path, &key);
    if (code == 0) {
        RegCloseKey(key);
        code = DeleteRegistryItem(row->key_path, nullptr);
    } else {
        TakeBackSave(mark);
    }
    if (code != 0) {
        ReportError(code, "Registry key \"%s\" could not be deleted", row->key_path);
        return;
    }
    printf(" Done.\n");
    LogLine("Registry key \"%s\" was deleted.", row->key_path);
    NoteDoneRow(row);
}

// Deletes or sets the value: save and announcement first, then on the same
// open key the last check and the change at once.
void ChangeValue(const RegistryAction* row) {
    const RegistryData& data = row->replacement;
    const bool set = SetsValue(row);
    const char* done = set ? "set" : "deleted";
    // A text the value is set to is named; other data is not. The walk's
    // texts are shorter than kNameSize.
    char to[kNameSize + 8] = "";
    if (set && IsTextType(data.type)) {
        FormatBounded(to, sizeof to, " to \"%s\"", static_cast<const char*>(data.data));
    }
    const uint32_t mark = RunUndoMark();
    HKEY key = nullptr;
    int32_t found = OpenRegistryPath(row->key_path, &key);
    const bool open = found == 0;
    FoundValue first{};
    if (open) {
        found =
            SaveValueItem(row, key, set ? UndoAction::kSetValue : UndoAction::kDeleteValue, &first);
    }
    printf("%s registry value \"%s\" in key \"%s\"%s...", set ? "Setting" : "Deleting",
           row->value_name, row->key_path, to);
    if (found == 0) found = CheckValueLast(row, key, first);
    int32_t code = 0;
    if (found == 0) {
        // The walk has expanded the name already, or read it from the
        // registry: it is taken as it stands.
        code = set ? RegSetValueExA(key, row->value_name, 0, data.type,
                                    static_cast<const BYTE*>(data.data), data.length)
                   : RegDeleteValueA(key, row->value_name);
    }
    if (open) RegCloseKey(key);
    if (found != 0) {
        ReportLeftAlone(found, row, done);
        TakeBackSave(mark);
        return;
    }
    if (code != 0) {
        ReportError(code, "Registry value \"%s\" in key \"%s\" could not be %s", row->value_name,
                    row->key_path, done);
        return;
    }
    printf(" Done.\n");
    LogLine("Registry value \"%s\" in key \"%s\" was %s%s.", row->value_name, row->key_path, done,
            to);
    NoteDoneRow(row);
}

}  // namespace

void ReportAccessError(int32_t code, const RegistryAction* row) {
    if (NamesValue(row)) {
        ReportError(code,
                    "An error was detected while accessing registry value \"%s\" in key \"%s\"",
                    row->value_name, row->key_path);
    } else {
        ReportError(code, "An error was detected while accessing registry key \"%s\"",
                    row->key_path);
    }
}

// A row not found is named with the data it would have taken, if it has any
// (an existence test may carry data that no matcher compares).
int32_t ReportRegistryResult(int32_t code, const RegistryAction* row) {
    if (code == 0) {
        NamesValue(row) ? ChangeValue(row) : DeleteKey(row);
    } else if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
        ReportAccessError(code, row);
    } else if (NamesValue(row) && HasMatchData(row)) {
        char shown[kNameSize * 3];
        const char* data = ShownMatchData(row->match, shown, sizeof shown);
        ReportLine("Registry entry \"%s\"=\"%s\" in key \"%s\" was not found.", row->value_name,
                   data, row->key_path);
    } else if (NamesValue(row)) {
        ReportLine("Registry entry \"%s\" in key \"%s\" was not found.", row->value_name,
                   row->key_path);
    } else {
        ReportLine("Registry key \"%s\" was not found.", row->key_path);
    }
    return 0;
}
