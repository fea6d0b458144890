#include "zip/ZipExtractor.h"

#include <gtest/gtest.h>

#include "tests/fileutil/TestSupport.h"
#include "tests/zip/ZipBuilder.h"

using TestSupport::Exists;
using TestSupport::ListTree;
using TestSupport::LogCapture;
using TestSupport::ReadBytes;
using ZipBuilder::Entry;

namespace {

class Extraction : public ::testing::Test {
protected:
    // Writes the archive and extracts it whole into `destination_`.
    bool Extract(const std::vector<Entry>& entries, const std::wstring& destination = std::wstring()) {
        std::wstring archive = scratch_ / L"archive.zip";
        EXPECT_TRUE(TestSupport::WriteBytes(archive, ZipBuilder::Build(entries)));
        CZipExtractor extractor;
        if (!extractor.Open(archive.c_str())) return false;
        bool ok = extractor.ExtractAll(destination.empty() ? destination_ : destination);
        extractor.Close();
        return ok;
    }
    // Everything in the scratch folder outside the destination is the archive alone.
    void ExpectNothingOutsideDestination() {
        std::vector<std::wstring> outside;
        for (const std::wstring& item : ListTree(scratch_.path()))
            if (item != L"archive.zip" && item.compare(0, 5, L"dest\\") != 0) outside.push_back(item);
        EXPECT_TRUE(outside.empty()) << TestSupport::Narrow(outside.empty() ? L"" : outside.front());
    }

    TestSupport::ScratchFolder scratch_{L"unzip"};
    std::wstring destination_ = scratch_ / L"dest";
};

}  // namespace

TEST(ZipNames, DecodingAndContainment) {
    EXPECT_EQ(DecodeZipEntryName("a/b\\c.txt"), L"a\\b\\c.txt");
    EXPECT_EQ(DecodeZipEntryName("dir/"), L"dir\\");
    EXPECT_EQ(DecodeZipEntryName("\x7F\x7F" "caf\xC3\xA9.txt"), L"caf\u00E9.txt");
    EXPECT_EQ(DecodeZipEntryName("\x7F\x7F" "d\xC3\xA9/\x7F\x7F" "\xE6\x97\xA5.bin"), L"d\u00E9\\\u65E5.bin");
    // The mark counts only at the start of a base name.
    EXPECT_EQ(DecodeZipEntryName("x\x7F\x7F.txt"), L"x\u007F\u007F.txt");
    EXPECT_EQ(DecodeZipEntryName(std::string(400, 'n')).size(), 260u);

    EXPECT_TRUE(IsContainedEntryName(L"a\\b\\c.txt"));
    EXPECT_TRUE(IsContainedEntryName(L"..a\\b..\\...txt"));
    for (const wchar_t* escaping : {L"..", L"..\\x", L"a\\..\\..\\x", L"a/../x", L"\\x", L"/x", L"C:x",
                                    L"C:\\x", L"\\\\?\\C:\\x", L"\\\\server\\share\\x", L"a\\b:stream"})
        EXPECT_FALSE(IsContainedEntryName(escaping)) << TestSupport::Narrow(escaping);
}

TEST_F(Extraction, NestedFoldersWithBothSlashesInOneStep) {
    ASSERT_TRUE(Extract({{"top.txt", "top"},
                         {"a/b/c.txt", "abc", true},
                         {"x\\y\\z.txt", "xyz"},
                         {"\x7F\x7F" "d\xC3\xA9/\x7F\x7F" "caf\xC3\xA9.txt", "utf8"},
                         {"empty/", ""}}));
    std::vector<std::wstring> expected = {L"a\\", L"a\\b\\", L"a\\b\\c.txt", L"d\u00E9\\",
                                          L"d\u00E9\\caf\u00E9.txt", L"top.txt", L"x\\", L"x\\y\\",
                                          L"x\\y\\z.txt"};
    EXPECT_EQ(ListTree(destination_), expected);
    EXPECT_EQ(ReadBytes(destination_ + L"\\a\\b\\c.txt"), "abc");
    EXPECT_EQ(ReadBytes(destination_ + L"\\d\u00E9\\caf\u00E9.txt"), "utf8");
}

TEST_F(Extraction, DirectoryEntriesAloneCreateNothing) {
    ASSERT_TRUE(Extract({{"only/", ""}, {"only/deeper/", ""}}));
    EXPECT_TRUE(TestSupport::IsFolder(destination_));
    EXPECT_TRUE(ListTree(destination_).empty());
}

TEST_F(Extraction, DoubledBackslashesInTheDestinationAreCollapsed) {
    std::wstring doubled = scratch_.path() + L"\\\\dest\\\\inner";
    ASSERT_TRUE(Extract({{"f.txt", "f"}}, doubled));
    EXPECT_EQ(ReadBytes(destination_ + L"\\inner\\f.txt"), "f");
}

TEST_F(Extraction, DestinationThatIsAFileOrEmptyArchiveFails) {
    ASSERT_TRUE(TestSupport::WriteBytes(destination_, "file"));
    LogCapture log;
    EXPECT_FALSE(Extract({{"f.txt", "f"}}));
    EXPECT_TRUE(log.Contains(L"[D 89/00000001] Destination folder '" + destination_ + L"' creation failed"))
        << TestSupport::Narrow(log.All());
    DeleteFileW(destination_.c_str());

    EXPECT_FALSE(Extract({}));
}

TEST_F(Extraction, FileTimesAreTheEntryTimesAsLocalTime) {
    Entry entry{"timed.txt", "t"};
    entry.dosDateTime = ZipBuilder::DosDateTime(2021, 6, 15, 10, 20, 30);
    ASSERT_TRUE(Extract({entry}));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW((destination_ + L"\\timed.txt").c_str(), GetFileExInfoStandard, &data));
    FILETIME local;
    SYSTEMTIME time;
    ASSERT_TRUE(FileTimeToLocalFileTime(&data.ftLastWriteTime, &local));
    ASSERT_TRUE(FileTimeToSystemTime(&local, &time));
    EXPECT_EQ(time.wYear, 2021);
    EXPECT_EQ(time.wMonth, 6);
    EXPECT_EQ(time.wDay, 15);
    EXPECT_EQ(time.wHour, 10);
    EXPECT_EQ(time.wMinute, 20);
    EXPECT_EQ(time.wSecond, 30);
    EXPECT_EQ(CompareFileTime(&data.ftCreationTime, &data.ftLastWriteTime), 0);
}

TEST_F(Extraction, DefaultDestinationIsTheArchivePathWithoutExtension) {
    std::wstring archive = scratch_ / L"archive.zip";
    ASSERT_TRUE(TestSupport::WriteBytes(archive, ZipBuilder::Build({{"in.txt", "in"}})));
    CZipExtractor extractor;
    EXPECT_FALSE(extractor.ExtractCurrentEntry(nullptr)) << "no archive open";
    ASSERT_TRUE(extractor.Open(archive.c_str()));
    EXPECT_TRUE(extractor.ExtractCurrentEntry(nullptr));
    extractor.Close();
    EXPECT_EQ(ReadBytes(scratch_ / L"archive\\in.txt"), "in");
    EXPECT_FALSE(extractor.ExtractAll(destination_));
}

TEST_F(Extraction, EscapingNamesAreRefusedAndNothingLandsOutside) {
    const char* escaping[] = {"../evil.txt", "..\\evil.txt", "a/../../evil.txt", "/evil-root.txt",
                              "\\evil-root.txt", "C:/evil-drive.txt", "C:evil-drive.txt",
                              "\\\\?\\C:\\evil-long.txt", "\\\\server\\share\\evil.txt",
                              "//server/share/evil.txt", "\x7F\x7F../evil.txt", "..", "../"};
    for (const char* name : escaping) {
        LogCapture log;
        EXPECT_FALSE(Extract({{"good.txt", "good"}, {name, "evil"}, {"after.txt", "after"}})) << name;
        EXPECT_TRUE(log.Contains(L"would be written outside")) << name;
        EXPECT_FALSE(Exists(destination_ + L"\\after.txt")) << "extraction stops at the refused entry";
        ExpectNothingOutsideDestination();
    }
    EXPECT_FALSE(Exists(L"C:\\evil-drive.txt"));
    EXPECT_FALSE(Exists(L"C:\\evil-long.txt"));
    EXPECT_FALSE(Exists(L"C:\\evil-root.txt"));
}

TEST_F(Extraction, DamagedEntriesFailTheExtraction) {
    Entry badCrc{"bad-crc.txt", "some data"};
    badCrc.storedCrc = 0x12345678;
    LogCapture log;
    EXPECT_FALSE(Extract({badCrc}));
    EXPECT_TRUE(log.Contains(L"is damaged")) << TestSupport::Narrow(log.All());

    Entry badDeflated{"bad-crc.bin", std::string(100000, 'z'), true};
    badDeflated.storedCrc = 1;
    EXPECT_FALSE(Extract({badDeflated}));

    for (bool deflate : {false, true}) {
        Entry huge{"huge.bin", "short", deflate};
        huge.declaredSize = 0xFFFFFFF0;
        EXPECT_FALSE(Extract({huge})) << deflate;
    }
    ExpectNothingOutsideDestination();
}

TEST_F(Extraction, TruncatedArchivesDoNotOpen) {
    std::string whole = ZipBuilder::Build({{"one.txt", std::string(5000, 'o'), true}, {"two.txt", "two"}});
    std::wstring archive = scratch_ / L"archive.zip";
    for (size_t cut : {whole.size() - 22, whole.size() / 2, size_t{10}}) {
        ASSERT_TRUE(TestSupport::WriteBytes(archive, whole.substr(0, cut)));
        LogCapture log;
        CZipExtractor extractor;
        EXPECT_FALSE(extractor.Open(archive.c_str())) << cut;
        EXPECT_TRUE(log.Contains(L"unzopen: cannot get file handle of '" + archive + L"'"));
    }
    CZipExtractor extractor;
    EXPECT_FALSE(extractor.Open(nullptr));
    EXPECT_FALSE(extractor.ExtractAll(destination_));
}

TEST_F(Extraction, ThousandsOfEntries) {
    std::vector<Entry> entries;
    for (int i = 0; i < 3000; ++i)
        entries.push_back({"f" + std::to_string(i % 30) + "/e" + std::to_string(i) + ".txt", std::to_string(i)});
    ASSERT_TRUE(Extract(entries));
    EXPECT_EQ(ListTree(destination_).size(), 3030u);
    EXPECT_EQ(ReadBytes(destination_ + L"\\f29\\e2999.txt"), "2999");
}
