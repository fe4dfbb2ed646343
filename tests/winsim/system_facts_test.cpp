// The native layer's system information: settable values, Windows' buffer
// rules and injected failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/native_run.h"
#include "support/windows_versions.h"
#include "winsim/test_hooks.h"

namespace {

class SystemFactsTest : public NativeTest {};

TEST_F(SystemFactsTest, FolderCallsReturnLengthOrSizeNeeded) {
    struct Call {
        const char* label;
        UINT (*get)(char*, UINT);
        const char* value;  // the default after Reset
    };
    const Call calls[] = {
        {"windows", [](char* b, UINT n) { return GetWindowsDirectoryA(b, n); }, "C:\\WINDOWS"},
        {"system", [](char* b, UINT n) { return GetSystemDirectoryA(b, n); },
         "C:\\WINDOWS\\system32"},
        {"temp", [](char* b, UINT n) { return static_cast<UINT>(GetTempPathA(n, b)); },
         "C:\\WINDOWS\\TEMP\\"},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.label);
        const UINT length = static_cast<UINT>(strlen(call.value));
        char buffer[64];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(call.get(buffer, length + 1), length);  // exactly enough
        EXPECT_STREQ(buffer, call.value);
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(call.get(buffer, length), length + 1);  // one short: the size needed
        EXPECT_EQ(buffer[0], 'x');                        // and the buffer untouched
    }
}

TEST_F(SystemFactsTest, SetValuesAndTrailingBackslashOfTemp) {
    winsim::SetWindowsDirectory("D:\\");
    winsim::SetSystemDirectory("D:\\SYS");
    winsim::SetTempPath("D:\\T");  // the temporary folder always ends in a backslash
    char buffer[32];
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "D:\\");
    EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 6u);
    EXPECT_STREQ(buffer, "D:\\SYS");
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5u);
    EXPECT_STREQ(buffer, "D:\\T\\");
    winsim::SetTempPath("E:\\");
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 3u);
    EXPECT_STREQ(buffer, "E:\\");
}

TEST_F(SystemFactsTest, NameCallsAndTheirDifferentSizeRules) {
    char buffer[32];
    memset(buffer, 'x', sizeof buffer);
    DWORD size = 6;  // "TESTPC" needs 7
    EXPECT_FALSE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(buffer[0], 'x');
    size = 16;
    EXPECT_TRUE(GetComputerNameA(buffer, &size));
    EXPECT_STREQ(buffer, "TESTPC");
    EXPECT_EQ(size, 6u);  // without the NUL

    winsim::SetUserName("somebody");
    size = 8;
    EXPECT_FALSE(GetUserNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 9u);
    size = 257;
    EXPECT_TRUE(GetUserNameA(buffer, &size));
    EXPECT_STREQ(buffer, "somebody");
    EXPECT_EQ(size, 9u);  // with the NUL
}

TEST_F(SystemFactsTest, InjectedFailuresSetTheLastError) {
    char buffer[300];
    DWORD size = sizeof buffer;
    winsim::FailCall("GetWindowsDirectoryA", 5);
    EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), 5u);
    winsim::FailCall("GetTempPathA", 3);
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 0u);
    EXPECT_EQ(GetLastError(), 3u);
    winsim::FailCall("GetComputerNameA", 87);
    EXPECT_FALSE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), 87u);
    winsim::FailCall("GetUserNameA", 1359);
    EXPECT_FALSE(GetUserNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), 1359u);
}

TEST_F(SystemFactsTest, VersionAndLeadBytes) {
    EXPECT_EQ(GetVersion() & 0x80000000u, 0u);  // the NT family by default
    winsim::SetVersion(kWindows98);
    EXPECT_NE(GetVersion() & 0x80000000u, 0u);
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
    winsim::SetDbcsLeadBytes(0x81, 0x9F);
    EXPECT_TRUE(IsDBCSLeadByte(0x81));
    EXPECT_TRUE(IsDBCSLeadByte(0x9F));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));
    EXPECT_FALSE(IsDBCSLeadByte('\\'));
    winsim::SetDbcsLeadBytes(1, 0);
    EXPECT_FALSE(IsDBCSLeadByte(0x81));
}

}  // namespace
