// Case-insensitive comparison and the last-backslash search, in single- and
// double-byte code pages.
#include "common/text_compare.h"

#include <gtest/gtest.h>

#include "support/native_run.h"

namespace {

class TextCompareTest : public NativeTest {};

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

TEST_F(TextCompareTest, CompareNoCase) {
    struct Case {
        const char* a;
        const char* b;
        size_t n;
        bool double_byte;  // lead bytes 0x81..0x9F
        int sign;
    };
    const Case cases[] = {
        {"%system%", "%System%", 8, false, 0},
        {"HKEY_current_USER\\x", "HKEY_CURRENT_USER", 17, false, 0},  // only n bytes count
        {"%Sys", "%System%", 8, false, -1},         // input that ends early does not match
        {"%SystemRoot%", "%System%", 8, false, 1},  // 'r' after "%System" is not '%'
        {"abc", "abd", 2, false, 0},
        {"abc", "ABD", 3, false, -1},
        {"", "", 5, false, 0},
        {"[", "{", 1, false, -1},                 // only letters fold: '[' is not '{'
        {"a\x81\x61", "A\x81\x41", 3, false, 0},  // single-byte: 0x81 is just a byte
        {"a\x81\x61", "A\x81\x41", 3, true, 1},   // double-byte: "\x81a" is one character
        {"\x81\x41", "\x81\x41", 2, true, 0},
        {"\x81", "\x81", 1, true, 0},  // a lead byte at the limit compares alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b + (c.double_byte ? " (double-byte)" : ""));
        winsim::SetDbcsLeadBytes(c.double_byte ? 0x81 : 1, c.double_byte ? 0x9F : 0);
        EXPECT_EQ(Sign(CompareNoCase(c.a, c.b, c.n)), c.sign);
    }
}

// The last backslash of a registry path, and the folder part of a file path
// (natively cut at '/'), never inside a double-byte character.
TEST_F(TextCompareTest, LastSeparators) {
    struct Case {
        const char* text;
        bool double_byte;
        int backslash;  // position of the last backslash, -1: none
        size_t folder;  // FolderLength
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Run", false, 26, 0},
        {"HKEY_CURRENT_USER\\K\\", false, 19, 0},
        {"HKEY_CURRENT_USER", false, -1, 0},
        {"", false, -1, 0},
        {"A\\B\x81\\", false, 4, 0},  // single-byte: 0x5C after 0x81 is a backslash
        {"A\\B\x81\\", true, 1, 0},   // double-byte: it is the second byte of a character
        {"A\\B\x81\\C\\D", true, 6, 0},
        {"A\\\x81", true, 1, 0},  // a lead byte before the NUL ends the text
        {"/tmp/x/fix_tamrix.exe", false, -1, 7},
        {"a/b\x81/c", false, -1, 5},
        {"a/b\x81/c", true, -1, 2},  // the trail byte is no separator
        {"fix_tamrix.exe", false, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        winsim::SetDbcsLeadBytes(c.double_byte ? 0x81 : 1, c.double_byte ? 0x9F : 0);
        const char* found = FindLastBackslash(c.text);
        EXPECT_EQ(found == nullptr ? -1 : static_cast<int>(found - c.text), c.backslash);
        EXPECT_EQ(FolderLength(c.text), c.folder);
    }
}

}  // namespace
