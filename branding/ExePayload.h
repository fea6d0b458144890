#pragma once
// The branding zip carried inside the certificate table at the end of a signed
// executable, announced by a 12-byte trailer: "CRVS", A (payload length + 12) and
// B (bytes after the trailer). Free of Windows headers: the branding tool on Linux
// reads payloads with this same code.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CExePayload {
public:
    virtual ~CExePayload() = default;

    // The payload bytes of the executable at `path`, or empty when it has none or
    // the file is not a signed executable whose certificate table ends the file.
    std::vector<uint8_t> ReadPayload(const std::wstring& path);
};

namespace ExePayloadFormat {

constexpr char kMarker[4] = {'C', 'R', 'V', 'S'};
constexpr uint32_t kTrailerSize = 12;
// The trailer is looked for in this many bytes at the end of the file.
constexpr uint32_t kTrailerWindow = 20;
// From the end of the PE signature to the Security entry of the data directory.
constexpr uint32_t kSecurityEntryPe32 = 148;
constexpr uint32_t kSecurityEntryPe32Plus = 164;
constexpr uint16_t kMagicPe32Plus = 0x20B;

// What the reader learns about a file before it looks for the trailer.
struct Layout {
    uint64_t fileSize = 0;
    uint64_t signatureEnd = 0;      // just past 'P','E',0,0
    uint64_t securityEntry = 0;     // file position of the Security entry
    uint32_t tableOffset = 0;
    uint32_t tableSize = 0;
};

// Where a payload lies; `found` is false when there is none.
struct Location {
    bool found = false;
    uint64_t start = 0;             // first payload byte
    uint32_t length = 0;            // payload bytes (A - 12)
    uint32_t paddingLength = 0;     // B
};

// Checks the PE signature and that the certificate table ends the file. Returns
// an empty text on success, otherwise why the file cannot carry a payload.
std::string ReadLayout(std::FILE* file, Layout& layout);
// Looks for the trailer in the last bytes of a file whose layout was read.
Location FindPayload(std::FILE* file, const Layout& layout);

// Opens a file for binary reading by a wide path (any sharing); null on failure.
std::FILE* OpenForReading(const std::wstring& path);

}  // namespace ExePayloadFormat
