// Every platform call failing once, in turn: a whole quiet run on an infected
// registry with the built-in table; the cleaning walk over a table of the
// other row forms (a key tree, replacement data, a search); and the
// handling of an infected and a clean file. Each sweep records the calls of
// a run without faults and then fails each of them once, so it follows the
// code's calls as they change.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/quiet_mode.h"
#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/registry_report.h"
#include "registry/registry_undo.h"
#include "scan/file_handling.h"
#include "scan/result_codes.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/pe_fixture.h"
#include "support/recorded_calls.h"
#include "support/registry_builders.h"
#include "support/registry_sandbox.h"
#include "tables/detections.h"
#include "winsim/test_hooks.h"

namespace {

const std::string kInfected = Version5File(
    "\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
    "\"Tray\"=\"C:\\\\Program Files\\\\Tray\\\\tray.exe\"\n"
    "\"screen\"=\" c:\\\\windows\\\\SYSTEM32\\\\screen.SCR\"\n"
    "\"sys\"=\"C:\\\\WINDOWS\\\\system32\\\\List480.txt.scr\"\n"
    "\"Updater\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr /s\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub]\n"
    "\"screen\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr\"\n");

const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The worm's values of kInfected as the undo file must give them back.
const char* const kWormValues[] = {"\"screen\"=\" c:\\\\windows\\\\SYSTEM32\\\\screen.SCR\"",
                                   "\"sys\"=\"C:\\\\WINDOWS\\\\system32\\\\List480.txt.scr\""};

const char kRefused[] = "\nUndo data could not be saved to \"";

// Calls whose failure the program cannot or need not report: the clock, the
// version, the command line, the code page and a wait cannot fail; a failed release
// or close changes nothing the user could act on (the undo file is on disk
// before it is closed).
bool FailureIsSilent(const std::string& call) {
    // A turn that fails is a write without one.
    return IsCallOf(call,
                    {"GetLocalTime", "LocalFree", "RegCloseKey", "CloseHandle", "IsDBCSLeadByte",
                     "GetVersion", "GetCommandLineW", "Sleep", "LockFile", "UnlockFile"});
}

// Whether the run reported a failure: with the system's text, or for the
// log's header, which the run writes, as a log that could not be opened.
bool Reported(const std::string& output) {
    return output.find(": Access is denied.\n") != std::string::npos ||
           output.find("\nCould not open log file \"") != std::string::npos;
}

// A close made to fail is the one handle the program cannot give back.
void ExpectNoHandleLeft(const std::string& failing) {
    EXPECT_EQ(winsim::OpenHandleCount(), IsCallOf(failing, {"RegCloseKey"}) ? 1u : 0u);
    EXPECT_EQ(winsim::OpenFileHandleCount(), IsCallOf(failing, {"CloseHandle"}) ? 1u : 0u);
}

// Whether the line right before the first `announcement` of `output` says
// that the undo data could not be saved.
bool RefusalPrecedes(const std::string& output, const std::string& announcement) {
    const size_t at = output.find("\n" + announcement);
    if (at == std::string::npos) return false;
    const size_t report = output.rfind(kRefused, at);
    return report != std::string::npos && output.find('\n', report + 1) == at;
}

class FaultSweepTest : public NativeTest {
  protected:
    // The files of the test folder, the log left out: the undo files.
    std::vector<std::string> UndoFiles() const {
        std::vector<std::string> files;
        DIR* folder = opendir(run_.folder().path().c_str());
        if (folder == nullptr) return files;
        while (const dirent* entry = readdir(folder)) {
            const std::string path = run_.folder().path() + "/" + entry->d_name;
            if (entry->d_name[0] != '.' && path != run_.log_path()) files.push_back(path);
        }
        closedir(folder);
        return files;
    }
    // Their text; a version 5.00 file's UTF-16 (ASCII here) narrowed.
    std::string UndoText() const {
        std::string text;
        for (const std::string& file : UndoFiles()) {
            const std::string bytes = ReadWholeFile(file);
            if (bytes.compare(0, 2, "\xff\xfe") != 0) {
                text += bytes;
                continue;
            }
            for (size_t i = 2; i < bytes.size(); i += 2) text += bytes[i];
        }
        return text;
    }
    // Imports every undo file as the user would; each must read as .reg text
    // (one whose header could not be written is left empty).
    void ImportUndoFiles() const {
        for (const std::string& file : UndoFiles()) {
            if (ReadWholeFile(file).empty()) continue;
            std::string error;
            EXPECT_TRUE(winsim::ImportRegistryText(ReadWholeFile(file), &error))
                << error << "\n"
                << ReadWholeFile(file);
        }
    }

    // A fresh process on kInfected, the test folder empty.
    void ArrangeInfected() {
        ResetProcessState();
        std::string error;
        EXPECT_TRUE(winsim::LoadRegistryText(kInfected, &error)) << error;
        run_.folder().Empty();
    }
    RunResult QuietRun() { return RunInProcess({"/Q", "/L", run_.log_path()}); }

    LoggedRun run_;
};

TEST_F(FaultSweepTest, CleanRunRemovesExactlyTheWormsValues) {
    ArrangeInfected();
    const std::string before = winsim::SaveRegistryText();
    RunResult run = QuietRun();
    EXPECT_EQ(run.exit_code, 0);
    const std::string key = kRunKey;
    const std::string walk =
        "Deleting registry value \"screen\" in key \"" + key + "\"... Done.\n" +
        "Registry entry \"sys\"=\"C:\\WINDOWS\\system32\\List.txt.scr\" in key \"" + key +
        "\" was not found.\n" + "Deleting registry value \"sys\" in key \"" + key + "\"... Done.\n";
    EXPECT_NE(run.output.find("QUIET MODE\n\n\n" + walk + "\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.substr(run.output.size() - walk.size() - 1), walk + "\n");
    std::string expected = before;
    for (const char* line : {"\"screen\"=\" c:\\\\windows\\\\SYSTEM32\\\\screen.SCR\"\n",
                             "\"sys\"=\"C:\\\\WINDOWS\\\\system32\\\\List480.txt.scr\"\n"}) {
        size_t at = expected.find(line);
        ASSERT_NE(at, std::string::npos) << line;
        expected.erase(at, strlen(line));
    }
    EXPECT_EQ(winsim::SaveRegistryText(), expected) << "nothing else changed";
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);

    // Each deletion is logged after its undo data, which gives back exactly
    // what went.
    const std::vector<std::string> undo = UndoFiles();
    ASSERT_EQ(undo.size(), 1u);
    const std::string log = ReadWholeFile(run_.log_path());
    for (const char* name : {"screen", "sys"}) {
        const std::string saved = "Undo data for registry value \"" + std::string(name) +
                                  "\" in key \"" + key + "\" was saved to \"" + undo[0] + "\".\n";
        const std::string deleted =
            "Registry value \"" + std::string(name) + "\" in key \"" + key + "\" was deleted.\n";
        const size_t at = log.find(saved);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_EQ(log.find(deleted), at + saved.size() + strlen(kFixedStamp)) << log;
    }
    ASSERT_TRUE(winsim::LoadRegistryText(UndoText()));
    EXPECT_EQ(winsim::SaveRegistryText(), Version5File("\n\n[" + key + "]\n" + kWormValues[0] +
                                                       "\n" + kWormValues[1] + "\n\n"));
}

TEST_F(FaultSweepTest, EveryCallOfAQuietRunFailingOnce) {
    // Values that must survive every run, whatever fails.
    const char* survivors[] = {"\"Tray\"=\"C:\\\\Program Files\\\\Tray\\\\tray.exe\"",
                               "\"Updater\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr /s\"",
                               "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"
                               "\\Run\\Sub]\n\"screen\"="};
    RunResult run;
    const auto swept = SweepEveryCall(
        [&] { ArrangeInfected(); }, [&] { run = QuietRun(); },
        [&](const auto& calls, size_t i) {
            const std::string& failing = calls[i];
            if (run.exit_code == 2) {
                // The log path could not be checked: refused before anything changed.
                EXPECT_NE(run.output.find("Log file path after \"/L\" cannot be read exactly"),
                          std::string::npos)
                    << run.output;
                EXPECT_EQ(ReadWholeFile(run_.log_path()), "<missing>");
                EXPECT_TRUE(UndoFiles().empty());
                return;
            }
            EXPECT_EQ(run.exit_code, 0);
            ExpectNoHandleLeft(failing);
            const std::string registry = winsim::SaveRegistryText();
            for (const char* survivor : survivors) {
                EXPECT_NE(registry.find(survivor), std::string::npos) << survivor;
            }
            EXPECT_TRUE(FailureIsSilent(failing) || Reported(run.output)) << run.output;
            // Nothing goes without its undo data on disk or a report that
            // says it could not be saved, right before the deletion's
            // announcement.
            const std::string undo = UndoText();
            for (const char* value : kWormValues) {
                if (registry.find(value) != std::string::npos) continue;  // not deleted
                const std::string name =
                    std::string(value).substr(1, std::string(value).find('"', 1) - 1);
                const bool saved =
                    undo.find(std::string(kRunKey) + "]\r\n" + value + "\r\n") != std::string::npos;
                EXPECT_TRUE(saved ||
                            RefusalPrecedes(run.output, "Deleting registry value \"" + name + "\""))
                    << name << "\n"
                    << run.output << undo;
            }
            ImportUndoFiles();  // whatever reached the undo file reads as .reg text
        });
    EXPECT_GT(swept.size(), 5u);
}

// The walk's other row forms, which the built-in table does not use: a key
// tree of several levels with values of several types deleted, a value set
// to replacement data, and a search whose matches lie side by side.
const std::string kTables = Version5File(
    "\n\n[HKEY_CURRENT_USER\\Software\\Sweep\\Tree]\n@=\"top\"\n\"dw\"=dword:80000001\n"
    "\"bin\"=hex:00,01,02,ff\n\n"
    "[HKEY_CURRENT_USER\\Software\\Sweep\\Tree\\A]\n\"x\"=hex(2):25,54,45,4d,50,25,00\n\n"
    "[HKEY_CURRENT_USER\\Software\\Sweep\\Tree\\A\\A1]\n\"m\"=hex(7):61,00,62,00,00\n\n"
    "[HKEY_CURRENT_USER\\Software\\Sweep\\Tree\\B\\B1\\B2]\n\"deep\"=\"d\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Sweep\\Set]\n\"v\"=\"worm\"\n\"w\"=\"other\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Sweep\\Search]\n"
    "\"a\"=\"worm\"\n\"b\"=\"worm\"\n\"c\"=\"keep\"\n\"d\"=\"worm\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Sweep\\Kept]\n\"x\"=\"worm\"\n");

// One item a row of that table acts on: the registry text it is seen in
// (a key's whole tree, or one value's line of it) and its announcement.
struct SweptItem {
    const char* sub_key;
    const char* value;  // nullptr: the whole tree
    std::string announcement;
};

std::string ItemState(const SweptItem& item) {
    const std::string dump = DumpTreeForTest(item.sub_key);
    if (item.value == nullptr) return dump;
    const std::string line = "  \"" + std::string(item.value) + "\" ";
    const size_t at = dump.find(line);
    return at == std::string::npos ? "<absent>" : dump.substr(at, dump.find('\n', at) - at);
}

TEST_F(FaultSweepTest, EveryCallOfTheOtherRowFormsFailingOnce) {
    const std::string tree = "HKEY_CURRENT_USER\\Software\\Sweep\\Tree";
    const std::string set = "HKEY_CURRENT_USER\\Software\\Sweep\\Set";
    const std::string search = "HKEY_CURRENT_USER\\Software\\Sweep\\Search";
    const RegistryAction table[] = {
        Row(tree.c_str(), nullptr, nullptr, nullptr, nullptr),
        Row(set.c_str(), "v", "worm", "clean"),
        Row(search.c_str(), nullptr, "worm"),
        {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
    };
    auto deleting = [&](const char* name) {
        return "Deleting registry value \"" + std::string(name) + "\" in key \"" + search + "\"";
    };
    const SweptItem items[] = {
        {"Software\\Sweep\\Tree", nullptr, "Deleting registry key \"" + tree + "\""},
        {"Software\\Sweep\\Set", "v", "Setting registry value \"v\" in key \"" + set + "\""},
        {"Software\\Sweep\\Search", "a", deleting("a")},
        {"Software\\Sweep\\Search", "b", deleting("b")},
        {"Software\\Sweep\\Search", "d", deleting("d")},
    };
    const SweptItem untouched[] = {{"Software\\Sweep\\Kept", nullptr, ""},
                                   {"Software\\Sweep\\Set", "w", ""},
                                   {"Software\\Sweep\\Search", "c", ""}};
    std::vector<std::string> before;
    std::string output;
    auto arrange = [&] {
        run_.Start();
        ASSERT_TRUE(winsim::LoadRegistryText(kTables));
        if (before.empty()) {
            for (const SweptItem& item : items) before.push_back(ItemState(item));
            for (const SweptItem& item : untouched) before.push_back(ItemState(item));
        }
    };
    auto run = [&] {
        output = CaptureStdout([&] { EXPECT_EQ(CleanRegistry(table, ReportRegistryResult), 0); });
        run_.Finish();
    };

    // Without faults every item is acted on and can be given back.
    arrange();
    run();
    EXPECT_EQ(ItemState(items[0]), "<missing>");
    EXPECT_EQ(ItemState(items[1]), "  \"v\" 1 63006c00650061006e000000");  // "clean", as stored
    for (int i = 2; i < 5; ++i) EXPECT_EQ(ItemState(items[i]), "<absent>") << items[i].value;
    EXPECT_EQ(output.find("error"), std::string::npos) << output;
    EXPECT_EQ(output.find("could not"), std::string::npos) << output;
    ImportUndoFiles();
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(ItemState(items[i]), before[i]) << i;

    const auto swept = SweepEveryCall(arrange, run, [&](const auto& calls, size_t failing) {
        ExpectNoHandleLeft(calls[failing]);
        EXPECT_TRUE(FailureIsSilent(calls[failing]) || Reported(output)) << output;
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(ItemState(untouched[i]), before[5 + i]) << "nothing else changes";
        }
        // What changed was saved first, or the run said it could not be.
        std::vector<bool> changed;
        for (size_t i = 0; i < 5; ++i) changed.push_back(ItemState(items[i]) != before[i]);
        ImportUndoFiles();
        for (size_t i = 0; i < 5; ++i) {
            if (!changed[i]) continue;
            SCOPED_TRACE(items[i].announcement);
            EXPECT_NE(output.find(items[i].announcement), std::string::npos) << output;
            EXPECT_TRUE(ItemState(items[i]) == before[i] ||
                        RefusalPrecedes(output, items[i].announcement))
                << output << UndoText();
        }
    });
    EXPECT_GT(swept.size(), 5u);
}

// Calls of the file handling whose single failure changes no outcome: the
// check makes a file normal only if it can and reads it all the same, a
// deletion is tried again, and the clock and the version cannot fail.
bool ScanFailureIsSilent(const std::string& call) {
    return IsCallOf(call, {"GetFileAttributesA", "SetFileAttributesA", "DeleteFileA", "GetVersion",
                           "GetLocalTime", "LockFile", "UnlockFile"});
}

// Open descriptors of the process: the signature check's streams included.
size_t OpenDescriptorCount() {
    size_t count = 0;
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) return 0;
    while (readdir(folder) != nullptr) ++count;
    closedir(folder);
    return count;
}

TEST_F(FaultSweepTest, EveryCallOfTheFileHandlingFailingOnce) {
    const std::string infected = MakeInfectedPe(kTamrixSignatures);
    std::string clean = infected;
    clean[static_cast<size_t>(kTamrixSignatures[2].file_offset)] ^= 0x01;
    const DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    struct Path {
        const char* what;
        const std::string* contents;
        std::initializer_list<int> keys;  // none: quiet mode
        bool in_use;                      // every deletion fails: it is scheduled at restart
    };
    const Path paths[] = {
        {"infected, quiet", &infected, {}, false},
        {"infected, answered yes", &infected, {'y'}, false},
        {"infected and in use, quiet", &infected, {}, true},
        {"clean, quiet", &clean, {}, false},
        {"clean, answered yes", &clean, {'y'}, false},
    };
    for (const Path& p : paths) {
        SCOPED_TRACE(p.what);
        const bool is_infected = p.contents == &infected;
        std::string path;
        std::string output;
        const size_t descriptors = OpenDescriptorCount();  // every run closes the log it opens
        auto arrange = [&] {
            run_.Start();
            path = run_.folder().Write("target.exe", *p.contents, kProtected);
            if (p.keys.size() == 0) SwitchOnQuietMode();
            winsim::ScriptConsoleKeys(p.keys);
        };
        auto run = [&] {
            if (p.in_use) winsim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 0);
            output = CaptureStdout([&] {
                EXPECT_EQ(ScanFileForDetection(path.c_str(), "WORM_TAMRIX.A", kTamrixSignatures),
                          0);
            });
            run_.Finish();
        };
        auto gone = [&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; };

        // Without faults: an infected file goes, or is scheduled to go; a
        // clean one stays as it was.
        arrange();
        run();
        winsim::ClearFaults();
        EXPECT_EQ(gone(), is_infected && !p.in_use) << output;
        EXPECT_EQ(winsim::RestartOperations().size(), p.in_use ? 1u : 0u);
        EXPECT_EQ(output.find("error"), std::string::npos) << output;

        const auto swept = SweepEveryCall(arrange, run, [&](const auto& calls, size_t i) {
            const std::string& failing = calls[i];
            EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
            EXPECT_EQ(OpenDescriptorCount(), descriptors) << "a stream is left open";
            const bool detected = output.find(" INFECTED (WORM_TAMRIX.A)!\n") != std::string::npos;
            EXPECT_TRUE(!detected || is_infected) << output;
            if (!detected) {
                EXPECT_FALSE(gone()) << "deleted after a failed check";
            }
            // The check's own failures have the engine's texts, a failed
            // deletion the system's; a failed key read declines the deletion.
            const std::string scanning =
                "\nAn error occurred while scanning file \"" + path + "\": ";
            if (IsCallOf(failing, {"OpenReadStream"})) {
                EXPECT_NE(output.find(scanning + ErrorCodeText(kResultFileOpening) + "\n"),
                          std::string::npos)
                    << output;
            } else if (IsCallOf(failing, {"ReadStreamBytes"})) {
                EXPECT_NE(output.find(scanning + ErrorCodeText(kResultFileMapping) + "\n"),
                          std::string::npos)
                    << output;
            } else if (IsCallOf(failing, {"fwrite", "fflush"})) {
                EXPECT_NE(output.find("\nCould not write to log file \""), std::string::npos);
            } else if (IsCallOf(failing, {"ReadConsoleKey"})) {
                EXPECT_NE(output.find(" Skipped.\n"), std::string::npos) << output;
                EXPECT_FALSE(gone());
            } else if (!ScanFailureIsSilent(failing)) {
                EXPECT_NE(output.find(" Failed.\n\nFile \"" + path +
                                      "\" could not be deleted: Access is denied.\n"),
                          std::string::npos)
                    << output;
                EXPECT_FALSE(gone());
            }
            if (!is_infected && !IsCallOf(failing, {"SetFileAttributesA"})) {
                EXPECT_EQ(GetFileAttributesA(path.c_str()), kProtected)
                    << "the check sets the attributes back";
            }
        });
        EXPECT_GT(swept.size(), 5u);
    }
}

}  // namespace
