// Path variables on the native layer: expansion with backslash joining, the
// resolvers' result codes and the output's capacity. (ReadRegistryString's
// 261-byte limit is in path_variables_real_test.cpp, which runs here too.)
#include "registry/path_variables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "registry/path_resolvers.h"
#include "registry/registry_limits.h"
#include "support/native_run.h"
#include "support/recorded_calls.h"

namespace {

const char kSeed[] =
    "REGEDIT4\n\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n"
    "[HKEY_CURRENT_USER\\Identities]\n"
    "\"Default User ID\"=\"{1234}\"\n";

class PathVariablesTest : public NativeTest {
  protected:
    void SetUp() override {
        NativeTest::SetUp();
        ASSERT_TRUE(winsim::LoadRegistryText(kSeed));
    }
};

// Expands into a 520-byte buffer; the text, or "<code N>".
std::string Expand(const char* input, size_t capacity = kKeyPathSize) {
    char output[kKeyPathSize];
    int32_t result = ExpandPathVariables(input, output, capacity);
    if (result != 0) return "<code " + std::to_string(result) + ">";
    return output;
}

TEST_F(PathVariablesTest, Expansion) {
    struct Case {
        const char* input;
        const char* expected;
        const char* windows = nullptr;  // the Windows folder, when not the default
        const char* user = nullptr;     // the user name, when not the default
    };
    const Case cases[] = {
        {"%system%\\Screen.scr", "C:\\WINDOWS\\system32\\Screen.scr"},
        {"%Temp%\\x.exe", "C:\\WINDOWS\\TEMP\\x.exe"},      // one backslash where they meet
        {"%Temp%\\\\x.exe", "C:\\WINDOWS\\TEMP\\\\x.exe"},  // three become two
        {"%Temp%x.exe", "C:\\WINDOWS\\TEMP\\x.exe"},        // the folder's own is kept
        {"%TEMP%\\", "C:\\WINDOWS\\TEMP\\"},
        {"%Windows%\\win.ini", "D:\\win.ini", "D:\\"},  // a drive root
        {"%Windows%/win.ini", "D:\\/win.ini", "D:\\"},  // only backslashes join
        {"%Windows%\\win.ini", "C:\\WINDOWS\\win.ini"},
        {"%", "%"},
        {"a%", "a%"},
        {"%SystemRoot%", "%SystemRoot%"},
        {"%Sys", "%Sys"},
        {"%%System%", "%C:\\WINDOWS\\system32"},
        {"100%%Temp%", "100%C:\\WINDOWS\\TEMP\\"},
        {"%System%%Temp%", "C:\\WINDOWS\\system32C:\\WINDOWS\\TEMP\\"},
        {"%System%\\%Temp%", "C:\\WINDOWS\\system32\\C:\\WINDOWS\\TEMP\\"},
        {"", ""},
        {"no variables at all", "no variables at all"},
        {"%ProgramFiles%\\App\\app.exe", "C:\\Program Files\\App\\app.exe"},
        {"%ComputerName%-%UserName%", "TESTPC-tester"},
        {"%userid%", "{1234}"},
        // An empty value: the character before the token's place is tested...
        {"a\\%UserName%\\b", "a\\b", nullptr, ""},
        {"a%UserName%\\b", "a\\b", nullptr, ""},
        // ...and at the very start there is nothing to test.
        {"%UserName%\\b", "\\b", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        winsim::SetWindowsDirectory(c.windows != nullptr ? c.windows : "C:\\WINDOWS");
        winsim::SetUserName(c.user != nullptr ? c.user : "tester");
        EXPECT_EQ(Expand(c.input), c.expected);
    }
}

TEST_F(PathVariablesTest, ResolversRunOnEveryOccurrence) {
    winsim::RecordCalls(true);
    EXPECT_EQ(Expand("%System%\\a;%SYSTEM%\\b"),
              "C:\\WINDOWS\\system32\\a;C:\\WINDOWS\\system32\\b");
    EXPECT_EQ(RecordedCallsOf({"GetSystemDirectoryA"}).size(), 2u);
    winsim::ClearRecordedCalls();
    // Values are not cached: a change between two expansions shows.
    EXPECT_EQ(Expand("%UserID%"), "{1234}");
    EXPECT_EQ(Expand("%UserID%"), "{1234}");
    EXPECT_EQ(RecordedCallsOf({"RegQueryValueExA"}).size(), 2u);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(PathVariablesTest, FailingResolversStopTheExpansion) {
    const std::string long_folder(261, 'w');  // one character more than fits 261 bytes
    const std::string longest_folder(260, 'w');
    struct Case {
        const char* label;
        const char* input;
        const char* fail_call;  // injected failure with code 5, or nullptr
        const char* reg;        // registry to load instead of the default one
        const char* system;     // the system folder, when not the default
        const char* expected;
        const char* not_reached = nullptr;  // a resolver's call the expansion must not make
    };
    const Case cases[] = {
        {"missing value", "%UserID%\\%System%", nullptr,
         "REGEDIT4\n[HKEY_CURRENT_USER\\Identities]\n", nullptr, "<code 2>",
         "GetSystemDirectoryA"},  // nothing after the token
        {"missing key", "x%UserID%", nullptr, "REGEDIT4\n", nullptr, "<code 2>"},
        {"missing program folder", "%ProgramFiles%", nullptr, "REGEDIT4\n", nullptr, "<code 2>"},
        {"system folder", "a%System%", "GetSystemDirectoryA", nullptr, nullptr, "<code 5>"},
        {"Windows folder", "%windows%", "GetWindowsDirectoryA", nullptr, nullptr, "<code 5>"},
        {"temporary folder", "%temp%", "GetTempPathA", nullptr, nullptr, "<code 5>"},
        {"computer name", "%ComputerName%", "GetComputerNameA", nullptr, nullptr, "<code 5>"},
        {"user name", "%UserName%", "GetUserNameA", nullptr, nullptr, "<code 5>"},
        {"registry key", "%UserID%", "RegOpenKeyA", nullptr, nullptr, "<code 5>"},
        {"registry value", "%ProgramFiles%", "RegQueryValueExA", nullptr, nullptr, "<code 5>"},
        {"folder too long", "%System%", nullptr, nullptr, long_folder.c_str(), "<code 1359>"},
        {"longest folder", "%System%", nullptr, nullptr, longest_folder.c_str(),
         longest_folder.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(winsim::LoadRegistryText(c.reg != nullptr ? c.reg : kSeed));
        winsim::SetSystemDirectory(c.system != nullptr ? c.system : "C:\\WINDOWS\\system32");
        winsim::ClearFaults();
        if (c.fail_call != nullptr) winsim::FailCall(c.fail_call, ERROR_ACCESS_DENIED);
        winsim::RecordCalls(true);
        winsim::ClearRecordedCalls();
        EXPECT_EQ(Expand(c.input), c.expected);
        if (c.not_reached != nullptr) {
            EXPECT_EQ(RecordedCallsOf({c.not_reached}), std::vector<std::string>{});
        }
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    }
}

TEST_F(PathVariablesTest, FailureWithoutLastErrorIsStillAFailure) {
    winsim::FailCall("GetSystemDirectoryA", 0);  // returns 0, last error 0
    EXPECT_EQ(Expand("%System%"), "<code 1359>");
}

TEST_F(PathVariablesTest, OutputNeverPassesItsCapacity) {
    const std::string text_519(519, 't');
    const std::string text_520(520, 't');
    const std::string folder_260(260, 'f');
    struct Case {
        std::string input;
        size_t capacity;
        bool fits;
    };
    const Case cases[] = {
        {"abc", 4, true},
        {"abc", 3, false},
        {"", 1, true},
        {"", 0, false},
        {text_519, 520, true},
        {text_520, 520, false},
        {"%System%", 20, true},  // "C:\WINDOWS\system32" is 19 characters
        {"%System%", 19, false},
        {"%System%\\", 21, true},  // no backslash of its own to join with
        {"%System%\\", 20, false},
        {"%Temp%\\x", 18, true},  // "C:\WINDOWS\TEMP\" + "x": 17 characters
        {"%Temp%\\x", 17, false},
        {"%Temp%", 17, true},
        {"%Temp%", 16, false},
        {"%System%%System%", 39, true},
        {"%System%%System%", 38, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 20) + " in " + std::to_string(c.capacity));
        // The capacity ends inside a larger buffer whose tail must stay untouched.
        char buffer[600];
        memset(buffer, '#', sizeof buffer);
        int32_t result = ExpandPathVariables(c.input.c_str(), buffer, c.capacity);
        EXPECT_EQ(result, c.fits ? 0 : ERROR_INSUFFICIENT_BUFFER);
        for (size_t i = c.capacity; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], '#') << "written at " << i;
        }
        if (c.fits) {
            EXPECT_LT(strlen(buffer), c.capacity);
        }
    }
    // A 260-character folder fits the 268-byte name buffer alone, not with more text.
    winsim::SetSystemDirectory(folder_260.c_str());
    char name[kNameSize];
    ASSERT_EQ(ExpandPathVariables("%System%\\123456", name, sizeof name), 0);
    EXPECT_EQ(strlen(name), kNameSize - 1);
    EXPECT_EQ(ExpandPathVariables("%System%\\1234567", name, sizeof name),
              ERROR_INSUFFICIENT_BUFFER);
}

}  // namespace
