#include "branding/ExePayload.h"

#include <memory>
#include <new>

namespace ExePayloadFormat {
namespace {

bool SeekTo(std::FILE* file, uint64_t position) {
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

uint64_t Tell(std::FILE* file) {
#ifdef _WIN32
    return static_cast<uint64_t>(_ftelli64(file));
#else
    return static_cast<uint64_t>(ftello(file));
#endif
}

bool SizeOf(std::FILE* file, uint64_t& size) {
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) != 0) return false;
    long long end = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    long long end = ftello(file);
#endif
    if (end < 0) return false;
    size = static_cast<uint64_t>(end);
    return true;
}

// A little-endian value at the current position; 0 when it cannot be read whole.
template <typename T>
T ReadLittleEndian(std::FILE* file) {
    unsigned char bytes[sizeof(T)];
    if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return 0;
    T value = 0;
    for (size_t i = sizeof(T); i-- > 0;) value = static_cast<T>((value << 8) | bytes[i]);
    return value;
}

// Reads on until `pattern` has been matched. A byte that breaks a partial match is
// not itself taken as the start of a new one (so "PPE\0\0" holds no signature).
bool SkipPast(std::FILE* file, const char* pattern, size_t length) {
    int c;
    while ((c = std::getc(file)) != EOF) {
        if (c != static_cast<unsigned char>(pattern[0])) continue;
        size_t matched = 1;
        while (matched < length) {
            c = std::getc(file);
            if (c != static_cast<unsigned char>(pattern[matched])) break;
            ++matched;
        }
        if (matched == length) return true;
        if (c == EOF) return false;
    }
    return false;
}

}  // namespace

std::FILE* OpenForReading(const std::wstring& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"rb");
#else
    std::string narrow;
    for (wchar_t wc : path) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            narrow += static_cast<char>(c);
        } else if (c < 0x800) {
            narrow += static_cast<char>(0xC0 | (c >> 6));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            narrow += static_cast<char>(0xE0 | (c >> 12));
            narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | (c >> 18));
            narrow += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            narrow += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return std::fopen(narrow.c_str(), "rb");
#endif
}

std::string ReadLayout(std::FILE* file, Layout& layout) {
    layout = Layout();
    static const char signature[4] = {'P', 'E', 0, 0};
    if (!SkipPast(file, signature, sizeof signature) || std::getc(file) == EOF)
        return "Input is not a valid PE Executable";
    // The byte read to see that the file goes on is not part of the signature.
    layout.signatureEnd = Tell(file) - 1;

    // The program reads its own PE32 file; a PE32+ build (the 64-bit test build)
    // has its data directory 16 bytes further on.
    uint16_t magic = 0;
    if (SeekTo(file, layout.signatureEnd + 20)) magic = ReadLittleEndian<uint16_t>(file);
    layout.securityEntry = layout.signatureEnd +
                           (magic == kMagicPe32Plus ? kSecurityEntryPe32Plus : kSecurityEntryPe32);
    if (SeekTo(file, layout.securityEntry)) {
        layout.tableOffset = ReadLittleEndian<uint32_t>(file);
        layout.tableSize = ReadLittleEndian<uint32_t>(file);
    }

    uint32_t firstEntryLength = 0;
    if (SeekTo(file, layout.tableOffset)) firstEntryLength = ReadLittleEndian<uint32_t>(file);
    if (firstEntryLength != layout.tableSize)
        return "Failed to read certificate table location properly";

    if (!SizeOf(file, layout.fileSize) ||
        static_cast<uint32_t>(layout.tableOffset + layout.tableSize) != layout.fileSize)
        return "The certificate table is not located at the end of the file!";
    return std::string();
}

Location FindPayload(std::FILE* file, const Layout& layout) {
    Location location;
    if (layout.fileSize < kTrailerWindow || !SeekTo(file, layout.fileSize - kTrailerWindow))
        return location;
    if (!SkipPast(file, kMarker, sizeof kMarker)) return location;
    uint32_t a = ReadLittleEndian<uint32_t>(file);
    uint32_t b = ReadLittleEndian<uint32_t>(file);
    // A trailer that does not fit its own length, or a payload that would begin
    // before the file does, announces nothing.
    if (a < kTrailerSize || uint64_t{a} + b > layout.fileSize) return location;
    location.found = true;
    location.start = layout.fileSize - a - b;
    location.length = a - kTrailerSize;
    location.paddingLength = b;
    return location;
}

}  // namespace ExePayloadFormat

std::vector<uint8_t> CExePayload::ReadPayload(const std::wstring& path) {
    using namespace ExePayloadFormat;
    std::vector<uint8_t> payload;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenForReading(path), std::fclose);
    if (!file) return payload;  // "Cannot open input file"
    Layout layout;
    if (!ReadLayout(file.get(), layout).empty()) return payload;
    Location location = FindPayload(file.get(), layout);
    if (!location.found || location.length == 0 || !SeekTo(file.get(), location.start))
        return payload;
    // The length is bounded by the file size, which the checks above guarantee.
    try {
        payload.resize(location.length);
    } catch (const std::bad_alloc&) {
        return std::vector<uint8_t>();
    }
    if (std::fread(payload.data(), 1, payload.size(), file.get()) != payload.size()) payload.clear();
    return payload;
}
