// Registry paths on the native layer: parsing and opening, and deleting
// values and key trees, checked call by call and under injected failures.
#include "registry/registry_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "registry/registry_delete.h"
#include "registry/registry_limits.h"
#include "support/native_run.h"
#include "support/recorded_calls.h"
#include "support/registry_builders.h"
#include "support/registry_sandbox.h"
#include "support/windows_versions.h"

namespace {

class RegistryPathTest : public NativeTest {};

TEST_F(RegistryPathTest, OpenRegistryPath) {
    ASSERT_TRUE(winsim::LoadRegistryText(
        "REGEDIT4\n"
        "[HKEY_CURRENT_USER]\n\"Marker\"=\"user root\"\n"
        "[HKEY_CURRENT_USER\\Software\\Target]\n\"Marker\"=\"user target\"\n"
        "[HKEY_CURRENT_USER\\Software\\tester]\n\"Marker\"=\"user name\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Target]\n\"Marker\"=\"machine target\"\n"
        "[HKEY_USERS\\Target]\n\"Marker\"=\"users target\"\n"
        "[HKEY_CLASSES_ROOT\\Target]\n\"Marker\"=\"classes target\"\n"));
    const std::string too_long = "HKEY_CURRENT_USER\\" + std::string(kKeyPathSize, 'k');
    struct Case {
        std::string path;
        int32_t result;
        const char* marker;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Target", 0, "user target"},
        {"hkey_current_user\\software\\target", 0, "user target"},
        {" \t  HKEY_CURRENT_USER\\Software\\Target", 0, "user target"},
        {"HKEY_CURRENT_USER\\Software\\Target\\", 0, "user target"},
        {"HKEY_CURRENT_USER\\", 0, "user root"},  // an empty subkey opens the root
        {"HKEY_LOCAL_MACHINE\\Software\\Target", 0, "machine target"},
        {"HKEY_USERS\\Target", 0, "users target"},
        {"Hkey_Classes_Root\\Target", 0, "classes target"},
        {"HKEY_CURRENT_USER\\Software\\%UserName%", 0, "user name"},
        {"HKEY_CURRENT_USER\\Software\\Missing", ERROR_FILE_NOT_FOUND, nullptr},
        {"HKEY_CURRENT_USER\\\\Software", ERROR_BAD_PATHNAME, nullptr},
        {"HKEY_CURRENT_USER", ERROR_BADKEY, nullptr},
        {"HKEY_CURRENT_USERS\\x", ERROR_BADKEY, nullptr},
        {"HKEY_USER\\x", ERROR_BADKEY, nullptr},
        {"HKCU\\x", ERROR_BADKEY, nullptr},
        {"HKEY_CURRENT_USER/Software", ERROR_BADKEY, nullptr},
        {"\nHKEY_CURRENT_USER\\Software", ERROR_BADKEY, nullptr},  // only blanks and tabs
        {"HKEY_", ERROR_BADKEY, nullptr},
        {"HKEY", ERROR_BADKEY, nullptr},
        {"", ERROR_BADKEY, nullptr},
        {"HKEY_CURRENT_USER \\Software", ERROR_BADKEY, nullptr},
        {too_long, ERROR_INSUFFICIENT_BUFFER, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 60));
        HKEY key = nullptr;
        EXPECT_EQ(OpenRegistryPath(c.path.c_str(), &key), c.result);
        if (c.result == 0) {
            EXPECT_EQ(MarkerOf(key), c.marker);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    }
    winsim::FailCall("GetUserNameA", ERROR_ACCESS_DENIED);
    HKEY key = nullptr;
    EXPECT_EQ(OpenRegistryPath("HKEY_CURRENT_USER\\%UserName%", &key), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryPathTest, EveryRootNameOpensItsRoot) {
    const struct {
        const char* path;
        HKEY root;
    } cases[] = {
        {"HKEY_CLASSES_ROOT\\", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_CONFIG\\", HKEY_CURRENT_CONFIG},
        {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS\\", HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA\\", HKEY_PERFORMANCE_DATA},
        {"hkey_dyn_data\\", HKEY_DYN_DATA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        HKEY key = nullptr;
        EXPECT_EQ(OpenRegistryPath(c.path, &key), 0);
        EXPECT_EQ(key, c.root);
    }
}

// K's subkeys enumerate as A (index 0) and B (index 1); B has C.
const char kWorkedExample[] =
    "REGEDIT4\n"
    "[HKEY_CURRENT_USER\\Software\\K\\A]\n"
    "[HKEY_CURRENT_USER\\Software\\K\\B\\C]\n\"v\"=\"1\"\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\n";

TEST_F(RegistryPathTest, DeletesATreeCallByCall) {
    ASSERT_TRUE(winsim::LoadRegistryText(kWorkedExample));
    winsim::RecordCalls(true);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr), 0);
    const std::string k = "HKEY_CURRENT_USER\\Software\\K";
    // Each child is opened and deleted through its parent's open handle, by
    // the name it was enumerated under once its wide name has shown that name
    // to be exact; only the key itself and its parent are opened by path.
    const std::vector<std::string> expected = {
        "RegOpenKeyA(HKEY_CURRENT_USER, Software\\K)",
        "RegQueryInfoKeyA(" + k + ")",
        "RegEnumKeyA(" + k + ", 1)",
        "RegEnumKeyW(" + k + ", 1)",
        "MultiByteToWideChar(0, 1)",
        "RegOpenKeyA(" + k + ", B)",
        "RegQueryInfoKeyA(" + k + "\\B)",
        "RegEnumKeyA(" + k + "\\B, 0)",
        "RegEnumKeyW(" + k + "\\B, 0)",
        "MultiByteToWideChar(0, 1)",
        "RegOpenKeyA(" + k + "\\B, C)",
        "RegQueryInfoKeyA(" + k + "\\B\\C)",
        "RegCloseKey(" + k + "\\B\\C)",
        "RegDeleteKeyA(" + k + "\\B, C)",
        "RegCloseKey(" + k + "\\B)",
        "RegDeleteKeyA(" + k + ", B)",
        "RegEnumKeyA(" + k + ", 0)",
        "RegEnumKeyW(" + k + ", 0)",
        "MultiByteToWideChar(0, 1)",
        "RegOpenKeyA(" + k + ", A)",
        "RegQueryInfoKeyA(" + k + "\\A)",
        "RegCloseKey(" + k + "\\A)",
        "RegDeleteKeyA(" + k + ", A)",
        "RegCloseKey(" + k + ")",
        "RegOpenKeyA(HKEY_CURRENT_USER, Software)",
        "RegDeleteKeyA(HKEY_CURRENT_USER\\Software, K)",
        "RegCloseKey(HKEY_CURRENT_USER\\Software)",
    };
    EXPECT_EQ(winsim::RecordedCalls(), expected);
    EXPECT_FALSE(KeyExistsForTest("Software\\K"));
    EXPECT_TRUE(KeyExistsForTest("Software\\Other"));
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(RegistryPathTest, TrailingBackslashAddsNoSecondOne) {
    ASSERT_TRUE(winsim::LoadRegistryText(kWorkedExample));
    winsim::RecordCalls(true);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K\\", nullptr), 0);
    const std::vector<std::string> expected = {
        "RegOpenKeyA(HKEY_CURRENT_USER, Software\\K\\)",
        "RegOpenKeyA(HKEY_CURRENT_USER\\Software\\K, B)",
        "RegOpenKeyA(HKEY_CURRENT_USER\\Software\\K\\B, C)",
        "RegDeleteKeyA(HKEY_CURRENT_USER\\Software\\K\\B, C)",
        "RegDeleteKeyA(HKEY_CURRENT_USER\\Software\\K, B)",
        "RegOpenKeyA(HKEY_CURRENT_USER\\Software\\K, A)",
        "RegDeleteKeyA(HKEY_CURRENT_USER\\Software\\K, A)",
        "RegOpenKeyA(HKEY_CURRENT_USER, Software)",
        "RegDeleteKeyA(HKEY_CURRENT_USER\\Software, K)",
    };
    EXPECT_EQ(RecordedCallsOf({"RegOpenKeyA", "RegDeleteKeyA"}), expected);
    EXPECT_FALSE(KeyExistsForTest("Software\\K"));
}

TEST_F(RegistryPathTest, DeletesAThreeLevelTree) {
    std::string seed = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Sibling]\n\"keep\"=\"1\"\n";
    unsigned keys = 1;
    for (const char* a : {"A1", "A2", "A3"}) {
        for (const char* b : {"B1", "B2", "B3", "B4"}) {
            for (const char* c : {"C1", "C2"}) {
                seed += std::string("[HKEY_CURRENT_USER\\Software\\Tree\\") + a + "\\" + b + "\\" +
                        c + "]\n\"v\"=\"x\"\n@=\"d\"\n";
                ++keys;
            }
            ++keys;
        }
        ++keys;
    }
    ASSERT_TRUE(winsim::LoadRegistryText(seed));
    winsim::RecordCalls(true);
    EXPECT_EQ(DeleteRegistryItem("hkey_current_user\\software\\tree", nullptr), 0);
    EXPECT_EQ(RecordedCallsOf({"RegDeleteKeyA"}).size(), keys);
    const std::vector<std::string> highest_first = {
        "RegEnumKeyA(HKEY_CURRENT_USER\\Software\\Tree, 2)",
        "RegEnumKeyA(HKEY_CURRENT_USER\\Software\\Tree, 1)",
        "RegEnumKeyA(HKEY_CURRENT_USER\\Software\\Tree, 0)",
    };
    EXPECT_EQ(RecordedCallsOf({"RegEnumKeyA(HKEY_CURRENT_USER\\Software\\Tree,"}), highest_first);
    EXPECT_EQ(winsim::SaveRegistryText(),
              Version5File("\n\n[HKEY_CURRENT_USER\\Software\\Sibling]\n\"keep\"=\"1\"\n\n"));
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(RegistryPathTest, KeyDirectlyBelowARoot) {
    ASSERT_TRUE(winsim::LoadRegistryText("REGEDIT4\n[HKEY_CURRENT_USER\\Top\\Child]\n"));
    winsim::RecordCalls(true);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Top", nullptr), 0);
    const std::vector<std::string> tail = {
        "RegOpenKeyA(HKEY_CURRENT_USER, )",
        "RegDeleteKeyA(HKEY_CURRENT_USER, Top)",
        "RegCloseKey(HKEY_CURRENT_USER)",
    };
    const std::vector<std::string>& calls = winsim::RecordedCalls();
    ASSERT_GE(calls.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(calls.end() - 3, calls.end()), tail);
    EXPECT_FALSE(KeyExistsForTest("Top"));
}

TEST_F(RegistryPathTest, RootsAreRefusedWithNothingTouched) {
    ASSERT_TRUE(winsim::LoadRegistryText("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\K]\n"));
    const std::string before = winsim::SaveRegistryText();
    for (const char* path :
         {"HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER", "  hkey_users\\", "HKEY_LOCAL_MACHINE"}) {
        SCOPED_TRACE(path);
        winsim::RecordCalls(true);
        winsim::ClearRecordedCalls();
        EXPECT_EQ(DeleteRegistryItem(path, nullptr), ERROR_BADKEY);
        EXPECT_TRUE(winsim::RecordedCalls().empty());
        EXPECT_EQ(winsim::SaveRegistryText(), before);
    }
}

// Paths whose expansion names no key of its own, and enumerated names that
// the system would read as a path: refused, and nothing outside the key goes.
TEST_F(RegistryPathTest, NamesThatWouldReachAnotherKey) {
    const char seed[] =
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\K\\A]\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n\"v\"=\"1\"\n";
    struct Case {
        const char* path;
        const char* user;  // the user's name while the path is deleted
        int32_t result;
    };
    const Case cases[] = {
        // An empty name would turn this into the root, which then lost everything.
        {"HKEY_CURRENT_USER\\%UserName%", "", ERROR_BADKEY},
        {"HKEY_CURRENT_USER\\%UserName%\\", "", ERROR_BADKEY},
        {"HKEY_CURRENT_USER\\Software\\K\\\\", "tester", ERROR_BADKEY},
        {"HKEY_CURRENT_USER\\Software\\%UserName%\\", "\\", ERROR_BADKEY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ResetProcessState();
        ASSERT_TRUE(winsim::LoadRegistryText(seed));
        winsim::SetUserName(c.user);
        const std::string before = winsim::SaveRegistryText();
        EXPECT_EQ(DeleteRegistryItem(c.path, nullptr), c.result);
        EXPECT_EQ(winsim::SaveRegistryText(), before);
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    }
    // Created as one name under a double-byte code page, "Dir\x81\\X" holds
    // a real backslash once the code page is single-byte again: opening it
    // would reach K\Dir\x81\X, a key of another name.
    ResetProcessState();
    ASSERT_TRUE(winsim::LoadRegistryText(seed));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\K\\Dir\x81\\X\\Inner", &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    winsim::SetDbcsLeadBytes(0x81, 0x9F);
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\K\\Dir\x81\\X", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    winsim::SetDbcsLeadBytes(1, 0);  // the one name is enumerated first, as the newest
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr), ERROR_BADKEY);
    EXPECT_TRUE(KeyExistsForTest("Software\\K\\Dir\x81\\X\\Inner"));
    EXPECT_TRUE(KeyExistsForTest("Software\\Other"));
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);

    // "\uFF33ub" reads as "Sub" through the A calls: opened by that spelling,
    // it would be its sibling. The walk stops at it, and nothing goes.
    ResetProcessState();
    ASSERT_TRUE(winsim::LoadRegistryText(std::string(seed) +
                                         "[HKEY_CURRENT_USER\\Software\\K\\Sub\\Kept]\n"));
    ASSERT_TRUE(winsim::SetWideKey(HKEY_CURRENT_USER, "Software\\K", u"\uFF33ub\\Inner"));
    const std::string before = winsim::SaveRegistryText();
    winsim::RecordCalls(true);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr),
              ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(RecordedCallsOf({"RegOpenKeyA(HKEY_CURRENT_USER\\Software\\K, Sub)"}),
              std::vector<std::string>{});
    EXPECT_EQ(winsim::SaveRegistryText(), before);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);

    // The 95 family's registry is ANSI: its W stub's answer leaves every name as found.
    ResetProcessState();
    ASSERT_TRUE(winsim::LoadRegistryText(kWorkedExample));
    winsim::SetVersion(kWindows98);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr), 0);
    EXPECT_FALSE(KeyExistsForTest("Software\\K"));
}

TEST_F(RegistryPathTest, DeletingValues) {
    ASSERT_TRUE(winsim::LoadRegistryText(
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Run]\n@=\"default\"\n\"Screen\"=\"1\"\n"
        "\"tester.exe\"=\"2\"\n\"Other\"=\"3\"\n"));
    const std::string long_name(kNameSize, 'n');
    struct Case {
        const char* path;
        std::string name;
        int32_t result;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\Software\\Run", "screen", 0},
        {"HKEY_CURRENT_USER\\Software\\Run", "Screen", ERROR_FILE_NOT_FOUND},
        {"HKEY_CURRENT_USER\\Software\\Run\\", "", 0},  // the default value
        {"HKEY_CURRENT_USER\\Software\\Run", "", ERROR_FILE_NOT_FOUND},
        {"HKEY_CURRENT_USER\\Software\\Run", "%UserName%.exe", 0},
        {"HKEY_CURRENT_USER\\Software\\Missing", "Other", ERROR_FILE_NOT_FOUND},
        {"HKCU\\Software\\Run", "Other", ERROR_BADKEY},
        {"HKEY_CURRENT_USER\\Software\\Run", long_name, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " / " + c.name.substr(0, 20));
        EXPECT_EQ(DeleteRegistryItem(c.path, c.name.c_str()), c.result);
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    }
    EXPECT_EQ(winsim::SaveRegistryText(),
              Version5File("\n\n[HKEY_CURRENT_USER\\Software\\Run]\n\"Other\"=\"3\"\n\n"));
    // A name that cannot be expanded opens nothing.
    winsim::FailCall("GetUserNameA", ERROR_ACCESS_DENIED);
    winsim::RecordCalls(true);
    winsim::ClearRecordedCalls();
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Run", "%UserName%"),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(winsim::RecordedCalls(), std::vector<std::string>{"GetUserNameA(257)"});
}

TEST_F(RegistryPathTest, PathsThatDoNotFitTheirBuffers) {
    // A child whose path would pass 520 bytes is refused, not written past.
    const std::string parent_name(250, 'p');
    const std::string child_name(255, 'c');
    const std::string parent = "Software\\" + parent_name;
    ASSERT_TRUE(winsim::LoadRegistryText("REGEDIT4\n[HKEY_CURRENT_USER\\" + parent + "\\" +
                                         child_name + "]\n"));
    EXPECT_EQ(DeleteRegistryItem(("HKEY_CURRENT_USER\\" + parent).c_str(), nullptr),
              ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    EXPECT_TRUE(KeyExistsForTest(parent + "\\" + child_name));
    const std::string huge = "HKEY_CURRENT_USER\\" + std::string(kKeyPathSize, 'h');
    EXPECT_EQ(DeleteRegistryItem(huge.c_str(), nullptr), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(RegistryPathTest, DoubleByteNamesSplitAtTheRealBackslash) {
    winsim::SetDbcsLeadBytes(0x81, 0x9F);
    HKEY key = nullptr;
    // "Dir\x81\\X" is one name: 0x5C after the lead byte 0x81 is its second byte.
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Dir\x81\\X\\Sub", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Dir\x81\\X", nullptr), 0);
    EXPECT_FALSE(KeyExistsForTest("Software\\Dir\x81\\X"));
    EXPECT_TRUE(KeyExistsForTest("Software"));
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

// Every registry call of a subtree deletion fails once, in turn: the call's
// code comes back (a failed close changes nothing), no handle stays open, and
// what was deleted before the failure stays deleted.
TEST_F(RegistryPathTest, FailureAtEveryCall) {
    std::vector<int32_t> results;  // the run without a fault first
    const auto swept = SweepEveryCall(
        [] {
            ResetProcessState();
            ASSERT_TRUE(winsim::LoadRegistryText(kWorkedExample));
        },
        [&] { results.push_back(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr)); },
        [&](const auto& calls, size_t failing) {
            if (IsCallOf(calls[failing], {"RegCloseKey"})) {
                EXPECT_EQ(results.back(), 0);
                EXPECT_EQ(winsim::OpenHandleCount(), 1u);  // the one whose close failed
                EXPECT_FALSE(KeyExistsForTest("Software\\K"));
                return;
            }
            EXPECT_EQ(results.back(), 1234);
            EXPECT_EQ(winsim::OpenHandleCount(), 0u);
            // Keys deleted before the failing call stay deleted; the others remain.
            for (const char* sub : {"C", "B", "A"}) {
                const std::string parent = std::string(sub) == "C" ? "\\B" : "";
                const std::string deletion =
                    "RegDeleteKeyA(HKEY_CURRENT_USER\\Software\\K" + parent + ", " + sub + ")";
                const auto end = calls.begin() + static_cast<std::ptrdiff_t>(failing);
                const std::string path = "Software\\K" + parent + "\\" + sub;
                EXPECT_EQ(KeyExistsForTest(path), std::find(calls.begin(), end, deletion) == end)
                    << path;
            }
            EXPECT_TRUE(KeyExistsForTest("Software\\K"));
            EXPECT_TRUE(KeyExistsForTest("Software\\Other"));
        },
        1234);
    EXPECT_EQ(results.front(), 0);
    EXPECT_EQ(swept.size(), 27u);
}

TEST_F(RegistryPathTest, EnumerationWithoutANameIsNotSuccess) {
    // Were ERROR_MORE_DATA taken as success with no name in hand, the child's
    // path would be the key's own and the deletion would never end.
    ASSERT_TRUE(winsim::LoadRegistryText(kWorkedExample));
    winsim::FailCall("RegEnumKeyA", ERROR_MORE_DATA);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    EXPECT_TRUE(KeyExistsForTest("Software\\K\\B\\C"));
    // ERROR_NO_MORE_ITEMS ends the loop early and the key itself is tried next:
    // with its subkeys still there, that fails as the NT family does.
    winsim::FailCall("RegEnumKeyA", ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\K", nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

}  // namespace
