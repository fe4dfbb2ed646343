// The registry calls' results and buffer rules, as the program relies on them.
// Built natively against the native layer and for win32 and win64 against
// Wine's real registry, so the two cannot drift apart.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "support/registry_sandbox.h"

namespace {

class RegistryCallsTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, sub_key_.c_str(), &sandbox_), ERROR_SUCCESS);
    }
    void TearDown() override { RegCloseKey(sandbox_); }
    std::string Sub(const char* below) const { return box_.Sub(below); }

    const Sandbox box_{"calls"};
    const std::string& sub_key_ = box_.sub_key;
    HKEY sandbox_ = nullptr;  // the sandbox key, open
};

const HKEY kUnset = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));

TEST_F(RegistryCallsTest, OpeningKeys) {
    ASSERT_TRUE(CreateKeyForTest(Sub("Alpha\\Beta")));
    struct Case {
        const char* sub_key;
        LONG result;
    };
    const Case cases[] = {
        {"Alpha", ERROR_SUCCESS},
        {"alpha\\BETA", ERROR_SUCCESS},    // names compare without regard to case
        {"Alpha\\Beta\\", ERROR_SUCCESS},  // a trailing backslash is accepted
        {"\\Alpha", ERROR_BAD_PATHNAME},   // a leading one is not
        {"Missing", ERROR_FILE_NOT_FOUND},
        {"Alpha\\Missing", ERROR_FILE_NOT_FOUND},
        {"Alph", ERROR_FILE_NOT_FOUND},    // no prefix matching
        {"Alpha\\\\Beta", ERROR_SUCCESS},  // Wine skips the empty name between two
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sub_key);
        HKEY key = kUnset;
        EXPECT_EQ(RegOpenKeyA(sandbox_, c.sub_key, &key), c.result);
        if (c.result == ERROR_SUCCESS) {
            EXPECT_NE(key, kUnset);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        } else {
            EXPECT_EQ(key, nullptr);  // a failed open clears the handle
        }
    }
}

TEST_F(RegistryCallsTest, KeyNamesUpTo255Characters) {
    const std::string longest(255, 'n');
    const std::string too_long(256, 'n');
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(sandbox_, longest.c_str(), &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyA(sandbox_, longest.c_str(), &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
#ifndef _WIN32
    // Windows refuses longer names; Wine creates them.
    EXPECT_EQ(RegCreateKeyA(sandbox_, too_long.c_str(), &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyA(sandbox_, too_long.c_str(), &key), ERROR_FILE_NOT_FOUND);
#endif
}

TEST_F(RegistryCallsTest, EmptySubkey) {
    for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(empty == nullptr ? "NULL" : "\"\"");
        HKEY key = kUnset;
        EXPECT_EQ(RegOpenKeyA(sandbox_, empty, &key), ERROR_SUCCESS);
        EXPECT_EQ(key, sandbox_);  // the same handle
        key = kUnset;
        EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, empty, &key), ERROR_SUCCESS);
        EXPECT_EQ(key, HKEY_CURRENT_USER);
        // RegCreateKeyA opens a new handle on the same key, even on a root.
        for (HKEY parent : {sandbox_, HKEY_CURRENT_USER}) {
            key = kUnset;
            EXPECT_EQ(RegCreateKeyA(parent, empty, &key), ERROR_SUCCESS);
            EXPECT_NE(key, parent);
            ASSERT_NE(key, kUnset);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
    }
    // Closing a predefined root is harmless, and it stays usable.
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, sub_key_.c_str(), &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryCallsTest, ClosedHandlesAreInvalid) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(sandbox_, "Gamma", &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryCallsTest, QueryingValues) {
    ASSERT_TRUE(SetTextForTest(sub_key_, "Text", "abc"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "", "default"));
    DWORD type = 0;
    DWORD size = 0;
    // No buffer: the size and type only.
    EXPECT_EQ(RegQueryValueExA(sandbox_, "text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);
    // Too small: 234 and the size needed.
    BYTE data[16];
    memset(data, 'x', sizeof data);
    size = 3;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Text", nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Text", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_STREQ(reinterpret_cast<char*>(data), "abc");
    // NULL and "" both name the default value.
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        size = sizeof data;
        EXPECT_EQ(RegQueryValueExA(sandbox_, name, nullptr, &type, data, &size), ERROR_SUCCESS);
        EXPECT_STREQ(reinterpret_cast<char*>(data), "default");
    }
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Missing", nullptr, &type, data, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryCallsTest, TextWithoutTerminator) {
    // Stored without NUL: the size given leaves it out and no NUL follows.
    const BYTE bare[] = {'a', 'b', 'c', 'd'};
    ASSERT_EQ(RegSetValueExA(sandbox_, "Bare", 0, REG_SZ, bare, 3), ERROR_SUCCESS);
    // The byte after the counted ones is a NUL: it is stored too.
    ASSERT_EQ(RegSetValueExA(sandbox_, "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("xyz"), 3),
              ERROR_SUCCESS);
    BYTE data[8];
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Kept", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);

    memset(data, 'x', sizeof data);
    size = 3;  // exactly the stored size: nothing more is written
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Bare", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), "abcx");

    memset(data, 'x', sizeof data);
    size = sizeof data;  // a spare byte gets a NUL, the size stays the stored one
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Bare", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 5), std::string("abc\0x", 5));

    // Binary data gets no NUL.
    ASSERT_EQ(RegSetValueExA(sandbox_, "Raw", 0, REG_BINARY, bare, 3), ERROR_SUCCESS);
    memset(data, 'x', sizeof data);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Raw", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), "abcx");
}

// `reg import` ends text in hex with a NUL when it has none, so 268 bytes of
// such text read into 268 bytes give 234; the same bytes set through the
// call are stored as they are and fit.
TEST_F(RegistryCallsTest, ImportedTextGetsItsTerminator) {
    std::string hex;
    for (int i = 0; i < 268; ++i) hex += i == 0 ? "61" : ",61";
    ASSERT_TRUE(ImportForTest("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + sub_key_ +
                              "]\r\n\"Imported\"=hex(1):" + hex + "\r\n"));
    BYTE text[269];
    memset(text, 'a', sizeof text);  // no NUL after the 268 counted bytes
    ASSERT_EQ(RegSetValueExA(sandbox_, "Set", 0, REG_SZ, text, 268), ERROR_SUCCESS);
    BYTE data[268];
    DWORD size = sizeof data;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Imported", nullptr, &type, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 269u);
    EXPECT_EQ(type, REG_SZ);
    size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(sandbox_, "Set", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 268u);
    EXPECT_EQ(memcmp(data, text, sizeof data), 0);
}

TEST_F(RegistryCallsTest, EnumeratingValues) {
    ASSERT_TRUE(SetTextForTest(sub_key_, "Zulu", "1"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Alpha", "22"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Mike", "333"));
    // Windows enumerates values in creation order; Wine keeps them sorted by
    // name. Only the native layer is held to the order.
    std::string order;
    DWORD mike = 0;
    for (DWORD i = 0; i < 3; ++i) {
        char name[16];
        DWORD capacity = sizeof name;
        BYTE data[16];
        DWORD size = sizeof data;
        DWORD type = 0;
        ASSERT_EQ(RegEnumValueA(sandbox_, i, name, &capacity, nullptr, &type, data, &size),
                  ERROR_SUCCESS);
        SCOPED_TRACE(name);
        order += std::string(order.empty() ? "" : " ") + name;
        EXPECT_EQ(capacity, strlen(name));
        EXPECT_EQ(type, REG_SZ);
        EXPECT_EQ(size, std::string(name) == "Zulu" ? 2u : std::string(name) == "Alpha" ? 3u : 4u);
        if (std::string(name) == "Mike") mike = i;
    }
#ifdef _WIN32
    EXPECT_TRUE(order == "Zulu Alpha Mike" || order == "Alpha Mike Zulu") << order;
#else
    EXPECT_EQ(order, "Zulu Alpha Mike");
#endif
    char name[16];
    DWORD capacity = sizeof name;
    EXPECT_EQ(RegEnumValueA(sandbox_, 3, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    // The name does not fit (its NUL counts): 234, the capacity as passed.
    capacity = 4;
    EXPECT_EQ(RegEnumValueA(sandbox_, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(capacity, 4u);
    capacity = 0;
    EXPECT_EQ(RegEnumValueA(sandbox_, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(capacity, 0u);

    // The data does not fit: 234 with the type and the size needed.
    BYTE data[2];
    DWORD size = sizeof data;
    DWORD type = 0;
    capacity = sizeof name;
    EXPECT_EQ(RegEnumValueA(sandbox_, mike, name, &capacity, nullptr, &type, data, &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);
}

TEST_F(RegistryCallsTest, EnumeratingAndCountingSubkeys) {
    for (const char* name : {"One", "Two", "Three"}) ASSERT_TRUE(CreateKeyForTest(Sub(name)));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Value", "v"));
    DWORD subkeys = 0;
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyA(sandbox_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(values, 1u);
    ASSERT_TRUE(SetTextForTest(sub_key_, "", "default"));  // the default value counts once set
    EXPECT_EQ(RegQueryInfoKeyA(sandbox_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 2u);

    EXPECT_EQ(SubkeyNamesForTest(sub_key_), "One Three Two");
    char name[8];
    EXPECT_EQ(RegEnumKeyA(sandbox_, 3, name, sizeof name), ERROR_NO_MORE_ITEMS);
    // Capacity in characters with the NUL: "Three" needs 6.
    for (DWORD i = 0; i < 3; ++i) {
        char small[5];
        LONG result = RegEnumKeyA(sandbox_, i, small, sizeof small);
        char whole[8];
        ASSERT_EQ(RegEnumKeyA(sandbox_, i, whole, sizeof whole), ERROR_SUCCESS);
        SCOPED_TRACE(whole);
        EXPECT_EQ(result, strlen(whole) < sizeof small ? ERROR_SUCCESS : ERROR_MORE_DATA);
    }
}

TEST_F(RegistryCallsTest, DeletingValuesAndKeys) {
    ASSERT_TRUE(SetTextForTest(sub_key_, "", "default"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Named", "x"));
    EXPECT_EQ(RegDeleteValueA(sandbox_, ""), ERROR_SUCCESS);  // the default value
    EXPECT_EQ(RegDeleteValueA(sandbox_, ""), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(sandbox_, "NAMED"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(sandbox_, "Named"), ERROR_FILE_NOT_FOUND);

    ASSERT_TRUE(CreateKeyForTest(Sub("Parent\\Child")));
    EXPECT_EQ(RegDeleteKeyA(sandbox_, "Parent"), ERROR_ACCESS_DENIED);  // it has a subkey
    EXPECT_EQ(RegDeleteKeyA(sandbox_, "Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(sandbox_, "Parent\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(sandbox_, "parent"), ERROR_SUCCESS);
    EXPECT_EQ(SubkeyNamesForTest(sub_key_), "");
}

TEST_F(RegistryCallsTest, HandlesOfDeletedKeys) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(sandbox_, "Doomed", &key), ERROR_SUCCESS);
    ASSERT_TRUE(SetTextForTest(Sub("Doomed"), "Value", "v"));
    ASSERT_EQ(RegDeleteKeyA(sandbox_, "Doomed"), ERROR_SUCCESS);
    DWORD size = 0;
    DWORD count = 0;
    char name[16];
    DWORD capacity = sizeof name;
    HKEY child = nullptr;
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegEnumValueA(key, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCreateKeyA(key, "Below", &child), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);  // closing still works
    EXPECT_FALSE(KeyExistsForTest(Sub("Doomed")));
}

}  // namespace
