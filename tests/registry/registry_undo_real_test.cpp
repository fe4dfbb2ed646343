// The undo file against a real registry (Wine's, through `reg import`, in the
// win32 and win64 builds) and the native one (through its .reg loader) alike:
// whatever the cleaner deletes, importing the undo file gives back exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/registry_report.h"
#include "support/capture.h"
#include "support/registry_sandbox.h"
#include "support/temp_files.h"
#ifndef _WIN32
#include "winsim/test_hooks.h"
#endif

namespace {

// Imports a .reg file into the registry as the user would.
bool ImportRegistryFile(const std::string& path) {
#ifdef _WIN32
    const std::string command = "reg import \"" + path + "\" >NUL 2>&1";
    return system(command.c_str()) == 0;
#else
    const std::string text = ReadWholeFile(path);
    if (text.compare(0, 10, "REGEDIT4\r\n") != 0) return false;
    std::string error;
    const bool imported = winsim::ImportRegistryText(text, &error);
    EXPECT_TRUE(imported) << error;
    return imported;
#endif
}

std::string Bytes(int count, int step) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((i * step) & 0xff);
    return bytes;
}

class RegistryUndoRealTest : public testing::Test {
  protected:
    void SetUp() override {
        path_ = FreshSandbox("undo");
        sub_key_ = std::string(kSandboxParent) + "\\undo";
        log_ = folder_.path() + kPathSeparator + "undo.log";
        undo_ = folder_.path() + kPathSeparator + "fix_tamrix_undo.reg";
        ResetLogForTests();
        ASSERT_EQ(SetLogPath(log_.c_str()), 0);
        CaptureStdout([] { LogOpen("fix_tamrix"); });
    }
    void TearDown() override {
        LogClose();
        ResetLogForTests();
        DeleteTreeForTest(HKEY_CURRENT_USER, sub_key_.c_str());
    }

    // Deletes the key at `key` with its tree as a table row does; the console's text.
    static std::string DeleteWithTheWalk(const std::string& key) {
        const RegistryAction table[] = {
            {key.c_str(), nullptr, {REG_SZ, nullptr, 0}, {REG_SZ, nullptr, 0}, nullptr},
            {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
        };
        return CaptureStdout([&] { EXPECT_EQ(CleanRegistry(table, ReportRegistryResult), 0); });
    }

    std::string path_;     // "HKEY_CURRENT_USER\Software\fix_tamrix_test\undo"
    std::string sub_key_;  // the same below HKEY_CURRENT_USER
    TempFolder folder_;
    std::string log_;
    std::string undo_;
};

TEST_F(RegistryUndoRealTest, DeletedValuesComeBackByteForByte) {
    struct Case {
        const char* what;
        std::string name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"plain text", "plain", REG_SZ, std::string("C:\\Tools\\tool.exe", 18)},
        {"quotes, backslashes and high bytes", "q\"uo\\te \xe9\xff", REG_SZ,
         std::string("\"C:\\Pr\xf6gram\\x.exe\" /s \\\\ \xe9", 27)},
        {"default value", "", REG_SZ, std::string("default", 8)},
        {"empty text", "empty text", REG_SZ, std::string("", 1)},
        {"expandable text", "expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe", 19)},
        {"text with line breaks", "lines", REG_SZ, std::string("one\r\ntwo", 9)},
        {"text without terminator", "unterminated", REG_SZ, "abc"},
        {"text holding a NUL", "nul inside", REG_SZ, std::string("a\0b", 4)},
        {"tab in name and data", "tab\tname", REG_SZ, std::string("tab\tdata", 9)},
        {"line breaks in the name", "two\r\nlines", REG_SZ, std::string("x", 2)},
        {"dword", "dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
        {"dword of three bytes", "short dword", REG_DWORD, std::string("\x01\x02\x03", 3)},
        {"binary longer than a line", "binary", REG_BINARY, Bytes(300, 7)},
        {"binary of several kilobytes", "big", REG_BINARY, Bytes(5000, 13)},
        {"empty binary", "empty binary", REG_BINARY, ""},
        {"multi-string", "multi", REG_MULTI_SZ, std::string("a\0b\xe9\0", 6)},
        {"no type", "none", REG_NONE, std::string("\x00\xff", 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteTreeForTest(HKEY_CURRENT_USER, sub_key_.c_str());
        ASSERT_TRUE(SetTextForTest(sub_key_, "unrelated", "stays"));
        ASSERT_TRUE(SetValueForTest(sub_key_, c.name.c_str(), c.type, c.data));
        const std::string before = DumpTreeForTest(sub_key_);
        remove(undo_.c_str());
        const size_t logged = ReadWholeFile(log_).size();
        const size_t logged_stamp = strlen("2026-12-08, 09:05:03,   ");

        RegistryAction row = {
            path_.c_str(), c.name.c_str(), {REG_SZ, nullptr, 0}, {REG_SZ, nullptr, 0}, nullptr};
        const std::string console = CaptureStdout([&] { ReportRegistryResult(0, &row); });
        EXPECT_EQ(console,
                  "Deleting registry value \"" + c.name + "\" in key \"" + path_ + "\"... Done.\n");
        ASSERT_NE(DumpTreeForTest(sub_key_), before) << "the value was not deleted";
        // The line of this value's undo data (a name's line breaks reach the
        // log as the runtime writes them, so the name is not compared here).
        const std::string log = ReadWholeFile(log_).substr(logged);
        EXPECT_EQ(log.find("Undo data for registry value \""), logged_stamp) << log;
        EXPECT_NE(log.find("\" in key \"" + path_ + "\" was saved to \"" + undo_ + "\"."),
                  std::string::npos)
            << log;

        ASSERT_TRUE(ImportRegistryFile(undo_)) << ReadWholeFile(undo_);
        EXPECT_EQ(DumpTreeForTest(sub_key_), before) << ReadWholeFile(undo_);
    }
}

TEST_F(RegistryUndoRealTest, DeletedKeyTreeComesBackWhole) {
    const std::string tree = sub_key_ + "\\Tree";
    ASSERT_TRUE(SetTextForTest(tree, "", "top"));
    ASSERT_TRUE(SetValueForTest(tree, "dw", REG_DWORD, std::string("\x01\x00\x00\x80", 4)));
    ASSERT_TRUE(SetValueForTest(tree, "bin", REG_BINARY, Bytes(40, 3)));
    ASSERT_TRUE(SetValueForTest(tree + "\\A", "x", REG_EXPAND_SZ, std::string("%TEMP%\\a", 9)));
    ASSERT_TRUE(SetValueForTest(tree + "\\A\\A1", "m", REG_MULTI_SZ, std::string("1\0002\0", 5)));
    // Found names are taken as they stand: never expanded, never split.
    ASSERT_TRUE(SetTextForTest(tree + "\\A\\%UserName%", "q\"x\\", "\\\\server\\share"));
    ASSERT_TRUE(CreateKeyForTest(tree + "\\B"));
    ASSERT_TRUE(SetValueForTest(tree + "\\B\\B1", "deep \xe9", REG_BINARY, Bytes(400, 11)));
    ASSERT_TRUE(SetTextForTest(sub_key_, "beside", "stays"));
    const std::string before = DumpTreeForTest(sub_key_);

    const std::string key = path_ + "\\Tree";
    const std::string console = DeleteWithTheWalk(key);
    EXPECT_EQ(console, "Deleting registry key \"" + key + "\"... Done.\n");
    EXPECT_FALSE(KeyExistsForTest(tree));
    const std::string log = ReadWholeFile(log_);
    const std::string saved =
        "Undo data for registry key \"" + key + "\" was saved to \"" + undo_ + "\".";
    const size_t at = log.find(saved);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find("Registry key \"" + key + "\" was deleted.", at), std::string::npos) << log;

    ASSERT_TRUE(ImportRegistryFile(undo_)) << ReadWholeFile(undo_);
    EXPECT_EQ(DumpTreeForTest(sub_key_), before) << ReadWholeFile(undo_);
}

// A subkey whose name reads through a best fit ("\uFF33ub" as "Sub", the
// name of its sibling) cannot be saved by that spelling: the save stops
// there with a report, and the deletion, walking the tree in the same order,
// stops at the same key; what it deleted before that is in the undo file.
TEST_F(RegistryUndoRealTest, LookAlikeSubkeyStopsTheSaveAndTheDeletionAlike) {
    const std::string tree = sub_key_ + "\\Tree";
    ASSERT_TRUE(SetTextForTest(tree + "\\A\\Sub", "Marker", "plain"));
    ASSERT_TRUE(CreateWideKeyForTest(tree + "\\A", u"\uFF33ub"));
    ASSERT_TRUE(SetValueForTest(tree + "\\B", "dw", REG_DWORD, std::string("\x01\x00\x00\x80", 4)));
    ASSERT_TRUE(SetValueForTest(tree + "\\B\\B1", "bin", REG_BINARY, Bytes(40, 3)));
    ASSERT_TRUE(SetTextForTest(tree, "top", "t"));
    const std::string before = DumpTreeForTest(sub_key_);

    const std::string key = path_ + "\\Tree";
    const std::string console = DeleteWithTheWalk(key);
    // The system's texts differ between Windows and Wine: only the lines' starts are compared.
    const std::string refused = "\nUndo data could not be saved to \"" + undo_ + "\": ";
    ASSERT_EQ(console.compare(0, refused.size(), refused), 0) << console;
    const std::string failed = "Deleting registry key \"" + key + "\"...\nRegistry key \"" + key +
                               "\" could not be deleted: ";
    EXPECT_NE(console.find("\n" + failed), std::string::npos) << console;
    EXPECT_EQ(SubkeyNamesForTest(tree), "A") << "B went before the look-alike was met";
    EXPECT_EQ(SubkeyNamesForTest(tree + "\\A"), "Sub Sub");

    ASSERT_TRUE(ImportRegistryFile(undo_)) << ReadWholeFile(undo_);
    EXPECT_EQ(DumpTreeForTest(sub_key_), before) << ReadWholeFile(undo_);
}

}  // namespace
