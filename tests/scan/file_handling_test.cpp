// What happens to one file after its check: console text, log lines, the
// deletion with its prompt and fallbacks, the counters and the result texts.
#include "scan/file_handling.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/quiet_mode.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "platform/windows_family.h"
#include "scan/force_delete.h"
#include "scan/result_codes.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/pe_fixture.h"
#include "support/temp_files.h"
#include "support/windows_versions.h"
#include "tables/detections.h"

namespace {

const std::string kInUse =
    "The process cannot access the file because it is being used by another process.";

// Replaces every "<p>" of `text` by `path`.
std::string WithPath(std::string text, const std::string& path) {
    for (size_t at = text.find("<p>"); at != std::string::npos; at = text.find("<p>", at)) {
        text.replace(at, 3, path);
        at += path.size();
    }
    return text;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class FileHandlingTest : public NativeTest {
  protected:
    // The run resets the process first; NativeTest's TearDown ends it.
    void SetUp() override { run_.Start(); }
    LoggedRun run_;
    const TempFolder& folder_ = run_.folder();
};

TEST_F(FileHandlingTest, InfectedFiles) {
    const std::string infected = MakeInfectedPe(kTamrixSignatures);
    const std::string deleted = "File \"<p>\" was deleted.\n";
    const std::string could_not = "File \"<p>\" could not be deleted: ";
    const std::string in_use = could_not + kInUse + "\n";
    const std::string denied = could_not + "Access is denied.\n";
    const std::string ask = "Deleting file \"<p>\"...  Confirm (Yes/No/All yes)?  ";
    const std::string quiet = "Deleting file \"<p>\"...";
    enum Outcome { kDeleted, kScheduled, kKept };
    struct Case {
        const char* name;
        DWORD attributes;
        std::initializer_list<int> keys;  // none: quiet mode
        DWORD version;
        DWORD delete_error;  // every DeleteFileA fails with it; 0: none fails
        bool administrator;
        std::string output;  // after the detection line; "<p>" is the path
        std::string log;     // after the detection line, without time stamps
        Outcome outcome;
    };
    const DWORD kProtected =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    // clang-format off
    const Case cases[] = {
        {"quiet mode", 0x80, {}, kWindowsXp, 0, true, quiet + " Done.\n", deleted, kDeleted},
        {"answered yes", 0x80, {'x', 'y'}, kWindowsXp, 0, true, ask + "[Yes]  Done.\n", deleted,
         kDeleted},
        {"answered all yes", 0x80, {'A'}, kWindows98, 0, true,
         ask + "[Yes to all prompts]  Done.\n", deleted, kDeleted},
        {"answered no", 0x80, {'n'}, kWindowsXp, 0, true, ask + "[No]  Skipped.\n",
         "Deletion of file \"<p>\" was skipped by the user.\n", kKept},
        {"read-only, hidden and system", kProtected, {}, kWindows98, 0, true, quiet + " Done.\n",
         deleted, kDeleted},
        {"in use on the NT family", 0x80, {}, kWindowsXp, ERROR_SHARING_VIOLATION, true,
         quiet + " Done.\n", deleted, kScheduled},
        {"in use on the 95 family", 0x80, {}, kWindows98, ERROR_SHARING_VIOLATION, true,
         quiet + " Failed.\n\n" + in_use, in_use, kKept},
        {"in use, NT, no right to schedule", 0x2, {}, kWindowsXp, ERROR_SHARING_VIOLATION, false,
         quiet + " Failed.\n\n" + denied, denied, kKept},
    };
    // clang-format on
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            folder_.Write("infected" + std::to_string(index++) + ".exe", infected, c.attributes);
        ResetQuietModeForTests();
        if (c.keys.size() == 0) SwitchOnQuietMode();
        winsim::ScriptConsoleKeys(c.keys);
        winsim::SetVersion(c.version);
        winsim::SetAdministrator(c.administrator);
        if (c.delete_error != 0) winsim::FailCall("DeleteFileA", c.delete_error, 0);
        const size_t restart_before = winsim::RestartOperations().size();
        const size_t log_before = run_.LogLines().size();
        const uint32_t infected_before = InfectedFileCount();
        const uint32_t removed_before = RemovedFileCount();

        int32_t result = -1;
        const std::string output = CaptureStdout([&] {
            result = ScanFileForDetection(path.c_str(), "WORM_TAMRIX.A", kTamrixSignatures);
        });
        winsim::ClearFaults();

        EXPECT_EQ(result, 0);
        EXPECT_EQ(output, WithPath(" INFECTED (WORM_TAMRIX.A)!\n" + c.output, path));
        EXPECT_EQ(
            run_.LogLines().substr(log_before),
            WithPath(Stamped("\"WORM_TAMRIX.A\" was detected in file \"<p>\".\n" + c.log), path));
        EXPECT_EQ(Exists(path), c.outcome != kDeleted);
        const std::vector<std::string> scheduled(
            winsim::RestartOperations().begin() + static_cast<std::ptrdiff_t>(restart_before),
            winsim::RestartOperations().end());
        EXPECT_EQ(scheduled, c.outcome == kScheduled ? std::vector<std::string>{path}
                                                     : std::vector<std::string>{});
        EXPECT_EQ(InfectedFileCount() - infected_before, 1u);
        EXPECT_EQ(RemovedFileCount() - removed_before, c.outcome == kKept ? 0u : 1u);
        EXPECT_EQ(IsQuietMode(), c.keys.size() == 0 || *c.keys.begin() == 'A')
            << "only \"All yes\" switches quiet mode on";
    }
}

TEST_F(FileHandlingTest, FilesThatAreNotReportedAsInfected) {
    std::string clean = MakeInfectedPe(kTamrixSignatures);
    clean[static_cast<size_t>(kTamrixSignatures[2].file_offset)] ^= 0x01;
    const std::string missing = folder_.path() + "/missing.exe";
    struct Case {
        const char* name;
        std::string path;
        const SignatureRecord* list;
        std::string message;  // "" when the file is silently clean
    };
    const Case cases[] = {
        {"clean executable", folder_.Write("clean.exe", clean), kTamrixSignatures, ""},
        {"text file", folder_.Write("notes.txt", std::string(500, 'n')), kTamrixSignatures, ""},
        {"short file", folder_.Write("short.exe", "MZ"), kTamrixSignatures, ""},
        {"unopenable file", missing, kTamrixSignatures, "File opening error"},
        {"no signature list", folder_.Write("any.exe", clean), nullptr, "Parameter error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SwitchOnQuietMode();
        const size_t log_before = run_.LogLines().size();
        const uint32_t infected_before = InfectedFileCount();
        const uint32_t removed_before = RemovedFileCount();
        int32_t result = -1;
        const std::string output = CaptureStdout(
            [&] { result = ScanFileForDetection(c.path.c_str(), "WORM_TAMRIX.A", c.list); });
        EXPECT_EQ(result, 0);
        if (c.message.empty()) {
            EXPECT_EQ(output, "");
            EXPECT_EQ(run_.LogLines().substr(log_before), "");
        } else {
            const std::string report =
                "An error occurred while scanning file \"" + c.path + "\": " + c.message;
            EXPECT_EQ(output, "\n" + report + "\n");
            EXPECT_EQ(run_.LogLines().substr(log_before), Stamped(report + "\n"));
        }
        EXPECT_EQ(InfectedFileCount(), infected_before);
        EXPECT_EQ(RemovedFileCount(), removed_before);
        if (c.path != missing) {
            EXPECT_TRUE(Exists(c.path));
        }
    }
}

TEST_F(FileHandlingTest, DeleteFileWithPromptResults) {
    const std::string path = folder_.Write("victim.exe", "x");
    int32_t result = 0;
    // Without any key (no console) the deletion is declined.
    std::string output = CaptureStdout([&] { result = DeleteFileWithPrompt(path.c_str()); });
    EXPECT_EQ(result, ERROR_CANCELLED);
    EXPECT_EQ(output, "Deleting file \"" + path + "\"...  Confirm (Yes/No/All yes)?   Skipped.\n");
    SwitchOnQuietMode();
    winsim::SetVersion(kWindows98);
    winsim::FailCall("SetFileAttributesA", ERROR_ACCESS_DENIED, 0);
    output = CaptureStdout([&] { result = DeleteFileWithPrompt(path.c_str()); });
    EXPECT_EQ(result, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Exists(path));
}

TEST_F(FileHandlingTest, ForceDeleteFileAttempts) {
    struct Case {
        const char* name;
        DWORD version;
        std::vector<std::pair<const char*, unsigned>> faults;  // call, occurrence (0: every)
        DWORD code;
        int32_t result;
        std::vector<std::string> calls;  // with "<p>" for the path
        bool deleted;
    };
    const std::string set = "SetFileAttributesA(<p>, 0x80)";
    const std::string del = "DeleteFileA(<p>)";
    const std::string move = "MoveFileExA(<p>, NULL, 0x4)";
    auto attempts = [&](int failed_deletions, bool last_deletes) {
        std::vector<std::string> calls;
        for (int i = 0; i < failed_deletions; ++i) calls.insert(calls.end(), {set, del});
        if (last_deletes) calls.insert(calls.end(), {set, del});
        return calls;
    };
    auto plus = [](std::vector<std::string> calls, std::initializer_list<std::string> more) {
        calls.insert(calls.end(), more);
        return calls;
    };
    const std::pair<const char*, unsigned> delete_once = {"DeleteFileA", 1};
    const std::pair<const char*, unsigned> delete_always = {"DeleteFileA", 0};
    const std::pair<const char*, unsigned> move_once = {"MoveFileExA", 1};
    // clang-format off
    const Case cases[] = {
        {"first attempt", kWindowsXp, {}, 0, 0, attempts(0, true), true},
        {"fifth attempt", kWindows98, {delete_once, delete_once, delete_once, delete_once},
         ERROR_SHARING_VIOLATION, 0, attempts(4, true), true},
        {"scheduled on NT", kWindowsXp, {delete_always}, ERROR_SHARING_VIOLATION, 0,
         plus(attempts(5, false), {"GetVersion()", move}), false},
        {"failed on 95", kWindows98, {delete_always}, ERROR_SHARING_VIOLATION, 32,
         plus(attempts(5, false), {"GetVersion()"}), false},
        {"attributes refused on 95", kWindows98, {{"SetFileAttributesA", 0}}, ERROR_ACCESS_DENIED,
         5, {set, set, set, set, set, "GetVersion()"}, false},
        {"scheduling refused on NT", kWindowsXp, {delete_always, move_once}, ERROR_ACCESS_DENIED,
         5, plus(attempts(5, false), {"GetVersion()", move}), false},
        {"failures without a code", kWindowsXp, {delete_always, move_once}, 0,
         ERROR_INTERNAL_ERROR, plus(attempts(5, false), {"GetVersion()", move}), false},
    };
    // clang-format on
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path =
            folder_.Write("force" + std::to_string(index++) + ".exe", "x", FILE_ATTRIBUTE_READONLY);
        winsim::SetVersion(c.version);
        for (const auto& fault : c.faults) winsim::FailCall(fault.first, c.code, fault.second);
        winsim::ClearRecordedCalls();
        winsim::RecordCalls(true);
        EXPECT_EQ(ForceDeleteFile(path.c_str()), c.result);
        winsim::RecordCalls(false);
        winsim::ClearFaults();
        std::vector<std::string> expected;
        for (const std::string& call : c.calls) expected.push_back(WithPath(call, path));
        // GetVersion's record depends on the system facts; only its place matters.
        std::vector<std::string> recorded = winsim::RecordedCalls();
        for (std::string& call : recorded) {
            if (call.rfind("GetVersion(", 0) == 0) call = "GetVersion()";
        }
        EXPECT_EQ(recorded, expected);
        EXPECT_EQ(Exists(path), !c.deleted);
    }
    // The last attempt's error is the one reported: here the attribute change.
    const std::string path = folder_.Write("last.exe", "x");
    winsim::SetVersion(kWindows98);
    winsim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION, 0);
    winsim::FailCall("SetFileAttributesA", ERROR_INVALID_PARAMETER, 5);
    EXPECT_EQ(ForceDeleteFile(path.c_str()), ERROR_INVALID_PARAMETER);
    winsim::ClearFaults();
    EXPECT_EQ(ForceDeleteFile(nullptr), ERROR_INVALID_PARAMETER);
}

TEST(IsWindows95Family, FollowsBit31OfTheVersion) {
    ResetProcessState();
    const struct {
        DWORD version;
        bool nt;
    } cases[] = {{kWindowsXp, true},  {0x7FFFFFFFu, true},  {0u, true},
                 {kWindows98, false}, {0x80000000u, false}, {0xFFFFFFFFu, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        winsim::SetVersion(c.version);
        EXPECT_EQ(IsWindows95Family(), !c.nt);
    }
    ResetProcessState();
}

TEST(ErrorCodeText, EveryCode) {
    // clang-format off
    const char* const texts[] = {
        "No error", "File opening error", "Parameter error", "Platform error",
        "Could not find PSAPI.DLL", "Could not find KERNEL32.DLL", "Process not found",
        "Registry error", "Export function error", "Process opening error",
        "Process termination error", "Snapshot error", "Unknown error", "File creation error",
        "Service control error", "Service termination error", "INI file error", "Cleaning error",
        "No INI key", "Buffer limit error", "Registry opening error", "Registry value read error",
        "Registry value write error", "Data not found", "Registry closing error",
        "File size error", "File type error", "File mapping error", "Unknown export error"};
    // clang-format on
    for (int32_t code = 0; code >= -28; --code) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(ErrorCodeText(code), texts[-code]);
    }
    for (int32_t code : {5, -29, 1, 2, 1223, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(ErrorCodeText(code), "Undefined error");
    }
}

}  // namespace
