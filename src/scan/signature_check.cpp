#include "scan/signature_check.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/read_stream.h"
#include "scan/result_codes.h"

namespace {

constexpr long kMinFileSize = 60;
constexpr uint32_t kDosHeaderBlockSize = 256;
constexpr uint32_t kNewHeaderBlockSize = 4096;
constexpr size_t kRelocationOffsetAt = 24;  // in the DOS header
constexpr size_t kNewHeaderOffsetAt = 60;   // in the DOS header
constexpr uint16_t kMinRelocationOffset = 64;
constexpr uint32_t kLargestFilePosition = 0x7FFFFFFF;
constexpr char kPeSignature[] = {'P', 'E', '\0', '\0'};  // at the new header's start

void* TakeFromCHeap(size_t size) { return malloc(size); }
void ReleaseToCHeap(void* block) { free(block); }

// One read block, given back to its heap when the owner goes out of scope.
class HeldBlock {
  public:
    HeldBlock(const BlockHeap& heap, size_t size)
        : heap_(heap), block_(static_cast<uint8_t*>(heap.take(size))) {}
    ~HeldBlock() {
        if (block_ != nullptr) heap_.release(block_);
    }
    HeldBlock(const HeldBlock&) = delete;
    HeldBlock& operator=(const HeldBlock&) = delete;
    uint8_t* get() const { return block_; }

  private:
    const BlockHeap& heap_;
    uint8_t* block_;
};

uint16_t LittleEndianWord(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t LittleEndianDword(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The checks of the open file: 1, 0, -25, -26 or -27.
int32_t ExamineStream(const BlockHeap& heap, FILE* file, const SignatureProbe* probes,
                      uint32_t count) {
    fseek(file, 0, SEEK_END);
    if (ftell(file) < kMinFileSize) return kResultFileSize;

    uint32_t new_header_offset = 0;
    {
        HeldBlock block(heap, kDosHeaderBlockSize);
        uint8_t* dos_header = block.get();
        if (dos_header == nullptr || ReadFileBlock(file, kDosHeaderBlockSize, 0, dos_header) != 0) {
            return kResultFileMapping;
        }
        if (dos_header[0] != 'M' || dos_header[1] != 'Z' ||
            LittleEndianWord(dos_header + kRelocationOffsetAt) < kMinRelocationOffset) {
            return kResultFileType;
        }
        new_header_offset = LittleEndianDword(dos_header + kNewHeaderOffsetAt);
    }
    // Past 2^31 - 1 the offset is no file position a seek can reach.
    if (new_header_offset > kLargestFilePosition) return kResultFileType;
    {
        HeldBlock block(heap, kNewHeaderBlockSize);
        uint8_t* new_header = block.get();
        if (new_header == nullptr ||
            ReadFileBlock(file, kNewHeaderBlockSize, static_cast<int32_t>(new_header_offset),
                          new_header) != 0) {
            return kResultFileMapping;
        }
        if (memcmp(new_header, kPeSignature, sizeof kPeSignature) != 0) return kResultFileType;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const SignatureProbe& probe = probes[i];
        HeldBlock block(heap, kMaxReadBlockSize);
        uint8_t* found = block.get();
        if (found == nullptr || ReadFileBlock(file, probe.length, probe.file_offset, found) != 0) {
            return kResultFileMapping;
        }
        if (probe.length != 0 && memcmp(found, probe.bytes, probe.length) != 0) return 0;
    }
    return 1;
}

// The checks after the parameters: 1, 0, -1, -25, -26 or -27.
int32_t ExamineFile(const BlockHeap& heap, const char* path, const SignatureProbe* probes,
                    uint32_t count) {
    FILE* file = OpenReadStream(path);
    if (file == nullptr) return kResultFileOpening;
    const int32_t result = ExamineStream(heap, file, probes, count);
    fclose(file);
    return result;
}

int32_t CheckSignatureProbesWith(const BlockHeap& heap, const char* path,
                                 const SignatureProbe* probes, uint32_t count) {
    if (path == nullptr || path[0] == '\0' || probes == nullptr || count == 0 ||
        count > kMaxCheckedProbes) {
        return kResultParameter;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (probes[i].length > kMaxSignatureLength) return kResultParameter;
        if (probes[i].length != 0 && probes[i].bytes == nullptr) return kResultParameter;
    }

    // Read-only, hidden and system files are made normal for the check. A
    // failed query has the NORMAL bit set too, so then nothing changes.
    const DWORD kept = GetFileAttributesA(path);
    if ((kept & FILE_ATTRIBUTE_NORMAL) == 0) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);

    const int32_t result = ExamineFile(heap, path, probes, count);

    const DWORD now = GetFileAttributesA(path);
    if (kept != INVALID_FILE_ATTRIBUTES && now != kept) SetFileAttributesA(path, kept);
    return result;
}

}  // namespace

const BlockHeap kStandardBlockHeap = {TakeFromCHeap, ReleaseToCHeap};

void DecodeSignatureBytes(const uint8_t* stored, uint32_t length, uint8_t* plain) {
    for (uint32_t i = 0; i < length; ++i) {
        plain[i] = static_cast<uint8_t>(stored[i] >> 4 | stored[i] << 4);
    }
}

int32_t CheckFileSignatures(const char* path, const SignatureRecord* list) {
    return CheckFileSignaturesWith(kStandardBlockHeap, path, list);
}

int32_t CheckFileSignaturesWith(const BlockHeap& heap, const char* path,
                                const SignatureRecord* list) {
    if (list == nullptr) return kResultParameter;
    SignatureProbe probes[kMaxSignatureProbes];
    uint32_t count = 0;
    for (const SignatureRecord* record = list; record->bytes != nullptr; ++record) {
        if ((record->flags & kSignatureSelected) == 0) continue;
        if (count == kMaxSignatureProbes) return kResultParameter;
        probes[count++] = SignatureProbe{record->bytes, record->length, record->file_offset};
    }
    // Only what a check can accept is decoded; the rest is refused below,
    // before the file is touched.
    uint8_t plain[kMaxCheckedProbes][kMaxSignatureLength];
    if (count <= kMaxCheckedProbes) {
        for (uint32_t i = 0; i < count; ++i) {
            if (probes[i].length > kMaxSignatureLength) break;
            DecodeSignatureBytes(probes[i].bytes, probes[i].length, plain[i]);
            probes[i].bytes = plain[i];
        }
    }
    return CheckSignatureProbesWith(heap, path, probes, count);
}

int32_t CheckSignatureProbes(const char* path, const SignatureProbe* probes, uint32_t count) {
    return CheckSignatureProbesWith(kStandardBlockHeap, path, probes, count);
}

int32_t ReadFileBlock(FILE* file, uint32_t size, int32_t file_offset, void* buffer) {
    if (buffer == nullptr || size > kMaxReadBlockSize) return kResultParameter;
    memset(buffer, 0, size);
    if (file == nullptr) return kResultParameter;
    // A position the stream cannot reach reads as zeros, like one past the end.
    if (fseek(file, file_offset, SEEK_SET) != 0) return 0;
    // A short read leaves zeros; a failed one is no sign of a clean file.
    return ReadStreamBytes(file, buffer, size) ? 0 : kResultFileMapping;
}
