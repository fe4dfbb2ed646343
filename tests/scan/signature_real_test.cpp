// The signature check and the deletion of an infected file on the system's
// real files (natively against the native layer, and under Wine): a
// read-only hidden infected executable is found, keeps its attributes, and
// is deleted in quiet mode.
#include <gtest/gtest.h>

#include <string>

#include "console/quiet_mode.h"
#include "platform/platform.h"
#include "scan/file_handling.h"
#include "scan/signature_check.h"
#include "support/capture.h"
#include "support/pe_fixture.h"
#include "support/temp_files.h"
#include "tables/detections.h"

namespace {

constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

// The Windows runtime may write "\r\n" for a line end; compare "\n".
std::string Unix(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

class SignatureRealTest : public testing::Test {
  protected:
    void TearDown() override { ResetQuietModeForTests(); }
    std::string PathOf(const char* name) const { return folder_.path() + kPathSeparator + name; }
    TempFolder folder_;
};

TEST_F(SignatureRealTest, ReadOnlyHiddenInfectedFileIsFoundThenDeleted) {
    const std::string contents = MakeInfectedPe(kTamrixSignatures);
    const std::string path = PathOf("infected.exe");
    WriteWholeFile(path, contents);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), kReadOnlyHidden));
    // Wine reports ARCHIVE on every file whatever was set; Windows and the
    // native layer give exactly what was set. Either way nothing may change.
    const DWORD before = GetFileAttributesA(path.c_str());
    ASSERT_EQ(before & ~FILE_ATTRIBUTE_ARCHIVE, kReadOnlyHidden);

    EXPECT_EQ(CheckFileSignatures(path.c_str(), kTamrixSignatures), 1);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), before);
    EXPECT_EQ(ReadWholeFile(path), contents);
    EXPECT_EQ(CheckFileSignatures(path.c_str(), kTamrixSignatures), 1)
        << "the stored signatures are intact for the next check";

    SwitchOnQuietMode();
    const uint32_t infected_before = InfectedFileCount();
    const uint32_t removed_before = RemovedFileCount();
    const std::string output = CaptureStdout([&] {
        EXPECT_EQ(ScanFileForDetection(path.c_str(), "WORM_TAMRIX.A", kTamrixSignatures), 0);
    });
    EXPECT_EQ(Unix(output),
              " INFECTED (WORM_TAMRIX.A)!\nDeleting file \"" + path + "\"... Done.\n");
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(InfectedFileCount() - infected_before, 1u);
    EXPECT_EQ(RemovedFileCount() - removed_before, 1u);
}

TEST_F(SignatureRealTest, OtherFilesAreLeftAsTheyWere) {
    std::string clean = MakeInfectedPe(kTamrixSignatures);
    clean[static_cast<size_t>(kTamrixSignatures[1].file_offset)] ^= 0x10;
    struct Case {
        const char* name;
        std::string contents;
        DWORD attributes;
        int32_t result;
    };
    const Case cases[] = {
        {"plain.exe", clean, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN, 0},
        {"notes.txt", std::string(100, 'n'), FILE_ATTRIBUTE_READONLY, -26},
    };
    SwitchOnQuietMode();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(c.name);
        WriteWholeFile(path, c.contents);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.attributes));
        const DWORD before = GetFileAttributesA(path.c_str());
        ASSERT_EQ(before & ~FILE_ATTRIBUTE_ARCHIVE, c.attributes);
        EXPECT_EQ(CheckFileSignatures(path.c_str(), kTamrixSignatures), c.result);
        const std::string output = CaptureStdout(
            [&] { ScanFileForDetection(path.c_str(), "WORM_TAMRIX.A", kTamrixSignatures); });
        EXPECT_EQ(output, "");
        EXPECT_EQ(GetFileAttributesA(path.c_str()), before);
        EXPECT_EQ(ReadWholeFile(path), c.contents);
    }
    const std::string missing = PathOf("missing.exe");
    EXPECT_EQ(CheckFileSignatures(missing.c_str(), kTamrixSignatures), -1);
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
