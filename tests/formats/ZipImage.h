#pragma once
// A zip archive made byte by byte, its entries stored as given: names of any length and bytes,
// and the compression method and flags an entry declares (bzip2, LZMA, encrypted) without the
// means to make them. For the KMZ tests and the fuzz seeds.
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntry {
    std::string name, bytes;
    std::uint16_t method = 0;  // 0 stored, 12 bzip2, 14 LZMA
    std::uint16_t flags = 0;   // 1: encrypted
    // Zip64 as some writers make it: the sizes in the local header's extra field alone, both
    // headers' own size fields 0xFFFFFFFF.
    bool zip64Local = false;
};

inline std::string ZipImage(const std::vector<ZipEntry>& entries) {
    const auto crc32 = [](const std::string& bytes) {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (const char c : bytes) {
            crc ^= static_cast<unsigned char>(c);
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    const auto put = [](std::string& out, std::uint32_t value, int bytes) {
        for (int k = 0; k < bytes; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
    };
    std::string archive, directory;
    for (const ZipEntry& entry : entries) {
        const auto offset = static_cast<std::uint32_t>(archive.size());
        const auto size = static_cast<std::uint32_t>(entry.bytes.size());
        const std::uint32_t crc = crc32(entry.bytes);
        std::string common;  // from "version needed" to the name's length, in both headers
        put(common, entry.zip64Local ? 45 : 20, 2);
        put(common, entry.flags, 2);
        put(common, entry.method, 2);
        put(common, 0x0021u << 16, 4);  // 00:00, 1980-01-01
        put(common, crc, 4);
        put(common, entry.zip64Local ? 0xFFFFFFFFu : size, 4);
        put(common, entry.zip64Local ? 0xFFFFFFFFu : size, 4);
        put(common, static_cast<std::uint32_t>(entry.name.size()), 2);
        put(archive, 0x04034b50, 4);
        archive += common;
        put(archive, entry.zip64Local ? 20 : 0, 2);
        archive += entry.name;
        if (entry.zip64Local) {
            put(archive, 1, 2);
            put(archive, 16, 2);
            for (int k = 0; k < 2; ++k) put(archive, size, 4), put(archive, 0, 4);
        }
        archive += entry.bytes;
        put(directory, 0x02014b50, 4);
        put(directory, 20, 2);
        directory += common;
        directory.append(12, '\0');  // extra, comment, disk, attributes
        put(directory, offset, 4);
        directory += entry.name;
    }
    const auto directoryAt = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    put(archive, 0x06054b50, 4);
    put(archive, 0, 4);
    put(archive, static_cast<std::uint32_t>(entries.size()), 2);
    put(archive, static_cast<std::uint32_t>(entries.size()), 2);
    put(archive, static_cast<std::uint32_t>(directory.size()), 4);
    put(archive, directoryAt, 4);
    put(archive, 0, 2);
    return archive;
}
