// The native registry as .reg text, and the registry file that the native
// program reads at its first registry call and writes back at exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/capture.h"
#include "support/native_run.h"
#include "support/registry_builders.h"
#include "support/temp_files.h"
#include "winsim/test_hooks.h"

namespace {

using namespace std::string_literals;

class RegistryTextTest : public NativeTest {};

// Reads one value straight through the registry calls.
std::string ValueOf(HKEY root, const char* sub_key, const char* name, DWORD* type = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, sub_key, &key) != ERROR_SUCCESS) return "<no key>";
    char data[256];
    DWORD size = sizeof data;
    LONG result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<error " + std::to_string(result) + ">";
    return std::string(data, size);
}

std::string Repeated(const std::string& part, int times) {
    std::string whole;
    for (int i = 0; i < times; ++i) whole += part;
    return whole;
}

const std::string kEveryKind = Version5File(
    "\n\n"
    "[HKEY_CURRENT_USER]\n"
    "\"AtRoot\"=\"r\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Run]\n"
    "@=\"default\"\n"
    "\"Quoted \\\"name\\\"\"=\"C:\\\\dir\\\\file.exe \\\"arg\\\"\"\n"
    "\"Count\"=dword:0000002a\n"
    "\"Raw\"=hex:00,ff,10\n"
    "\"Expand\"=hex(2):25,54,65,6d,70,25,00\n"
    "\"Bare\"=hex(1):61,62\n"
    "\"Multi\"=hex(7):61,00,62,00,00\n"
    "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"Empty\"=\"\"\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Empty Key]\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
    "\n");

TEST_F(RegistryTextTest, EveryKindOfValueRoundTrips) {
    std::string error;
    ASSERT_TRUE(winsim::LoadRegistryText(kEveryKind, &error)) << error;
    struct Case {
        const char* sub_key;
        const char* name;
        DWORD type;
        std::string data;
    };
    const Case cases[] = {
        {"", "AtRoot", REG_SZ, std::string("r\0", 2)},
        {"Software\\Run", "", REG_SZ, std::string("default\0", 8)},
        {"Software\\Run", "Quoted \"name\"", REG_SZ,
         std::string("C:\\dir\\file.exe \"arg\"\0", 22)},
        {"Software\\Run", "Count", REG_DWORD, std::string("\x2a\0\0\0", 4)},
        {"Software\\Run", "Raw", REG_BINARY, std::string("\0\xff\x10", 3)},
        {"Software\\Run", "Expand", REG_EXPAND_SZ, std::string("%Temp%\0", 7)},
        // Text in hex without a NUL gets one, as `reg import` adds it.
        {"Software\\Run", "Bare", REG_SZ, std::string("ab\0", 3)},
        {"Software\\Run", "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
        {"Software\\Run", "Qword", 11, std::string("\1\0\0\0\0\0\0\0", 8)},
        {"Software\\Run", "Empty", REG_SZ, std::string("\0", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD type = 0;
        EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, c.sub_key, c.name, &type), c.data);
        EXPECT_EQ(type, c.type);
    }
    EXPECT_EQ(ValueOf(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion",
                      "ProgramFilesDir"),
              std::string("C:\\Program Files\0", 17));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Empty Key", &key), ERROR_SUCCESS);
    RegCloseKey(key);

    // Saved and loaded again, the registry reads back the same.
    std::string saved = winsim::SaveRegistryText();
    ASSERT_TRUE(winsim::LoadRegistryText(saved, &error)) << error;
    EXPECT_EQ(winsim::SaveRegistryText(), saved);
    // The text above is in saved form, but for the NUL that "Bare" gained.
    std::string expected = kEveryKind;
    expected.replace(expected.find("hex(1):61,62"), 12, "\"ab\"");
    EXPECT_EQ(saved, expected);
}

TEST_F(RegistryTextTest, OtherSpellingsOfTheSameRegistry) {
    const std::string expected = Version5File(
        "\n\n[HKEY_CURRENT_USER\\Software\\Run]\n"
        "\"Name\"=\"C:\\\\x.exe\"\n"
        "\"Expand\"=hex(2):25,78,00\n\n");
    struct Case {
        const char* label;
        std::string text;
    };
    const Case cases[] = {
        {"version 4, ANSI expandable text",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Run]\n\"Name\"=\"C:\\\\x.exe\"\n"
         "\"Expand\"=hex(2):25,78,00\n"},
        {"CR LF, comments, blanks, wrapped hex, lower-case root",
         Version5File("\r\n\r\n; a comment\r\n"
                      "[hkey_current_user\\Software\\Run]\r\n  \"Name\" = \"C:\\\\x.exe\"\r\n"
                      "\"Expand\"=hex(2):25,\\\r\n  78,00\r\n")},
        {"keys and values deleted again",
         "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Run\\Sub]\n\"A\"=\"1\"\n"
         "[-HKEY_CURRENT_USER\\Software\\Run\\Sub]\n\"Ignored\"=\"x\"\n"
         "[HKEY_CURRENT_USER\\Software\\Run]\n\"Gone\"=\"y\"\n\"Name\"=\"C:\\\\x.exe\"\n"
         "\"Gone\"=-\n\"Expand\"=hex(2):25,78,00\n"},
        // In a UTF-16 file text in hex is UTF-16 too.
        {"UTF-16 with a byte-order mark",
         Version5File("\r\n\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Name\"=\"C:\\\\x.exe\"\r\n"
                      "\"Expand\"=hex(2):25,00,78,00,00,00\r\n",
                      true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string& text = c.text;
        std::string error;
        ASSERT_TRUE(winsim::LoadRegistryText(text, &error)) << error;
        EXPECT_EQ(winsim::SaveRegistryText(), expected);
    }
}

TEST_F(RegistryTextTest, MalformedTextLeavesTheRegistryAlone) {
    ASSERT_TRUE(winsim::LoadRegistryText("REGEDIT4\n[HKEY_USERS\\Kept]\n\"v\"=\"1\"\n"));
    const std::string before = winsim::SaveRegistryText();
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"", "no \"REGEDIT4\" or version 5.00 header"},
        {"REGEDIT5\n", "line 1: the first line is neither"},
        {"REGEDIT4\n\"v\"=\"1\"\n", "line 2: a value before the first key"},
        {"REGEDIT4\n[HKEY_NOWHERE\\x]\n", "line 2: unknown root key \"HKEY_NOWHERE\""},
        {"REGEDIT4\n[HKEY_USERS\\a\\\\b]\n", "line 2: bad key name"},
        {"REGEDIT4\n[HKEY_USERS\\a\0b]\n"s, "line 2: bad key name in \"HKEY_USERS\\a\""},
        {"REGEDIT4\n[HKEY_USERS\\a\n", "line 2: a key line must end with ']'"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"=dword:123456789\n", "line 3: bad dword data"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"=dword:xyz\n", "line 3: bad dword data"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"=hex:1,2,zz\n", "line 3: bad hex data"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"=hex(q):00\n", "line 3: bad hex type"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"=\"open\n", "line 3: bad string data"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"=\"a\\0\"\n", "line 3: bad string data"},
        {"REGEDIT4\n[HKEY_USERS\\a]\n\"v\"\n", "line 3: '=' expected"},
        {"REGEDIT4\n[HKEY_USERS\\a]\nv=1\n", "line 3: unexpected text"},
        {Version5File("\n[HKEY_USERS\\a]\n\"v\"=hex(2):25\n", true),
         "line 3: text data with an odd number of bytes"},
        {"REGEDIT4\n[-HKEY_USERS]\n", "line 2: a root key cannot be deleted"},
        {"REGEDIT4\n[HKEY_USERS" + Repeated("\\k", 513) + "]\n",
         "line 2: a key path deeper than 512 keys"},
        {"\xff\xfe" + Utf16("REGEDIT4\n[HKEY_USERS\\a]\n") + "\n",
         "the UTF-16 text ends in half a character"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        std::string error;
        EXPECT_FALSE(winsim::LoadRegistryText(c.text, &error));
        EXPECT_EQ(error.compare(0, strlen(c.error), c.error), 0) << error;
        EXPECT_EQ(winsim::SaveRegistryText(), before);
    }
}

TEST_F(RegistryTextTest, RegistryFileIsReadLazilyAndWrittenBackWhenChanged) {
    const TempFolder folder;
    const std::string path = folder.path() + "/registry.reg";
    const std::string original =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Run]\n\"Keep\"=\"1\"\n\"Drop\"=\"2\"\n";
    WriteWholeFile(path, original);
    winsim::UseRegistryFile(path.c_str());
    EXPECT_EQ(winsim::SaveRegistryText(), Version5File("\n\n"));  // not yet
    EXPECT_EQ(ValueOf(HKEY_CURRENT_USER, "Software\\Run", "Keep"), std::string("1\0", 2));

    // Nothing changed: the file is not rewritten.
    EXPECT_TRUE(winsim::WriteBackRegistryFile());
    EXPECT_EQ(ReadWholeFile(path), original);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "Drop"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(winsim::WriteBackRegistryFile());
    EXPECT_EQ(ReadWholeFile(path),
              Version5File("\n\n[HKEY_CURRENT_USER\\Software\\Run]\n\"Keep\"=\"1\"\n\n"));
    EXPECT_EQ(ReadWholeFile(path + ".tmp"), "<missing>");

    // A missing file is an empty registry, created once something is written.
    const std::string fresh = folder.path() + "/fresh.reg";
    winsim::UseRegistryFile(fresh.c_str());
    EXPECT_EQ(RegCreateKeyA(HKEY_USERS, "New", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(winsim::WriteBackRegistryFile());
    EXPECT_EQ(ReadWholeFile(fresh), Version5File("\n\n[HKEY_USERS\\New]\n\n"));

    // After Reset neither the file nor the environment is consulted.
    setenv("FIX_TAMRIX_REGISTRY", path.c_str(), 1);
    winsim::Reset();
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &key), ERROR_FILE_NOT_FOUND);
    unsetenv("FIX_TAMRIX_REGISTRY");
}

TEST_F(RegistryTextTest, ExitWritesTheFileBackOnlyWhenChanged) {
    const TempFolder folder;
    const std::string path = folder.path() + "/exit.reg";
    const std::string original =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Run]\n\"Keep\"=\"1\"\n\"Drop\"=\"2\"\n";
    WriteWholeFile(path, original);
    // A process that only reads leaves the file as it was...
    EXPECT_EXIT(
        {
            winsim::UseRegistryFile(path.c_str());
            HKEY key = nullptr;
            exit(RegOpenKeyA(HKEY_CURRENT_USER, "Run", &key) == ERROR_SUCCESS ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(path), original);
    // ...and one that deletes a value writes the registry back as it exits.
    EXPECT_EXIT(
        {
            winsim::UseRegistryFile(path.c_str());
            HKEY key = nullptr;
            if (RegOpenKeyA(HKEY_CURRENT_USER, "Run", &key) != ERROR_SUCCESS) exit(3);
            exit(RegDeleteValueA(key, "Drop") == ERROR_SUCCESS ? 0 : 4);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(path),
              Version5File("\n\n[HKEY_CURRENT_USER\\Run]\n\"Keep\"=\"1\"\n\n"));
}

TEST_F(RegistryTextTest, MalformedFileRefusesEveryCallAndIsNeverWritten) {
    const TempFolder folder;
    const std::string path = folder.path() + "/broken.reg";
    const std::string broken = "REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n\"v\"=dword:zz\n";
    WriteWholeFile(path, broken);
    winsim::UseRegistryFile(path.c_str());
    HKEY key = nullptr;
    testing::internal::CaptureStderr();
    LONG first = RegCreateKeyA(HKEY_CURRENT_USER, "Software\\New", &key);
    LONG second = RegOpenKeyA(HKEY_CURRENT_USER, "", &key);
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(first, 1009);
    EXPECT_EQ(second, 1009);
    EXPECT_EQ(message, "fix_tamrix: the registry file \"" + path +
                           "\" is malformed: line 3: bad dword data; every registry call fails "
                           "and the file is left as it is\n");
    EXPECT_TRUE(winsim::WriteBackRegistryFile());
    EXPECT_EQ(ReadWholeFile(path), broken);
}

}  // namespace
