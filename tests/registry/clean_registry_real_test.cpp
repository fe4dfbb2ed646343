// Search rows against a real registry (Wine's, which enumerates values sorted
// by name, in the Windows builds) and the native one (creation order) alike:
// every value is examined once, in the enumeration's order, whatever the
// callback does to the values it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/registry_action.h"
#include "registry/registry_path.h"
#include "support/registry_builders.h"
#include "support/registry_sandbox.h"

namespace {

// What the callback does to each value it is given with code 0.
enum class Action { kDelete, kSet, kNothing };

Action action = Action::kNothing;
std::vector<std::string> reported;  // "<code> <name>" per callback

int32_t Act(int32_t code, const RegistryAction* row) {
    reported.push_back(std::to_string(code) + " " +
                       (row->value_name != nullptr ? row->value_name : "<none>"));
    if (code != 0 || action == Action::kNothing) return 0;
    HKEY key = nullptr;
    EXPECT_EQ(OpenRegistryPath(row->key_path, &key), 0);
    if (action == Action::kDelete) {
        EXPECT_EQ(RegDeleteValueA(key, row->value_name), ERROR_SUCCESS);
    } else {
        EXPECT_EQ(RegSetValueExA(key, row->value_name, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>("clean"), 6),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
    return 0;
}

// The text values of HKEY_CURRENT_USER\`sub_key` as "name=data", sorted,
// joined by spaces.
std::string TextValues(const std::string& sub_key) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, sub_key.c_str(), &key) != ERROR_SUCCESS) return "<missing>";
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        char name[32];
        char data[32];
        DWORD name_size = sizeof name, data_size = sizeof data;
        if (RegEnumValueA(key, i, name, &name_size, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                          &data_size) != ERROR_SUCCESS) {
            break;
        }
        values.push_back(std::string(name) + "=" + data);
    }
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    std::string joined;
    for (const std::string& value : values) joined += (joined.empty() ? "" : " ") + value;
    return joined;
}

class CleanRegistryRealTest : public testing::Test {
  protected:
    const Sandbox box_{"search"};
    const std::string& sub_key_ = box_.sub_key;
};

TEST_F(CleanRegistryRealTest, SearchExaminesEveryValueOnceInOrder) {
    struct Case {
        const char* what;
        const char* values;  // one letter per value, in name order: w holds the worm's text
        Action action;
        const char* reports;  // the names reported, in order
        const char* left;     // the values left, as "name=data" joined by spaces
    };
    // Names sort as they are created, so both enumeration orders agree.
    const Case cases[] = {
        {"two adjacent", "wwk", Action::kDelete, "a b", "c=keep"},
        {"three adjacent between others", "kwwwk", Action::kDelete, "b c d", "a=keep e=keep"},
        {"a match at the last index", "kw", Action::kDelete, "b", "a=keep"},
        {"the last two", "kww", Action::kDelete, "b c", "a=keep"},
        {"every value", "www", Action::kDelete, "a b c", ""},
        {"a callback that deletes nothing", "wwkw", Action::kNothing, "a b d",
         "a=worm b=worm c=keep d=worm"},
        {"a callback that sets the values", "wwkw", Action::kSet, "a b d",
         "a=clean b=clean c=keep d=clean"},
    };
    const std::string path = "HKEY_CURRENT_USER\\" + sub_key_;
    const RegistryAction table[] = {
        Row(path.c_str(), nullptr, "worm"),
        {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FreshSandbox("search");
        std::string name = "a";
        for (const char* v = c.values; *v != '\0'; ++v, ++name[0]) {
            ASSERT_TRUE(SetTextForTest(sub_key_, name.c_str(), *v == 'w' ? "worm" : "keep"));
        }
        action = c.action;
        reported.clear();
        ASSERT_EQ(CleanRegistry(table, Act), 0);
        std::string names;
        for (const std::string& report : reported) {
            EXPECT_EQ(report.substr(0, 2), "0 ") << report;
            names += (names.empty() ? "" : " ") + report.substr(2);
        }
        EXPECT_EQ(names, c.reports);
        EXPECT_EQ(TextValues(sub_key_), c.left);
    }
}

}  // namespace
