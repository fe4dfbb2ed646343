// The undo file's exact text in each system's format, the run's file of its
// own, what the cleaner does when it cannot be written (the action goes
// ahead, and the failure is reported), and a value read again before it is
// deleted (a value that changed meanwhile stays).
#include "registry/registry_undo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/registry_action.h"
#include "registry/registry_path.h"
#include "registry/registry_report.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/registry_builders.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#include "support/windows_versions.h"
#include "winsim/test_hooks.h"

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\Software\\Undo";
const char kSub[] = "Software\\Undo";
const char kComment[] = "\r\n; 2026-12-08, 09:05:03,   about to ";
// The run's file at the fixed time, and the name after it.
const char kUndoName[] = "fix_tamrix_undo_20261208_090503.reg";
const char kNextName[] = "fix_tamrix_undo_20261208_090503_2.reg";
const char kWorm[] = "C:\\WINDOWS\\system32\\Screen.scr";

bool ValueExists(const std::string& sub_key, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return false;
    const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

class RegistryUndoTest : public testing::Test {
  protected:
    void SetUp() override { StartRun(kWindowsXp); }
    void TearDown() override { ResetProcessState(); }

    // A new run on a fresh machine of `version`: its log open in an empty
    // folder, no undo file yet.
    void StartRun(DWORD version) {
        run_.Start();
        winsim::SetVersion(version);
    }
    std::string Folder() const { return run_.folder().path(); }

    // Saves the item of `row` as the cleaner would before acting on it.
    void Save(UndoAction action, const RegistryAction& row, bool expect_saved = true) {
        bool saved = false;
        if (action == UndoAction::kDeleteKey) {
            EXPECT_EQ(SaveKeyUndo(row.key_path, &saved), 0) << row.key_path;
        } else {
            HKEY key = nullptr;
            ASSERT_EQ(OpenRegistryPath(row.key_path, &key), 0) << row.key_path;
            FoundValue value;
            ASSERT_EQ(FindValueNamed(key, row.value_name, WholeValueBuffers(), &value), 0);
            EXPECT_EQ(SaveValueUndo(action, row.key_path, &value), 0) << row.value_name;
            RegCloseKey(key);
            saved = true;
        }
        EXPECT_EQ(saved, expect_saved) << row.key_path;
    }

    LoggedRun run_;
    const std::string undo_ = Folder() + "/" + kUndoName;
};

TEST_F(RegistryUndoTest, ItemsAreWrittenInTheSystemsFormat) {
    const std::string key = std::string("[") + kKey + "]\r\n";
    // The comment quotes names as a value line does.
    const std::string in = " in key \"HKEY_CURRENT_USER\\\\Software\\\\Undo\"\r\n";
    // The key line names the key canonically, whatever the row's spelling.
    const std::string body =
        std::string(kComment) +
        "delete registry value \"plain\" in key "
        "\" \thkey_current_user\\\\Software\\\\Undo\\\\\"\r\n" +
        key + "\"plain\"=\"C:\\\\x \\\"y\\\"\"\r\n" + kComment + "delete registry value \"\"" + in +
        key + "@=\"d\"\r\n" + kComment + "delete registry value \"line\\nbreak\x01\"" + in + key +
        "\"line\\nbreak\x01\"=\"x\"\r\n" + kComment + "set registry value \"dw\"" + in + key +
        "\"dw\"=dword:12345678\r\n" + kComment + "set registry value \"odd\"" + in + key +
        "\"odd\"=hex(4):01,02,03\r\n" + kComment + "set registry value \"bin\"" + in + key +
        "\"bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,"
        "\\\r\n  16,17,18,19,1a,1b,1c,1d\r\n" +
        kComment + "set registry value \"exp\"" + in + key + "\"exp\"=hex(2):EXP\r\n" + kComment +
        "delete registry key \"HKEY_CURRENT_USER\\\\Software\\\\Undo\\\\T\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Undo\\T]\r\n\"v\"=\"1\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Undo\\T\\S]\r\n";
    struct Case {
        const char* what;
        DWORD version;
        std::string header;
        const char* expandable;  // the bytes of "%a%" and its NUL
        bool wide;
    };
    const Case cases[] = {
        {"Windows 98: REGEDIT4 in ANSI", kWindows98, "REGEDIT4\r\n", "25,61,25,00", false},
        {"NT 4.0: REGEDIT4 in ANSI", kWindowsNt4, "REGEDIT4\r\n", "25,61,25,00", false},
        {"XP: version 5.00 in UTF-16", kWindowsXp, Version5File("\r\n", true),
         "25,00,61,00,25,00,00,00", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun(c.version);
        ASSERT_TRUE(SetTextForTest(kSub, "plain", "C:\\x \"y\""));
        ASSERT_TRUE(SetTextForTest(kSub, "", "d"));
        ASSERT_TRUE(SetTextForTest(kSub, "line\nbreak\x01", "x"));
        ASSERT_TRUE(SetValueForTest(kSub, "dw", REG_DWORD, std::string("\x78\x56\x34\x12", 4)));
        ASSERT_TRUE(SetValueForTest(kSub, "odd", REG_DWORD, "\x01\x02\x03"));
        std::string bytes;
        for (int i = 0; i < 30; ++i) bytes += static_cast<char>(i);
        ASSERT_TRUE(SetValueForTest(kSub, "bin", REG_BINARY, bytes));
        ASSERT_TRUE(SetValueForTest(kSub, "exp", REG_EXPAND_SZ, std::string("%a%", 4)));
        ASSERT_TRUE(SetTextForTest(std::string(kSub) + "\\T", "v", "1"));
        ASSERT_TRUE(CreateKeyForTest(std::string(kSub) + "\\T\\S"));

        RegistryAction plain = Row(kKey, "plain");
        plain.key_path = " \thkey_current_user\\Software\\Undo\\";
        Save(UndoAction::kDeleteValue, plain);
        Save(UndoAction::kDeleteValue, Row(kKey, ""));
        Save(UndoAction::kDeleteValue, Row(kKey, "line\nbreak\x01"));
        for (const char* name : {"dw", "odd", "bin", "exp"})
            Save(UndoAction::kSetValue, Row(kKey, name));
        RegistryAction tree = Row(kKey, nullptr);
        tree.key_path = "HKEY_CURRENT_USER\\Software\\Undo\\T";
        Save(UndoAction::kDeleteKey, tree);
        tree.key_path = "HKEY_CURRENT_USER\\";
        Save(UndoAction::kDeleteKey, tree, false);  // a root
        tree.key_path = "HKEY_CURRENT_USER\\Software\\Missing";
        Save(UndoAction::kDeleteKey, tree, false);
        CloseRunUndoFile();

        std::string text = body;
        text.replace(text.find("EXP"), 3, c.expandable);
        EXPECT_EQ(ReadWholeFile(undo_), c.header + (c.wide ? Utf16(text) : text));
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
        EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
    }
}

// Each run writes a file of its own, created new at its first item: whatever
// stands at a name (a file, a folder, a link, to something or to nothing)
// passes the name on to the next one, and an earlier version's undo file is
// left as it is. The file stays the run's own until the run closes it.
TEST_F(RegistryUndoTest, EachRunCreatesAFileOfItsOwn) {
    const std::string legacy = Folder() + "/fix_tamrix_undo.reg";
    const std::string other = Folder() + "/other.reg";
    const std::string stamp = "_undo_20261208_090503.reg";
    struct Case {
        const char* what;
        int planted;  // 0 file, 1 folder, 2 link to a file, 3 link to nothing, -1 none
        std::string log = "fix_tamrix.log";
        std::string undo = kNextName;  // the name the run's file gets
    };
    // Named after the log, but for a log without a name, or one too long for
    // a file name (255 characters) with the undo file's ending (25).
    const Case cases[] = {{"a file there", 0},
                          {"a folder there", 1},
                          {"a link to a file", 2},
                          {"a dangling link", 3},
                          {"a log of its own", -1, "PC1-alice.log", "PC1-alice" + stamp},
                          {"a log without an extension", -1, "log", "log" + stamp},
                          {"a log of several dots", -1, "a.b.log", "a.b" + stamp},
                          {"a log without a name", -1, ".log", kUndoName},
                          {"a log path that is a folder", -1, "", kUndoName},
                          {"a name too long", -1, std::string(231, 'n') + ".log", kUndoName}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun(kWindowsXp);
        SetLogPath((Folder() + "/" + c.log).c_str());
        WriteWholeFile(legacy, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Planted]\r\n\"x\"=\"1\"\r\n");
        WriteWholeFile(other, "other");
        if (c.planted == 0) {
            WriteWholeFile(undo_, "planted");
        } else if (c.planted == 1) {
            ASSERT_EQ(mkdir(undo_.c_str(), 0700), 0);
        } else if (c.planted > 1) {
            const std::string target = c.planted == 2 ? other : Folder() + "/none";
            ASSERT_EQ(symlink(target.c_str(), undo_.c_str()), 0);
        }
        ASSERT_TRUE(SetTextForTest(kSub, "v", "1"));
        Save(UndoAction::kDeleteValue, Row(kKey, "v"));
        EXPECT_EQ(std::string(RunUndoFilePath()), Folder() + "/" + c.undo);
        // Written by nobody else meanwhile; read by anyone.
        EXPECT_EQ(CreateFileA(RunUndoFilePath(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        Save(UndoAction::kDeleteValue, Row(kKey, "v"));  // the second item goes into the same file
        CloseRunUndoFile();
        const std::string item = std::string(kComment) + "delete registry value \"v\" in key " +
                                 "\"HKEY_CURRENT_USER\\\\Software\\\\Undo\"\r\n[" + kKey +
                                 "]\r\n\"v\"=\"1\"\r\n";
        EXPECT_EQ(ReadWholeFile(Folder() + "/" + c.undo), Version5File("\r\n" + item + item, true));
        EXPECT_EQ(ReadWholeFile(legacy),
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Planted]\r\n\"x\"=\"1\"\r\n");
        EXPECT_EQ(ReadWholeFile(other), "other");
        if (c.planted == 0) {
            EXPECT_EQ(ReadWholeFile(undo_), "planted");
        }
        EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
    }
}

// The undo file cannot be written or the item cannot be saved whole: the
// action goes ahead and the failure is reported with the system's text,
// right before the action is announced; what reached the file of a failed
// item is taken out again, and the next item is saved.
TEST_F(RegistryUndoTest, FailuresAreReportedAndTheActionGoesAhead) {
    struct Case {
        const char* what;
        const char* log_folder;  // below the test folder
        const char* row_key;     // below kKey ("" for kKey), the value "v" of which goes
        bool whole_key;
        const char* text;   // the system's text reported
        const char* shown;  // the file named in the report
        bool names_taken;   // every name of the run's file stands in the folder
        unsigned full_at;   // the write that finds the disk full: 1 the header's, 2 the item's
    };
    const Case cases[] = {
        {"the log's folder missing", "missing", "", false,
         "The system cannot find the path specified.", kUndoName, false, 0},
        {"data too large for the buffer", "", "Big", false, "More data is available.", kUndoName,
         false, 0},
        {"a key name no .reg file can hold", "", "Tree", true, "The data is invalid.", kUndoName,
         false, 0},
        {"the disk full", "", "", false, "There is not enough space on the disk.", kUndoName, false,
         2},
        {"the disk full for the header", "", "", false, "There is not enough space on the disk.",
         kUndoName, false, 1},
        {"every name taken", "", "", false, "The file exists.",
         "fix_tamrix_undo_20261208_090503_99.reg", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        run_.Start();
        ASSERT_TRUE(SetTextForTest(kSub, "v", "worm"));
        ASSERT_TRUE(
            SetValueForTest(std::string(kSub) + "\\Big", "v", REG_BINARY, std::string(70000, 'x')));
        ASSERT_TRUE(SetTextForTest(std::string(kSub) + "\\Tree\\fine", "v", "1"));
        ASSERT_TRUE(CreateKeyForTest(std::string(kSub) + "\\Tree\\line\nbreak"));
        const std::string folder =
            c.log_folder[0] == '\0' ? Folder() : Folder() + "/" + c.log_folder;
        std::vector<std::string> taken;
        if (c.names_taken) {
            taken.push_back(undo_);
            for (int n = 2; n <= 99; ++n) {
                taken.push_back(Folder() + "/fix_tamrix_undo_20261208_090503_" + std::to_string(n) +
                                ".reg");
            }
            for (const std::string& name : taken) WriteWholeFile(name, "");
        }
        if (c.log_folder[0] != '\0') {
            LogClose();
            SetLogPath((folder + "/fix_tamrix.log").c_str());
        }
        if (c.full_at != 0) winsim::FailCall("WriteFile", ERROR_DISK_FULL, c.full_at);

        const std::string key = c.row_key[0] == '\0' ? kKey : std::string(kKey) + "\\" + c.row_key;
        RegistryAction row =
            Row(key.c_str(), c.whole_key ? nullptr : "v", nullptr, nullptr, nullptr);
        const std::string console = CaptureStdout([&] { ReportRegistryResult(0, &row); });
        const std::string report =
            "Undo data could not be saved to \"" + folder + "/" + c.shown + "\": " + c.text + "\n";
        const std::string announced =
            c.whole_key ? "Deleting registry key \"" + key + "\"... Done.\n"
                        : "Deleting registry value \"v\" in key \"" + key + "\"... Done.\n";
        EXPECT_EQ(console, "\n" + report + announced);
        if (c.log_folder[0] == '\0') {
            const std::string logged = run_.LogLines();
            EXPECT_NE(logged.find(kFixedStamp + report), std::string::npos) << logged;
            EXPECT_EQ(logged.find("was saved to"), std::string::npos) << logged;
        }
        EXPECT_FALSE(c.whole_key ? KeyExistsForTest(std::string(kSub) + "\\" + c.row_key)
                                 : ValueExists(key.substr(18), "v"))
            << "the action went ahead";
        if (taken.empty() && c.log_folder[0] == '\0') {
            // A value's item goes again; a tree's keeps what it saved before
            // it stopped.
            const std::string kept =
                c.whole_key ? std::string(kComment) +
                                  "delete registry key \"HKEY_CURRENT_USER\\\\Software\\\\Undo\\\\"
                                  "Tree\"\r\n[HKEY_CURRENT_USER\\Software\\Undo\\Tree]\r\n"
                            : "";
            // A file without its header goes again: no empty file is left.
            EXPECT_EQ(ReadWholeFile(undo_),
                      c.full_at == 1 ? "<missing>" : Version5File("\r\n" + kept, true))
                << "only whole lines of what was saved stay";
            ASSERT_TRUE(SetTextForTest(kSub, "w", "next"));
            Save(UndoAction::kDeleteValue, Row(kKey, "w"));
            EXPECT_NE(ReadWholeFile(undo_).find(Utf16(std::string("\"w\"=\"next\"\r\n"))),
                      std::string::npos);
        }
        run_.Finish();
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
        EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
    }
}

// Right before the deletion the value is read again, found by enumeration
// (its name in the stored spelling) and checked as the walk checked it: the
// undo file holds what is deleted, and a value that is no longer the worm's
// is left alone and reported. A hook stands in for another program that
// changes the value once the walk has checked it.
// How a value of such a case ends: deleted by the cleaner, left as the
// other program made it, or gone with that program's deletion.
enum End { kDeleted, kLeft, kGone };

TEST_F(RegistryUndoTest, WhatIsSavedIsWhatIsDeleted) {
    const std::u16string worm(kWorm, kWorm + sizeof kWorm - 1);
    struct Case {
        const char* what;
        DWORD version;
        std::function<void()> seed;
        // At the action's read of the key's one value: the walk's was the first.
        std::function<void()> meanwhile;
        End end;
        std::string saved;   // what the file holds after its header, in its own form
        std::string report;  // after the announcement
        // Or once its undo item is read: the last check finds the change.
        const char* at = "RegEnumValueA";
        unsigned occurrence = 2;
    };
    const std::string item = std::string(kComment) + "delete registry value ";
    const std::string in =
        " in key \"HKEY_CURRENT_USER\\\\Software\\\\Undo\"\r\n[" + std::string(kKey) + "]\r\n";
    const std::string changed = "\nRegistry value \"screen\" in key \"" + std::string(kKey) +
                                "\" changed after it was checked and was not deleted: The "
                                "system cannot find the file specified.\n";
    const std::string worm_line = "=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr\"\r\n";
    // The worm's text, its NUL, and a character outside the code page.
    const std::function<void()> seed_trailer = [&] {
        const std::u16string data = worm + u'\0' + u"\u8868";
        ASSERT_TRUE(SetWideValueForTest(kSub, u"screen", REG_SZ, data.data(), data.size() * 2));
    };
    const auto set_to = [](const char* data) {
        return [data] { ASSERT_TRUE(SetTextForTest(kSub, "screen", data)); };
    };
    const std::function<void()> seed_worm = set_to(kWorm);
    const std::string saved_worm = Utf16(item + "\"screen\"" + in + "\"screen\"" + worm_line);
    const Case cases[] = {
        {"stored in capitals", kWindowsXp,
         [] { ASSERT_TRUE(SetTextForTest(kSub, "SCREEN", kWorm)); }, nullptr, kDeleted,
         Utf16(item + "\"SCREEN\"" + in + "\"SCREEN\"" + worm_line), ""},
        {"stored in capitals, Windows 98", kWindows98,
         [] { ASSERT_TRUE(SetTextForTest(kSub, "ScReEn", kWorm)); }, nullptr, kDeleted,
         item + "\"ScReEn\"" + in + "\"ScReEn\"" + worm_line, ""},
        {"a look-alike name first", kWindowsXp,
         [&] {
             ASSERT_TRUE(SetWideTextForTest(kSub, u"\uFF53creen", REG_SZ, worm));
             ASSERT_TRUE(SetTextForTest(kSub, "Screen", kWorm));
         },
         nullptr, kDeleted, Utf16(item + "\"Screen\"" + in + "\"Screen\"" + worm_line), ""},
        {"changed to a harmless path", kWindowsXp,
         [] { ASSERT_TRUE(SetTextForTest(kSub, "screen", kWorm)); },
         [] { ASSERT_TRUE(SetTextForTest(kSub, "screen", "C:\\Tools\\screen.exe")); }, kLeft, "",
         changed},
        {"changed to a look-alike", kWindowsXp,
         [] { ASSERT_TRUE(SetTextForTest(kSub, "screen", kWorm)); },
         [] {
             ASSERT_TRUE(SetWideTextForTest(kSub, u"screen", REG_SZ,
                                            u"C:\\WINDOWS\\system32\\\uFF33creen.scr"));
         },
         kLeft, "", changed},
        {"deleted meanwhile", kWindowsXp,
         [] { ASSERT_TRUE(SetTextForTest(kSub, "screen", kWorm)); },
         [] {
             HKEY key = nullptr;
             ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kSub, &key), 0);
             RegDeleteValueA(key, "screen");
             RegCloseKey(key);
         },
         kGone, "", changed},
        {"its key deleted meanwhile", kWindowsXp,
         [] { ASSERT_TRUE(SetTextForTest(kSub, "screen", kWorm)); },
         [] { DeleteTreeForTest(HKEY_CURRENT_USER, kSub); }, kGone, "",
         "\nAn error was detected while accessing registry value \"screen\" in key \"" +
             std::string(kKey) +
             "\": Illegal operation attempted on a registry key that has been marked for "
             "deletion.\n"},
        // Bytes after the text's NUL are none of the matcher's business: the
        // value goes, and comes back with them.
        {"a trailer after the NUL", kWindowsXp, seed_trailer, nullptr, kDeleted,
         Utf16(item + "\"screen\"" + in +
               "\"screen\"=hex(1):43,00,3a,00,5c,00,57,00,49,00,4e,00,44,"
               "00,4f,00,57,00,53,00,\\\r\n  5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,"
               "5c,00,53,00,63,00,72,\\\r\n  00,65,00,65,00,6e,00,2e,00,73,00,63,00,72,00,00,00,68,"
               "88\r\n"),
         ""},
        // NT 4.0's Registry Editor reads ANSI files only: what ANSI cannot
        // give back is not saved, and the worm still goes.
        {"a trailer outside the code page, NT 4.0", kWindowsNt4, seed_trailer, nullptr, kDeleted,
         "",
         "\nUndo data could not be saved to \"FOLDER/" + std::string(kUndoName) +
             "\": No mapping for the Unicode character exists in the target multi-byte code "
             "page.\n"},
        // Its item (the second write, after the header) holds the worm's data.
        {"changed before its item is written", kWindowsXp, seed_worm,
         set_to("C:\\Tools\\screen.exe"), kLeft, "", changed, "WriteFile", 2},
        {"changed once its item is saved", kWindowsXp, seed_worm, set_to("C:\\Tools\\screen.exe"),
         kLeft, "", changed, "fwrite", 1},
        // Still the worm's to the matcher, but not what the item would give back.
        {"changed to the worm's text in capitals once its item is saved", kWindowsXp, seed_worm,
         set_to("C:\\WINDOWS\\SYSTEM32\\SCREEN.SCR"), kLeft, "", changed, "fwrite", 1},
        {"written back the same once its item is saved", kWindowsXp, seed_worm, seed_worm, kDeleted,
         saved_worm, "", "fwrite", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun(c.version);
        c.seed();
        const RegistryAction table[] = {
            Row(kKey, "screen", kWorm),
            {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
        };
        if (c.meanwhile) winsim::OnCall(c.at, c.occurrence, c.meanwhile);
        const std::string console =
            CaptureStdout([&] { EXPECT_EQ(CleanRegistry(table, ReportRegistryResult), 0); });
        run_.Finish();
        std::string report = c.report;
        if (report.find("FOLDER") != std::string::npos)
            report.replace(report.find("FOLDER"), 6, Folder());
        const std::string announced =
            "Deleting registry value \"screen\" in key \"" + std::string(kKey) + "\"...";
        EXPECT_EQ(console,
                  c.end == kDeleted ? report + announced + " Done.\n" : announced + report);
        const std::string header =
            c.version == kWindowsXp ? Version5File("\r\n", true) : "REGEDIT4\r\n";
        if (c.end == kDeleted) {
            EXPECT_EQ(ReadWholeFile(undo_), header + c.saved) << "the file holds whole items only";
        } else if (strcmp(c.at, "RegEnumValueA") != 0) {
            EXPECT_EQ(ReadWholeFile(undo_), header) << "its item is taken back out";
        } else {
            EXPECT_EQ(ReadWholeFile(undo_), "<missing>") << "nothing was saved, nothing created";
        }
        HKEY key = nullptr;
        const bool left = RegOpenKeyA(HKEY_CURRENT_USER, kSub, &key) == 0 &&
                          RegQueryValueExA(key, "screen", nullptr, nullptr, nullptr, nullptr) == 0;
        if (key != nullptr) RegCloseKey(key);
        EXPECT_EQ(left, c.end == kLeft);
        const std::string logged = run_.LogLines();
        EXPECT_EQ(logged.find("was deleted") != std::string::npos, c.end == kDeleted) << logged;
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
        EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
    }
}

}  // namespace
