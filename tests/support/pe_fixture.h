// Test support: Portable Executable images made in the test itself, with the
// plain bytes of a signature list placed at their offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/detection.h"

// A record's plain bytes: its stored bytes with the halves swapped back.
std::vector<uint8_t> PlainSignatureBytes(const SignatureRecord& record);

// An image of `size` bytes, zeros apart from "MZ", the relocation-table
// offset at 24, the new-header offset at 60 and "PE\0\0" at that offset;
// whatever falls past `size` is left out.
std::string MakePeImage(size_t size, uint16_t relocation_offset = 64,
                        uint32_t new_header_offset = 128);

// Writes the plain bytes of every record of `list` at its offset, leaving
// out what falls past the end of `image`.
void PlaceSignatures(std::string* image, const SignatureRecord* list);

// A Portable Executable that carries every signature of `list`, with a few
// hundred bytes after the last one.
std::string MakeInfectedPe(const SignatureRecord* list);
