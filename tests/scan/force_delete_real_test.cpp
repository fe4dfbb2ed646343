// Forced deletion and the Windows family on the system's real calls. Under
// Wine the run asks for a Windows version (FIX_TAMRIX_WINDOWS_VERSION, unset:
// an NT-family default, as natively), and the tests check that the program
// sees that family and deletes a file in use the way that family allows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/windows_family.h"
#include "scan/force_delete.h"
#include "support/capture.h"
#include "support/temp_files.h"

namespace {

// True when the run asks for a Windows version of the 95 family.
bool Expects95Family() {
    const char* version = getenv("FIX_TAMRIX_WINDOWS_VERSION");
    if (version == nullptr) return false;
    const std::string name = version;
    return name == "win95" || name == "win98" || name == "winme";
}

TEST(ForceDeleteRealTest, SeesTheWindowsFamilyThatRuns) {
    EXPECT_EQ(IsWindows95Family(), Expects95Family());
}

#ifdef _WIN32
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPending[] = "PendingFileRenameOperations";

// The deletions and renames scheduled at restart, as the registry holds them
// (REG_MULTI_SZ), or "<none>" when nothing is scheduled.
std::string PendingOperations() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != 0) {
        return "<none>";
    }
    char data[8192];
    DWORD size = sizeof data;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, kPending, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != 0) return "<none>";
    return std::string(data, size);
}

// Puts the scheduled operations back to `saved` (as PendingOperations gave it).
void RestorePendingOperations(const std::string& saved) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != 0) return;
    if (saved == "<none>") {
        RegDeleteValueA(key, kPending);
    } else {
        RegSetValueExA(key, kPending, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved.data()),
                       static_cast<DWORD>(saved.size()));
    }
    RegCloseKey(key);
}

// A file that another handle holds open without sharing cannot be deleted:
// the NT family schedules its deletion at the next restart and reports
// success, the 95 family has no such thing and reports the failure. Either
// way the file stays for now.
TEST(ForceDeleteRealTest, FileInUseIsDeletedAtRestartOnlyOnTheNtFamily) {
    const TempFolder folder;
    const std::string path = folder.path() + "\\in_use.exe";
    WriteWholeFile(path, "MZ in use");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string saved = PendingOperations();
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    const int32_t result = ForceDeleteFile(path.c_str());
    const std::string pending = PendingOperations();
    CloseHandle(held);
    RestorePendingOperations(saved);

    const std::string scheduled = std::string("\\??\\") + path + '\0' + '\0';
    if (Expects95Family()) {
        EXPECT_EQ(result, ERROR_SHARING_VIOLATION);
        EXPECT_EQ(pending, saved) << "nothing scheduled at restart";
    } else {
        EXPECT_EQ(result, 0);
        EXPECT_NE(pending.find(scheduled), std::string::npos) << pending;
    }
    EXPECT_EQ(ReadWholeFile(path), "MZ in use");
}
#endif

}  // namespace
