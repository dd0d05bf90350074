// The zip format's records read by their documented layout (APPNOTE.TXT); the deflated data itself is zlib's.
#include "zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <set>

namespace {

constexpr uint32_t END_SIGNATURE = 0x06054b50;
constexpr uint32_t ZIP64_LOCATOR_SIGNATURE = 0x07064b50;
constexpr uint32_t CENTRAL_SIGNATURE = 0x02014b50;
constexpr uint32_t LOCAL_SIGNATURE = 0x04034b50;
constexpr size_t END_SIZE = 22;
constexpr size_t CENTRAL_SIZE = 46;
constexpr size_t LOCAL_SIZE = 30;

uint16_t Get16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t Get32(const std::string& bytes, size_t at) {
    return Get16(bytes, at) | static_cast<uint32_t>(Get16(bytes, at + 2)) << 16;
}

const char* const DAMAGED = "the zip archive is damaged or cut short: save the workbook again from the spreadsheet";

}  // namespace

ZipArchive ReadZipDirectory(const std::string& bytes) {
    ZipArchive archive;
    // The end record is within the last 64 KB (its comment is at most 65,535 bytes); the last one found is the
    // archive's, as every reader takes it.
    if (bytes.size() < END_SIZE) return {{}, DAMAGED};
    size_t end = std::string::npos;
    const size_t lowest = bytes.size() > END_SIZE + 0xFFFF ? bytes.size() - END_SIZE - 0xFFFF : 0;
    for (size_t at = bytes.size() - END_SIZE + 1; at-- > lowest;) {
        if (Get32(bytes, at) == END_SIGNATURE) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) return {{}, DAMAGED};
    if (end >= 20 && Get32(bytes, end - 20) == ZIP64_LOCATOR_SIGNATURE) {
        return {{}, "the zip archive is in the ZIP64 form, which no workbook of questions needs: save the workbook "
                    "again from the spreadsheet"};
    }
    if (Get16(bytes, end + 4) != 0 || Get16(bytes, end + 6) != 0) {
        return {{}, "the file is one part of a zip archive split over several files: save the workbook again as one "
                    "file"};
    }
    const size_t count = Get16(bytes, end + 10);
    const uint32_t directory_size = Get32(bytes, end + 12);
    const uint32_t directory_offset = Get32(bytes, end + 16);
    if (count == 0xFFFF || directory_size == 0xFFFFFFFF || directory_offset == 0xFFFFFFFF) {
        return {{}, "the zip archive is in the ZIP64 form, which no workbook of questions needs: save the workbook "
                    "again from the spreadsheet"};
    }
    if (count > ZIP_ENTRY_COUNT_LIMIT) {
        return {{}, "the zip archive holds over " + std::to_string(ZIP_ENTRY_COUNT_LIMIT) +
                        " entries, more than any workbook: save the sheet again as a workbook of its own"};
    }
    if (uint64_t{directory_offset} + directory_size > end) return {{}, DAMAGED};

    std::set<std::string> names;
    size_t at = directory_offset;
    for (size_t i = 0; i < count; ++i) {
        if (at + CENTRAL_SIZE > end || Get32(bytes, at) != CENTRAL_SIGNATURE) return {{}, DAMAGED};
        ZipEntry entry;
        entry.flags = Get16(bytes, at + 8);
        entry.method = Get16(bytes, at + 10);
        entry.crc = Get32(bytes, at + 16);
        entry.compressed_size = Get32(bytes, at + 20);
        entry.size = Get32(bytes, at + 24);
        const size_t name_length = Get16(bytes, at + 28);
        const size_t extra_length = Get16(bytes, at + 30);
        const size_t comment_length = Get16(bytes, at + 32);
        entry.header_offset = Get32(bytes, at + 42);
        if (at + CENTRAL_SIZE + name_length + extra_length + comment_length > end) return {{}, DAMAGED};
        entry.name = bytes.substr(at + CENTRAL_SIZE, name_length);
        if (entry.compressed_size == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || entry.header_offset == 0xFFFFFFFF) {
            return {{}, "the zip archive is in the ZIP64 form, which no workbook of questions needs: save the "
                        "workbook again from the spreadsheet"};
        }
        // Two entries of one name are read differently by different readers: one workbook could show two sheets.
        if (!names.insert(entry.name).second) {
            return {{}, "the zip archive holds \"" + entry.name +
                            "\" twice, which no spreadsheet writes: save the workbook again from the spreadsheet"};
        }
        archive.entries.push_back(std::move(entry));
        at += CENTRAL_SIZE + name_length + extra_length + comment_length;
    }
    return archive;
}

const ZipEntry* FindZipEntry(const ZipArchive& archive, const std::string& name) {
    const auto found = std::find_if(archive.entries.begin(), archive.entries.end(),
                                    [&](const ZipEntry& entry) { return entry.name == name; });
    return found == archive.entries.end() ? nullptr : &*found;
}

ZipContent ReadZipEntry(const std::string& bytes, const ZipEntry& entry) {
    const std::string where = "\"" + entry.name + "\" in the zip archive";
    if (entry.flags & 1) {
        return {{}, where + " is encrypted: remove the password in the spreadsheet, or save the sheet as CSV UTF-8"};
    }
    if (entry.method != 0 && entry.method != 8) {
        return {{}, where + " is compressed in a way spreadsheets do not use (method " +
                        std::to_string(entry.method) + "): save the workbook again from the spreadsheet"};
    }
    if (entry.size > ZIP_ENTRY_SIZE_LIMIT) {
        return {{}, where + " expands to " + std::to_string(entry.size >> 20) + " MB, over the " +
                        std::to_string(ZIP_ENTRY_SIZE_LIMIT >> 20) +
                        " MB a workbook of questions needs: save the questions' sheet alone as a workbook"};
    }
    if (entry.size > (1u << 20) && entry.size / std::max<uint64_t>(entry.compressed_size, 1) > ZIP_RATIO_LIMIT) {
        return {{}, where + " expands over " + std::to_string(ZIP_RATIO_LIMIT) +
                        " times, as no real workbook does: it is not a workbook to read"};
    }
    const size_t header = entry.header_offset;
    if (header + LOCAL_SIZE > bytes.size() || Get32(bytes, header) != LOCAL_SIGNATURE) return {{}, DAMAGED};
    const size_t data = header + LOCAL_SIZE + Get16(bytes, header + 26) + Get16(bytes, header + 28);
    if (data > bytes.size() || entry.compressed_size > bytes.size() - data) return {{}, DAMAGED};

    ZipContent content;
    if (entry.method == 0) {
        if (entry.compressed_size != entry.size) return {{}, DAMAGED};
        content.bytes = bytes.substr(data, entry.size);
    } else {
        // The directory's size is trusted only as a bound: the output never grows past it, so a lying size is
        // caught as damage rather than followed.
        // The directory's size is trusted only as a bound: one byte of room past it shows a stream that goes on
        // longer than the directory says, which is damage, never followed.
        content.bytes.resize(entry.size + 1);
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return {{}, "not enough memory to inflate " + where};
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + data));
        stream.avail_in = static_cast<uInt>(entry.compressed_size);
        stream.next_out = reinterpret_cast<Bytef*>(content.bytes.data());
        stream.avail_out = static_cast<uInt>(entry.size + 1);
        const int status = inflate(&stream, Z_FINISH);
        const bool whole = status == Z_STREAM_END && stream.total_out == entry.size;
        inflateEnd(&stream);
        content.bytes.resize(entry.size);
        if (!whole) return {{}, where + " is damaged: save the workbook again from the spreadsheet"};
    }
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(content.bytes.data()),
                            static_cast<uInt>(content.bytes.size()));
    if (crc != entry.crc) return {{}, where + " is damaged: save the workbook again from the spreadsheet"};
    return content;
}
