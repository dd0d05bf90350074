// A zip archive's directory and entries, as a workbook (.xlsx, .ods) holds its parts: the central directory read
// here, each entry inflated by zlib and checked against its CRC. Whatever a hostile archive tries (sizes that
// expand without bound, entries named twice, ZIP64, encryption) ends in one problem, said in the author's words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint64_t compressed_size = 0;
    uint64_t size = 0;
    uint64_t header_offset = 0;  // of its local header
};

struct ZipArchive {
    std::vector<ZipEntry> entries;  // in the directory's order
    std::string problem;            // empty when the directory was read
};

// What one entry holds.
struct ZipContent {
    std::string bytes;
    std::string problem;  // empty when the entry was read whole
};

// No part of a question bank's workbook comes near these: a sheet of 100,000 questions is some 40 MB of XML.
constexpr uint64_t ZIP_ENTRY_SIZE_LIMIT = 512ull << 20;
constexpr size_t ZIP_ENTRY_COUNT_LIMIT = 10000;
// Real XML deflates to a tenth or, for a sheet of blank styled rows, a few hundredths; a bomb to thousandths.
constexpr uint64_t ZIP_RATIO_LIMIT = 1000;

// The archive's directory: every entry's name, sizes and place.
ZipArchive ReadZipDirectory(const std::string& bytes);

// The entry named `name` (exactly, as the directory holds it), or nullptr.
const ZipEntry* FindZipEntry(const ZipArchive& archive, const std::string& name);

// The entry's bytes, inflated and checked.
ZipContent ReadZipEntry(const std::string& bytes, const ZipEntry& entry);
