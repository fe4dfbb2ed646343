// The native layer's file services against real files: attributes,
// deletion, moves, deletion at restart and injected failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/capture.h"
#include "support/native_run.h"
#include "support/temp_files.h"

namespace {

constexpr DWORD kInvalid = INVALID_FILE_ATTRIBUTES;

class NativeFilesTest : public NativeTest {
  protected:
    std::string File(const char* name, mode_t mode = 0644) {
        const std::string path = folder_.path() + "/" + name;
        WriteWholeFile(path, "data");
        chmod(path.c_str(), mode);
        return path;
    }
    mode_t ModeOf(const std::string& path) {
        struct stat info;
        return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
    }
    TempFolder folder_;
};

TEST_F(NativeFilesTest, AttributesOfFilesAndFolders) {
    const std::string file = File("a");
    const std::string folder = folder_.path() + "/sub";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    struct Step {
        const char* name;
        std::string path;
        DWORD set;  // kInvalid: only read
        DWORD read;
        mode_t mode;  // 0: not checked
    };
    const Step steps[] = {
        {"a fresh file is normal", file, kInvalid, FILE_ATTRIBUTE_NORMAL, 0644},
        {"hidden and system", file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 0x6, 0644},
        {"read-only clears the owner's write bit", file, FILE_ATTRIBUTE_READONLY | 0x2, 0x3, 0444},
        {"normal with others is ignored", file, FILE_ATTRIBUTE_NORMAL | 0x20, 0x20, 0644},
        {"bits that cannot be set are ignored", file, FILE_ATTRIBUTE_DIRECTORY | 0x1, 0x1, 0444},
        {"normal alone clears everything", file, FILE_ATTRIBUTE_NORMAL, 0x80, 0644},
        {"a folder", folder, kInvalid, FILE_ATTRIBUTE_DIRECTORY, 0755},
        {"a read-only hidden folder keeps its mode", folder, 0x3, 0x13, 0755},
        {"a folder made normal", folder, FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_DIRECTORY, 0755},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.set != kInvalid) {
            EXPECT_TRUE(SetFileAttributesA(step.path.c_str(), step.set));
        }
        EXPECT_EQ(GetFileAttributesA(step.path.c_str()), step.read);
        EXPECT_EQ(ModeOf(step.path), step.mode);
    }
    // The owner's write bit alone decides read-only; group and others keep theirs.
    chmod(file.c_str(), 0464);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ModeOf(file), 0664u);
}

TEST_F(NativeFilesTest, PathsThatCannotBeReached) {
    const std::string file = File("a");
    struct Case {
        const char* name;
        std::string path;
        DWORD error;
    };
    const Case cases[] = {
        {"missing file", folder_.path() + "/none", ERROR_FILE_NOT_FOUND},
        {"missing folder", folder_.path() + "/none/file", ERROR_PATH_NOT_FOUND},
        {"a file taken for a folder", file + "/x", ERROR_PATH_NOT_FOUND},
        {"empty path", "", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(c.path.c_str()), kInvalid);
        EXPECT_EQ(GetLastError(), c.error);
        SetLastError(0);
        EXPECT_FALSE(SetFileAttributesA(c.path.c_str(), FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(GetLastError(), c.error);
        SetLastError(0);
        EXPECT_FALSE(DeleteFileA(c.path.c_str()));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(GetFileAttributesA(nullptr), kInvalid);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(NativeFilesTest, DeleteFile) {
    const std::string plain = File("a");
    const std::string read_only = File("b", 0444);
    const std::string folder = folder_.path() + "/sub";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);

    EXPECT_FALSE(DeleteFileA(read_only.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(access(read_only.c_str(), F_OK), 0);
    EXPECT_FALSE(DeleteFileA(folder.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(access(folder.c_str(), F_OK), 0);

    ASSERT_TRUE(SetFileAttributesA(plain.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(DeleteFileA(plain.c_str()));
    EXPECT_NE(access(plain.c_str(), F_OK), 0);
    // The hidden bit went with the file.
    File("a");
    EXPECT_EQ(GetFileAttributesA(plain.c_str()), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(NativeFilesTest, BitsDoNotPassToALaterFileAtThePath) {
    const std::string path = File("a");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_SYSTEM));
    remove(path.c_str());  // behind the layer's back
    File("a");
    EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_NORMAL);
    // Another spelling of the same path reaches the same bits.
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesA((folder_.path() + "/./a").c_str()), FILE_ATTRIBUTE_HIDDEN);
    // Reset forgets every kept bit.
    winsim::Reset();
    EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(NativeFilesTest, MoveFileEx) {
    const std::string a = File("a");
    const std::string b = File("b");
    const std::string moved = folder_.path() + "/moved";

    EXPECT_TRUE(MoveFileExA(a.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_TRUE(MoveFileExA(b.c_str(), moved.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(winsim::RestartOperations(), (std::vector<std::string>{a, b + " -> " + moved}));
    EXPECT_EQ(access(a.c_str(), F_OK), 0) << "nothing happens before the restart";

    winsim::SetAdministrator(false);
    EXPECT_FALSE(MoveFileExA(a.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(winsim::RestartOperations().size(), 2u);

    // Moves done at once carry the kept bits along.
    ASSERT_TRUE(SetFileAttributesA(a.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), 0));
    EXPECT_EQ(GetLastError(), 183u);
    EXPECT_TRUE(MoveFileExA(a.c_str(), moved.c_str(), 0));
    EXPECT_EQ(GetFileAttributesA(moved.c_str()), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(MoveFileExA(a.c_str(), moved.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileExA(b.c_str(), nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    winsim::Reset();
    EXPECT_TRUE(winsim::RestartOperations().empty());
}

TEST_F(NativeFilesTest, InjectedFailuresAndRecords) {
    const std::string path = File("a");
    winsim::RecordCalls(true);
    winsim::FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
    winsim::FailCall("GetFileAttributesA", ERROR_ACCESS_DENIED);
    winsim::FailCall("SetFileAttributesA", ERROR_ACCESS_DENIED);
    winsim::FailCall("MoveFileExA", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), kInvalid);
    EXPECT_FALSE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(winsim::RestartOperations().empty());
    EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_NORMAL)
        << "the failed set did nothing";
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
    const std::vector<std::string> expected = {
        "DeleteFileA(" + path + ")", "GetFileAttributesA(" + path + ")",
        "SetFileAttributesA(" + path + ", 0x2)", "MoveFileExA(" + path + ", NULL, 0x4)",
        "GetFileAttributesA(" + path + ")"};
    EXPECT_EQ(winsim::RecordedCalls(), expected);
}

}  // namespace
