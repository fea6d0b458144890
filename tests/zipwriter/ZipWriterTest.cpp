#include "zip/ZipWriter.h"

#include <gtest/gtest.h>
#include <unzip.h>

#include "tests/fileutil/TestSupport.h"
#include "platform/UniqueResource.h"
#include "zip/ZipExtractor.h"
#include "zip/ZipFileFunctions.h"

using TestSupport::Exists;
using TestSupport::ReadBytes;
using TestSupport::WriteBytes;

namespace {

struct StoredEntry {
    std::string name;
    uint32_t externalAttributes;
    uint64_t size;
};

// The entries as minizip reads them back, in central-directory order.
std::vector<StoredEntry> ListEntries(const std::wstring& archive) {
    std::vector<StoredEntry> entries;
    zlib_filefunc64_def functions;
    FillWideFileFunctions(&functions);
    unzFile zip = unzOpen2_64(archive.c_str(), &functions);
    if (!zip) return entries;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        char name[512];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        entries.push_back({name, static_cast<uint32_t>(info.external_fa), info.uncompressed_size});
    }
    unzClose(zip);
    return entries;
}

std::string MakeContent(size_t size) {
    std::string content(size, '\0');
    uint32_t state = 12345;
    for (char& c : content) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return content;
}

class ZipWriting : public ::testing::Test {
protected:
    TestSupport::ScratchFolder scratch_{L"zipwriter"};
    std::wstring archive_ = scratch_ / L"out.zip";
};

}  // namespace

TEST_F(ZipWriting, EntriesReadBackWithBareNamesContentAndAttributes) {
    CreateFolderPath(scratch_ / L"deep\\er\\", true);
    // Sizes around the 2048-byte chunk: empty, one exact chunk, several chunks.
    const std::vector<std::pair<std::wstring, size_t>> files = {
        {L"deep\\er\\exact.log", 2048}, {L"empty.txt", 0}, {L"deep\\big.bin", 2048 * 5 + 17}};
    for (const auto& [name, size] : files) ASSERT_TRUE(WriteBytes(scratch_ / name, MakeContent(size)));
    SetFileAttributesW((scratch_ / L"empty.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    CZipWriter writer;
    ASSERT_TRUE(writer.Open(archive_));
    for (const auto& file : files) ASSERT_TRUE(writer.AddFile(scratch_ / file.first));
    EXPECT_TRUE(writer.Close());
    SetFileAttributesW((scratch_ / L"empty.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    std::vector<StoredEntry> entries = ListEntries(archive_);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "exact.log");
    EXPECT_EQ(entries[1].name, "empty.txt");
    EXPECT_EQ(entries[2].name, "big.bin");
    EXPECT_EQ(entries[0].size, 2048u);
    EXPECT_TRUE(entries[1].externalAttributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(entries[0].externalAttributes & FILE_ATTRIBUTE_READONLY);

    CZipExtractor extractor;
    ASSERT_TRUE(extractor.Open(archive_.c_str()));
    ASSERT_TRUE(extractor.ExtractAll(scratch_ / L"back"));
    extractor.Close();
    for (const auto& [name, size] : files) {
        std::wstring bare = name.substr(name.rfind(L'\\') == std::wstring::npos ? 0 : name.rfind(L'\\') + 1);
        EXPECT_EQ(ReadBytes(scratch_ / (L"back\\" + bare)), MakeContent(size)) << TestSupport::Narrow(bare);
    }
}

TEST_F(ZipWriting, EntryTimeIsTheFilesLastWriteTime) {
    std::wstring source = scratch_ / L"dated.log";
    ASSERT_TRUE(WriteBytes(source, "x"));
    // 2021-03-04 05:06:08 local time (an even second: DOS times count in steps of two).
    SYSTEMTIME local{2021, 3, 4, 4, 5, 6, 8, 0};
    FILETIME localFile, utcFile;
    SystemTimeToFileTime(&local, &localFile);
    LocalFileTimeToFileTime(&localFile, &utcFile);
    {
        PlatformHelpers::UniqueFile file(CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &utcFile));
    }
    CZipWriter writer;
    ASSERT_TRUE(writer.Open(archive_));
    ASSERT_TRUE(writer.AddFile(source));
    writer.Close();

    zlib_filefunc64_def functions;
    FillWideFileFunctions(&functions);
    unzFile zip = unzOpen2_64(archive_.c_str(), &functions);
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(unzGoToFirstFile(zip), UNZ_OK);
    unz_file_info64 info;
    ASSERT_EQ(unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
    unzClose(zip);
    EXPECT_EQ(info.tmu_date.tm_year, 2021u);
    EXPECT_EQ(info.tmu_date.tm_mon, 2u);
    EXPECT_EQ(info.tmu_date.tm_mday, 4u);
    EXPECT_EQ(info.tmu_date.tm_hour, 5u);
    EXPECT_EQ(info.tmu_date.tm_min, 6u);
    EXPECT_EQ(info.tmu_date.tm_sec, 8u);
}

TEST_F(ZipWriting, OpenAddsToNonEmptyArchivesAndCreatesOtherwise) {
    ASSERT_TRUE(WriteBytes(scratch_ / L"one.txt", "one"));
    ASSERT_TRUE(WriteBytes(scratch_ / L"two.txt", "two"));
    // An empty file at the archive path is replaced by a new archive.
    ASSERT_TRUE(WriteBytes(archive_, ""));

    CZipWriter writer;
    ASSERT_TRUE(writer.Open(archive_));
    ASSERT_TRUE(writer.AddFile(L"one.txt"));  // relative: taken from the archive's folder
    ASSERT_TRUE(writer.Close());
    ASSERT_TRUE(writer.Open(archive_));
    ASSERT_TRUE(writer.AddFile(scratch_ / L"two.txt"));
    ASSERT_TRUE(writer.Close());

    std::vector<StoredEntry> entries = ListEntries(archive_);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "one.txt");
    EXPECT_EQ(entries[1].name, "two.txt");
}

TEST_F(ZipWriting, FailuresAreReported) {
    CZipWriter writer;
    EXPECT_FALSE(writer.AddFile(scratch_ / L"any.txt"));  // nothing open
    EXPECT_FALSE(writer.Open(L""));
    EXPECT_FALSE(writer.Open(scratch_ / L"missing\\folder\\out.zip"));
    ASSERT_TRUE(writer.Open(archive_));
    EXPECT_FALSE(writer.AddFile(scratch_ / L"missing.txt"));
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(writer.IsOpen());
}

TEST(ZipStoredNames, AnsiNamesAsTheyAreOthersHashedOrMarkedUtf8) {
    EXPECT_EQ(MakeStoredEntryName(L"setup_2026_12_07__19_02.log", false), "setup_2026_12_07__19_02.log");
    // U+65E5 U+672C: the product of the bytes E5 65 2C 67.
    EXPECT_EQ(MakeStoredEntryName(L"\u65E5\u672C.log", false), "F_63f6f94.log");
    // U+043B U+043E U+0433 as the extension; the dot stays.
    EXPECT_EQ(MakeStoredEntryName(L"trace.\u043B\u043E\u0433", false), "trace.F_b62f80");
    EXPECT_EQ(MakeStoredEntryName(L"\u65E5\u672C", false), "F_63f6f94");
    EXPECT_EQ(MakeStoredEntryName(L"\u65E5\u672C\\a.txt", false), "F_63f6f94\\a.txt");

    // With UTF-8 names the extractor gets the base name back; extensions stay hashed.
    EXPECT_EQ(DecodeZipEntryName(MakeStoredEntryName(L"\u65E5\u672C.log", true)), L"\u65E5\u672C.log");
    EXPECT_EQ(DecodeZipEntryName(MakeStoredEntryName(L"\u65E5\\\u672C.x", true)), L"\u65E5\\\u672C.x");
    EXPECT_EQ(DecodeZipEntryName(MakeStoredEntryName(L"a.\u043B\u043E\u0433", true)), L"a.F_b62f80");
}
