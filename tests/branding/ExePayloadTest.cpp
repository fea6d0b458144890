#include "branding/ExePayload.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/fileutil/TestSupport.h"

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

class PayloadReader : public ::testing::Test {
protected:
    std::string Read(const std::string& bytes) {
        std::wstring path = scratch_ / (L"exe" + std::to_wstring(++count_) + L".exe");
        EXPECT_TRUE(TestSupport::WriteBytes(path, bytes));
        std::vector<uint8_t> payload = CExePayload().ReadPayload(path);
        return std::string(payload.begin(), payload.end());
    }
    TestSupport::ScratchFolder scratch_{L"payload"};
    int count_ = 0;
};

}  // namespace

TEST_F(PayloadReader, FindsThePayloadOfPe32AndPe32PlusFiles) {
    CraftedExe exe;
    EXPECT_EQ(Read(exe.Build()), "PK-branding-zip");
    exe.magic = 0x20B;
    EXPECT_EQ(Read(exe.Build()), "PK-branding-zip");
    // Without a PE32+ magic the PE32 position is used, whatever the magic says.
    exe.magic = 0x1234;
    EXPECT_EQ(Read(exe.Build()), "PK-branding-zip");
}

TEST_F(PayloadReader, UnsignedOrPayloadlessFilesHaveNone) {
    CraftedExe unsignedExe;
    unsignedExe.signedTable = false;
    EXPECT_EQ(Read(unsignedExe.Build()), "");
    CraftedExe plain;
    plain.withTrailer = false;
    EXPECT_EQ(Read(plain.Build()), "");
    EXPECT_TRUE(CExePayload().ReadPayload(scratch_ / L"missing.exe").empty());
}

TEST_F(PayloadReader, TrailerMustStartWithinTheLastTwentyBytes) {
    CraftedExe exe;
    exe.paddingB = 8;
    EXPECT_EQ(Read(exe.Build()), "PK-branding-zip");
    exe.paddingB = 9;
    EXPECT_EQ(Read(exe.Build()), "");
    // With "CRVS" twice in the window, the first one counts.
    exe.paddingB = 8;
    exe.padding = "CRVS" + U32(1000);
    EXPECT_EQ(Read(exe.Build()), "PK-branding-zip");
}

TEST_F(PayloadReader, ImplausibleLengthsAnnounceNothing) {
    CraftedExe exe;
    exe.lengthA = 12;
    EXPECT_EQ(Read(exe.Build()), "");
    for (int64_t a : {0, 1, 11}) {
        exe.lengthA = a;
        EXPECT_EQ(Read(exe.Build()), "") << a;
    }
    exe.lengthA = 0x7FFFFFF0;
    EXPECT_EQ(Read(exe.Build()), "");
    exe.lengthA = 0xFFFFFFF8;  // A + B wraps around in 32 bits
    exe.paddingB = 8;
    EXPECT_EQ(Read(exe.Build()), "");
    // A payload that reaches back over the start of the table is still inside the file.
    exe = CraftedExe();
    exe.lengthA = static_cast<int64_t>(exe.payload.size() + 12 + 4);
    EXPECT_EQ(Read(exe.Build()), std::string("data") + exe.payload);
}

TEST_F(PayloadReader, SignatureMatchingDoesNotRestartOnTheMismatchingByte) {
    CraftedExe exe;
    exe.beforeSignature = 'P';
    EXPECT_EQ(Read(exe.Build()), "");
    exe.beforeSignature = 'E';
    EXPECT_EQ(Read(exe.Build()), "PK-branding-zip");
    EXPECT_EQ(Read(std::string(100, 'x') + std::string("PE\0\0", 4)), "");
    EXPECT_EQ(Read(""), "");
}

TEST_F(PayloadReader, TableMustEndTheFile) {
    CraftedExe exe;
    exe.appended = "appended after signing";
    EXPECT_EQ(Read(exe.Build()), "");
    std::string whole = CraftedExe().Build();
    for (size_t cut : {whole.size() - 1, whole.size() - 12, whole.size() / 2, size_t{70}})
        EXPECT_EQ(Read(whole.substr(0, cut)), "") << cut;
}
