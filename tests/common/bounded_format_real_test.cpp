// Bounded formatted writes with whichever C runtime the build links (the
// system's msvcrt in the Windows builds, run under Wine): every cut text is
// terminated inside its buffer, and the program's own bounded writes hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/bounded_format.h"
#include "log/error_report.h"
#include "log/log_file.h"
#include "platform/platform.h"

namespace {

TEST(BoundedFormatRealTest, CutTextsStayTerminatedInsideTheBuffer) {
    struct Case {
        size_t size;
        const char* text;
        int result;
        const char* written;
    };
    const Case cases[] = {
        {8, "abc", 3, "abc"},
        {8, "abcdefg", 7, "abcdefg"},    // the terminator just fits
        {8, "abcdefgh", -1, "abcdefg"},  // only the terminator does not fit
        {8, "abcdefghijklmnop", -1, "abcdefg"},
        {1, "a", -1, ""},
        {1, "", 0, ""},
        {2, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.size));
        char area[32];
        memset(area, '#', sizeof area);
        EXPECT_EQ(FormatBounded(area, c.size, "%s", c.text), c.result);
        EXPECT_EQ(std::string(area, strnlen(area, sizeof area)), c.written);
        for (size_t i = c.size; i < sizeof area; ++i) ASSERT_EQ(area[i], '#') << "byte " << i;
    }
    char untouched = '#';
    EXPECT_EQ(FormatBounded(&untouched, 0, "%s", "x"), -1);
    EXPECT_EQ(untouched, '#');
}

TEST(BoundedFormatRealTest, FormatsAsTheProgramUsesThem) {
    // "%lu" of the largest code, "%02x" pairs, "%s%s" of the log file name.
    char text[16];
    EXPECT_EQ(FormatBounded(text, sizeof text, "%lu", 4294967295ul), 10);
    EXPECT_STREQ(text, "4294967295");
    EXPECT_EQ(FormatBounded(text, 6, "%lu", 4294967295ul), -1);
    EXPECT_STREQ(text, "42949");
    EXPECT_EQ(FormatBounded(text, sizeof text, ",%02x", 0x0au), 3);
    EXPECT_STREQ(text, ",0a");
    EXPECT_EQ(FormatBounded(text, 3, ",%02x", 0xffu), -1);
    EXPECT_STREQ(text, ",f");
    EXPECT_EQ(FormatBounded(text, 15, "%s%s", "fix_tamrix", ".log"), 14);
    EXPECT_STREQ(text, "fix_tamrix.log");
    EXPECT_EQ(FormatBounded(text, 14, "%s%s", "fix_tamrix", ".log"), -1);
    EXPECT_STREQ(text, "fix_tamrix.lo");
}

TEST(BoundedFormatRealTest, FallbackErrorTextIsTheCodesDigits) {
    // Bit 29 marks codes of applications: the system has no text for them.
    const int32_t codes[] = {0x2000abcd, -1};
    const char* expected[] = {"536914893", "4294967295"};
    for (size_t i = 0; i < 2; ++i) {
        char* text = SystemErrorText(codes[i]);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, expected[i]);
        FreeSystemErrorText(text);
    }
}

TEST(BoundedFormatRealTest, DefaultLogPathBesideTheProgram) {
    char module[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
    module[length] = '\0';
    std::string folder = module;
    folder.erase(folder.find_last_of(kPathSeparator) + 1);

    ResetLogForTests();
    testing::internal::CaptureStdout();
    LogOpen("fix_tamrix");
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_NE(LogName(), nullptr);
    const std::string path = LogName()->shown;
    EXPECT_TRUE(LogIsOpen()) << printed;
    ResetLogForTests();
    remove(path.c_str());
    EXPECT_EQ(path, folder + "fix_tamrix.log");
}

}  // namespace
