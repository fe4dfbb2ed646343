// Registry paths against a real registry (Wine's, in the win32 and win64
// builds) and the native one alike: opening by full path, deleting values and
// key trees.
#include <gtest/gtest.h>

#include <string>

#include "registry/path_variables.h"
#include "registry/registry_delete.h"
#include "registry/registry_limits.h"
#include "registry/registry_path.h"
#include "support/registry_sandbox.h"

namespace {

class RegistryPathRealTest : public testing::Test {
  protected:
    std::string Sub(const std::string& below) const { return sandbox_.Sub(below); }
    const Sandbox sandbox_{"paths"};
    const std::string& path_ = sandbox_.path;
    const std::string& sub_key_ = sandbox_.sub_key;
};

TEST_F(RegistryPathRealTest, OpensByFullPath) {
    ASSERT_TRUE(SetTextForTest(Sub("Target"), "Marker", "target"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Marker", "sandbox"));
    const std::string tail = path_.substr(std::string("HKEY_CURRENT_USER").size());
    struct Case {
        std::string path;
        LONG result;
        const char* marker;
    };
    const Case cases[] = {
        {path_ + "\\Target", 0, "target"},
        {"hkey_current_user" + tail + "\\TARGET", 0, "target"},
        {" \t " + path_ + "\\Target", 0, "target"},
        {path_ + "\\Target\\", 0, "target"},
        {path_, 0, "sandbox"},
        {path_ + "\\Missing", ERROR_FILE_NOT_FOUND, nullptr},
        {"HKEY_CURRENT_USERS" + tail, ERROR_BADKEY, nullptr},
        {"HKEY_USER" + tail, ERROR_BADKEY, nullptr},
        {"HKCU" + tail, ERROR_BADKEY, nullptr},
        {"HKEY_CURRENT_USER", ERROR_BADKEY, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        HKEY key = nullptr;
        EXPECT_EQ(OpenRegistryPath(c.path.c_str(), &key), c.result);
        if (c.result == 0) {
            EXPECT_EQ(MarkerOf(key), c.marker);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
    }
    HKEY key = nullptr;
    EXPECT_EQ(OpenRegistryPath("HKEY_CURRENT_USER\\", &key), 0);
    EXPECT_EQ(key, HKEY_CURRENT_USER);
}

TEST_F(RegistryPathRealTest, DeletesValues) {
    ASSERT_TRUE(SetTextForTest(sub_key_, "", "default"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Screen", "1"));
    ASSERT_TRUE(SetTextForTest(sub_key_, "Other", "2"));
    EXPECT_EQ(DeleteRegistryItem(path_.c_str(), "SCREEN"), 0);
    EXPECT_EQ(DeleteRegistryItem(path_.c_str(), "Screen"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteRegistryItem((path_ + "\\").c_str(), ""), 0);
    EXPECT_EQ(DeleteRegistryItem(path_.c_str(), ""), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Missing").c_str(), "Other"), ERROR_FILE_NOT_FOUND);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, sub_key_.c_str(), &key), ERROR_SUCCESS);
    DWORD values = 0;
    EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);  // only "Other" is left
    RegCloseKey(key);
}

TEST_F(RegistryPathRealTest, DeletesWholeTrees) {
    for (const char* a : {"A1", "A2", "A3"}) {
        for (const char* b : {"B1", "B2", "B3"}) {
            for (const char* c : {"C1", "C2"}) {
                std::string key = std::string("Tree\\") + a + "\\" + b + "\\" + c;
                ASSERT_TRUE(SetTextForTest(Sub(key), "v", "x"));
            }
            ASSERT_TRUE(SetTextForTest(Sub(std::string("Tree\\") + a + "\\" + b), "", "d"));
        }
    }
    ASSERT_TRUE(CreateKeyForTest(Sub("Sibling\\Kept")));
    ASSERT_TRUE(CreateKeyForTest(Sub("Slash\\One\\Two")));

    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Tree").c_str(), nullptr), 0);
    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Slash\\").c_str(), nullptr), 0);
    EXPECT_EQ(SubkeyNamesForTest(sub_key_), "Sibling");
    EXPECT_EQ(SubkeyNamesForTest(Sub("Sibling")), "Kept");
    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Tree").c_str(), nullptr), ERROR_FILE_NOT_FOUND);
}

// Subkeys named like path variables, beside the keys their values would
// name: a deletion goes by the names it finds, never by their expansion, and
// only the caller's own path is expanded, once.
TEST_F(RegistryPathRealTest, FoundNamesAreNeverExpanded) {
    std::string besides[3];
    const char* const tokens[] = {"%UserName%", "%Temp%", "%System%"};
    for (int i = 0; i < 3; ++i) {
        char value[kKeyPathSize];
        ASSERT_EQ(ExpandPathVariables(tokens[i], value, sizeof value), 0);
        besides[i] = value;
        if (besides[i].back() == '\\') besides[i].pop_back();  // the temporary folder's
    }
    for (const char* tree : {"Doomed", "Kept"}) {
        for (int i = 0; i < 3; ++i) {
            for (const std::string& name : {std::string(tokens[i]), besides[i]}) {
                const std::string key = Sub(std::string(tree) + "\\" + name + "\\Inner");
                ASSERT_TRUE(SetTextForTest(key, "Marker", name));
            }
        }
    }
    ASSERT_TRUE(CreateKeyForTest(Sub("Doomed\\%UserID%\\Inner")));  // may not expand at all

    // The caller's path names <user>: that tree goes, the literal one stays.
    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Kept\\%UserName%").c_str(), nullptr), 0);
    EXPECT_FALSE(KeyExistsForTest(Sub("Kept\\" + besides[0])));
    EXPECT_TRUE(KeyExistsForTest(Sub("Kept\\%UserName%\\Inner")));

    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Doomed").c_str(), nullptr), 0);
    EXPECT_EQ(SubkeyNamesForTest(sub_key_), "Kept");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(tokens[i]);
        EXPECT_TRUE(KeyExistsForTest(Sub(std::string("Kept\\") + tokens[i] + "\\Inner")));
        if (i > 0) {
            EXPECT_TRUE(KeyExistsForTest(Sub("Kept\\" + besides[i] + "\\Inner")));
        }
    }
}

// "\uFF33ub" reads as "Sub" through the A calls of code page 1252; opened by
// that spelling it would be its sibling. The deletion stops at the
// look-alike with 1113, having deleted only the subtrees it met before it
// (Wine and the native registry both enumerate "A" before "B" and "Sub"
// before the look-alike, and the walk goes from the last index down).
TEST_F(RegistryPathRealTest, LookAlikeSubkeyNamesAreNotOpened) {
    ASSERT_TRUE(SetTextForTest(Sub("Doomed\\A\\Sub\\Kept"), "Marker", "plain"));
    ASSERT_TRUE(CreateWideKeyForTest(Sub("Doomed\\A"), u"\uFF33ub\\Inner"));
    ASSERT_TRUE(SetTextForTest(Sub("Doomed\\B\\B1"), "v", "x"));
    ASSERT_TRUE(SetTextForTest(Sub("Beside\\Sub"), "Marker", "beside"));
    EXPECT_EQ(SubkeyNamesForTest(Sub("Doomed\\A")), "Sub Sub") << "both read alike";

    EXPECT_EQ(DeleteRegistryItem((path_ + "\\Doomed").c_str(), nullptr),
              ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(SubkeyNamesForTest(Sub("Doomed")), "A");
    EXPECT_EQ(SubkeyNamesForTest(Sub("Doomed\\A")), "Sub Sub");
    EXPECT_EQ(SubkeyNamesForTest(Sub("Doomed\\A\\Sub")), "Kept");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, Sub("Doomed\\A\\Sub\\Kept").c_str(), &key),
              ERROR_SUCCESS);
    EXPECT_EQ(MarkerOf(key), "plain");
    RegCloseKey(key);
    EXPECT_EQ(SubkeyNamesForTest(Sub("Beside")), "Sub");
}

TEST_F(RegistryPathRealTest, RefusesRoots) {
    for (const char* root : {"HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER", " hkey_current_user\\"}) {
        SCOPED_TRACE(root);
        EXPECT_EQ(DeleteRegistryItem(root, nullptr), ERROR_BADKEY);
        EXPECT_TRUE(KeyExistsForTest(sub_key_));
    }
}

}  // namespace
