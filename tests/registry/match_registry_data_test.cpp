// The matcher of the registry rows: text against text, bytes against bytes.
#include "registry/match_registry_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "registry/registry_action.h"

namespace {

TEST(MatchRegistryDataTest, Texts) {
    struct Case {
        uint32_t expected_type;
        const char* expected;
        uint32_t found_type;
        std::string found;  // bytes as returned, terminator included or not
        bool match;
    };
    const Case cases[] = {
        {REG_SZ, "C:\\WINDOWS\\system32\\Screen.scr", REG_SZ,
         std::string("c:\\windows\\SYSTEM32\\screen.SCR\0", 32), true},
        {REG_SZ, "C:\\x", REG_EXPAND_SZ, std::string("C:\\x\0", 5), true},
        {REG_EXPAND_SZ, "C:\\x", REG_SZ, std::string("C:\\x\0", 5), true},
        {REG_SZ, "C:\\x", REG_BINARY, std::string("C:\\x\0", 5), false},
        {REG_SZ, "C:\\x", REG_MULTI_SZ, std::string("C:\\x\0\0", 6), false},
        {REG_SZ, "C:\\x", REG_SZ, std::string(" \t\r\n\v\fC:\\x \t\0", 14), true},
        {REG_SZ, "  C:\\x\t", REG_SZ, std::string("C:\\x\0", 5), true},
        {REG_SZ, "C:\\x", REG_SZ, std::string("\"C:\\x\"\0", 7), false},
        {REG_SZ, "C:\\x", REG_SZ, std::string("C:\\x /s\0", 8), false},
        {REG_SZ, "C:\\x", REG_SZ, std::string("C:\\ x\0", 6), false},
        {REG_SZ, "C:\\x", REG_SZ, std::string("C:\\xy\0", 6), false},
        {REG_SZ, "C:\\xy", REG_SZ, std::string("C:\\x\0", 5), false},
        {REG_SZ, "", REG_SZ, std::string("\0", 1), true},
        {REG_SZ, "", REG_SZ, std::string("   \0", 4), true},
        {REG_SZ, " \t ", REG_SZ, std::string("\0", 1), true},
        {REG_SZ, "", REG_SZ, std::string("a\0", 2), false},
        {REG_SZ, "a", REG_SZ, std::string("  \0", 3), false},
        // Bytes of 128 and above are not white space, and compare exactly.
        {REG_SZ, "C:\\x", REG_SZ, "\xa0" + std::string("C:\\x\0", 5), false},
        {REG_SZ, "\xe9t\xe9", REG_SZ, std::string("\xe9t\xe9\0", 4), true},
        {REG_SZ, "\xe9t\xe9", REG_SZ, std::string("\xc9T\xc9\0", 4), false},
        // Text up to its first NUL; without a NUL, no further than the bytes returned.
        {REG_SZ, "C:\\x", REG_SZ, std::string("C:\\x\0junk", 9), true},
        {REG_SZ, "C:\\x", REG_SZ, std::string("C:\\x", 4), true},
        {REG_SZ, "C:\\x", REG_SZ, std::string("C:\\x  ", 6), true},
        {REG_SZ, "C:\\xy", REG_SZ, std::string("C:\\x", 4), false},
        {REG_SZ, "C:\\x", REG_SZ, std::string(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.expected) + " vs " + c.found);
        // The found bytes sit at the end of an exact-size heap block, so that a
        // read past them shows under AddressSanitizer.
        char* found_bytes = new char[c.found.size() + 1];
        char* found_start = found_bytes + 1;
        memcpy(found_start, c.found.data(), c.found.size());
        const RegistryData expected = {c.expected_type, c.expected, 0};
        const RegistryData found = {c.found_type, found_start,
                                    static_cast<uint32_t>(c.found.size())};
        EXPECT_EQ(MatchRegistryData(&expected, &found), c.match);
        delete[] found_bytes;
    }
}

TEST(MatchRegistryDataTest, RawBytes) {
    const unsigned char bytes[] = {0x01, 0x00, 0xff, 0x7f};
    const unsigned char same[] = {0x01, 0x00, 0xff, 0x7f};
    const unsigned char other[] = {0x01, 0x00, 0xfe, 0x7f};
    struct Case {
        uint32_t expected_length;
        const unsigned char* found;
        uint32_t found_type;
        uint32_t found_length;
        bool match;
    };
    const Case cases[] = {
        {4, same, REG_BINARY, 4, true},
        {4, same, REG_SZ, 4, true},  // the found type is not examined
        {4, other, REG_BINARY, 4, false},
        {4, same, REG_BINARY, 3, false},
        {3, same, REG_BINARY, 4, false},
        {0, other, REG_BINARY, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected_length * 100 + c.found_length);
        const RegistryData expected = {REG_BINARY, bytes, c.expected_length};
        const RegistryData found = {c.found_type, c.found, c.found_length};
        EXPECT_EQ(MatchRegistryData(&expected, &found), c.match);
    }
    const RegistryData dword = {REG_DWORD, bytes, 4};
    const RegistryData found = {REG_DWORD, same, 4};
    EXPECT_TRUE(MatchRegistryData(&dword, &found));
}

}  // namespace
