// Header only: what the file-scanning stage looks for (signature records,
// detection rows and the scan job that ties file masks to a detection table).
#pragma once

#include <cstdint>

// A record takes part in the check only when this flag bit is set.
constexpr uint32_t kSignatureSelected = 0x10;
// Longest signature a selected record may have, in bytes.
constexpr uint32_t kMaxSignatureLength = 48;

// One row of a signature list, its bytes stored with their halves swapped; a
// record whose bytes are nullptr ends the list.
struct SignatureRecord {
    uint32_t flags;
    int32_t file_offset;
    uint32_t length;
    const uint8_t* bytes;
};

// Deals with one file for one detection; always returns 0.
typedef int32_t (*FileHandler)(const char* path, const char* detection_name,
                               const SignatureRecord* signatures);

// One row of a detection table; a row of zeros ends the table.
struct DetectionEntry {
    const char* name;
    const SignatureRecord* signatures;
    FileHandler handler;
};

// The descriptor of the file-scanning stage.
struct ScanJob {
    const char* const* file_masks;     // ended by nullptr
    const DetectionEntry* detections;  // ended by a row of zeros
    uint32_t reserved[2];              // carried as zeros; read by nothing
};
