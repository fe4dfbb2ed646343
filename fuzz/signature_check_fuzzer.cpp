// The signature check on arbitrary file contents, with the built-in list or a
// fuzzed one: the result is the one the file and list call for, and the
// stored signature bytes and the file's attributes are as before.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "scan/result_codes.h"
#include "scan/signature_check.h"
#include "tables/detections.h"
#include "winsim/test_hooks.h"

namespace {

std::string folder;
std::string file_path;

// Runs at exit, after the native layer's own state (function-local statics
// first used after this was registered) is destroyed: plain POSIX calls
// only. A read-only file still goes, as removing it needs only the folder.
void RemoveTemporaryFiles() {
    remove(file_path.c_str());
    rmdir(folder.c_str());
}

// A signature list with bytes of its own, ended by a record of zeros.
struct FuzzedList {
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<SignatureRecord> records;
};

FuzzedList MakeList(FuzzedDataProvider& input) {
    FuzzedList list;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, 24);
    list.bytes.resize(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t flags = input.ConsumeIntegral<uint32_t>();
        if (input.ConsumeIntegralInRange(0, 3) != 0) flags |= kSignatureSelected;
        const int32_t offset = input.ConsumeBool() ? input.ConsumeIntegralInRange(-8, 4400)
                                                   : input.ConsumeIntegral<int32_t>();
        const uint32_t length = input.ConsumeIntegralInRange<uint32_t>(0, 64);
        // Taken from the input's end, as the other choices are, so that the
        // file's content always starts at the input's first byte.
        for (uint32_t j = 0; j < length; ++j)
            list.bytes[i].push_back(input.ConsumeIntegral<uint8_t>());
        list.bytes[i].push_back(0);  // a record of length 0 still needs bytes
        list.records.push_back(SignatureRecord{flags, offset, length, list.bytes[i].data()});
    }
    list.records.push_back(SignatureRecord{0, 0, 0, nullptr});
    return list;
}

uint8_t ByteAt(const std::string& content, int64_t position) {
    return position >= 0 && position < static_cast<int64_t>(content.size())
               ? static_cast<uint8_t>(content[static_cast<size_t>(position)])
               : 0;
}

uint32_t DwordAt(const std::string& content, int64_t position) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | ByteAt(content, position + i);
    return value;
}

// What the check must answer for an existing file with `content`.
int32_t ExpectedResult(const std::string& content, const SignatureRecord* list) {
    std::vector<const SignatureRecord*> selected;
    for (const SignatureRecord* record = list; record->bytes != nullptr; ++record) {
        if ((record->flags & kSignatureSelected) == 0) continue;
        if (record->length > kMaxSignatureLength) return kResultParameter;
        selected.push_back(record);
    }
    if (selected.empty() || selected.size() > kMaxCheckedProbes) return kResultParameter;
    if (content.size() < 60) return kResultFileSize;
    const uint32_t relocations = ByteAt(content, 24) | ByteAt(content, 25) << 8;
    if (content.compare(0, 2, "MZ") != 0 || relocations < 64) return kResultFileType;
    const uint32_t new_header = DwordAt(content, 60);
    if (new_header > 0x7FFFFFFF || DwordAt(content, new_header) != 0x4550) return kResultFileType;
    for (const SignatureRecord* record : selected) {
        for (uint32_t i = 0; i < record->length; ++i) {
            const uint8_t stored = record->bytes[i];
            const uint8_t plain = static_cast<uint8_t>(stored >> 4 | stored << 4);
            // A block at a negative offset cannot be sought to: it reads as zeros.
            const uint8_t found =
                record->file_offset < 0 ? 0 : ByteAt(content, int64_t{record->file_offset} + i);
            if (found != plain) return 0;
        }
    }
    return 1;
}

std::vector<std::vector<uint8_t>> StoredBytes(const SignatureRecord* list) {
    std::vector<std::vector<uint8_t>> stored;
    for (; list->bytes != nullptr; ++list)
        stored.emplace_back(list->bytes, list->bytes + list->length);
    return stored;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/fix_tamrix_fuzz_XXXXXX";
    if (mkdtemp(pattern) == nullptr) FuzzFailure("no temporary folder");
    folder = pattern;
    file_path = folder + "/sample.exe";
    atexit(RemoveTemporaryFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    winsim::Reset();
    const bool built_in = input.ConsumeBool();
    FuzzedList fuzzed;
    if (!built_in) fuzzed = MakeList(input);
    const SignatureRecord* list = built_in ? kTamrixSignatures : fuzzed.records.data();
    const bool missing = input.ConsumeIntegralInRange(0, 15) == 0;
    const DWORD attributes = input.ConsumeBool() ? FILE_ATTRIBUTE_NORMAL
                                                 : FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                       FILE_ATTRIBUTE_SYSTEM;
    const bool make_executable = input.ConsumeBool();
    const uint32_t new_header = input.ConsumeIntegralInRange<uint32_t>(64, 4096);
    std::string content = input.ConsumeRemainingBytesAsString();
    if (make_executable) {
        // The headers a file needs to get as far as its signatures; the rest stays as fuzzed.
        if (content.size() < new_header + 4) content.resize(new_header + 4);
        content.replace(0, 2, "MZ");
        content[24] = 64;
        content[25] = 0;
        for (int i = 0; i < 4; ++i) content[60 + i] = static_cast<char>(new_header >> 8 * i);
        content.replace(new_header, 4, std::string("PE\0\0", 4));
    }

    SetFileAttributesA(file_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    remove(file_path.c_str());
    if (!missing) {
        FILE* file = fopen(file_path.c_str(), "wb");
        if (file == nullptr) FuzzFailure("cannot write the sample");
        fwrite(content.data(), 1, content.size(), file);
        fclose(file);
        SetFileAttributesA(file_path.c_str(), attributes);
    }
    const DWORD attributes_before = GetFileAttributesA(file_path.c_str());
    const std::vector<std::vector<uint8_t>> stored_before = StoredBytes(list);

    const int32_t result = CheckFileSignatures(file_path.c_str(), list);

    Require(result == 1 || result == 0 || result == kResultFileOpening ||
                result == kResultParameter || result == kResultFileSize ||
                result == kResultFileType || result == kResultFileMapping,
            "a result outside the check's codes");
    Require(StoredBytes(list) == stored_before, "the stored signature bytes changed");
    Require(GetFileAttributesA(file_path.c_str()) == attributes_before,
            "the file's attributes changed");
    int32_t expected = ExpectedResult(content, list);
    if (missing && expected != kResultParameter) expected = kResultFileOpening;
    if (result != expected) {
        char what[160];
        snprintf(what, sizeof what, "the check gave %d where the file calls for %d (%zu bytes)",
                 result, expected, content.size());
        FuzzFailure(what);
    }
    return 0;
}
