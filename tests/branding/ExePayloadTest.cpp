#include "branding/ExePayload.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/branding/CraftedExe.h"
#include "tests/fileutil/TestSupport.h"

namespace {

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
