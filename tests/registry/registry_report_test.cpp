// What the standard callback prints, logs and does for each outcome of a row.
#include "registry/registry_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "log/log_file.h"
#include "registry/clean_registry.h"
#include "registry/match_registry_data.h"
#include "registry/second_look.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/registry_builders.h"
#include "winsim/test_hooks.h"

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\Software\\Report";
const std::string kKeyHeader = "REGEDIT4\n\n[" + std::string(kKey) + "]\n";
const std::string kSeed = Version5File(
    "\n\n[HKEY_CURRENT_USER\\Software\\Report]\n\"v\"=\"C:\\\\x\"\n\"keep\"=\"x\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Report\\Sub]\n\"w\"=\"y\"\n\n"
    "[HKEY_CURRENT_USER\\Software\\Report\\Sub\\Deeper]\n\n");
// The value "v" as the seed holds it: the rows' text.
const char kOld[] = "\"v\"=\"C:\\\\x\"";
const char kUndoName[] = "/fix_tamrix_undo_20261208_090503.reg";
const unsigned char kBytes[] = {0x01, 0x00, 0xff};
const DWORD kDword = 7;

class RegistryReportTest : public NativeTest {
  protected:
    LoggedRun run_;
};

struct Case {
    const char* what;
    int32_t code;
    RegistryAction row;
    const char* fail_call;  // a call made to fail with 5, or nullptr
    std::string console;
    std::optional<std::string> log;  // lines without their stamps; none: the console's last
                                     // line alone
    const char* gone;                // a text no longer in the registry afterwards, or nullptr
    const char* present;             // a text still (or now) in the registry, or nullptr
    std::function<void()> at_wait = nullptr;  // another program at the second look's wait
};

TEST_F(RegistryReportTest, OutcomesAndActions) {
    const RowData text = {REG_SZ, "C:\\x", 5};
    const RowData bytes = {REG_BINARY, kBytes, 3};
    // More bytes than the shown text holds: as many pairs as fit its 804 bytes.
    unsigned char many[400];
    memset(many, 0xab, sizeof many);
    const RowData long_bytes = {REG_BINARY, many, sizeof many};
    std::string long_shown = "ab";
    for (int i = 1; i < 267; ++i) long_shown += ",ab";
    const std::string key = kKey;
    const std::string missing = key + "\\Missing";
    const std::string in_key = " in key \"" + key + "\"";
    const std::string value_v = "Registry value \"v\"" + in_key;
    const std::string deleting_v = "Deleting registry value \"v\"" + in_key + "...";
    const std::string setting_v = "Setting registry value \"v\"" + in_key;
    const std::string deleting_key = "Deleting registry key \"" + key + "\"...";
    const std::string saved = " was saved to \"" + run_.folder().path() + kUndoName + "\".\n";
    const std::string saved_v = "Undo data for registry value \"v\"" + in_key + saved;
    const std::string saved_key = "Undo data for registry key \"" + key + "\"" + saved;
    const std::string key_not_found = "Registry key \"" + key + "\" was not found.\n";
    auto entry_not_found = [&](const std::string& data) {
        return "Registry entry \"v\"" + data + in_key + " was not found.\n";
    };
    const std::string accessing = "\nAn error was detected while accessing registry ";
    const std::string changed = " changed after it was checked and was not ";
    const std::string no_file = ": The system cannot find the file specified.\n";
    // The second look's reports, and another program that writes `text` meanwhile.
    const std::string back = value_v + " came back after it was deleted.\n";
    const std::string set_back = value_v + " was changed back after it was set.\n";
    const std::string key_back = "Registry key \"" + key + "\" came back after it was deleted.\n";
    const std::string denied_v = "An error was detected while accessing registry value \"v\"" +
                                 in_key + ": Access is denied.\n";
    const std::string advice =
        "A program that is running now, most likely the worm, put it back. Restart Windows in "
        "Safe Mode and run fix_tamrix again there.\n";
    const auto writes = [](const std::string& text) {
        return [text] { ASSERT_TRUE(winsim::ImportRegistryText(kKeyHeader + text)); };
    };
    const Case cases[] = {
        {"key not found", 2, Row(kKey, nullptr), nullptr, key_not_found, std::nullopt, nullptr,
         nullptr},
        {"key path not found", 3, Row(kKey, nullptr), nullptr, key_not_found, std::nullopt, nullptr,
         nullptr},
        {"key access error", 5, Row(kKey, nullptr), nullptr,
         accessing + "key \"" + key + "\": Access is denied.\n", std::nullopt, nullptr, nullptr},
        {"entry not found", 2, Row(kKey, "v"), nullptr, entry_not_found(""), std::nullopt, nullptr,
         nullptr},
        {"entry with data not found", 2, Row(kKey, "v", text), nullptr,
         entry_not_found("=\"C:\\x\""), std::nullopt, nullptr, nullptr},
        {"entry with raw data not found", 3, Row(kKey, "v", bytes), nullptr,
         entry_not_found("=\"01,00,ff\""), std::nullopt, nullptr, nullptr},
        {"entry with long raw data not found", 2, Row(kKey, "v", long_bytes), nullptr,
         entry_not_found("=\"" + long_shown + "\""), std::nullopt, nullptr, nullptr},
        {"value access error", 234, Row(kKey, "v", text), nullptr,
         accessing + "value \"v\"" + in_key + ": More data is available.\n", std::nullopt, nullptr,
         kOld},
        {"value deleted", 0, Row(kKey, "v", text), nullptr, deleting_v + " Done.\n",
         saved_v + value_v + " was deleted.\n", "\"v\"=", "\"keep\"=\"x\""},
        // The value is read again right before the action: one that is no
        // longer what the walk matched stays.
        {"value gone before its deletion", 0, Row(kKey, "absent", text), nullptr,
         "Deleting registry value \"absent\"" + in_key + "...\nRegistry value \"absent\"" + in_key +
             changed + "deleted" + no_file,
         std::nullopt, nullptr, kOld},
        {"value changed before its deletion", 0, Row(kKey, "v", {REG_SZ, "C:\\y", 5}), nullptr,
         deleting_v + "\n" + value_v + changed + "deleted" + no_file, std::nullopt, nullptr, kOld},
        {"value unreadable before its deletion", 0, Row(kKey, "v", text), "RegEnumValueA",
         deleting_v + "\n" + denied_v, std::nullopt, nullptr, kOld},
        {"value set to text", 0, Row(kKey, "v", text, {REG_SZ, "new", 4}), nullptr,
         setting_v + " to \"new\"... Done.\n", saved_v + value_v + " was set to \"new\".\n", kOld,
         "\"v\"=\"new\""},
        {"value set to a dword", 0, Row(kKey, "v", text, {REG_DWORD, &kDword, 4}), nullptr,
         setting_v + "... Done.\n", saved_v + value_v + " was set.\n", kOld,
         "\"v\"=dword:00000007"},
        {"value set in a missing key", 0, Row(missing.c_str(), "v", text, {REG_SZ, "new", 4}),
         nullptr,
         "Setting registry value \"v\" in key \"" + missing + "\" to \"new\"...\n" +
             "Registry value \"v\" in key \"" + missing + "\"" + changed + "set" + no_file,
         std::nullopt, nullptr, kOld},
        {"value set refused", 0, Row(kKey, "v", text, {REG_SZ, "new", 4}), "RegSetValueExA",
         setting_v + " to \"new\"...\n" + value_v + " could not be set: Access is denied.\n",
         saved_v + value_v + " could not be set: Access is denied.\n", nullptr, kOld},
        {"key deleted with its subtree", 0, Row(kKey, nullptr), nullptr, deleting_key + " Done.\n",
         saved_key + "Registry key \"" + key + "\" was deleted.\n", "Report", nullptr},
        {"key gone before its deletion", 0, Row(missing.c_str(), nullptr), nullptr,
         "Deleting registry key \"" + missing + "\"...\nRegistry key \"" + missing +
             "\" could not be deleted" + no_file,
         std::nullopt, nullptr, "\"keep\"=\"x\""},
        {"value came back after its deletion", 0, Row(kKey, "v", text), nullptr,
         deleting_v + " Done.\n\n" + back + "\n" + advice,
         saved_v + value_v + " was deleted.\n" + back + advice, nullptr, kOld,
         writes("\"v\"=\"C:\\\\x\"")},
        {"value back, but not the worm's", 0, Row(kKey, "v", text), nullptr,
         deleting_v + " Done.\n", saved_v + value_v + " was deleted.\n", nullptr,
         "\"v\"=\"C:\\\\y\"", writes("\"v\"=\"C:\\\\y\"")},
        {"value changed back after it was set", 0, Row(kKey, "v", text, {REG_SZ, "new", 4}),
         nullptr, setting_v + " to \"new\"... Done.\n\n" + set_back + "\n" + advice,
         saved_v + value_v + " was set to \"new\".\n" + set_back + advice, nullptr, kOld,
         writes("\"v\"=\"C:\\\\x\"")},
        {"key came back after its deletion", 0, Row(kKey, nullptr), nullptr,
         deleting_key + " Done.\n\n" + key_back + "\n" + advice,
         saved_key + "Registry key \"" + key + "\" was deleted.\n" + key_back + advice, nullptr,
         "[HKEY_CURRENT_USER\\Software\\Report]", writes("")},
        {"second look unreadable", 0, Row(kKey, "v", text), nullptr,
         deleting_v + " Done.\n\n" + denied_v, saved_v + value_v + " was deleted.\n" + denied_v,
         "\"v\"=", nullptr, [] { winsim::FailCall("RegEnumValueA", ERROR_ACCESS_DENIED); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        run_.Start();
        std::string error;
        ASSERT_TRUE(winsim::LoadRegistryText(kSeed, &error)) << error;
        if (c.fail_call != nullptr) winsim::FailCall(c.fail_call, ERROR_ACCESS_DENIED);
        if (c.at_wait) winsim::OnCall("Sleep", 1, c.at_wait);
        int32_t result = -1;
        std::string first_look;  // the second look's first call: none without a change
        std::string console = CaptureStdout([&] {
            result = ReportRegistryResult(c.code, &c.row);
            winsim::RecordCalls(true);
            LookAgainAtDoneRows("fix_tamrix");
            if (!winsim::RecordedCalls().empty()) first_look = winsim::RecordedCalls()[0];
        });
        run_.Finish();
        EXPECT_EQ(first_look, c.console.find(" Done.\n") != std::string::npos ? "Sleep(1000)" : "");
        EXPECT_EQ(result, 0);
        EXPECT_EQ(console, c.console);
        const size_t last = c.console.rfind('\n', c.console.size() - 2) + 1;
        EXPECT_EQ(run_.LogLines(), Stamped(c.log ? *c.log : c.console.substr(last)));
        const std::string registry = winsim::SaveRegistryText();
        if (c.gone != nullptr) {
            EXPECT_EQ(registry.find(c.gone), std::string::npos) << registry;
        }
        if (c.present != nullptr) {
            EXPECT_NE(registry.find(c.present), std::string::npos) << registry;
        }
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    }
}

// Names come from the registry in a search: one that reads like a path
// variable must be deleted, and looked at again, as it stands, not as what
// it would expand to. Both values come back: the advice follows them once.
TEST_F(RegistryReportTest, SearchDeletesTheValuesByTheNamesItFound) {
    run_.Start();  // the undo file goes beside the log
    const std::string worms = "\"%Temp%\"=\"worm\"\n\"Second\"=\"worm\"\n";
    ASSERT_TRUE(winsim::LoadRegistryText(
        Version5File("\n\n[HKEY_CURRENT_USER\\Software\\Report]\n" + worms +
                     "\"C:\\\\WINDOWS\\\\TEMP\\\\\"=\"unrelated\"\n")));
    const RegistryAction table[] = {
        Row(kKey, nullptr, "worm"),
        {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr},
    };
    std::string registry;
    winsim::OnCall("Sleep", 1, [&] {
        registry = winsim::SaveRegistryText();
        ASSERT_TRUE(winsim::ImportRegistryText(kKeyHeader + worms));
    });
    std::string console = CaptureStdout([&] {
        EXPECT_EQ(CleanRegistry(table, ReportRegistryResult), 0);
        LookAgainAtDoneRows("fix_tamrix");
    });
    std::string expected, back;
    for (const std::string name : {"%Temp%", "Second"}) {
        const std::string value = " registry value \"" + name + "\" in key \"" + kKey + "\"";
        expected += "Deleting" + value + "... Done.\n";
        back += "\nRegistry" + value.substr(9) + " came back after it was deleted.\n";
    }
    EXPECT_EQ(console, expected + back +
                           "\nA program that is running now, most likely the worm, put it back. "
                           "Restart Windows in Safe Mode and run fix_tamrix again there.\n");
    EXPECT_EQ(registry.find("\"%Temp%\""), std::string::npos) << registry;
    EXPECT_EQ(registry.find("\"Second\""), std::string::npos) << registry;
    EXPECT_NE(registry.find("\"C:\\\\WINDOWS\\\\TEMP\\\\\"=\"unrelated\""), std::string::npos)
        << registry;
}

}  // namespace
