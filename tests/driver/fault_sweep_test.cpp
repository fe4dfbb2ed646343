// Whole quiet runs on an infected registry: a clean run, then one run for
// every platform call the clean run makes, with that one call failing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/capture.h"
#include "support/native_run.h"
#include "support/temp_files.h"
#include "winsim/test_hooks.h"

namespace {

const char kInfected[] =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
    "\"Tray\"=\"C:\\\\Program Files\\\\Tray\\\\tray.exe\"\n"
    "\"screen\"=\" c:\\\\windows\\\\SYSTEM32\\\\screen.SCR\"\n"
    "\"sys\"=\"C:\\\\WINDOWS\\\\system32\\\\List480.txt.scr\"\n"
    "\"Updater\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr /s\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Sub]\n"
    "\"screen\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr\"\n";

const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The worm's values of kInfected as the undo file must give them back.
const char* const kWormValues[] = {"\"screen\"=\" c:\\\\windows\\\\SYSTEM32\\\\screen.SCR\"",
                                   "\"sys\"=\"C:\\\\WINDOWS\\\\system32\\\\List480.txt.scr\""};

// Calls whose failure the program cannot or need not report: the clock and
// the code page cannot fail; a failed release or close changes nothing
// the user could act on (the undo file is on disk before it is closed).
bool FailureIsSilent(const std::string& call) {
    for (const char* name :
         {"GetLocalTime(", "LocalFree(", "RegCloseKey(", "CloseHandle(", "IsDBCSLeadByte("}) {
        if (call.rfind(name, 0) == 0) return true;
    }
    return false;
}

class FaultSweepTest : public NativeTest {
  protected:
    void SetUp() override {
        NativeTest::SetUp();
        log_ = folder_.path() + "/sweep.log";
        undo_ = folder_.path() + "/fix_tamrix_undo.reg";
    }

    RunResult InfectedRun() {
        ResetProcessState();
        std::string error;
        EXPECT_TRUE(winsim::LoadRegistryText(kInfected, &error)) << error;
        remove(log_.c_str());
        remove(undo_.c_str());
        return RunInProcess({"/Q", "/L", log_});
    }

    TempFolder folder_;
    std::string log_;
    std::string undo_;
};

TEST_F(FaultSweepTest, CleanRunRemovesExactlyTheWormsValues) {
    std::string before;
    {
        ResetProcessState();
        ASSERT_TRUE(winsim::LoadRegistryText(kInfected));
        before = winsim::SaveRegistryText();
    }
    RunResult run = InfectedRun();
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
    const std::string log = ReadWholeFile(log_);
    for (const char* name : {"screen", "sys"}) {
        const std::string saved = "Undo data for registry value \"" + std::string(name) +
                                  "\" in key \"" + key + "\" was saved to \"" + undo_ + "\".\n";
        const std::string deleted =
            "Registry value \"" + std::string(name) + "\" in key \"" + key + "\" was deleted.\n";
        const size_t at = log.find(saved);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_EQ(log.find(deleted), at + saved.size() + strlen("2026-12-08, 09:05:03,   ")) << log;
    }
    ASSERT_TRUE(winsim::LoadRegistryText(ReadWholeFile(undo_)));
    EXPECT_EQ(winsim::SaveRegistryText(), "Windows Registry Editor Version 5.00\n\n[" + key +
                                              "]\n" + kWormValues[0] + "\n" + kWormValues[1] +
                                              "\n\n");
}

TEST_F(FaultSweepTest, EveryCallFailingOnce) {
    std::vector<std::string> calls;
    {
        ResetProcessState();
        ASSERT_TRUE(winsim::LoadRegistryText(kInfected));
        winsim::RecordCalls(true);
        remove(log_.c_str());
        RunInProcess({"/Q", "/L", log_});
        calls = winsim::RecordedCalls();
    }
    ASSERT_GT(calls.size(), 10u);
    // Values that must survive every run, whatever fails.
    const char* survivors[] = {"\"Tray\"=\"C:\\\\Program Files\\\\Tray\\\\tray.exe\"",
                               "\"Updater\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr /s\"",
                               "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion"
                               "\\Run\\Sub]\n\"screen\"="};
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i + 1) + ": " + calls[i]);
        ResetProcessState();
        ASSERT_TRUE(winsim::LoadRegistryText(kInfected));
        remove(log_.c_str());
        remove(undo_.c_str());
        winsim::FailNthCall(static_cast<unsigned>(i + 1), ERROR_ACCESS_DENIED);
        RunResult run = RunInProcess({"/Q", "/L", log_});
        EXPECT_EQ(run.exit_code, 0);
        // A close made to fail is the one handle the program cannot give back.
        const bool close_failed = calls[i].rfind("RegCloseKey(", 0) == 0;
        EXPECT_EQ(winsim::OpenHandleCount(), close_failed ? 1u : 0u);
        const bool file_close_failed = calls[i].rfind("CloseHandle(", 0) == 0;
        EXPECT_EQ(winsim::OpenFileHandleCount(), file_close_failed ? 1u : 0u);
        const std::string registry = winsim::SaveRegistryText();
        for (const char* survivor : survivors) {
            EXPECT_NE(registry.find(survivor), std::string::npos) << survivor;
        }
        if (!FailureIsSilent(calls[i])) {
            EXPECT_NE(run.output.find(": Access is denied.\n"), std::string::npos) << run.output;
        }
        // Nothing goes without its undo data on disk or a report that says
        // it could not be saved, right before the deletion's announcement.
        const std::string undo = ReadWholeFile(undo_);
        const std::string refused = "\nUndo data could not be saved to \"" + undo_ + "\": ";
        for (const char* value : kWormValues) {
            if (registry.find(value) != std::string::npos) continue;  // not deleted
            const std::string name =
                std::string(value).substr(1, std::string(value).find('"', 1) - 1);
            const bool saved =
                undo.find(std::string(kRunKey) + "]\r\n" + value + "\r\n") != std::string::npos;
            const std::string announced = "\nDeleting registry value \"" + name + "\"";
            const size_t report = run.output.find(refused);
            const size_t next =
                report == std::string::npos ? report : run.output.find('\n', report + 1);
            const bool reported = next != std::string::npos &&
                                  run.output.compare(next, announced.size(), announced) == 0;
            EXPECT_TRUE(saved || reported) << name << "\n" << run.output << undo;
        }
        // Whatever reached the undo file reads as .reg text.
        if (undo != "<missing>" && !undo.empty()) {
            std::string error;
            EXPECT_TRUE(winsim::LoadRegistryText(undo, &error)) << error << "\n" << undo;
        }
    }
}

}  // namespace
