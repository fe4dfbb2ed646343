// What only the native registry offers tests: open-handle counts, recorded
// calls, injected faults, and reads that never touch the heap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/alloc_counter.h"
#include "support/native_run.h"
#include "support/windows_versions.h"
#include "winsim/test_hooks.h"

namespace {

class NativeRegistryTest : public NativeTest {
  protected:
    void SetUp() override {
        NativeTest::SetUp();
        ASSERT_TRUE(
            winsim::LoadRegistryText("REGEDIT4\n\n"
                                     "[HKEY_CURRENT_USER\\Software\\Run]\n"
                                     "\"Screen\"=\"C:\\\\WINDOWS\\\\system32\\\\Screen.scr\"\n"
                                     "\"Count\"=dword:00000002\n"));
    }
};

TEST_F(NativeRegistryTest, CountsOpenHandles) {
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    HKEY first = nullptr;
    HKEY second = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &first), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &second), ERROR_SUCCESS);
    EXPECT_NE(first, second);
    EXPECT_EQ(winsim::OpenHandleCount(), 2u);
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyA(first, "", &same), ERROR_SUCCESS);  // no new handle
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "", &same), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(), 2u);
    HKEY again = nullptr;
    ASSERT_EQ(RegCreateKeyA(first, "", &again), ERROR_SUCCESS);  // a new one on the same key
    EXPECT_EQ(winsim::OpenHandleCount(), 3u);
    EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(first), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(), 1u);
    // A slot used again does not revive the closed handle's value.
    HKEY third = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &third), ERROR_SUCCESS);
    EXPECT_NE(third, first);
    EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(second), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(third), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

// Handle values carry a serial that grows with every opening; none may equal a
// predefined root's value (0x80000004 came up at the 524,288th), which calls
// would take for the root and whose closing would free nothing. The serial
// comes round after 2^20 openings: a 32-bit build once lost its high bits
// there, and every handle opened after was invalid.
TEST_F(NativeRegistryTest, NoHandleTakesARootsValue) {
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                          HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                          HKEY_DYN_DATA};
    for (unsigned i = 0; i < 0x100000 + 16; ++i) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Run", &key), ERROR_SUCCESS);
        for (HKEY root : roots) ASSERT_NE(key, root) << "opening " << i;
        ASSERT_LE(reinterpret_cast<uintptr_t>(key), uintptr_t{0xFFFFFFFF}) << "opening " << i;
        ASSERT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS) << "opening " << i;
        ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        ASSERT_EQ(winsim::OpenHandleCount(), 0u) << "opening " << i;
    }
}

TEST_F(NativeRegistryTest, DeletedKeyHandlesStayCountedUntilClosed) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Gone", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Gone"), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(), 1u);
    winsim::RecordCalls(true);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    // The record still names the key by the path it had.
    const std::vector<std::string> expected = {
        "RegQueryValueExA(HKEY_CURRENT_USER\\Software\\Gone, x)",
        "RegCloseKey(HKEY_CURRENT_USER\\Software\\Gone)",
    };
    EXPECT_EQ(winsim::RecordedCalls(), expected);
}

TEST_F(NativeRegistryTest, RecordsCallsWithFullKeyPaths) {
    winsim::RecordCalls(true);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "software", &key), ERROR_SUCCESS);
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyA(key, "Run", &run), ERROR_SUCCESS);
    char name[32];
    DWORD capacity = sizeof name;
    DWORD count = 0;
    RegEnumValueA(run, 1, name, &capacity, nullptr, nullptr, nullptr, nullptr);
    RegQueryInfoKeyA(run, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegEnumKeyA(key, 0, name, sizeof name);
    RegQueryValueExA(run, nullptr, nullptr, nullptr, nullptr, &capacity);
    RegSetValueExA(run, "New", 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2);
    RegDeleteValueA(run, "");
    RegDeleteKeyA(key, "Missing");
    RegCloseKey(run);
    RegCloseKey(key);
    RegCreateKeyA(HKEY_LOCAL_MACHINE, "A\\B", &key);
    RegCloseKey(key);
    const std::vector<std::string> expected = {
        // Keys are named as they were created, whatever case the caller used.
        "RegOpenKeyA(HKEY_CURRENT_USER, software)",
        "RegOpenKeyA(HKEY_CURRENT_USER\\Software, Run)",
        "RegEnumValueA(HKEY_CURRENT_USER\\Software\\Run, 1)",
        "RegQueryInfoKeyA(HKEY_CURRENT_USER\\Software\\Run)",
        "RegEnumKeyA(HKEY_CURRENT_USER\\Software, 0)",
        "RegQueryValueExA(HKEY_CURRENT_USER\\Software\\Run, NULL)",
        "RegSetValueExA(HKEY_CURRENT_USER\\Software\\Run, New)",
        "RegDeleteValueA(HKEY_CURRENT_USER\\Software\\Run, )",
        "RegDeleteKeyA(HKEY_CURRENT_USER\\Software, Missing)",
        "RegCloseKey(HKEY_CURRENT_USER\\Software\\Run)",
        "RegCloseKey(HKEY_CURRENT_USER\\Software)",
        "RegCreateKeyA(HKEY_LOCAL_MACHINE, A\\B)",
        "RegCloseKey(HKEY_LOCAL_MACHINE\\A\\B)",
    };
    EXPECT_EQ(winsim::RecordedCalls(), expected);
}

TEST_F(NativeRegistryTest, WideCallsOnEachFamily) {
    winsim::RecordCalls(true);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &key), ERROR_SUCCESS);
    WCHAR name[16];
    DWORD capacity = 16;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"screen", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2 * sizeof "C:\\WINDOWS\\system32\\Screen.scr");
    EXPECT_EQ(RegEnumValueW(key, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, name, 16), 3);
    const std::vector<std::string> expected = {
        "RegOpenKeyA(HKEY_CURRENT_USER, Software\\Run)",
        "RegQueryValueExW(HKEY_CURRENT_USER\\Software\\Run, screen)",
        "RegEnumValueW(HKEY_CURRENT_USER\\Software\\Run, 0)",
        "MultiByteToWideChar(0, -1)",
    };
    EXPECT_EQ(winsim::RecordedCalls(), expected);

    // The 95 family's registry is ANSI: its W calls are stubs, while the
    // code page conversion works as on the NT family.
    winsim::SetVersion(kWindows98);
    capacity = 16;
    EXPECT_EQ(RegQueryValueExW(key, u"screen", nullptr, nullptr, nullptr, &size),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegEnumValueW(key, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr),
              ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(RegEnumKeyW(HKEY_CURRENT_USER, 0, name, 16), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, name, 16), 3);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(NativeRegistryTest, InjectedFaults) {
    // A failed open leaves nothing open and clears the handle.
    winsim::FailCall("RegOpenKeyA", ERROR_ACCESS_DENIED);
    HKEY key = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234));
    EXPECT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &key), ERROR_SUCCESS);

    // The second query fails; the data stays untouched; a failed delete deletes nothing.
    winsim::FailCall("RegQueryValueExA", 1234, 2);
    winsim::FailCall("RegDeleteValueA", ERROR_ACCESS_DENIED);
    char data[64] = "untouched";
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    size = sizeof data;
    EXPECT_EQ(
        RegQueryValueExA(key, "Screen", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
        1234);
    EXPECT_STREQ(data, "untouched");
    EXPECT_EQ(RegDeleteValueA(key, "Screen"), ERROR_ACCESS_DENIED);
    size = sizeof data;
    EXPECT_EQ(
        RegQueryValueExA(key, "Screen", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    EXPECT_STREQ(data, "C:\\WINDOWS\\system32\\Screen.scr");
    // A close made to fail did nothing: the handle stays open.
    winsim::FailCall("RegCloseKey", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(winsim::OpenHandleCount(), 1u);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(NativeRegistryTest, ReadingTouchesNoHeap) {
    if (!AllocationCountingWorks()) GTEST_SKIP() << "allocations cannot be counted in this build";
    char name[32];
    BYTE data[64];
    StartCountingAllocations();
    for (int round = 0; round < 3; ++round) {
        HKEY key = nullptr;
        LONG opened = RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Run", &key);
        DWORD size = sizeof data;
        LONG queried = RegQueryValueExA(key, "Screen", nullptr, nullptr, data, &size);
        DWORD capacity = sizeof name;
        size = sizeof data;
        LONG enumerated = RegEnumValueA(key, 1, name, &capacity, nullptr, nullptr, data, &size);
        WCHAR wide_name[32];
        capacity = 32;
        size = sizeof data;
        LONG wide_query = RegQueryValueExW(key, u"Screen", nullptr, nullptr, data, &size);
        size = sizeof data;
        LONG wide_enumeration =
            RegEnumValueW(key, 0, wide_name, &capacity, nullptr, nullptr, data, &size);
        LONG closed = RegCloseKey(key);
        HKEY missing = nullptr;
        LONG absent = RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Missing", &missing);
        ASSERT_EQ(opened, ERROR_SUCCESS);
        ASSERT_EQ(queried, ERROR_SUCCESS);
        ASSERT_EQ(enumerated, ERROR_SUCCESS);
        ASSERT_EQ(wide_query, ERROR_SUCCESS);
        ASSERT_EQ(wide_enumeration, ERROR_SUCCESS);
        ASSERT_EQ(closed, ERROR_SUCCESS);
        ASSERT_EQ(absent, ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(StopCountingAllocations(), 0u);
}

TEST_F(NativeRegistryTest, HandleTableIsBounded) {
    // Far more opens than any walk needs; the table refuses instead of growing.
    std::vector<HKEY> keys;
    LONG result = ERROR_SUCCESS;
    while (keys.size() < 5000) {
        HKEY key = nullptr;
        result = RegOpenKeyA(HKEY_CURRENT_USER, "Software", &key);
        if (result != ERROR_SUCCESS) break;
        keys.push_back(key);
    }
    EXPECT_EQ(result, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_GE(keys.size(), 256u);
    EXPECT_EQ(winsim::OpenHandleCount(), keys.size());
    for (HKEY key : keys) EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(winsim::OpenHandleCount(), 0u);
}

}  // namespace
