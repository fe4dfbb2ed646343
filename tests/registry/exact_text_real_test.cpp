// Look-alikes of the worm's start-up text against a real registry (Wine's, in
// the win32 and win64 builds) and the native one alike. The registry keeps
// text in UTF-16 and the A calls read it back with best-fit mapping: text that
// reads as the worm's only through a best fit is another file, and stays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/registry_action.h"
#include "registry/registry_delete.h"
#include "support/registry_builders.h"
#include "support/registry_sandbox.h"

namespace {

struct Outcome {
    int32_t code;
    std::string value_name;
};

std::vector<Outcome> outcomes;

// The standard callback's effect on a match, without its console and log.
int32_t DeleteOnMatch(int32_t code, const RegistryAction* row) {
    outcomes.push_back({code, row->value_name != nullptr ? row->value_name : "<none>"});
    if (code == 0) {
        EXPECT_EQ(DeleteRegistryValueNamed(row->key_path, row->value_name), 0);
    }
    return 0;
}

std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string Upper(std::u16string text) {
    for (char16_t& unit : text) {
        if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - 32);
    }
    return text;
}

struct Case {
    const char* what;
    std::u16string name;
    DWORD type;
    std::u16string data;
    bool deleted;
    const char* match = "%System%\\Screen.scr";  // the row's text
};

class ExactTextRealTest : public testing::Test {
  protected:
    void SetUp() override {
        char folder[MAX_PATH];
        UINT length = GetSystemDirectoryA(folder, sizeof folder);
        ASSERT_GT(length, 0u);
        ASSERT_LT(length, sizeof folder);
        system_ = Widen(folder);
    }
    // A fresh sandbox holding only the case's value; its full path.
    std::string Seed(const Case& c) {
        std::string path = FreshSandbox("exact");
        std::u16string data = c.data;
        data.push_back(u'\0');
        EXPECT_TRUE(SetWideValueForTest(sub_key_, c.name, c.type, data.data(),
                                        data.size() * sizeof(char16_t)));
        return path;
    }

    DWORD ValuesLeft() const {
        HKEY key = nullptr;
        DWORD values = 99;
        if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key_.c_str(), &key) != ERROR_SUCCESS) return values;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        return values;
    }

    std::u16string system_;  // the system folder, e.g. "C:\windows\system32"
    const Sandbox box_{"exact"};
    const std::string& sub_key_ = box_.sub_key;
};

TEST_F(ExactTextRealTest, LookAlikesStayAndTheWormsOwnTextGoes) {
    const std::u16string worm = system_ + u"\\Screen.scr";
    const Case cases[] = {
        {"full-width S", u"screen", REG_SZ, system_ + u"\\\uFF33creen.scr", false},
        {"S with acute", u"screen", REG_SZ, system_ + u"\\\u015Acreen.scr", false},
        {"e with macron", u"screen", REG_SZ, system_ + u"\\Scr\u0113en.scr", false},
        {"full-width backslash", u"screen", REG_SZ, system_ + u"\uFF3CScreen.scr", false},
        {"full-width extension", u"screen", REG_SZ, system_ + u"\\Screen.\uFF53\uFF43\uFF52",
         false},
        {"look-alike as REG_EXPAND_SZ", u"screen", REG_EXPAND_SZ, system_ + u"\\\uFF33creen.scr",
         false},
        {"look-alike in the value's name", u"\uFF53creen", REG_SZ, worm, false},
        {"the worm's text", u"screen", REG_SZ, worm, true},
        {"in other letter case", u"SCREEN", REG_SZ, Upper(worm), true},
        {"with white space around", u"screen", REG_SZ, u" \t" + worm + u"  \r\n", true},
        {"as REG_EXPAND_SZ", u"screen", REG_EXPAND_SZ, worm, true},
        // Only the part the matcher compares must read back exactly: what
        // follows the text's NUL decides nothing.
        {"the worm's text, a NUL and a character outside the code page", u"screen", REG_SZ,
         worm + u'\0' + u"\u8868", true},
        {"a look-alike, a NUL and the worm's text", u"screen", REG_SZ,
         system_ + u"\\\uFF33creen.scr" + u'\0' + worm, false},
        // A letter the code page has reads back as itself: exact, and so taken.
        {"a code page letter in both", u"screen", REG_SZ, system_ + u"\\Scr\u00E8en.scr", true,
         "%System%\\Scr\xE8"
         "en.scr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The value test that the built-in rows make.
        std::string path = Seed(c);
        const RegistryAction end = {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr};
        const RegistryAction test[] = {Row(path.c_str(), "screen", c.match), end};
        outcomes.clear();
        ASSERT_EQ(CleanRegistry(test, DeleteOnMatch), 0);
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_EQ(outcomes[0].code, c.deleted ? 0 : ERROR_FILE_NOT_FOUND)
            << "a look-alike is reported as not found";
        EXPECT_EQ(ValuesLeft(), c.deleted ? 0u : 1u);

        // A search of every value of the key for the same text.
        path = Seed(c);
        const RegistryAction search[] = {Row(path.c_str(), nullptr, c.match), end};
        outcomes.clear();
        ASSERT_EQ(CleanRegistry(search, DeleteOnMatch), 0);
        if (c.deleted) {
            ASSERT_EQ(outcomes.size(), 1u);
            EXPECT_EQ(outcomes[0].code, 0);
        } else {
            EXPECT_TRUE(outcomes.empty()) << "a search reports no value that does not match";
        }
        EXPECT_EQ(ValuesLeft(), c.deleted ? 0u : 1u);
    }
}

}  // namespace
