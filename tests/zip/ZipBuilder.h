#pragma once
// Writes zip archives byte by byte, so that tests control every field, including
// the ones a well-behaved zip library would never produce.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ZipBuilder {

struct Entry {
    std::string name;           // stored bytes, as they appear in the archive
    std::string data;
    bool deflate = false;
    uint32_t dosDateTime = (41u << 25) | (6u << 21) | (15u << 16) | (10u << 11) | (20u << 5) | 15u;
    int64_t storedCrc = -1;     // -1: the real CRC-32
    int64_t declaredSize = -1;  // -1: the real uncompressed size
};

inline uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
           (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
           (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
}

inline void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline std::string RawDeflate(const std::string& data) {
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

inline std::string Build(const std::vector<Entry>& entries) {
    std::string archive, directory;
    for (const Entry& e : entries) {
        const std::string body = e.deflate ? RawDeflate(e.data) : e.data;
        uint32_t crc = e.storedCrc >= 0
                           ? static_cast<uint32_t>(e.storedCrc)
                           : static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                         static_cast<uInt>(e.data.size())));
        uint32_t size = e.declaredSize >= 0 ? static_cast<uint32_t>(e.declaredSize)
                                            : static_cast<uint32_t>(e.data.size());
        uint32_t offset = static_cast<uint32_t>(archive.size());
        uint32_t method = e.deflate ? 8 : 0;
        bool isFolder = !e.name.empty() && (e.name.back() == '/' || e.name.back() == '\\');

        Put32(archive, 0x04034b50);
        Put16(archive, 20);
        Put16(archive, 0);
        Put16(archive, method);
        Put32(archive, e.dosDateTime);
        Put32(archive, crc);
        Put32(archive, static_cast<uint32_t>(body.size()));
        Put32(archive, size);
        Put16(archive, static_cast<uint32_t>(e.name.size()));
        Put16(archive, 0);
        archive += e.name + body;

        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, method);
        Put32(directory, e.dosDateTime);
        Put32(directory, crc);
        Put32(directory, static_cast<uint32_t>(body.size()));
        Put32(directory, size);
        Put16(directory, static_cast<uint32_t>(e.name.size()));
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, isFolder ? 0x10 : 0x20);
        Put32(directory, offset);
        directory += e.name;
    }
    uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
    archive += directory;
    Put32(archive, 0x06054b50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<uint32_t>(entries.size()));
    Put16(archive, static_cast<uint32_t>(entries.size()));
    Put32(archive, static_cast<uint32_t>(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);
    return archive;
}

}  // namespace ZipBuilder
