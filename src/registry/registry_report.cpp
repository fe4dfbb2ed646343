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

const char kAccessError[] =
    "An error was detected while accessing registry value \"%s\" in key \"%s\"";

// Finds the value `row` names again in its open `key`, right before the
// action changes it, and checks it as the walk checked it. 0 with it in
// *value; ERROR_FILE_NOT_FOUND when it is gone or no longer the row's
// (another program changed it after the walk checked it); ERROR_MORE_DATA
// when it is too large to read whole; otherwise the code of the read that
// failed.
int32_t FindValueAgain(const RegistryAction* row, HKEY key, FoundValue* value) {
    int32_t result = FindFoundValue(key, row->value_name, WholeValueBuffers(), value);
    if (result != 0 || !HasDataTest(row)) return result;
    // The walk's buffers never held more: data this long was never the row's.
    if (value->ansi.length > kNameSize) return ERROR_MORE_DATA;
    return CheckFoundValue(row, value);
}

// Reports the save of an item: in the log (on the console while there is
// none) when it is on disk, on the console and in the log when it could not
// be saved.
void ReportSave(int32_t failure, const RegistryAction* row) {
    if (failure != 0) {
        ReportError(failure, "Undo data could not be saved to \"%s\"", RunUndoFilePath());
    } else if (row->value_name == nullptr) {
        LogOrPrintLine("Undo data for registry key \"%s\" was saved to \"%s\".", row->key_path,
                       RunUndoFilePath());
    } else {
        LogOrPrintLine("Undo data for registry value \"%s\" in key \"%s\" was saved to \"%s\".",
                       row->value_name, row->key_path, RunUndoFilePath());
    }
}

// Finds the value `row` names again and saves it to the undo file before
// `action` changes it. A failure to save is reported, and the action goes
// ahead all the same: removing the worm comes first. 0 to go ahead, or why
// the value must be left alone (see FindValueAgain).
int32_t SaveValueItem(const RegistryAction* row, UndoAction action) {
    HKEY key = nullptr;
    int32_t found = OpenRegistryPath(row->key_path, &key);
    if (found != 0) return found;
    FoundValue value;
    found = FindValueAgain(row, key, &value);
    if (found == 0) {
        ReportSave(SaveValueUndo(action, row->key_path, &value), row);
    } else if (found == ERROR_MORE_DATA && !HasDataTest(row)) {
        // Taken for being there, it still is, too large to save: the report
        // names the run's file all the same.
        const int32_t failure = OpenRunUndoFile();
        ReportSave(failure != 0 ? failure : ERROR_MORE_DATA, row);
        found = 0;
    }
    RegCloseKey(key);
    return found;
}

// Reports, after the action's announcement, a value left alone: `done` is
// what was not done to it ("deleted", "set").
void ReportLeftAlone(int32_t code, const RegistryAction* row, const char* done) {
    if (code == ERROR_FILE_NOT_FOUND) {
        ReportError(
            code, "Registry value \"%s\" in key \"%s\" changed after it was checked and was not %s",
            row->value_name, row->key_path, done);
    } else {
        ReportError(code, kAccessError, row->value_name, row->key_path);
    }
}

void DeleteKey(const RegistryAction* row) {
    bool saved = false;
    const int32_t failure = SaveKeyUndo(row->key_path, &saved);
    if (failure != 0 || saved) ReportSave(failure, row);
    printf("Deleting registry key \"%s\"...", row->key_path);
    int32_t code = DeleteRegistryItem(row->key_path, nullptr);
    if (code != 0) {
        ReportError(code, "Registry key \"%s\" could not be deleted", row->key_path);
        return;
    }
    printf(" Done.\n");
    LogLine("Registry key \"%s\" was deleted.", row->key_path);
}

void SetValue(const RegistryAction* row) {
    const RegistryData& data = row->replacement;
    const bool text = IsTextType(data.type);
    const int32_t changed = SaveValueItem(row, UndoAction::kSetValue);
    printf("Setting registry value \"%s\" in key \"%s\"", row->value_name, row->key_path);
    if (text) {
        printf(" to \"%s\"...", static_cast<const char*>(data.data));
    } else {
        printf("...");
    }
    if (changed != 0) {
        ReportLeftAlone(changed, row, "set");
        return;
    }
    // Another program may still change the value between the read above and
    // this call: a window of a few calls, which the undo data does not cover.
    HKEY key = nullptr;
    int32_t code = OpenRegistryPath(row->key_path, &key);
    if (code == 0) {
        code = RegSetValueExA(key, row->value_name, 0, data.type,
                              static_cast<const BYTE*>(data.data), data.length);
        if (code == 0) {
            printf(" Done.\n");
            if (text) {
                LogLine("Registry value \"%s\" in key \"%s\" was set to \"%s\".", row->value_name,
                        row->key_path, static_cast<const char*>(data.data));
            } else {
                LogLine("Registry value \"%s\" in key \"%s\" was set.", row->value_name,
                        row->key_path);
            }
        }
        RegCloseKey(key);
    }
    if (code != 0) {
        ReportError(code, "Registry value \"%s\" in key \"%s\" could not be set", row->value_name,
                    row->key_path);
    }
}

void DeleteValue(const RegistryAction* row) {
    const int32_t changed = SaveValueItem(row, UndoAction::kDeleteValue);
    printf("Deleting registry value \"%s\" in key \"%s\"...", row->value_name, row->key_path);
    if (changed != 0) {
        ReportLeftAlone(changed, row, "deleted");
        return;
    }
    // Another program may still change the value between the read above and
    // this deletion: a window of a few calls, which the undo data does not cover.
    // The walk has expanded the name already, or read it from the registry;
    // expanding it again could name, and delete, some other value.
    int32_t code = DeleteRegistryValueNamed(row->key_path, row->value_name);
    if (code != 0) {
        ReportError(code, "Registry value \"%s\" in key \"%s\" could not be deleted",
                    row->value_name, row->key_path);
        return;
    }
    printf(" Done.\n");
    LogLine("Registry value \"%s\" in key \"%s\" was deleted.", row->value_name, row->key_path);
}

// Deletes the value, sets it to the replacement data, or deletes the whole
// key, announcing it first and reporting the outcome. Always returns 0.
int32_t ApplyRegistryAction(const RegistryAction* row) {
    if (row->value_name == nullptr) {
        DeleteKey(row);
    } else if (row->replacement.data != nullptr) {
        SetValue(row);
    } else {
        DeleteValue(row);
    }
    return 0;
}

}  // namespace

int32_t ReportRegistryResult(int32_t code, const RegistryAction* row) {
    if (code == 0) return ApplyRegistryAction(row);
    const bool not_found = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    if (row->value_name == nullptr) {
        if (not_found) {
            printf("Registry key \"%s\" was not found.\n", row->key_path);
            LogLine("Registry key \"%s\" was not found.", row->key_path);
        } else {
            ReportError(code, "An error was detected while accessing registry key \"%s\"",
                        row->key_path);
        }
        return 0;
    }
    if (!not_found) {
        ReportError(code, kAccessError, row->value_name, row->key_path);
    } else if (row->match.data == nullptr) {
        printf("Registry entry \"%s\" in key \"%s\" was not found.\n", row->value_name,
               row->key_path);
        LogLine("Registry entry \"%s\" in key \"%s\" was not found.", row->value_name,
                row->key_path);
    } else {
        char shown[kNameSize * 3];
        const char* data = ShownMatchData(row->match, shown, sizeof shown);
        printf("Registry entry \"%s\"=\"%s\" in key \"%s\" was not found.\n", row->value_name, data,
               row->key_path);
        LogLine("Registry entry \"%s\"=\"%s\" in key \"%s\" was not found.", row->value_name, data,
                row->key_path);
    }
    return 0;
}
