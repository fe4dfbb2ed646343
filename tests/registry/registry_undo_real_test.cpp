// The undo file against a real registry (Wine's, through `reg import`, in the
// win32 and win64 builds) and the native one (through its .reg reader) alike:
// whatever the cleaner deletes, importing the undo file gives back exactly,
// names in their stored spelling and text outside the code page included.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/registry_report.h"
#include "registry/registry_undo.h"
#include "support/capture.h"
#include "support/registry_builders.h"
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
    std::string error;
    const bool imported = winsim::ImportRegistryText(ReadWholeFile(path), &error);
    EXPECT_TRUE(imported) << error;
    return imported;
#endif
}

// The undo file the log line of the last item names ("" when none does).
std::string SavedTo(const std::string& log) {
    const std::string marker = "\" was saved to \"";
    const size_t at = log.rfind(marker);
    if (at == std::string::npos) return "";
    const size_t start = at + marker.size();
    return log.substr(start, log.find("\".", start) - start);
}

std::string Bytes(int count, int step) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((i * step) & 0xff);
    return bytes;
}

class RegistryUndoRealTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetLogForTests();
        ASSERT_EQ(SetLogPath(log_.c_str()), 0);
        CaptureStdout([] { LogOpen("fix_tamrix"); });
    }
    void TearDown() override { ResetLogForTests(); }

    // Deletes the value `name` of the sandbox as the cleaner does, checks the
    // announcement and the log line that names the undo file, then imports
    // that file: the sandbox must come back as `before`.
    void DeleteAndImport(const std::string& name, const std::string& before) {
        const size_t logged = ReadWholeFile(log_).size();
        RegistryAction row = Row(path_.c_str(), name.c_str(), nullptr, nullptr, nullptr);
        const std::string console = CaptureStdout([&] { ReportRegistryResult(0, &row); });
        CloseRunUndoFile();  // as at the end of a run
        EXPECT_EQ(console,
                  "Deleting registry value \"" + name + "\" in key \"" + path_ + "\"... Done.\n");
        ASSERT_NE(DumpTreeForTest(sub_key_), before) << "the value was not deleted";
        // The line of this value's undo data (a name's line breaks reach the
        // log as the runtime writes them, so the name is not compared here).
        const std::string log = ReadWholeFile(log_).substr(logged);
        EXPECT_EQ(log.find("Undo data for registry value \""), strlen("2026-12-08, 09:05:03,   "))
            << log;
        const std::string undo = SavedTo(log);
        EXPECT_EQ(undo.find(folder_.path() + kPathSeparator + "fix_tamrix_undo_"), 0u) << log;
        EXPECT_NE(log.find("\" in key \"" + path_ + "\" was saved to \""), std::string::npos)
            << log;
        ASSERT_TRUE(ImportRegistryFile(undo)) << ReadWholeFile(undo);
        EXPECT_EQ(DumpTreeForTest(sub_key_), before) << ReadWholeFile(undo);
        remove(undo.c_str());
    }

    // Deletes the key at `key` with its tree as a table row does, as one run:
    // the console's text; undo_ is the run's undo file.
    std::string DeleteWithTheWalk(const std::string& key) {
        const RegistryAction table[] = {
            Row(key.c_str(), nullptr, nullptr, nullptr, nullptr),
            {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
        };
        const std::string console =
            CaptureStdout([&] { EXPECT_EQ(CleanRegistry(table, ReportRegistryResult), 0); });
        undo_ = RunUndoFilePath();
        CloseRunUndoFile();
        return console;
    }

    const Sandbox box_{"undo"};
    const std::string& path_ = box_.path;  // "HKEY_CURRENT_USER\Software\fix_tamrix_test\undo"
    const std::string& sub_key_ = box_.sub_key;  // the same below HKEY_CURRENT_USER
    TempFolder folder_;
    const std::string log_ = folder_.path() + kPathSeparator + "fix_tamrix.log";
    std::string undo_;  // the last run's undo file
};

TEST_F(RegistryUndoRealTest, DeletedValuesComeBackByteForByte) {
    struct Case {
        const char* what;
        std::string name;
        DWORD type;
        std::string data;
        std::string row_name;  // the name the row gives ("": the stored one)
    };
    const Case cases[] = {
        {"plain text", "plain", REG_SZ, std::string("C:\\Tools\\tool.exe", 18), ""},
        {"quotes, backslashes and high bytes", "q\"uo\\te \xe9\xff", REG_SZ,
         std::string("\"C:\\Pr\xf6gram\\x.exe\" /s \\\\ \xe9", 27), ""},
        {"default value", "", REG_SZ, std::string("default", 8), ""},
        {"empty text", "empty text", REG_SZ, std::string("", 1), ""},
        {"expandable text", "expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe", 19), ""},
        {"text with line breaks", "lines", REG_SZ, std::string("one\r\ntwo", 9), ""},
        {"text without terminator", "unterminated", REG_SZ, "abc", ""},
        {"text holding a NUL", "nul inside", REG_SZ, std::string("a\0b", 4), ""},
        {"tab in name and data", "tab\tname", REG_SZ, std::string("tab\tdata", 9), ""},
        {"line breaks in the name", "two\r\nlines", REG_SZ, std::string("x", 2), ""},
        {"dword", "dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4), ""},
        {"dword of three bytes", "short dword", REG_DWORD, std::string("\x01\x02\x03", 3), ""},
        {"binary longer than a line", "binary", REG_BINARY, Bytes(300, 7), ""},
        {"binary of several kilobytes", "big", REG_BINARY, Bytes(5000, 13), ""},
        {"empty binary", "empty binary", REG_BINARY, "", ""},
        {"multi-string", "multi", REG_MULTI_SZ, std::string("a\0b\xe9\0", 6), ""},
        {"no type", "none", REG_NONE, std::string("\x00\xff", 2), ""},
        // The row's spelling is not the stored one: the stored one comes back.
        {"stored in capitals", "SCREEN", REG_SZ, std::string("C:\\x.scr", 9), "screen"},
        {"stored in mixed case", "Sys", REG_SZ, std::string("C:\\y.scr", 9), "sys"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteTreeForTest(HKEY_CURRENT_USER, sub_key_.c_str());
        ASSERT_TRUE(SetTextForTest(sub_key_, "unrelated", "stays"));
        ASSERT_TRUE(SetValueForTest(sub_key_, c.name.c_str(), c.type, c.data));
        DeleteAndImport(c.row_name.empty() ? c.name : c.row_name, DumpTreeForTest(sub_key_));
    }
}

// Stored in UTF-16 as the NT family keeps text: names and text that the code
// page cannot hold (the A calls read them as best fits) come back unit for
// unit. Text given as hex without its final NUL comes back with one: the
// importer adds it (so Wine's `reg import` does, and the stand-in with it).
TEST_F(RegistryUndoRealTest, WideValuesComeBackUnitForUnit) {
    struct Case {
        const char* what;
        std::u16string name;
        DWORD type;
        std::u16string data;         // its NUL, if any, included
        std::u16string name_in_row;  // ASCII: the name the row gives
        bool nul_added;              // the importer ends the text with a NUL
    };
    const std::u16string worm = u"C:\\WINDOWS\\system32\\Screen.scr";
    const std::u16string nul(1, u'\0');
    const Case cases[] = {
        {"text outside the code page", u"tray", REG_SZ, u"C:\\\uFF34ray\\\u8868\u00e9.exe" + nul,
         u"tray", false},
        {"a trailer after the NUL", u"screen", REG_SZ, worm + nul + u"\u8868" + nul, u"screen",
         false},
        {"expandable text outside the code page", u"expand", REG_EXPAND_SZ,
         u"%TEMP%\\\u015Acreen" + nul, u"expand", false},
        {"multi-string outside the code page", u"multi", REG_MULTI_SZ,
         u"\u0101" + nul + u"b\u8868" + nul + nul, u"multi", false},
        {"text with a line break", u"lines", REG_SZ, u"\u8868\r\nx" + nul, u"lines", false},
        {"stored in capitals", u"SCREEN", REG_SZ, worm + nul, u"screen", false},
        {"unterminated text", u"open", REG_SZ, u"C:\\\u8868", u"open", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteTreeForTest(HKEY_CURRENT_USER, sub_key_.c_str());
        ASSERT_TRUE(SetTextForTest(sub_key_, "unrelated", "stays"));
        std::u16string data = c.data;
        ASSERT_TRUE(SetWideValueForTest(sub_key_, c.name, c.type, data.data(), data.size() * 2));
        if (c.nul_added) data.push_back(u'\0');
        // What the import gives back: the value with the importer's NUL.
        const std::string before = DumpTreeForTest(sub_key_);
        ASSERT_TRUE(SetWideValueForTest(sub_key_, c.name, c.type, data.data(), data.size() * 2));
        const std::string expected = DumpTreeForTest(sub_key_);
        ASSERT_TRUE(
            SetWideValueForTest(sub_key_, c.name, c.type, c.data.data(), c.data.size() * 2));
        ASSERT_EQ(DumpTreeForTest(sub_key_), before);
        DeleteAndImport(std::string(c.name_in_row.begin(), c.name_in_row.end()), expected);
    }
}

// The walk matched the worm's text, and the value holds a harmless path by
// the time the callback acts on it (another program changed it meanwhile):
// it is read again, left alone and reported, and nothing is saved.
TEST_F(RegistryUndoRealTest, ValueChangedAfterTheCheckStays) {
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, sizeof folder);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, sizeof folder);
    const std::string worm = std::string(folder) + "\\Screen.scr";
    const std::u16string wide_worm(worm.begin(), worm.end());
    struct Case {
        const char* what;
        std::u16string now;  // what the value holds when the callback acts
    };
    const Case cases[] = {
        {"a harmless path", u"C:\\Tools\\screen.exe"},
        {"a look-alike of the worm's text",
         std::u16string(wide_worm).replace(wide_worm.size() - 10, 1, u"\uFF33")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteTreeForTest(HKEY_CURRENT_USER, sub_key_.c_str());
        ASSERT_TRUE(SetWideTextForTest(sub_key_, u"screen", REG_SZ, c.now));
        const std::string before = DumpTreeForTest(sub_key_);
        const size_t logged = ReadWholeFile(log_).size();
        RegistryAction row = Row(path_.c_str(), "screen",
                                 {REG_SZ, worm.c_str(), static_cast<uint32_t>(worm.size() + 1)});
        const std::string console = CaptureStdout([&] { ReportRegistryResult(0, &row); });
        CloseRunUndoFile();
        const std::string report = "Deleting registry value \"screen\" in key \"" + path_ +
                                   "\"...\nRegistry value \"screen\" in key \"" + path_ +
                                   "\" changed after it was checked and was not deleted: ";
        EXPECT_EQ(console.compare(0, report.size(), report), 0) << console;
        EXPECT_EQ(DumpTreeForTest(sub_key_), before) << "the value stays as it is";
        const std::string log = ReadWholeFile(log_).substr(logged);
        EXPECT_NE(log.find("changed after it was checked and was not deleted"), std::string::npos)
            << log;
        EXPECT_EQ(log.find("was saved to"), std::string::npos) << log;
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
