// The undo file's exact text, and what the cleaner does when it cannot be
// written: the action goes ahead, and the failure is reported.
#include "registry/registry_undo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "log/log_file.h"
#include "registry/registry_action.h"
#include "registry/registry_report.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#include "winsim/test_hooks.h"

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\Software\\Undo";
const char kSub[] = "Software\\Undo";
const char kComment[] = "\r\n; 2026-12-08, 09:05:03,   about to ";

bool ValueExists(const std::string& sub_key, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return false;
    const LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

class RegistryUndoTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetProcessState();
        winsim::SetLocalTime(FixedTime());
        undo_ = folder_.path() + "/fix_tamrix_undo.reg";
    }
    void TearDown() override { ResetProcessState(); }

    // Saves one value as the cleaner would before acting on it.
    void Save(UndoAction action, const char* key, const char* name, bool expect_saved = true) {
        bool saved = false;
        EXPECT_EQ(SaveUndoData(undo_.c_str(), action, key, name, &saved), 0) << name;
        EXPECT_EQ(saved, expect_saved) << name;
    }

    TempFolder folder_;
    std::string undo_;
};

TEST_F(RegistryUndoTest, ItemsAreAppendedAsRegedit4Text) {
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

    // The key line names the key canonically, whatever the row's spelling.
    Save(UndoAction::kDeleteValue, " \thkey_current_user\\Software\\Undo\\", "plain");
    Save(UndoAction::kSetValue, kKey, "absent", false);
    Save(UndoAction::kDeleteValue, kKey, "absent", false);
    Save(UndoAction::kDeleteValue, kKey, "");
    Save(UndoAction::kDeleteValue, kKey, "line\nbreak\x01");
    for (const char* name : {"dw", "odd", "bin", "exp"}) Save(UndoAction::kSetValue, kKey, name);
    bool saved = false;
    EXPECT_EQ(SaveUndoData(undo_.c_str(), UndoAction::kDeleteKey,
                           "HKEY_CURRENT_USER\\Software\\Undo\\T", nullptr, &saved),
              0);
    EXPECT_TRUE(saved);
    EXPECT_EQ(
        SaveUndoData(undo_.c_str(), UndoAction::kDeleteKey, "HKEY_CURRENT_USER\\", nullptr, &saved),
        0)
        << "a root";
    EXPECT_FALSE(saved);
    EXPECT_EQ(SaveUndoData(undo_.c_str(), UndoAction::kDeleteKey,
                           "HKEY_CURRENT_USER\\Software\\Missing", nullptr, &saved),
              0);
    EXPECT_FALSE(saved);

    const std::string key = std::string("[") + kKey + "]\r\n";
    // The comment quotes names as a value line does.
    const std::string in = " in key \"HKEY_CURRENT_USER\\\\Software\\\\Undo\"\r\n";
    EXPECT_EQ(ReadWholeFile(undo_),
              std::string("REGEDIT4\r\n") + kComment +
                  "delete registry value \"plain\" in key "
                  "\" \thkey_current_user\\\\Software\\\\Undo\\\\\"\r\n" +
                  key + "\"plain\"=\"C:\\\\x \\\"y\\\"\"\r\n" + kComment +
                  "delete registry value \"\"" + in + key + "@=\"d\"\r\n" + kComment +
                  "delete registry value \"line\\nbreak\x01\"" + in + key +
                  "\"line\\nbreak\x01\"=\"x\"\r\n" + kComment + "set registry value \"dw\"" + in +
                  key + "\"dw\"=dword:12345678\r\n" + kComment + "set registry value \"odd\"" + in +
                  key + "\"odd\"=hex(4):01,02,03\r\n" + kComment + "set registry value \"bin\"" +
                  in + key +
                  "\"bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,"
                  "\\\r\n  16,17,18,19,1a,1b,1c,1d\r\n" +
                  kComment + "set registry value \"exp\"" + in + key +
                  "\"exp\"=hex(2):25,61,25,00\r\n" + kComment +
                  "delete registry key \"HKEY_CURRENT_USER\\\\Software\\\\Undo\\\\T\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Undo\\T]\r\n\"v\"=\"1\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Undo\\T\\S]\r\n");
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
}

// The undo file cannot be written or the item cannot be saved whole: the
// action goes ahead and the failure is reported with the system's text,
// right before the action is announced.
TEST_F(RegistryUndoTest, FailuresAreReportedAndTheActionGoesAhead) {
    struct Case {
        const char* what;
        const char* log_folder;  // below the test folder
        const char* row_key;     // below kKey ("" for kKey), the value "v" of which goes
        bool whole_key;
        const char* text;  // the system's text reported
    };
    const Case cases[] = {
        {"a folder in the undo file's place", "", "", false, "Access is denied."},
        {"the log's folder missing", "missing", "", false,
         "The system cannot find the path specified."},
        {"data too large for the buffer", "", "Big", false, "More data is available."},
        {"the file held by another program", "", "", false,
         "The process cannot access the file because it is being used by another process."},
        {"a key name no .reg file can hold", "", "Tree", true, "The data is invalid."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProcessState();
        winsim::SetLocalTime(FixedTime());
        rmdir(undo_.c_str());
        remove(undo_.c_str());
        ASSERT_TRUE(SetTextForTest(kSub, "v", "worm"));
        ASSERT_TRUE(
            SetValueForTest(std::string(kSub) + "\\Big", "v", REG_BINARY, std::string(70000, 'x')));
        ASSERT_TRUE(SetTextForTest(std::string(kSub) + "\\Tree\\fine", "v", "1"));
        ASSERT_TRUE(CreateKeyForTest(std::string(kSub) + "\\Tree\\line\nbreak"));
        const std::string folder =
            c.log_folder[0] == '\0' ? folder_.path() : folder_.path() + "/" + c.log_folder;
        const std::string undo = folder + "/fix_tamrix_undo.reg";
        const std::string log = folder + "/undo.log";
        if (std::string(c.what) == "a folder in the undo file's place") {
            ASSERT_EQ(mkdir(undo_.c_str(), 0700), 0);
        }
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (std::string(c.what) == "the file held by another program") {
            holder = CreateFileA(undo_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        SetLogPath(log.c_str());
        CaptureStdout([] { LogOpen("fix_tamrix"); });

        const std::string key = c.row_key[0] == '\0' ? kKey : std::string(kKey) + "\\" + c.row_key;
        RegistryAction row = {key.c_str(),
                              c.whole_key ? nullptr : "v",
                              {REG_SZ, nullptr, 0},
                              {REG_SZ, nullptr, 0},
                              nullptr};
        const std::string console = CaptureStdout([&] { ReportRegistryResult(0, &row); });
        LogClose();
        const std::string report =
            "Undo data could not be saved to \"" + undo + "\": " + c.text + "\n";
        const std::string announced =
            c.whole_key ? "Deleting registry key \"" + key + "\"... Done.\n"
                        : "Deleting registry value \"v\" in key \"" + key + "\"... Done.\n";
        EXPECT_EQ(console, "\n" + report + announced);
        if (c.log_folder[0] == '\0') {
            const std::string logged = ReadWholeFile(log);
            EXPECT_NE(logged.find("2026-12-08, 09:05:03,   " + report), std::string::npos)
                << logged;
            EXPECT_EQ(logged.find("was saved to"), std::string::npos) << logged;
        }
        EXPECT_FALSE(c.whole_key ? KeyExistsForTest(std::string(kSub) + "\\" + c.row_key)
                                 : ValueExists(key.substr(18), "v"))
            << "the action went ahead";
        if (holder != INVALID_HANDLE_VALUE) {
            CloseHandle(holder);
        }
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
        EXPECT_EQ(winsim::OpenFileHandleCount(), 0u);
    }
}

}  // namespace
