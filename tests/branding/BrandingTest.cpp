#include "branding/Branding.h"

#include <gtest/gtest.h>

#include "platform/UniqueResource.h"
#include "tests/branding/CraftedExe.h"
#include "tests/fileutil/TestSupport.h"
#include "tests/zip/ZipBuilder.h"

using TestSupport::Exists;
using TestSupport::ListTree;
using TestSupport::LogCapture;
using TestSupport::ReadBytes;
using TestSupport::WriteBytes;

namespace {

std::wstring ReadBrandingLocation() {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kBrandingRegistryKey, kBrandingRegistryValue, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return std::wstring();
    return value;
}

class Branding : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kBrandingRegistryKey, kBrandingRegistryValue);
        ASSERT_TRUE(CreateDirectoryW(appFolder_.c_str(), nullptr));
    }
    // A crafted executable carrying `archive` as its payload.
    void WriteExe(const std::string& archive) {
        CraftedExe exe;
        exe.payload = archive;
        exe.paddingB = static_cast<uint32_t>((8 - (archive.size() + 12) % 8) % 8);
        ASSERT_TRUE(WriteBytes(exe_, exe.Build()));
    }

    TestSupport::ScratchFolder scratch_{L"branding"};
    std::wstring appFolder_ = scratch_ / L"app";
    std::wstring exe_ = appFolder_ + L"\\Downloader.exe";
    std::wstring branding_ = scratch_ / L"Branding";
    std::string archive_ = ZipBuilder::Build({{"Brand.ini", "[brand]\n"},
                                              {"images/", ""},
                                              {"images/logo.png", std::string(3000, 'p'), true}});
};

}  // namespace

TEST_F(Branding, PayloadIsExtractedAndRecorded) {
    WriteExe(archive_);
    ASSERT_TRUE(CreateDirectoryW(branding_.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(branding_ + L"\\stale.txt", "from an earlier run"));

    LogCapture log;
    PrepareBrandingAt(exe_, branding_);
    std::vector<std::wstring> expected = {L"Brand.ini", L"images\\", L"images\\logo.png"};
    EXPECT_EQ(ListTree(branding_), expected) << "the earlier folder is replaced, Branding.zip deleted";
    EXPECT_EQ(ReadBytes(branding_ + L"\\images\\logo.png"), std::string(3000, 'p'));
    EXPECT_EQ(ReadBrandingLocation(), branding_);
    EXPECT_TRUE(log.Contains(L"[I 74/00000001] Not self extracting, no branding files found in the current path."));
    EXPECT_FALSE(log.Contains(L"No branding payload found."));
}

TEST_F(Branding, LooseFilesWinOverThePayload) {
    WriteExe(archive_);
    ASSERT_TRUE(WriteBytes(appFolder_ + L"\\Brand.ini", "[loose]"));
    ASSERT_TRUE(WriteBytes(appFolder_ + L"\\Helper.exe", "MZ"));
    ASSERT_TRUE(WriteBytes(appFolder_ + L"\\Kept.EXE", "MZ"));
    ASSERT_TRUE(CreateFolderPath(appFolder_ + L"\\art", false));
    ASSERT_TRUE(WriteBytes(appFolder_ + L"\\art\\banner.bmp", "BM"));

    LogCapture log;
    PrepareBrandingAt(exe_, branding_);
    std::vector<std::wstring> expected = {L"Brand.ini", L"Kept.EXE", L"art\\", L"art\\banner.bmp"};
    EXPECT_EQ(ListTree(branding_), expected);
    EXPECT_EQ(ReadBytes(branding_ + L"\\Brand.ini"), "[loose]");
    EXPECT_EQ(ReadBrandingLocation(), branding_);
    EXPECT_TRUE(log.lines().empty()) << TestSupport::Narrow(log.All());
}

TEST_F(Branding, NoBrandingLogsTwoInfoLinesAndLeavesTheRegistryAlone) {
    CraftedExe plain;
    plain.withTrailer = false;
    ASSERT_TRUE(WriteBytes(exe_, plain.Build()));
    LogCapture log;
    PrepareBrandingAt(exe_, branding_);
    ASSERT_EQ(log.lines().size(), 2u) << TestSupport::Narrow(log.All());
    EXPECT_EQ(log.lines()[0], L"[I 74/00000001] Not self extracting, no branding files found in the current path.");
    EXPECT_EQ(log.lines()[1], L"[I 74/00000001] No branding payload found.");
    EXPECT_EQ(ReadBrandingLocation(), L"");
}

TEST_F(Branding, DamagedPayloadIsReportedAndNotRecorded) {
    std::string damaged = archive_;
    damaged[damaged.size() / 2] ^= 0x5A;
    WriteExe(damaged.substr(0, damaged.size() - 30));
    LogCapture log;
    PrepareBrandingAt(exe_, branding_);
    EXPECT_TRUE(log.Contains(L"[E 74/00000001] Failed to unzip branding contants to temporary folder."))
        << TestSupport::Narrow(log.All());
    EXPECT_TRUE(Exists(branding_ + L"\\Branding.zip"));
    EXPECT_EQ(ReadBrandingLocation(), L"");
}

TEST_F(Branding, UncreatableBrandingFolderIsReported) {
    WriteExe(archive_);
    LogCapture log;
    std::wstring impossible = scratch_ / L"missing-parent\\Branding";
    EXPECT_FALSE(ExtractPayloadBranding(exe_, impossible));
    EXPECT_TRUE(log.Contains(L"[E 74/00000001] Creation of branding directory failed: '" + impossible + L"'."))
        << TestSupport::Narrow(log.All());
}
