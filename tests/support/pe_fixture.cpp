#include "support/pe_fixture.h"

namespace {

void PutBytes(std::string* image, size_t offset, const void* bytes, size_t length) {
    const char* from = static_cast<const char*>(bytes);
    for (size_t i = 0; i < length && offset + i < image->size(); ++i) {
        (*image)[offset + i] = from[i];
    }
}

void PutLittleEndian(std::string* image, size_t offset, uint32_t value, size_t length) {
    uint8_t bytes[4];
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    PutBytes(image, offset, bytes, length);
}

}  // namespace

std::vector<uint8_t> PlainSignatureBytes(const SignatureRecord& record) {
    std::vector<uint8_t> plain(record.bytes, record.bytes + record.length);
    for (uint8_t& b : plain) b = static_cast<uint8_t>(b >> 4 | b << 4);
    return plain;
}

std::string MakePeImage(size_t size, uint16_t relocation_offset, uint32_t new_header_offset) {
    std::string image(size, '\0');
    PutBytes(&image, 0, "MZ", 2);
    PutLittleEndian(&image, 24, relocation_offset, 2);
    PutLittleEndian(&image, 60, new_header_offset, 4);
    PutBytes(&image, new_header_offset, "PE\0\0", 4);
    return image;
}

void PlaceSignatures(std::string* image, const SignatureRecord* list) {
    for (const SignatureRecord* record = list; record->bytes != nullptr; ++record) {
        const std::vector<uint8_t> plain = PlainSignatureBytes(*record);
        PutBytes(image, static_cast<size_t>(record->file_offset), plain.data(), plain.size());
    }
}

std::string MakeInfectedPe(const SignatureRecord* list) {
    size_t end = 4096;
    for (const SignatureRecord* record = list; record->bytes != nullptr; ++record) {
        const size_t record_end = static_cast<size_t>(record->file_offset) + record->length;
        if (record_end > end) end = record_end;
    }
    std::string image = MakePeImage(end + 300);
    PlaceSignatures(&image, list);
    return image;
}
