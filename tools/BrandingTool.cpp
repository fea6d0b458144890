// corvantis-brand: puts a branding zip into a signed copy of the downloader, and
// lists or extracts the branding of a branded copy. The same source builds for
// Linux and as a Windows console program.
//
//   corvantis-brand brand <signed.exe> <branding folder | branding.zip> <branded.exe>
//   corvantis-brand list <branded.exe>
//   corvantis-brand extract <branded.exe> <branding.zip>
//
// The zip and its trailer ("CRVS", payload length + 12, padding length) go inside
// the single certificate entry, after the signature: the Authenticode hash leaves
// the certificate table, its directory entry and the checksum out, so the copy
// stays validly signed.
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "branding/ExePayload.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

// Raised for anything that stops a command; main prints it and exits non-zero.
struct ToolError {
    std::string message;
};

uint32_t Get16(const Bytes& bytes, size_t at) {
    if (at + 2 > bytes.size()) throw ToolError{"the file ends inside its headers"};
    return bytes[at] | (bytes[at + 1] << 8);
}

uint32_t Get32(const Bytes& bytes, size_t at) {
    return Get16(bytes, at) | (Get16(bytes, at + 2) << 16);
}

void Set32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void Append16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(Bytes& out, uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError{"cannot open " + path.u8string()};
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ToolError{"cannot read " + path.u8string()};
    return bytes;
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw ToolError{"cannot write " + path.u8string()};
}

// ---- Reading through the program's own payload reader ----

struct ReaderView {
    ExePayloadFormat::Layout layout;
    ExePayloadFormat::Location location;
    std::string failure;  // why the reader sees no certificate table at the end
};

ReaderView ViewAsTheProgramDoes(const fs::path& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        ExePayloadFormat::OpenForReading(path.wstring()), std::fclose);
    if (!file) throw ToolError{"cannot open " + path.u8string()};
    ReaderView view;
    view.failure = ExePayloadFormat::ReadLayout(file.get(), view.layout);
    if (view.failure.empty()) view.location = ExePayloadFormat::FindPayload(file.get(), view.layout);
    return view;
}

Bytes ReadPayloadAsTheProgramDoes(const fs::path& path) {
    return CExePayload().ReadPayload(path.wstring());
}

// ---- The PE image ----

struct PeImage {
    size_t signature = 0;      // file offset of "PE\0\0"
    size_t securityEntry = 0;  // file offset of the Security entry of the data directory
    size_t checksum = 0;       // file offset of the optional header's CheckSum
    uint32_t tableOffset = 0;
    uint32_t tableSize = 0;
};

PeImage InspectSignedImage(const Bytes& file) {
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z')
        throw ToolError{"not a PE32 image: no MZ header"};
    PeImage image;
    image.signature = Get32(file, 0x3C);
    if (Get32(file, image.signature) != 0x00004550) throw ToolError{"not a PE32 image: no PE signature"};
    const size_t optional = image.signature + 24;
    const uint32_t magic = Get16(file, optional);
    // PE32 is the program; PE32+ is accepted for 64-bit builds of the same sources.
    if (magic != 0x10B && magic != 0x20B) throw ToolError{"not a PE32 image: unknown optional header"};
    const size_t directoryCount = optional + (magic == 0x10B ? 92 : 108);
    if (Get32(file, directoryCount) < 5) throw ToolError{"the image has no certificate table entry"};
    image.checksum = optional + 64;
    image.securityEntry = optional + (magic == 0x10B ? 128 : 144);
    image.tableOffset = Get32(file, image.securityEntry);
    image.tableSize = Get32(file, image.securityEntry + 4);

    if (image.tableOffset == 0 || image.tableSize == 0) throw ToolError{"the image is not signed"};
    if (uint64_t{image.tableOffset} + image.tableSize != file.size())
        throw ToolError{"the certificate table is not at the end of the file (data was appended after signing)"};
    if (Get32(file, image.tableOffset) != image.tableSize)
        throw ToolError{"the certificate table holds more than one entry, or its length does not match"};
    return image;
}

uint32_t ComputeChecksum(const Bytes& file, size_t checksumOffset) {
    uint64_t sum = 0;
    for (size_t i = 0; i + 1 < file.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        sum += file[i] | (file[i + 1] << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (file.size() % 2) sum += file.back();
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

// ---- Making the zip ----

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The program reads a base name that starts with 0x7F 0x7F as UTF-8 and anything
// else in the ANSI code page, so only plain ASCII is stored bare.
std::string StoredComponent(const std::string& utf8) {
    size_t dot = utf8.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = utf8.size();
    std::string base = utf8.substr(0, dot), extension = utf8.substr(dot);
    if (!IsAscii(extension))
        throw ToolError{"cannot store \"" + utf8 + "\": only base names may hold non-ASCII characters"};
    return (IsAscii(base) ? base : "\x7F\x7F" + base) + extension;
}

uint32_t DosTimeOf(const fs::path& path) {
#ifdef _WIN32
    struct _stat64 info;
    if (_wstat64(path.c_str(), &info) != 0) return 0;
    std::tm local;
    if (_localtime64_s(&local, &info.st_mtime) != 0) return 0;
#else
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return 0;
    std::tm local;
    if (localtime_r(&info.st_mtime, &local) == nullptr) return 0;
#endif
    if (local.tm_year < 80) return (1u << 21) | (1u << 16);
    return (static_cast<uint32_t>(local.tm_year - 80) << 25) | (static_cast<uint32_t>(local.tm_mon + 1) << 21) |
           (static_cast<uint32_t>(local.tm_mday) << 16) | (static_cast<uint32_t>(local.tm_hour) << 11) |
           (static_cast<uint32_t>(local.tm_min) << 5) | static_cast<uint32_t>(local.tm_sec / 2);
}

Bytes RawDeflate(const Bytes& data) {
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw ToolError{"zlib cannot start"};
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw ToolError{"zlib cannot compress"};
    return out;
}

class ZipMaker {
public:
    void Add(const std::string& storedName, const Bytes& data, uint32_t dosTime, bool isFolder) {
        const uint32_t crc = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
        Bytes body = RawDeflate(data);
        uint32_t method = 8;
        if (body.size() >= data.size()) {
            body = data;
            method = 0;
        }
        if (archive_.size() + body.size() > 0xFFFFFFF0u) throw ToolError{"the branding is too large"};
        const uint32_t offset = static_cast<uint32_t>(archive_.size());
        Header(archive_, 0x04034b50, method, dosTime, crc, body.size(), data.size(), storedName.size());
        Append16(archive_, 0);
        archive_.insert(archive_.end(), storedName.begin(), storedName.end());
        archive_.insert(archive_.end(), body.begin(), body.end());

        Append32(directory_, 0x02014b50);
        Append16(directory_, 20);
        Header(directory_, 0, method, dosTime, crc, body.size(), data.size(), storedName.size());
        Append16(directory_, 0);  // extra
        Append16(directory_, 0);  // comment
        Append16(directory_, 0);  // disk
        Append16(directory_, 0);  // internal attributes
        Append32(directory_, isFolder ? 0x10 : 0x20);
        Append32(directory_, offset);
        directory_.insert(directory_.end(), storedName.begin(), storedName.end());
        ++count_;
    }

    Bytes Finish() {
        if (count_ > 0xFFFF) throw ToolError{"the branding holds too many files"};
        Bytes zip = archive_;
        zip.insert(zip.end(), directory_.begin(), directory_.end());
        Append32(zip, 0x06054b50);
        Append32(zip, 0);
        Append16(zip, count_);
        Append16(zip, count_);
        Append32(zip, static_cast<uint32_t>(directory_.size()));
        Append32(zip, static_cast<uint32_t>(archive_.size()));
        Append16(zip, 0);
        return zip;
    }

private:
    static void Header(Bytes& out, uint32_t signature, uint32_t method, uint32_t dosTime, uint32_t crc,
                       size_t packed, size_t size, size_t nameLength) {
        if (signature) Append32(out, signature);
        Append16(out, 20);
        Append16(out, 0);
        Append16(out, method);
        Append32(out, dosTime);
        Append32(out, crc);
        Append32(out, static_cast<uint32_t>(packed));
        Append32(out, static_cast<uint32_t>(size));
        Append16(out, static_cast<uint32_t>(nameLength));
    }

    Bytes archive_, directory_;
    uint32_t count_ = 0;
};

Bytes ZipFolder(const fs::path& folder) {
    std::vector<fs::path> items;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        items.push_back(entry.path());
    std::sort(items.begin(), items.end());
    ZipMaker zip;
    for (const fs::path& item : items) {
        std::string name;
        for (const fs::path& part : fs::relative(item, folder))
            name += (name.empty() ? "" : "/") + StoredComponent(part.u8string());
        bool isFolder = fs::is_directory(item);
        zip.Add(isFolder ? name + "/" : name, isFolder ? Bytes() : ReadFile(item), DosTimeOf(item), isFolder);
    }
    return zip.Finish();
}

Bytes LoadBranding(const fs::path& source) {
    if (fs::is_directory(source)) return ZipFolder(source);
    Bytes zip = ReadFile(source);
    if (zip.size() < 22 || Get32(zip, 0) != 0x04034b50)
        throw ToolError{source.u8string() + " is neither a folder nor a zip archive"};
    return zip;
}

// ---- Commands ----

int Brand(const fs::path& input, const fs::path& source, const fs::path& output) {
    Bytes file = ReadFile(input);
    PeImage image = InspectSignedImage(file);
    ReaderView view = ViewAsTheProgramDoes(input);
    if (!view.failure.empty() || view.layout.signatureEnd != image.signature + 4)
        throw ToolError{"the program would not find this image's certificate table: " + view.failure};

    // Re-branding replaces the earlier payload, trailer and padding.
    size_t keep = file.size();
    if (view.location.found) keep = static_cast<size_t>(view.location.start);
    if (keep < uint64_t{image.tableOffset} + 8) throw ToolError{"the earlier payload overlaps the signature"};
    file.resize(keep);

    Bytes zip = LoadBranding(source);
    if (zip.size() > 0x7FFFFFFFu - file.size()) throw ToolError{"the branding is too large"};
    const size_t trailerEnd = file.size() + zip.size() + ExePayloadFormat::kTrailerSize;
    const uint32_t padding = static_cast<uint32_t>((8 - (trailerEnd - image.tableOffset) % 8) % 8);
    file.insert(file.end(), zip.begin(), zip.end());
    file.insert(file.end(), ExePayloadFormat::kMarker, ExePayloadFormat::kMarker + 4);
    Append32(file, static_cast<uint32_t>(zip.size() + ExePayloadFormat::kTrailerSize));
    Append32(file, padding);
    file.insert(file.end(), padding, 0);

    const uint32_t tableSize = static_cast<uint32_t>(file.size() - image.tableOffset);
    Set32(file, image.tableOffset, tableSize);
    Set32(file, image.securityEntry + 4, tableSize);
    Set32(file, image.checksum, ComputeChecksum(file, image.checksum));
    WriteFile(output, file);

    if (ReadPayloadAsTheProgramDoes(output) != zip)
        throw ToolError{"the branded copy does not read back; it was left at " + output.u8string()};
    std::cout << "Branded " << output.u8string() << ": " << zip.size() << " bytes of branding\n";
    return 0;
}

std::string DisplayName(const Bytes& zip, size_t at, size_t length) {
    std::string name;
    for (size_t i = at; i < at + length && i < zip.size(); ++i) {
        bool markStart = (i == at || zip[i - 1] == '/' || zip[i - 1] == '\\') && i + 1 < zip.size() &&
                         zip[i] == 0x7F && zip[i + 1] == 0x7F;
        if (markStart) {
            ++i;
            continue;
        }
        name += static_cast<char>(zip[i]);
    }
    return name;
}

int List(const fs::path& input) {
    Bytes zip = ReadPayloadAsTheProgramDoes(input);
    if (zip.empty()) throw ToolError{input.u8string() + " carries no branding"};
    std::cout << "Branding: " << zip.size() << " bytes\n";
    size_t end = zip.size() >= 22 ? zip.size() - 22 : 0;
    while (end > 0 && Get32(zip, end) != 0x06054b50) --end;
    if (Get32(zip, end) != 0x06054b50) throw ToolError{"the branding is not a zip archive"};
    size_t at = Get32(zip, end + 16);
    for (uint32_t i = 0, count = Get16(zip, end + 10); i < count; ++i) {
        if (Get32(zip, at) != 0x02014b50) throw ToolError{"the branding's zip directory is damaged"};
        uint32_t size = Get32(zip, at + 24), nameLength = Get16(zip, at + 28);
        std::cout << std::to_string(size) << "\t" << DisplayName(zip, at + 46, nameLength) << "\n";
        at += 46 + nameLength + Get16(zip, at + 30) + Get16(zip, at + 32);
    }
    return 0;
}

int Extract(const fs::path& input, const fs::path& output) {
    Bytes zip = ReadPayloadAsTheProgramDoes(input);
    if (zip.empty()) throw ToolError{input.u8string() + " carries no branding"};
    WriteFile(output, zip);
    std::cout << "Wrote " << output.u8string() << ": " << zip.size() << " bytes\n";
    return 0;
}

int Usage() {
    std::cerr << "usage: corvantis-brand brand <signed.exe> <branding folder | branding.zip> <branded.exe>\n"
                 "       corvantis-brand list <branded.exe>\n"
                 "       corvantis-brand extract <branded.exe> <branding.zip>\n";
    return 2;
}

int Run(const std::vector<fs::path>& args) {
    if (args.empty()) return Usage();
    const std::string command = args[0].u8string();
    try {
        if (command == "brand" && args.size() == 4) return Brand(args[1], args[2], args[3]);
        if (command == "list" && args.size() == 2) return List(args[1]);
        if (command == "extract" && args.size() == 3) return Extract(args[1], args[2]);
    } catch (const ToolError& error) {
        std::cerr << "corvantis-brand: " << error.message << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << "corvantis-brand: " << error.what() << "\n";
        return 1;
    }
    return Usage();
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Run(std::vector<fs::path>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<fs::path>(argv + 1, argv + argc));
}
#endif
