// Path variables against the real system (Wine's, in the win32 and win64
// builds) and the native layer alike: each value is what the system call
// gives, joined as the expansion promises, and ReadRegistryString keeps inside
// its 261 bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "registry/path_resolvers.h"
#include "registry/path_variables.h"
#include "registry/registry_limits.h"
#include "support/registry_sandbox.h"

namespace {

std::string Expand(const char* input) {
    char output[kKeyPathSize];
    int32_t result = ExpandPathVariables(input, output, sizeof output);
    if (result != 0) return "<code " + std::to_string(result) + ">";
    return output;
}

TEST(PathVariablesRealTest, ValuesComeFromTheSystem) {
    char windows[MAX_PATH + 1];
    char system[MAX_PATH + 1];
    char temp[MAX_PATH + 1];
    char computer[32];
    char user[300];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    ASSERT_GT(GetSystemDirectoryA(system, sizeof system), 0u);
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    DWORD size = sizeof computer;
    ASSERT_TRUE(GetComputerNameA(computer, &size));
    size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    const std::string t = temp;
    ASSERT_EQ(t.back(), '\\');  // the temporary folder always ends in one

    EXPECT_EQ(Expand("%System%\\Screen.scr"), std::string(system) + "\\Screen.scr");
    EXPECT_EQ(Expand("%WINDOWS%"), windows);
    EXPECT_EQ(Expand("%Temp%\\x.tmp"), t + "x.tmp");
    EXPECT_EQ(Expand("%Temp%x.tmp"), t + "x.tmp");
    EXPECT_EQ(Expand("%Temp%\\\\x.tmp"), t + "\\x.tmp");
    EXPECT_EQ(Expand("%ComputerName%/%UserName%"), std::string(computer) + "/" + user);
    EXPECT_EQ(Expand("%SystemRoot%"), "%SystemRoot%");
}

class ReadRegistryStringRealTest : public testing::Test {
  protected:
    const Sandbox sandbox_{"strings"};
    const std::string& path_ = sandbox_.path;
    const std::string& sub_key_ = sandbox_.sub_key;
};

TEST_F(ReadRegistryStringRealTest, StaysInside261Bytes) {
    const std::string a260(260, 'a');
    struct Case {
        const char* name;
        DWORD type;
        std::string data;
        int32_t result;
        std::string text;
    };
    const Case cases[] = {
        {"text", REG_SZ, std::string("C:\\Program Files\0", 17), 0, "C:\\Program Files"},
        {"longest text", REG_SZ, a260 + '\0', 0, a260},
        {"text too long", REG_SZ, a260 + "b" + '\0', ERROR_MORE_DATA, ""},
        {"bytes without NUL", REG_BINARY, a260, 0, a260},
        {"bytes that fill it", REG_BINARY, a260 + "b", ERROR_MORE_DATA, ""},
        {"a dword", REG_DWORD, std::string("AB\0\0", 4), 0, "AB"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetValueForTest(sub_key_, c.name, c.type, c.data));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[300];
        memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(ReadRegistryString(path_.c_str(), c.name, buffer), c.result);
        for (size_t i = kFolderSize; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '#') << i;
        if (c.result == 0) {
            EXPECT_EQ(std::string(buffer), c.text);
        }
    }
    char buffer[kFolderSize];
    EXPECT_EQ(ReadRegistryString(path_.c_str(), "missing", buffer), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadRegistryString((path_ + "\\missing").c_str(), "x", buffer), ERROR_FILE_NOT_FOUND);
}

}  // namespace
