// The signature check of one file: file shapes and their results, parameter
// errors, attributes, blocks and the stored signature bytes.
#include "scan/signature_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/capture.h"
#include "support/native_run.h"
#include "support/pe_fixture.h"
#include "support/recorded_calls.h"
#include "support/temp_files.h"
#include "tables/detections.h"

namespace {

constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

// A heap that counts the blocks a check takes and gives back, and can refuse
// the n-th block.
struct CountingHeap {
    std::vector<size_t> sizes;  // every block asked for, in order
    unsigned refuse = 0;        // 1-based number of the block to refuse
    int live = 0;               // blocks taken and not yet given back
    std::function<void()> on_take;
};
CountingHeap counting;

void* TakeCounted(size_t size) {
    counting.sizes.push_back(size);
    if (counting.sizes.size() == counting.refuse) return nullptr;
    if (counting.on_take) counting.on_take();
    ++counting.live;
    return malloc(size);
}

void ReleaseCounted(void* block) {
    --counting.live;
    free(block);
}

const BlockHeap kCountingHeap = {TakeCounted, ReleaseCounted};

// Every record's stored bytes, to see that a check leaves them as it found them.
std::vector<std::vector<uint8_t>> StoredBytes(const SignatureRecord* list) {
    std::vector<std::vector<uint8_t>> stored;
    for (; list->bytes != nullptr; ++list)
        stored.emplace_back(list->bytes, list->bytes + list->length);
    return stored;
}

// A signature list with bytes of its own, ended by a record of zeros.
class OwnedList {
  public:
    void Add(uint32_t flags, int32_t offset, std::vector<uint8_t> stored) {
        entries_.push_back(Entry{flags, offset, std::move(stored)});
    }
    void AddCopies(const SignatureRecord* list, uint32_t flags) {
        for (; list->bytes != nullptr; ++list) {
            Add(flags, list->file_offset,
                std::vector<uint8_t>(list->bytes, list->bytes + list->length));
        }
    }
    const SignatureRecord* Records() {
        records_.clear();
        for (Entry& entry : entries_) {
            records_.push_back(SignatureRecord{entry.flags, entry.offset,
                                               static_cast<uint32_t>(entry.stored.size()),
                                               entry.stored.data()});
        }
        records_.push_back(SignatureRecord{0, 0, 0, nullptr});
        return records_.data();
    }

  private:
    struct Entry {
        uint32_t flags;
        int32_t offset;
        std::vector<uint8_t> stored;
    };
    std::vector<Entry> entries_;
    std::vector<SignatureRecord> records_;
};

class SignatureCheckTest : public NativeTest {
  protected:
    void SetUp() override {
        NativeTest::SetUp();
        counting = CountingHeap();
    }
    void TearDown() override {
        counting = CountingHeap();
        NativeTest::TearDown();
    }
    TempFolder folder_;
};

TEST_F(SignatureCheckTest, FileShapes) {
    const std::string infected = MakeInfectedPe(kTamrixSignatures);
    auto with_changed_byte = [&](int record, uint32_t at) {
        std::string image = infected;
        image[static_cast<size_t>(kTamrixSignatures[record].file_offset) + at] ^= 0x5A;
        return image;
    };
    auto pe_with_signatures = [](size_t size, uint16_t relocation_offset) {
        std::string image = MakePeImage(size, relocation_offset);
        PlaceSignatures(&image, kTamrixSignatures);
        return image;
    };
    std::string wrong_pe = infected;
    wrong_pe[128 + 3] = 1;  // "PE\0\1"
    const std::vector<size_t> all = {256, 4096, 8192, 8192, 8192};
    const std::vector<size_t> dos_only = {256};
    const std::vector<size_t> headers = {256, 4096};
    const std::vector<size_t> to_first = {256, 4096, 8192}, to_second = {256, 4096, 8192, 8192};
    struct Case {
        const char* shape;
        std::string contents;  // "" with `missing`: no file at all
        int32_t result;
        std::vector<size_t> blocks;  // sizes of the blocks taken, in order
        bool missing;
    };
    const Case cases[] = {
        {"PE with all three signatures", infected, 1, all, false},
        {"first signature, first byte changed", with_changed_byte(0, 0), 0, to_first, false},
        {"second signature, last byte changed", with_changed_byte(1, 47), 0, to_second, false},
        {"third signature, middle byte changed", with_changed_byte(2, 23), 0, all, false},
        {"relocation offset 63", pe_with_signatures(32768, 63), -26, dos_only, false},
        {"relocation offset 64", pe_with_signatures(32768, 64), 1, all, false},
        {"relocation offset 65535", pe_with_signatures(32768, 65535), 1, all, false},
        {"text of 100 bytes", std::string(99, 't') + "\n", -26, dos_only, false},
        {"59 bytes", MakePeImage(59), -25, {}, false},
        {"empty", "", -25, {}, false},
        {"60 bytes", MakePeImage(60), -26, headers, false},
        {"new-header offset past the end", MakePeImage(4096, 64, 5000), -26, headers, false},
        {"new-header offset 2^31 - 1", MakePeImage(4096, 64, 0x7FFFFFFF), -26, headers, false},
        {"new-header offset 2^31", MakePeImage(4096, 64, 0x80000000u), -26, dos_only, false},
        {"new-header offset 2^32 - 1", MakePeImage(4096, 64, 0xFFFFFFFFu), -26, dos_only, false},
        {"\"PE\\0\\1\" at the new header", wrong_pe, -26, headers, false},
        {"PE ending before the third signature", pe_with_signatures(30000, 64), 0, all, false},
        {"PE ending inside the third signature", pe_with_signatures(30262 + 20, 64), 0, all, false},
        {"missing file", "", -1, {}, true},
    };
    const DWORD attribute_sets[] = {FILE_ATTRIBUTE_NORMAL, kReadOnlyHidden,
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE};
    const auto stored_before = StoredBytes(kTamrixSignatures);
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape);
        const DWORD attributes = attribute_sets[index % 3];
        const std::string name = "shape" + std::to_string(index++) + ".exe";
        const std::string path =
            c.missing ? folder_.path() + "/" + name : folder_.Write(name, c.contents, attributes);
        counting.sizes.clear();
        EXPECT_EQ(CheckFileSignaturesWith(kCountingHeap, path.c_str(), kTamrixSignatures),
                  c.result);
        EXPECT_EQ(counting.sizes, c.blocks);
        EXPECT_EQ(counting.live, 0) << "every block is given back";
        EXPECT_EQ(StoredBytes(kTamrixSignatures), stored_before);
        if (c.missing) {
            EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_EQ(GetFileAttributesA(path.c_str()), attributes);
            EXPECT_EQ(ReadWholeFile(path), c.contents);
        }
    }
    // The program's own heap gives the same answer.
    EXPECT_EQ(CheckFileSignatures((folder_.path() + "/shape0.exe").c_str(), kTamrixSignatures), 1);
    EXPECT_EQ(StoredBytes(kTamrixSignatures), stored_before);
}

TEST_F(SignatureCheckTest, ParameterErrorsTouchNothing) {
    const std::string path =
        folder_.Write("target.exe", MakeInfectedPe(kTamrixSignatures), kReadOnlyHidden);
    std::vector<uint8_t> stored_49(49, 0x11);
    OwnedList six_selected;
    six_selected.AddCopies(kTamrixSignatures, 0x10);
    six_selected.AddCopies(kTamrixSignatures, 0x31);
    OwnedList long_selected;
    long_selected.AddCopies(kTamrixSignatures, 0x31);
    long_selected.Add(0x10, 100, stored_49);
    OwnedList none_selected;
    none_selected.AddCopies(kTamrixSignatures, 0x21);
    none_selected.Add(0xFFFFFFEF, 100, {0x12});
    OwnedList twenty_five_selected;
    for (int i = 0; i < 25; ++i) twenty_five_selected.Add(0x10, i, {static_cast<uint8_t>(i)});
    OwnedList empty;
    struct Case {
        const char* name;
        const char* path;
        const SignatureRecord* list;
    };
    const Case cases[] = {
        {"six selected records", path.c_str(), six_selected.Records()},
        {"a selected record of 49 bytes", path.c_str(), long_selected.Records()},
        {"no selected record", path.c_str(), none_selected.Records()},
        {"25 selected records", path.c_str(), twenty_five_selected.Records()},
        {"empty list", path.c_str(), empty.Records()},
        {"no list", path.c_str(), nullptr},
        {"no path", nullptr, kTamrixSignatures},
        {"empty path", "", kTamrixSignatures},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto stored_before =
            c.list != nullptr ? StoredBytes(c.list) : decltype(StoredBytes(c.list))();
        winsim::ClearRecordedCalls();
        winsim::RecordCalls(true);
        counting.sizes.clear();
        EXPECT_EQ(CheckFileSignaturesWith(kCountingHeap, c.path, c.list), -2);
        winsim::RecordCalls(false);
        EXPECT_TRUE(winsim::RecordedCalls().empty()) << "no attribute is read or set";
        EXPECT_TRUE(counting.sizes.empty());
        if (c.list != nullptr) {
            EXPECT_EQ(StoredBytes(c.list), stored_before);
        }
    }
    EXPECT_EQ(GetFileAttributesA(path.c_str()), kReadOnlyHidden);
}

TEST_F(SignatureCheckTest, OnlySelectedRecordsCount) {
    const std::string path = folder_.Write("target.exe", MakeInfectedPe(kTamrixSignatures));
    OwnedList list;
    list.AddCopies(kTamrixSignatures, 0x31);
    list.Add(0x01, 200, std::vector<uint8_t>(200, 0x77));  // long, wrong, not selected
    for (int i = 0; i < 2; ++i) {                          // five selected in all
        const SignatureRecord& record = kTamrixSignatures[i];
        list.Add(0x10, record.file_offset,
                 std::vector<uint8_t>(record.bytes, record.bytes + record.length));
    }
    const SignatureRecord* records = list.Records();
    const auto stored_before = StoredBytes(records);
    EXPECT_EQ(CheckFileSignatures(path.c_str(), records), 1);
    EXPECT_EQ(StoredBytes(records), stored_before) << "the unselected record is swapped back too";
}

TEST_F(SignatureCheckTest, ProbeParameterErrors) {
    const std::string path = folder_.Write("target.exe", MakeInfectedPe(kTamrixSignatures));
    const uint8_t bytes[49] = {};
    const SignatureProbe fine = {bytes, 48, 10};
    const SignatureProbe six[6] = {fine, fine, fine, fine, fine, fine};
    const SignatureProbe too_long = {bytes, 49, 10};
    const SignatureProbe no_bytes = {nullptr, 3, 10};
    struct Case {
        const char* name;
        const SignatureProbe* probes;
        uint32_t count;
        int32_t result;
    };
    const Case cases[] = {
        {"no probes", nullptr, 1, -2},
        {"count 0", six, 0, -2},
        {"count 6", six, 6, -2},
        {"49 bytes", &too_long, 1, -2},
        {"length without bytes", &no_bytes, 1, -2},
        {"five of 48 bytes", six, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckSignatureProbes(path.c_str(), c.probes, c.count), c.result);
    }
    const SignatureProbe empty_probe = {nullptr, 0, 0};
    EXPECT_EQ(CheckSignatureProbes(path.c_str(), &empty_probe, 1), 1) << "length 0 compares equal";
}

TEST_F(SignatureCheckTest, AttributesAreNormalOnlyDuringTheCheck) {
    const std::string path =
        folder_.Write("target.exe", MakeInfectedPe(kTamrixSignatures), kReadOnlyHidden);
    DWORD during = 0;
    counting.on_take = [&] {
        if (during == 0) during = GetFileAttributesA(path.c_str());
    };
    winsim::RecordCalls(true);
    EXPECT_EQ(CheckFileSignaturesWith(kCountingHeap, path.c_str(), kTamrixSignatures), 1);
    EXPECT_EQ(during, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), kReadOnlyHidden);
    const std::vector<std::string> expected = {
        "GetFileAttributesA(" + path + ")",
        "SetFileAttributesA(" + path + ", 0x80)",
        "OpenReadStream(" + path + ")",
        "GetFileAttributesA(" + path + ")",  // the test's look during the check
        "ReadStreamBytes(256)",
        "ReadStreamBytes(4096)",
        "ReadStreamBytes(6)",
        "ReadStreamBytes(48)",
        "ReadStreamBytes(47)",
        "GetFileAttributesA(" + path + ")",
        "SetFileAttributesA(" + path + ", 0x3)",
        "GetFileAttributesA(" + path + ")"};
    EXPECT_EQ(winsim::RecordedCalls(), expected);
}

TEST_F(SignatureCheckTest, AttributeCallsThatFailOrNeedNothing) {
    const std::string infected = MakeInfectedPe(kTamrixSignatures);
    const std::string normal = folder_.Write("normal.exe", infected);
    const std::string protected_file = folder_.Write("protected.exe", infected, kReadOnlyHidden);
    const std::string missing = folder_.path() + "/missing.exe";
    auto get = [](const std::string& p) { return "GetFileAttributesA(" + p + ")"; };
    auto set = [](const std::string& p, const char* bits) {
        return "SetFileAttributesA(" + p + ", " + bits + ")";
    };
    struct Case {
        const char* name;
        std::string path;
        const char* failing_call;  // nullptr: none
        unsigned occurrence;
        int32_t result;
        std::vector<std::string> calls;
    };
    // clang-format off
    const Case cases[] = {
        {"normal file", normal, nullptr, 0, 1, {get(normal), get(normal)}},
        {"missing file", missing, nullptr, 0, -1, {get(missing), get(missing)}},
        {"making normal fails", protected_file, "SetFileAttributesA", 1, 1,
         {get(protected_file), set(protected_file, "0x80"), get(protected_file)}},
        {"first query fails", protected_file, "GetFileAttributesA", 1, 1,
         {get(protected_file), get(protected_file)}},
        {"second query fails", protected_file, "GetFileAttributesA", 2, 1,
         {get(protected_file), set(protected_file, "0x80"), get(protected_file),
          set(protected_file, "0x3")}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::ClearFaults();
        if (c.failing_call != nullptr)
            winsim::FailCall(c.failing_call, ERROR_ACCESS_DENIED, c.occurrence);
        winsim::ClearRecordedCalls();
        winsim::RecordCalls(true);
        EXPECT_EQ(CheckFileSignatures(c.path.c_str(), kTamrixSignatures), c.result);
        winsim::RecordCalls(false);
        // The opening and reading aside.
        EXPECT_EQ(RecordedCallsOf({"GetFileAttributesA", "SetFileAttributesA"}), c.calls);
    }
    winsim::ClearFaults();
    EXPECT_EQ(GetFileAttributesA(protected_file.c_str()), kReadOnlyHidden);
    EXPECT_EQ(GetFileAttributesA(normal.c_str()), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SignatureCheckTest, BlockThatCannotBeHad) {
    const std::string path =
        folder_.Write("target.exe", MakeInfectedPe(kTamrixSignatures), kReadOnlyHidden);
    const auto stored_before = StoredBytes(kTamrixSignatures);
    for (unsigned refuse = 1; refuse <= 5; ++refuse) {
        SCOPED_TRACE("refused block " + std::to_string(refuse));
        counting = CountingHeap();
        counting.refuse = refuse;
        EXPECT_EQ(CheckFileSignaturesWith(kCountingHeap, path.c_str(), kTamrixSignatures), -27);
        EXPECT_EQ(counting.sizes.size(), refuse) << "nothing is read after the refusal";
        EXPECT_EQ(counting.live, 0);
        EXPECT_EQ(StoredBytes(kTamrixSignatures), stored_before);
        EXPECT_EQ(GetFileAttributesA(path.c_str()), kReadOnlyHidden);
    }
}

TEST_F(SignatureCheckTest, ReadFileBlock) {
    const std::string path = folder_.Write("ten.bin", "ABCDEFGHIJ");
    FILE* file = fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    const char kUntouched = '\xEE';
    struct Case {
        const char* name;
        FILE* file;
        uint32_t size;
        int32_t offset;
        int32_t result;
        std::string expected;  // the buffer's first bytes; the byte after is untouched
    };
    const Case cases[] = {
        {"inside the file", file, 4, 2, 0, "CDEF"},
        {"across the end", file, 6, 7, 0, std::string("HIJ\0\0\0", 6)},
        {"past the end", file, 3, 100, 0, std::string(3, '\0')},
        {"nothing", file, 0, 0, 0, ""},
        {"the largest block", file, 8192, 0, 0, "ABCDEFGHIJ" + std::string(8182, '\0')},
        {"no file", nullptr, 4, 0, -2, std::string(4, '\0')},
        {"a block too large", file, 8193, 0, -2, ""},
    };
    std::vector<char> buffer(8300);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::fill(buffer.begin(), buffer.end(), kUntouched);
        EXPECT_EQ(ReadFileBlock(c.file, c.size, c.offset, buffer.data()), c.result);
        EXPECT_EQ(std::string(buffer.data(), c.expected.size()), c.expected);
        EXPECT_EQ(buffer[c.expected.size()], kUntouched);
    }
    EXPECT_EQ(ReadFileBlock(file, 4, 0, nullptr), -2);
    // A position no seek can reach reads as zeros, not as whatever follows the
    // stream's last position.
    ASSERT_EQ(ReadFileBlock(file, 2, 0, buffer.data()), 0);
    EXPECT_EQ(ReadFileBlock(file, 3, -1, buffer.data()), 0);
    EXPECT_EQ(std::string(buffer.data(), 3), std::string(3, '\0'));
    // A read that fails is no stretch of zeros: a file read so is not clean.
    winsim::FailCall("ReadStreamBytes", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFileBlock(file, 4, 0, buffer.data()), -27);
    EXPECT_EQ(std::string(buffer.data(), 4), std::string(4, '\0'));
    fclose(file);
}

TEST(DecodeSignatureBytes, SwapsTheHalvesOfEveryByte) {
    const uint8_t stored[] = {0x12, 0xF0, 0x0F, 0x00, 0xAB};
    uint8_t plain[sizeof stored + 1];
    memset(plain, 0x55, sizeof plain);
    DecodeSignatureBytes(stored, sizeof stored, plain);
    EXPECT_EQ(std::vector<uint8_t>(plain, plain + sizeof plain),
              (std::vector<uint8_t>{0x21, 0x0F, 0xF0, 0x00, 0xBA, 0x55}));
    DecodeSignatureBytes(stored, 0, plain);  // nothing read or written
    EXPECT_EQ(plain[0], 0x21);
}

}  // namespace
