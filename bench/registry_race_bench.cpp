// Another program flips the value "screen" between the worm's path and a
// good one while the cleaner runs: how often does the cleaner delete a good
// value? Prints the runs made and the good values deleted.
//
//   registry_race_bench [<longest period>]
//
// The race is played out exactly on the native layer, not timed: in each run
// the flipper writes at every p-th call of the layer from call s on (every
// period p up to the longest, default 64, and every start s below it), first
// the good path, then the worm's, and so on. The cleaner is the only one that
// deletes, so a value the flipper finds gone was deleted with what it had
// written last.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/registry_report.h"
#include "registry/registry_undo.h"
#include "support/capture.h"
#include "tables/registry_actions.h"
#include "winsim/test_hooks.h"
#if __has_include("registry/second_look.h")
#include "registry/second_look.h"
#endif

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kWorm[] = "C:\\WINDOWS\\system32\\Screen.scr";
const char kGood[] = "C:\\good_1.exe";

struct Flipper {
    bool wrote_good = false;  // what stands, unless the cleaner deleted it
    bool good_deleted = false;
    bool worm_deleted = false;
};

// Notes what the cleaner deleted since the last look.
void LookAtValue(Flipper* flipper) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kRunKey, &key) != 0) return;
    if (RegQueryValueExA(key, "screen", nullptr, nullptr, nullptr, nullptr) ==
        ERROR_FILE_NOT_FOUND) {
        (flipper->wrote_good ? flipper->good_deleted : flipper->worm_deleted) = true;
    }
    RegCloseKey(key);
}

void Flip(Flipper* flipper) {
    LookAtValue(flipper);
    flipper->wrote_good = !flipper->wrote_good;
    const char* data = flipper->wrote_good ? kGood : kWorm;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kRunKey, &key) != 0) return;
    RegSetValueExA(key, "screen", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>(strlen(data) + 1));
    RegCloseKey(key);
}

void RemoveUndoFiles(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        if (strncmp(entry->d_name, "fix_tamrix_undo_", 16) == 0) {
            unlink((folder + "/" + entry->d_name).c_str());
        }
    }
    closedir(dir);
}

// One quiet run of the walk with the built-in table on an infected Run key,
// the flips scheduled by `schedule` before it. Returns the layer calls made.
template <typename Schedule>
size_t RunCleaner(const std::string& folder, Schedule schedule) {
    CloseRunUndoFile();
    winsim::Reset();
    ResetLogForTests();
#if __has_include("registry/second_look.h")
    ForgetDoneRows();
#endif
    winsim::LoadRegistryText(std::string("REGEDIT4\n\n[HKEY_CURRENT_USER\\") + kRunKey +
                             "]\n\"screen\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr\"\n");
    SetLogPath((folder + "/race.log").c_str());
    CaptureStdout([&] {
        LogOpen("fix_tamrix");
        schedule();
        winsim::RecordCalls(true);
        CleanRegistry(kRegistryActions, ReportRegistryResult);
        winsim::RecordCalls(false);
        CloseRunUndoFile();
        LogClose();
    });
    RemoveUndoFiles(folder);
    return winsim::RecordedCalls().size();
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned longest = argc > 1 ? static_cast<unsigned>(strtoul(argv[1], nullptr, 10)) : 64;
    const std::string folder = MakeTempFolder();
    const size_t calls = RunCleaner(folder, [] {});
    const std::vector<std::string> unflipped = winsim::RecordedCalls();
    std::string window;  // the calls before which a single flip deleted a good value
    unsigned runs = 0, good = 0, worm = 0, single_good = 0;
    for (unsigned period = 1; period <= longest; ++period) {
        for (unsigned start = 1; start <= period; ++start) {
            Flipper flipper;
            RunCleaner(folder, [&] {
                for (size_t at = start; at <= 2 * calls; at += period) {
                    winsim::OnNthCall(static_cast<unsigned>(at), [&] { Flip(&flipper); });
                }
            });
            LookAtValue(&flipper);
            ++runs;
            good += flipper.good_deleted;
            worm += flipper.worm_deleted;
        }
    }
    // One flip to the good path at each call of a run: how wide the window is.
    for (size_t at = 1; at <= calls; ++at) {
        Flipper flipper;
        RunCleaner(folder,
                   [&] { winsim::OnNthCall(static_cast<unsigned>(at), [&] { Flip(&flipper); }); });
        LookAtValue(&flipper);
        single_good += flipper.good_deleted;
        if (flipper.good_deleted)
            window += " " + unflipped[at - 1].substr(0, unflipped[at - 1].find('('));
    }
    rmdir(folder.c_str());
    printf("calls of an unflipped run: %zu\n", calls);
    printf("flipping runs: %u, good values deleted: %u, the worm's deleted: %u\n", runs, good,
           worm);
    printf("a single flip to the good path: deleted when it came at %u of %zu calls, before:%s\n",
           single_good, calls, window.c_str());
    return 0;
}
