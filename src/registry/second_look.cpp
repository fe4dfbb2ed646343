#include "registry/second_look.h"

#include <cstring>

#include "log/error_report.h"
#include "platform/platform.h"
#include "registry/clean_registry.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "registry/registry_report.h"

namespace {

// A program that watches the key writes back within milliseconds; one that
// writes every 500 ms has done so at least once in a second.
constexpr DWORD kWaitMilliseconds = 1000;
constexpr size_t kDoneRowCount = 32;

struct DoneRow {
    RegistryAction row;  // its texts point into the buffers below; no replacement data
    bool was_set;
    char key_path[kKeyPathSize];
    char value_name[kNameSize];
    char match_text[kNameSize];
};
DoneRow done_rows[kDoneRowCount];
size_t done_count;

// Copies *text whole into `buffer` and points it there: false when it does not fit.
bool KeepCopy(const char** text, char* buffer, size_t size) {
    const size_t length = strlen(*text);
    if (length >= size) return false;
    *text = static_cast<const char*>(memcpy(buffer, *text, length + 1));
    return true;
}

// 0 when the noted row's condition holds again, otherwise the walk's code.
int32_t ExamineAgain(const RegistryAction* row) {
    HKEY key = nullptr;
    int32_t code = OpenRegistryPath(row->key_path, &key);
    if (code != 0) return code;
    code = ExamineRow(row, key);
    RegCloseKey(key);
    return code;
}

void ReportCameBack(const DoneRow& done) {
    const RegistryAction& row = done.row;
    const char* what =
        done.was_set ? "was changed back after it was set" : "came back after it was deleted";
    if (NamesValue(&row)) {
        ReportNotice("Registry value \"%s\" in key \"%s\" %s.", row.value_name, row.key_path, what);
    } else {
        ReportNotice("Registry key \"%s\" %s.", row.key_path, what);
    }
}

}  // namespace

void NoteDoneRow(const RegistryAction* row) {
    if (done_count == kDoneRowCount) return;
    DoneRow& done = done_rows[done_count];
    done.row = *row;
    done.was_set = SetsValue(row);
    done.row.replacement = RegistryData{row->replacement.type, nullptr, 0};
    if (!KeepCopy(&done.row.key_path, done.key_path, sizeof done.key_path)) return;
    if (NamesValue(row) &&
        !KeepCopy(&done.row.value_name, done.value_name, sizeof done.value_name)) {
        return;
    }
    // Raw match data is the table's, which lives as long as the program.
    const char* match = static_cast<const char*>(row->match.data);
    if (IsTextType(row->match.type) && HasMatchData(row) &&
        !KeepCopy(&match, done.match_text, sizeof done.match_text)) {
        return;
    }
    done.row.match.data = match;
    ++done_count;
}

void ForgetDoneRows() { done_count = 0; }

void LookAgainAtDoneRows(const char* tool_name) {
    if (done_count == 0) return;
    Sleep(kWaitMilliseconds);
    bool came_back = false;
    for (size_t i = 0; i < done_count; ++i) {
        const int32_t code = ExamineAgain(&done_rows[i].row);
        if (code == 0) {
            ReportCameBack(done_rows[i]);
            came_back = true;
        } else if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
            ReportAccessError(code, &done_rows[i].row);
        }
    }
    if (came_back) {
        ReportNotice(
            "A program that is running now, most likely the worm, put it back. Restart Windows in "
            "Safe Mode and run %s again there.",
            tool_name);
    }
    ForgetDoneRows();
}
