// The cleaning walk over custom tables: each row form, the callbacks it makes
// and what the working row holds at that moment, stops, handles, allocations.
#include "registry/clean_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "registry/match_registry_data.h"
#include "registry/registry_action.h"
#include "registry/registry_delete.h"
#include "support/alloc_counter.h"
#include "support/native_run.h"
#include "support/recorded_calls.h"
#include "support/registry_builders.h"
#include "support/windows_versions.h"
#include "winsim/test_hooks.h"

namespace {

const char kKey[] = "HKEY_CURRENT_USER\\Software\\Walk";

struct Call {
    int32_t code;
    std::string key_path;
    std::string value_name;  // "<none>" for none
    std::string match;       // text, or "<none>"
    uint32_t match_length;
    uint32_t replacement_length;
    unsigned open_handles;
};

auto Fields(const Call& c) {
    return std::tie(c.code, c.key_path, c.value_name, c.match, c.match_length, c.replacement_length,
                    c.open_handles);
}
bool operator==(const Call& a, const Call& b) { return Fields(a) == Fields(b); }
void PrintTo(const Call& c, std::ostream* out) { *out << testing::PrintToString(Fields(c)); }

std::vector<Call> calls;
int32_t callback_result = 0;
bool delete_on_match = false;

// Each callback's code, value name and the handles open during it.
using Outcome = std::tuple<int32_t, std::string, unsigned>;
std::vector<Outcome> Outcomes() {
    std::vector<Outcome> outcomes;
    for (const Call& c : calls) outcomes.emplace_back(c.code, c.value_name, c.open_handles);
    return outcomes;
}

std::string TextOr(const void* text) {
    return text == nullptr ? "<none>" : static_cast<const char*>(text);
}

int32_t Record(int32_t code, const RegistryAction* row) {
    calls.push_back(Call{code, row->key_path, TextOr(row->value_name),
                         row->match.type == REG_BINARY ? "<bytes>" : TextOr(row->match.data),
                         row->match.length, row->replacement.length, winsim::OpenHandleCount()});
    if (delete_on_match && code == 0) DeleteRegistryItem(row->key_path, row->value_name);
    return callback_result;
}

class CleanRegistryTest : public NativeTest {
  protected:
    void SetUp() override {
        NativeTest::SetUp();
        calls.clear();
        callback_result = 0;
        delete_on_match = false;
    }

    void Seed(const std::string& body) {
        std::string error;
        ASSERT_TRUE(winsim::LoadRegistryText(Version5File("\n\n" + body), &error)) << error;
    }
};

const RegistryAction kEnd = {nullptr, nullptr, {0, nullptr, 0}, {0, nullptr, 0}, nullptr};

TEST_F(CleanRegistryTest, EachRowFormAndItsCallback) {
    Seed(
        "[HKEY_CURRENT_USER\\Software\\Walk]\n"
        "\"run\"=\"  C:\\\\WINDOWS\\\\SYSTEM32\\\\x.scr \"\n"
        "\"other\"=\"C:\\\\elsewhere\\\\x.scr\"\n"
        "\"empty\"=\"\"\n");
    const char* nowhere = "HKEY_CURRENT_USER\\Software\\Nowhere";
    RegistryAction table[] = {
        Row(kKey, "run", "%System%\\X.scr"),             // value test, matches
        Row(kKey, "other", "%System%\\X.scr"),           // value test, other data
        Row(kKey, "absent", "%System%\\X.scr"),          // value test, no value
        Row(nowhere, "run", "x"),                        // no key
        Row(kKey, "empty", nullptr, nullptr, nullptr),   // existence test
        Row(kKey, "absent", nullptr, nullptr, nullptr),  // existence test, no value
        Row(kKey, "run", "x", nullptr, nullptr),         // data but no matcher: existence test
        Row(kKey, nullptr, nullptr, nullptr, nullptr),   // whole-key row
        Row(nowhere, nullptr, nullptr, nullptr, nullptr),
        Row("HKCU\\Software\\Walk", "run", "x"),  // malformed path
        kEnd,
    };
    for (RegistryAction& row : table) row.replacement.length = 77;
    EXPECT_EQ(CleanRegistry(table, Record), 0);
    const std::string system_text = "C:\\WINDOWS\\system32\\X.scr";
    const uint32_t text_length = static_cast<uint32_t>(system_text.size() + 1);
    // No replacement data: the table's length (77) stands; the key is closed
    // before each callback.
    const std::vector<Call> expected = {
        {0, kKey, "run", system_text, text_length, 77, 0},
        {2, kKey, "other", system_text, text_length, 77, 0},
        {2, kKey, "absent", system_text, text_length, 77, 0},
        {2, nowhere, "run", "x", 2, 77, 0},
        {0, kKey, "empty", "<none>", 0, 77, 0},
        {2, kKey, "absent", "<none>", 0, 77, 0},
        {0, kKey, "run", "x", 2, 77, 0},
        {0, kKey, "<none>", "<none>", 0, 77, 0},
        {2, nowhere, "<none>", "<none>", 0, 77, 0},
        {ERROR_BADKEY, "HKCU\\Software\\Walk", "run", "x", 2, 77, 0},
    };
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(CleanRegistryTest, ReplacementTextIsExpandedAndMeasured) {
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"v\"=\"old\"\n");
    const RegistryAction table[] = {Row(kKey, "v", "OLD", "%Temp%x"), kEnd};
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, 0);
    EXPECT_EQ(calls[0].replacement_length, strlen("C:\\WINDOWS\\TEMP\\x") + 1);
}

TEST_F(CleanRegistryTest, DataLongerThanTheBufferIsAnAccessErrorAndStays) {
    const std::string long_text(300, 'a');
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"v\"=\"" + long_text + "\"\n");
    const RegistryAction table[] = {Row(kKey, "v", long_text.c_str()), Row(kKey, "v"),
                                    Row(kKey, "v", "a"), kEnd};
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    // A match text longer than its buffer is refused before the key is
    // opened; an existence test takes 234 as found.
    EXPECT_EQ(Outcomes(),
              (std::vector<Outcome>{
                  {ERROR_INSUFFICIENT_BUFFER, "v", 0}, {0, "v", 0}, {ERROR_MORE_DATA, "v", 0}}));
    EXPECT_NE(winsim::SaveRegistryText().find(long_text), std::string::npos) << "value kept";
}

TEST_F(CleanRegistryTest, SearchRows) {
    Seed(
        "[HKEY_CURRENT_USER\\Software\\Walk\\Empty]\n\n"
        "[HKEY_CURRENT_USER\\Software\\Walk\\Some]\n"
        "\"a\"=\"keep\"\n\"b\"=\"worm\"\n\"c\"=\"WORM \"\n\"d\"=\"worm\"\n\"e\"=dword:00000001\n");
    const RegistryAction table[] = {
        Row("HKEY_CURRENT_USER\\Software\\Walk\\Empty", nullptr, "worm"),
        Row("HKEY_CURRENT_USER\\Software\\Walk\\Some", nullptr, "nothing"),
        Row("HKEY_CURRENT_USER\\Software\\Walk\\Some", nullptr, "worm"),
        Row("HKEY_CURRENT_USER\\Software\\Walk\\Missing", nullptr, "worm"),
        kEnd,
    };
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    // A key without values gives one callback, and the row that matches
    // nothing none; the key stays open during a search.
    EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{ERROR_NO_MORE_ITEMS, "<none>", 1},
                                                {0, "b", 1},
                                                {0, "c", 1},
                                                {0, "d", 1},
                                                {ERROR_FILE_NOT_FOUND, "<none>", 0}}));
    EXPECT_EQ(calls[0].match_length, 5u) << "lengths are set before the search";
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

// A deleted value's index holds the next value afterwards: the search looks
// at that index again, so the value that moved down is examined too, once.
// (The cases of every order are in clean_registry_real_test.cpp.)
TEST_F(CleanRegistryTest, SearchExaminesEachValueOnceWhateverTheCallbackDeletes) {
    Seed(
        "[HKEY_CURRENT_USER\\Software\\Walk]\n"
        "\"a\"=\"worm\"\n\"b\"=\"worm\"\n\"c\"=\"keep\"\n\"d\"=\"worm\"\n");
    delete_on_match = true;
    const RegistryAction table[] = {Row(kKey, nullptr, "worm"), kEnd};
    winsim::RecordCalls(true);
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    // "b" moved into the index of "a".
    EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{0, "a", 1}, {0, "b", 1}, {0, "d", 1}}));
    EXPECT_EQ(winsim::SaveRegistryText(),
              Version5File("\n\n[HKEY_CURRENT_USER\\Software\\Walk]\n\"c\"=\"keep\"\n\n"));
    EXPECT_EQ(RecordedCallsOf({"RegEnumValueW"}).size(), 3u)
        << "each match read again once through the W call";

    // The look after a callback fails: reported once for the value examined,
    // and the row's search ends there, as after any other enumeration error.
    ResetProcessState();
    calls.clear();
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"a\"=\"worm\"\n\"b\"=\"worm\"\n");
    delete_on_match = true;
    winsim::FailCall("RegEnumValueA", ERROR_ACCESS_DENIED, 2);
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{0, "a", 1}, {ERROR_ACCESS_DENIED, "a", 1}}));
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(CleanRegistryTest, EnumerationErrorsReachTheCallback) {
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"" + std::string(300, 'n') +
         "\"=\"worm\"\n\"b\"=\"worm\"\n");
    const RegistryAction table[] = {Row(kKey, nullptr, "worm"), kEnd};
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    // A name too long for the buffer, which the search steps over.
    EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{ERROR_MORE_DATA, "<none>", 1}, {0, "b", 1}}));

    // Any other failure is reported once and ends the row's search.
    calls.clear();
    winsim::FailCall("RegEnumValueA", ERROR_ACCESS_DENIED);
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{ERROR_ACCESS_DENIED, "<none>", 1}}));
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

TEST_F(CleanRegistryTest, CallbackResultStopsTheWalk) {
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"a\"=\"worm\"\n\"b\"=\"worm\"\n");
    callback_result = 42;
    const RegistryAction search[] = {Row(kKey, nullptr, "worm"), Row(kKey, "a", "worm"), kEnd};
    EXPECT_EQ(CleanRegistry(search, Record), 42);
    EXPECT_EQ(calls.size(), 1u) << "stopped inside the search";
    EXPECT_EQ(winsim::OpenHandleCount(), 0u) << "the search's key is closed on the way out";

    calls.clear();
    const RegistryAction rows[] = {Row(kKey, "zz", "worm"), Row(kKey, "a", "worm"), kEnd};
    EXPECT_EQ(CleanRegistry(rows, Record), 42);
    EXPECT_EQ(calls.size(), 1u);

    calls.clear();
    EXPECT_EQ(CleanRegistry(nullptr, Record), 0);
    const RegistryAction empty[] = {kEnd};
    EXPECT_EQ(CleanRegistry(empty, Record), 0);
    EXPECT_TRUE(calls.empty());
}

TEST_F(CleanRegistryTest, FailedExpansionKeepsTheRestUnexpanded) {
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"v\"=\"x\"\n");
    winsim::FailCall("GetComputerNameA", ERROR_ACCESS_DENIED);
    const RegistryAction table[] = {Row(kKey, "%ComputerName%", "%System%\\x"), kEnd};
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(calls[0].key_path, kKey);
    EXPECT_EQ(calls[0].value_name, "%ComputerName%");
    EXPECT_EQ(calls[0].match, "%System%\\x");
    EXPECT_EQ(calls[0].match_length, strlen("%System%\\x") + 1);
}

TEST_F(CleanRegistryTest, RawDataRows) {
    Seed(
        "[HKEY_CURRENT_USER\\Software\\Walk]\n\"bin\"=hex:01,02,03\n\"text\"=\"abc\"\n"
        "\"multi\"=hex(7):61,00,e9,00,00\n");
    static const unsigned char kBytes[] = {1, 2, 3};
    const RegistryAction table[] = {
        Row(kKey, "bin", {REG_BINARY, kBytes, 3}, {REG_BINARY, nullptr, 0}),
        Row(kKey, "bin", {REG_BINARY, kBytes, 2}, {REG_BINARY, nullptr, 0}),
        // A multi-string's bytes as the A calls give them: the W call's
        // UTF-16 form widens from them, so the search takes it.
        Row(kKey, nullptr, {REG_BINARY, "a\0\xe9\0", 5}, {REG_BINARY, nullptr, 0}),
        kEnd,
    };
    ASSERT_EQ(CleanRegistry(table, Record), 0);
    EXPECT_EQ(Outcomes(), (std::vector<Outcome>{
                              {0, "bin", 0}, {ERROR_FILE_NOT_FOUND, "bin", 0}, {0, "multi", 1}}));
    EXPECT_EQ(calls[0].match_length, 3u) << "raw lengths are the table's";
}

TEST_F(CleanRegistryTest, WormsTextIsTakenOnEveryKindOfMachine) {
    // Text the A calls stored widens back exactly, whatever the code page;
    // the 95 family has no W calls to compare with, and needs none.
    struct Case {
        const char* what;
        DWORD version;
        BYTE lead_first, lead_last;
        const char* system;
    };
    const Case cases[] = {
        {"NT family", kWindowsXp, 1, 0, "C:\\WINDOWS\\system32"},
        {"NT family, double-byte code page", kWindowsXp, 0x81, 0x9F,
         "C:\\WINDOWS\\\x82\\32"},  // the pair's trail byte looks like a backslash
        {"95 family", kWindows98, 1, 0, "C:\\WINDOWS\\SYSTEM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProcessState();
        calls.clear();
        winsim::SetVersion(c.version);
        winsim::SetDbcsLeadBytes(c.lead_first, c.lead_last);
        winsim::SetSystemDirectory(c.system);
        const std::string data = std::string(c.system) + "\\Screen.scr";
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Walk", &key), ERROR_SUCCESS);
        for (const char* name : {"screen", "other"}) {
            ASSERT_EQ(
                RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                               static_cast<DWORD>(data.size() + 1)),
                ERROR_SUCCESS);
        }
        winsim::RecordCalls(true);
        delete_on_match = true;
        const RegistryAction table[] = {Row(kKey, "screen", "%System%\\Screen.scr"),
                                        Row(kKey, nullptr, "%System%\\Screen.scr"), kEnd};
        ASSERT_EQ(CleanRegistry(table, Record), 0);
        // The test's own handle on the key counted.
        EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{0, "screen", 1}, {0, "other", 2}}));
        DWORD values = 99;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(values, 0u);
        RegCloseKey(key);
        EXPECT_EQ(RecordedCallsOf({"RegQueryValueExW", "RegEnumValueW"}).size(), 2u)
            << "each match was read again through a W call";
    }
}

TEST_F(CleanRegistryTest, FailedExactnessCheckIsAnAccessError) {
    Seed("[HKEY_CURRENT_USER\\Software\\Walk]\n\"v\"=\"worm\"\n");
    const RegistryAction table[] = {Row(kKey, "v", "worm"), Row(kKey, nullptr, "worm"), kEnd};
    // The value test reads first: the first W read and conversion are its own.
    const struct {
        const char* call;
        unsigned occurrence;
        int32_t value_test, search;
    } cases[] = {{"RegEnumValueW", 1, ERROR_ACCESS_DENIED, 0},
                 {"MultiByteToWideChar", 1, ERROR_ACCESS_DENIED, 0},
                 {"RegEnumValueW", 2, 0, ERROR_ACCESS_DENIED}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.occurrence));
        calls.clear();
        winsim::FailCall(c.call, ERROR_ACCESS_DENIED, c.occurrence);
        ASSERT_EQ(CleanRegistry(table, Record), 0);
        winsim::ClearFaults();
        // Reported for the value the search examined.
        EXPECT_EQ(Outcomes(), (std::vector<Outcome>{{c.value_test, "v", 0}, {c.search, "v", 1}}));
        EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    }
}

TEST_F(CleanRegistryTest, WalkAllocatesNothing) {
    if (!AllocationCountingWorks()) GTEST_SKIP() << "allocations cannot be counted in this build";
    Seed(
        "[HKEY_CURRENT_USER\\Software\\Walk]\n"
        "\"a\"=\"worm\"\n\"b\"=\"C:\\\\WINDOWS\\\\system32\\\\x\"\n");
    // A look-alike stored as wide text is read again through the W calls.
    ASSERT_TRUE(winsim::SetWideValue(HKEY_CURRENT_USER, "Software\\Walk", u"c", REG_SZ,
                                     u"\uFF57orm", sizeof u"\uFF57orm"));
    const RegistryAction table[] = {Row(kKey, "b", "%System%\\x"),
                                    Row(kKey, nullptr, "worm"),
                                    Row(kKey, "a"),
                                    Row(kKey, nullptr),
                                    Row(kKey, "c", "worm"),
                                    kEnd};
    auto quiet = [](int32_t, const RegistryAction*) -> int32_t { return 0; };
    StartCountingAllocations();
    int32_t result = CleanRegistry(table, quiet);
    size_t allocations = StopCountingAllocations();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(allocations, 0u);
    // The counter itself is live: a deliberate allocation is seen.
    StartCountingAllocations();
    std::string* probe = new std::string(100, 'x');
    EXPECT_GE(StopCountingAllocations(), 1u);
    delete probe;
}

}  // namespace
