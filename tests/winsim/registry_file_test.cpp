// The native program's registry file through a whole run: loaded, one value
// deleted through the registry calls, written back. What the file held and
// the run did not delete comes back byte for byte in the saved form; what the
// native registry cannot hold refuses the file and leaves it untouched; the
// file keeps its mode and its link, and a stray temporary name is never used.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/capture.h"
#include "support/native_run.h"
#include "support/registry_builders.h"
#include "support/temp_files.h"
#include "winsim/test_hooks.h"

namespace {

using namespace std::string_literals;

class RegistryFileTest : public NativeTest {};

const std::string kHeader = Version5File("\n\n");
const char kKey[] = "[HKEY_CURRENT_USER\\Software\\Test]\n";
const char kSmall[] =
    "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n\"Keep\"=\"1\"\n\"Drop\"=\"2\"\n";
const std::string kSmallSaved = kHeader + kKey + "\"Keep\"=\"1\"\n\n";  // less "Drop"

enum class Setup { kPlain, kMode0600, kMode0444, kFileIsLink, kTemporaryIsLink };

struct Case {
    const char* label;
    std::string text;
    std::string expected;  // "" : loading is refused and the file stays as it is
    Setup setup = Setup::kPlain;
};

const Case kCases[] = {
    {"REGEDIT4, CR LF, every value type",
     "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
     "@=\"default\"\r\n"
     "\"Text\"=\"C:\\\\dir \\\"q\\\"\"\r\n"
     "\"Drop\"=\"gone\"\r\n"
     "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
     "\"Multi\"=hex(7):61,00,62,00,00\r\n"
     "\"Binary\"=hex:00,ff,10\r\n"
     "\"Dword\"=dword:0000002a\r\n"
     "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"
     "\"None\"=hex(0):01\r\n"
     "\"BigEndian\"=hex(5):00,00,00,01\r\n"
     "\"Link\"=hex(6):41,00\r\n"
     "\"Resources\"=hex(8):01,02\r\n"
     "\"Custom\"=hex(1234abcd):01\r\n"
     "\"DwordAsHex\"=hex(4):01,02,03,04\r\n"
     "\"ShortDword\"=hex(4):01,02\r\n"
     "\"NoNul\"=hex(1):61,62\r\n"
     "\"EmptyText\"=\"\"\r\n"
     "\"EmptyBinary\"=hex:\r\n"
     "\"EmptyHexText\"=hex(1):\r\n",
     kHeader + kKey +
         "@=\"default\"\n"
         "\"Text\"=\"C:\\\\dir \\\"q\\\"\"\n"
         "\"Expand\"=hex(2):25,54,45,4d,50,25,00\n"
         "\"Multi\"=hex(7):61,00,62,00,00\n"
         "\"Binary\"=hex:00,ff,10\n"
         "\"Dword\"=dword:0000002a\n"
         "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n"
         "\"None\"=hex(0):01\n"
         "\"BigEndian\"=hex(5):00,00,00,01\n"
         "\"Link\"=hex(6):41,00\n"
         "\"Resources\"=hex(8):01,02\n"
         "\"Custom\"=hex(1234abcd):01\n"
         "\"DwordAsHex\"=dword:04030201\n"
         "\"ShortDword\"=hex(4):01,02\n"
         "\"NoNul\"=\"ab\"\n"  // reg import ends text in hex with a NUL
         "\"EmptyText\"=\"\"\n"
         "\"EmptyBinary\"=hex:\n"
         "\"EmptyHexText\"=hex(1):\n\n"},
    {"version 5.00: comments ending in a backslash, wrapped hex, escapes, keys",
     Version5File("\n\n[HKEY_CURRENT_USER\\Software\\Test] ; the key\n"
                  "; this comment ends in a backslash \\\n"
                  "\"Kept\"=\"after the comment\"\n"
                  "\"Drop\"=\"x\"\n"
                  "\"Wrapped\"=hex:01,\\\n"
                  "; between the lines\n"
                  "  02,03\n"
                  "\"Escapes\"=\"line\\nbreak\\rreturn \\q\" ; a comment after a string\n"
                  "\"Path\"=\"C:\\\\\"\n"
                  "\"Next\"=\"n\"\n"
                  "[HKEY_CURRENT_USER\\Software\\Test\\Empty]\n"
                  "[-HKEY_CURRENT_USER\\Software\\Test\\Never]\n"
                  "[HKEY_CURRENT_USER\\Software\\Test\\Gone]\n\"x\"=\"1\"\n"
                  "[-HKEY_CURRENT_USER\\Software\\Test\\Gone]\n\"ignored\"=\"2\"\n"
                  "[hkey_current_user\\software\\TEST]\n\"KEPT\"=\"replaced\"\n"),
     kHeader + kKey +
         "\"Kept\"=\"replaced\"\n"
         "\"Wrapped\"=hex:01,02,03\n"
         "\"Escapes\"=\"line\\nbreak\\rreturn q\"\n"
         "\"Path\"=\"C:\\\\\"\n"
         "\"Next\"=\"n\"\n\n"
         "[HKEY_CURRENT_USER\\Software\\Test\\Empty]\n\n"},
    {"UTF-16 within the code page",
     Version5File("\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                  "\"Caf\u00e9\"=\"cr\u00e8me\"\r\n\"Drop\"=\"x\"\r\n"
                  "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n\"NoNul\"=hex(1):61,00\r\n",
                  true),
     kHeader + kKey +
         "\"Caf\xe9\"=\"cr\xe8me\"\n\"Expand\"=hex(2):25,41,25,00\n\"NoNul\"=\"a\"\n\n"},
    {"UTF-16 names outside the code page",
     Version5File("\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                  "\"Drop\"=\"x\"\r\n\"\uff33\"=\"1\"\r\n\"\u015a\"=\"2\"\r\n",
                  true),
     ""},
    {"UTF-16 text data outside the code page",
     Version5File("\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                  "\"Drop\"=\"x\"\r\n\"Expand\"=hex(2):5b,01,00,00\r\n",
                  true),
     ""},
    {"a name with a NUL",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Test]\n\"Drop\\\"\0tail\"=\"1\"\n"
     "\"Drop\"=\"2\"\n\"Drop\0\"=\"3\"\n"s,
     kHeader + kKey + "\"Drop\\\"\0tail\"=\"1\"\n\"Drop\0\"=\"3\"\n\n"s},
    {"mode 0600 kept", kSmall, kSmallSaved, Setup::kMode0600},
    {"mode 0444 kept", kSmall, kSmallSaved, Setup::kMode0444},
    {"the file is a symbolic link", kSmall, kSmallSaved, Setup::kFileIsLink},
    {"<file>.tmp is a link to another file", kSmall, kSmallSaved, Setup::kTemporaryIsLink},
};

mode_t ModeOf(const std::string& path) {
    struct stat facts;
    return lstat(path.c_str(), &facts) == 0 ? facts.st_mode : 0;
}

TEST_F(RegistryFileTest, LoadDeleteOneValueSave) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.label);
        ResetProcessState();
        const TempFolder folder;
        const std::string path = folder.path() + "/registry.reg";
        const std::string target =
            c.setup == Setup::kFileIsLink ? folder.path() + "/target.reg" : path;
        const std::string other = folder.path() + "/other";
        WriteWholeFile(target, c.text);
        if (c.setup == Setup::kFileIsLink) {
            ASSERT_EQ(symlink("target.reg", path.c_str()), 0);
        }
        if (c.setup == Setup::kTemporaryIsLink) {
            WriteWholeFile(other, "other");
            ASSERT_EQ(symlink(other.c_str(), (path + ".tmp").c_str()), 0);
        }
        const mode_t mode = c.setup == Setup::kMode0600   ? 0600
                            : c.setup == Setup::kMode0444 ? 0444
                                                          : 0640;
        ASSERT_EQ(chmod(target.c_str(), mode), 0);

        winsim::UseRegistryFile(path.c_str());
        HKEY key = nullptr;
        testing::internal::CaptureStderr();
        LONG opened = RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Test", &key);
        std::string message = testing::internal::GetCapturedStderr();
        if (c.expected.empty()) {
            EXPECT_EQ(opened, 1009);
            EXPECT_NE(message.find("\"" + path +
                                   "\" holds what the native registry cannot "
                                   "hold: line "),
                      std::string::npos)
                << message;
            EXPECT_NE(message.find("the file is left as it is"), std::string::npos) << message;
        } else {
            ASSERT_EQ(opened, ERROR_SUCCESS) << message;
            EXPECT_EQ(RegDeleteValueA(key, "Drop"), ERROR_SUCCESS);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
        std::string error;
        EXPECT_TRUE(winsim::WriteBackRegistryFile(&error)) << error;

        EXPECT_EQ(ReadWholeFile(target), c.expected.empty() ? c.text : c.expected);
        EXPECT_EQ(ModeOf(target) & 07777, mode);
        if (c.setup == Setup::kFileIsLink) {
            char link[64] = {};
            EXPECT_TRUE(S_ISLNK(ModeOf(path)));
            EXPECT_EQ(readlink(path.c_str(), link, sizeof link - 1), 10);
            EXPECT_STREQ(link, "target.reg");
        }
        if (c.setup == Setup::kTemporaryIsLink) {
            EXPECT_TRUE(S_ISLNK(ModeOf(path + ".tmp")));
            EXPECT_EQ(ReadWholeFile(other), "other");
        } else {
            EXPECT_EQ(ModeOf(path + ".tmp"), 0u);  // no temporary is left behind
        }
    }
}

// A link to a file that does not exist reads as an empty registry, but
// writing back through it is refused: the link is neither replaced nor followed.
TEST_F(RegistryFileTest, LinkToNothingIsNotWritten) {
    const TempFolder folder;
    const std::string path = folder.path() + "/registry.reg";
    ASSERT_EQ(symlink("missing.reg", path.c_str()), 0);
    winsim::UseRegistryFile(path.c_str());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Test", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    std::string error;
    EXPECT_FALSE(winsim::WriteBackRegistryFile(&error));
    EXPECT_EQ(error, "the registry file \"" + path + "\" is a link to nothing; it is not written");
    EXPECT_TRUE(S_ISLNK(ModeOf(path)));
    EXPECT_EQ(ReadWholeFile(folder.path() + "/missing.reg"), "<missing>");
}

}  // namespace
