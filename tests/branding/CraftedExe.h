#pragma once
// Files shaped like signed executables as far as the payload reader looks.
#include <cstdint>
#include <string>

namespace {

void PutU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string U32(uint32_t value) {
    std::string bytes(4, '\0');
    PutU32(bytes, 0, value);
    return bytes;
}

// A file shaped like a signed executable as far as the payload reader looks.
struct CraftedExe {
    char beforeSignature = 'x';     // the byte just before 'P','E',0,0
    uint16_t magic = 0x10B;
    bool signedTable = true;
    std::string signature = std::string("\x00\x02\x02\x00", 4) + "pkcs7-signature-data";
    bool withTrailer = true;
    std::string payload = "PK-branding-zip";
    int64_t lengthA = -1;           // A as stored; -1 for the right value
    uint32_t paddingB = 0;
    std::string padding;            // B bytes of padding when not empty
    std::string appended;           // after the certificate table, not covered by it

    std::string Build() const {
        std::string file(63, 'M');
        file += beforeSignature;
        file += std::string("PE\0\0", 4);
        const size_t signatureEnd = file.size();
        file.resize(signatureEnd + 240, '\0');
        file[signatureEnd + 20] = static_cast<char>(magic & 0xFF);
        file[signatureEnd + 21] = static_cast<char>(magic >> 8);
        if (!signedTable) return file + appended;

        std::string table = U32(0) + signature;
        if (withTrailer) {
            uint32_t a = lengthA >= 0 ? static_cast<uint32_t>(lengthA)
                                      : static_cast<uint32_t>(payload.size() + 12);
            table += payload + "CRVS" + U32(a) + U32(paddingB);
            table += padding.empty() ? std::string(paddingB, '\0') : padding;
        }
        PutU32(table, 0, static_cast<uint32_t>(table.size()));
        const size_t entry = signatureEnd + (magic == 0x20B ? 164 : 148);
        PutU32(file, entry, static_cast<uint32_t>(file.size()));
        PutU32(file, entry + 4, static_cast<uint32_t>(table.size()));
        return file + table + appended;
    }
};

}  // namespace
