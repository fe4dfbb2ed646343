// The signature check of one file: is it a Portable Executable carrying every
// selected signature of a detection at its file offset?
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "scan/detection.h"

// One entry of a check's working list: plain signature bytes at an offset.
struct SignatureProbe {
    const uint8_t* bytes;
    uint32_t length;
    int32_t file_offset;
};

constexpr uint32_t kMaxSignatureProbes = 20;  // room of a check's working list
constexpr uint32_t kMaxCheckedProbes = 5;     // most probes one check accepts
constexpr uint32_t kMaxReadBlockSize = 8192;  // largest block ReadFileBlock fills

// Where a check takes its read blocks: the C heap, or a test's heap.
struct BlockHeap {
    void* (*take)(size_t size);  // nullptr when no block can be had
    void (*release)(void* block);
};
extern const BlockHeap kStandardBlockHeap;

// Stored signature bytes in plain form: each byte's two halves trade places.
void DecodeSignatureBytes(const uint8_t* stored, uint32_t length, uint8_t* plain);

// Checks `path` against the selected records of `list`: 1 all present, 0 one
// differs, -1 not opened, -2 bad parameters (up to 5 selected, 48 bytes each),
// -25 under 60 bytes, -26 no Portable Executable, -27 a block not had or read.
int32_t CheckFileSignatures(const char* path, const SignatureRecord* list);
int32_t CheckFileSignaturesWith(const BlockHeap& heap, const char* path,
                                const SignatureRecord* list);

// Checks `count` probes in order, with the results above; every return closes
// the file, releases its blocks and restores its attributes.
int32_t CheckSignatureProbes(const char* path, const SignatureProbe* probes, uint32_t count);

// Reads up to `size` bytes at `file_offset` into `buffer`, zero where the file
// has none. 0; -2 for a size over 8192 or null buffer or file; -27 on a read error.
int32_t ReadFileBlock(FILE* file, uint32_t size, int32_t file_offset, void* buffer);
