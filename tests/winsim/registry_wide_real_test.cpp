// Text stored in UTF-16 as the A and W calls read it back, and the ANSI code
// page's conversion to UTF-16. Built natively against the native layer and for
// win32 and win64 against Wine's real registry, so the two cannot drift apart.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/registry_sandbox.h"

namespace {

LPCWSTR Wide(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

std::u16string Units(const void* bytes, size_t size) {
    return std::u16string(static_cast<const char16_t*>(bytes), size / sizeof(char16_t));
}

class RegistryWideTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, sub_key_.c_str(), &sandbox_), ERROR_SUCCESS);
    }
    void TearDown() override { RegCloseKey(sandbox_); }

    const Sandbox box_{"wide"};
    const std::string& sub_key_ = box_.sub_key;
    HKEY sandbox_ = nullptr;  // the sandbox key, open
};

TEST_F(RegistryWideTest, ACallsReadBackBestFits) {
    struct Case {
        const char16_t* stored;
        const char* read;  // what the A calls give, NUL included
    };
    const Case cases[] = {
        {u"\uFF33\uFF43\uFF52", "Scr"},         // full-width forms: their ASCII letters
        {u"\u015A\u0113\u0130\u0142", "SeIl"},  // Latin letters without their diacritics
        {u"\u0152\u0161\u20AC\u2122", "\x8C\x9A\x80\x99"},  // the code page's own high letters
        {u"\u00E8\u00FF", "\xE8\xFF"},                      // Latin-1 as it stands
        {u"\u4E00\u0080\u0411", "???"},                     // nothing fits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read);
        const std::u16string stored = c.stored;
        ASSERT_TRUE(SetWideTextForTest(sub_key_, u"v", REG_SZ, stored));
        char data[32] = {};
        DWORD size = sizeof data;
        DWORD type = 0;
        ASSERT_EQ(
            RegQueryValueExA(sandbox_, "v", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(std::string(data, size), std::string(c.read, strlen(c.read) + 1));

        // The W call gives the stored text unchanged.
        BYTE wide[64] = {};
        size = sizeof wide;
        ASSERT_EQ(RegQueryValueExW(sandbox_, Wide(u"V"), nullptr, &type, wide, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(Units(wide, size), stored + u'\0');
    }
}

TEST_F(RegistryWideTest, ValuesAreFoundByTheirWideNames) {
    ASSERT_TRUE(SetWideTextForTest(sub_key_, u"\uFF53creen", REG_SZ, u"look-alike"));

    // The A enumeration shows the name with its best fits, but no A call
    // finds the value by that name: it widens to another one.
    char name[32];
    DWORD capacity = sizeof name;
    ASSERT_EQ(RegEnumValueA(sandbox_, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "screen");
    EXPECT_EQ(RegQueryValueExA(sandbox_, "screen", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(sandbox_, "screen"), ERROR_FILE_NOT_FOUND);

    // The W calls find and name it as stored, without regard to ASCII case.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(sandbox_, Wide(u"\uFF53CREEN"), nullptr, nullptr, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof u"look-alike");
    WCHAR wide_name[16];
    capacity = 16;
    BYTE data[64];
    size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(RegEnumValueW(sandbox_, 0, wide_name, &capacity, nullptr, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(capacity, 6u) << "the length without the NUL";
    EXPECT_EQ(Units(wide_name, capacity * sizeof(WCHAR)), u"\uFF53creen");
    EXPECT_EQ(Units(data, size), std::u16string(u"look-alike") + u'\0');

    // Buffers too small: 234, as the A calls answer.
    capacity = 6;  // the name needs 7 with its NUL
    size = sizeof data;
    EXPECT_EQ(RegEnumValueW(sandbox_, 0, wide_name, &capacity, nullptr, &type, data, &size),
              ERROR_MORE_DATA);
    capacity = 16;
    EXPECT_EQ(RegEnumValueW(sandbox_, 1, wide_name, &capacity, nullptr, &type, data, &size),
              ERROR_NO_MORE_ITEMS);

    // Text the A calls stored reads back widened through the code page.
    ASSERT_TRUE(SetTextForTest(sub_key_, "plain", "x\xE9\x80"));
    size = sizeof data;
    ASSERT_EQ(RegQueryValueExW(sandbox_, Wide(u"PLAIN"), nullptr, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(Units(data, size), std::u16string(u"x\u00E9\u20AC") + u'\0');
    size = 4;
    EXPECT_EQ(RegQueryValueExW(sandbox_, Wide(u"plain"), nullptr, &type, data, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u) << "the size needed";
}

TEST_F(RegistryWideTest, KeysAreFoundByTheirWideNames) {
    ASSERT_TRUE(SetTextForTest(sub_key_ + "\\Sub", "Marker", "plain"));
    ASSERT_TRUE(CreateWideKeyForTest(sub_key_, u"\uFF33ub"));

    // The A enumeration gives both names alike; the A calls open the plain one.
    EXPECT_EQ(SubkeyNamesForTest(sub_key_), "Sub Sub");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(sandbox_, "Sub", &key), ERROR_SUCCESS);
    EXPECT_EQ(MarkerOf(key), "plain");
    RegCloseKey(key);

    // The W enumeration names each as stored, at the index the A one gives.
    WCHAR name[8];
    char narrow[8];
    std::u16string seen;
    for (DWORD i = 0; i < 2; ++i) {
        ASSERT_EQ(RegEnumKeyW(sandbox_, i, name, 8), ERROR_SUCCESS);
        ASSERT_EQ(RegEnumKeyA(sandbox_, i, narrow, sizeof narrow), ERROR_SUCCESS);
        EXPECT_STREQ(narrow, "Sub");
        seen += std::u16string(reinterpret_cast<const char16_t*>(name)) + u" ";
    }
    EXPECT_TRUE(seen == u"Sub \uFF33ub " || seen == u"\uFF33ub Sub ");
    EXPECT_EQ(RegEnumKeyW(sandbox_, 0, name, 3), ERROR_MORE_DATA) << "4 units with the NUL";
    EXPECT_EQ(RegEnumKeyW(sandbox_, 2, name, 8), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryWideTest, AnsiTextWidensThroughTheCodePage) {
    WCHAR wide[8] = {};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "x\xE9\x80", -1, wide, 8), 4) << "NUL included";
    EXPECT_EQ(Units(wide, 4 * sizeof(WCHAR)), std::u16string(u"x\u00E9\u20AC") + u'\0');
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 2, wide, 8), 2) << "a length without NUL";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4) << "the units needed";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
