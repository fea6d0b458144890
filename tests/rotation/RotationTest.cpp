#include "log/Rotation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "log/LogArchive.h"
#include "log/Logger.h"
#include "platform/UniqueResource.h"
#include "tests/fileutil/TestSupport.h"
#include "zip/ZipExtractor.h"

using TestSupport::Exists;
using TestSupport::ReadBytes;
using TestSupport::WriteBytes;

namespace {

// 2026-12-07 19:02:30 UTC: rotations at this time carry the stamp below.
constexpr uint32_t kRotationTime = 1796670150;
const std::wstring kStamp = L"_2026_12_07__19_02";

std::atomic<uint32_t> fakeNow{0};
uint32_t FakeClock() { return fakeNow.load(); }
// Moves on one second per reading, so that many lines span many check intervals.
uint32_t TickingClock() { return fakeNow.fetch_add(1); }

std::wstring ReadLogText(const std::wstring& path) {
    std::string bytes = ReadBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

uint64_t GetSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Archiving runs on its own thread; it is done when the busy flag is clear again.
bool WaitForArchiver(CLogger& logger) {
    for (int i = 0; i < 2000; ++i) {
        if (logger.RotationBusyFlag().load() == 0) return true;
        Sleep(10);
    }
    return false;
}

std::string ExtractSingleEntry(const std::wstring& archive, const std::wstring& folder, const std::wstring& name) {
    CZipExtractor extractor;
    if (!extractor.Open(archive.c_str()) || !extractor.ExtractAll(folder)) return "<not extracted>";
    extractor.Close();
    return ReadBytes(CombinePath(folder, name));
}

void SetLastWriteTime(const std::wstring& path, uint64_t time) {
    PlatformHelpers::UniqueFile file(
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME fileTime{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    SetFileTime(file.get(), nullptr, nullptr, &fileTime);
}

class Rotation : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = kRotationTime - 2 * 301;
        logger_.SetLogPath(path_);
        logger_.SetSecondaryPath(scratch_ / L"secondary.log");
        logger_.SetClock(FakeClock);
    }
    void TearDown() override { EXPECT_TRUE(WaitForArchiver(logger_)); }

    void Log(const wchar_t* text) { LogMessageTo(&logger_, LogLevelInfo, 0, 1, L"%s\n", text); }
    // The next line runs the rotation check before it is written.
    void LogAfterCheckInterval(const wchar_t* text) {
        fakeNow += LogRotationCheckInterval + 1;
        Log(text);
    }
    void LogAt(uint32_t time, const wchar_t* text) {
        fakeNow = time;
        Log(text);
    }
    void MakeOversized() {
        for (int i = 0; i < 20; ++i) Log(L"filling the log file");
        logger_.SetMaxFileSize(static_cast<uint32_t>(GetSize(path_) - 1));
    }

    TestSupport::ScratchFolder scratch_{L"rotation"};
    std::wstring path_ = scratch_ / L"setup.log";
    std::wstring rotated_ = scratch_ / (L"setup" + kStamp + L".log");
    std::wstring archive_ = scratch_ / (L"setup" + kStamp + L".zip");
    CLogger logger_;
};

}  // namespace

TEST(RotatedNames, StampGoesBeforeTheLastDotOfTheWholePath) {
    SYSTEMTIME utc = ClockSecondsToUtc(kRotationTime);
    EXPECT_EQ(MakeRotatedName(L"C:\\Logs\\setup.log", utc), L"C:\\Logs\\setup" + kStamp + L".log");
    EXPECT_EQ(MakeRotatedName(L"C:\\Logs\\setup", utc), L"C:\\Logs\\setup" + kStamp);
    EXPECT_EQ(MakeRotatedName(L"C:\\Logs\\a.b\\trace", utc), L"C:\\Logs\\a" + kStamp + L".b\\trace");
    EXPECT_EQ(MakeArchiveSearchPattern(L"C:\\Logs\\setup" + kStamp + L".log"), L"C:\\Logs\\setup_*.zip");
    EXPECT_EQ(MakeArchiveSearchPattern(L"C:\\Logs\\setup.log"), L"");
    // An underscore in a folder alone must not yield a pattern over the parent folder.
    EXPECT_EQ(MakeArchiveSearchPattern(L"C:\\my_logs\\setup.log"), L"");
}

TEST_F(Rotation, EndToEndExactLimitKeepsOneMoreRotatesAndArchives) {
    Log(L"first line");  // records the first check time
    const uint64_t exact = GetSize(path_);
    logger_.SetMaxFileSize(static_cast<uint32_t>(exact));
    LogAfterCheckInterval(L"at the limit");
    EXPECT_FALSE(Exists(rotated_));
    EXPECT_GT(GetSize(path_), exact);

    logger_.SetMaxFileSize(static_cast<uint32_t>(GetSize(path_) - 1));
    const std::string before = ReadBytes(path_);
    LogAfterCheckInterval(L"line after the rotation");
    ASSERT_TRUE(WaitForArchiver(logger_));

    EXPECT_FALSE(Exists(rotated_)) << "the archived log is deleted";
    ASSERT_TRUE(Exists(archive_));
    EXPECT_EQ(ExtractSingleEntry(archive_, scratch_ / L"back", L"setup" + kStamp + L".log"), before);

    const std::wstring fresh = ReadLogText(path_);
    EXPECT_EQ(fresh.substr(0, 3), L"\xFEFF\r\n");
    size_t renaming = fresh.find(L"[I 00/00000064/");
    ASSERT_NE(renaming, std::wstring::npos) << TestSupport::Narrow(fresh);
    EXPECT_NE(fresh.find(L"Renaming log file from " + path_ + L" to " + rotated_ + L"\r\n"), std::wstring::npos);
    EXPECT_GT(fresh.find(L"line after the rotation"), renaming);
    EXPECT_NE(fresh.find(L"Archived " + rotated_ + L" to " + archive_), std::wstring::npos);
    EXPECT_EQ(fresh.find(L"first line"), std::wstring::npos);

    // The host checks this archive with its own unzip when it asks for a copy.
    wchar_t keep[MAX_PATH];
    if (GetEnvironmentVariableW(L"TARNWICK_ROTATION_KEEP", keep, MAX_PATH)) {
        EXPECT_TRUE(CopyFileW(archive_.c_str(), CombinePath(keep, L"rotated.zip").c_str(), FALSE));
    }
}

TEST_F(Rotation, KeepCountLimitsArchivesAndZeroTurnsRotationOff) {
    // Seven archives of this log, oldest first, and one of another log.
    const uint64_t day = 864000000000ull;
    for (int i = 1; i <= 7; ++i) {
        std::wstring name = scratch_ / (L"setup_2026_11_0" + std::to_wstring(i) + L"__10_00.zip");
        ASSERT_TRUE(WriteBytes(name, "old"));
        SetLastWriteTime(name, 133000000000000000ull + i * day);
    }
    ASSERT_TRUE(WriteBytes(scratch_ / L"other_2026_11_01__10_00.zip", "keep"));

    logger_.SetKeepCount(0);
    Log(L"first line");
    MakeOversized();
    LogAfterCheckInterval(L"no rotation");
    EXPECT_FALSE(Exists(rotated_));
    EXPECT_EQ(logger_.RotationBusyFlag().load(), 0);

    logger_.SetKeepCount(5);
    LogAfterCheckInterval(L"rotation");
    ASSERT_TRUE(WaitForArchiver(logger_));
    EXPECT_TRUE(Exists(archive_));
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(Exists(scratch_ / (L"setup_2026_11_0" + std::to_wstring(i) + L"__10_00.zip")), i > 3) << i;
    }
    EXPECT_TRUE(Exists(scratch_ / L"other_2026_11_01__10_00.zip"));
}

TEST_F(Rotation, FewerArchivesThanTheKeepCountStay) {
    for (int i = 1; i <= 4; ++i) ASSERT_TRUE(WriteBytes(scratch_ / (L"setup_old_" + std::to_wstring(i) + L".zip"), "x"));
    CLogger keeper;
    COldLogCleaner(&keeper, rotated_).DeleteOldArchives();
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(Exists(scratch_ / (L"setup_old_" + std::to_wstring(i) + L".zip")));
}

TEST_F(Rotation, ArchiveNameTakesTheFirstFreeNumber) {
    ASSERT_TRUE(WriteBytes(scratch_ / L"x.zip", "a"));
    ASSERT_TRUE(WriteBytes(scratch_ / L"x (1).zip", "b"));
    EXPECT_EQ(MakeArchiveName(scratch_ / L"x.log"), scratch_ / L"x (2).zip");
    EXPECT_EQ(MakeArchiveName(scratch_ / L"y"), scratch_ / L"y.zip");
}

TEST_F(Rotation, ExistingRotatedNameFailsTheRenameWith183) {
    // Left over from a rotation earlier in the same minute.
    ASSERT_TRUE(WriteBytes(rotated_, "earlier"));
    Log(L"first line");
    MakeOversized();
    LogAt(kRotationTime, L"still the old file");
    EXPECT_EQ(logger_.RotationBusyFlag().load(), 0);
    EXPECT_EQ(ReadBytes(rotated_), "earlier");
    const std::wstring text = ReadLogText(path_);
    EXPECT_NE(text.find(L"[E 00/00000065/"), std::wstring::npos);
    EXPECT_NE(text.find(L"Failed renaming log file from " + path_ + L" to " + rotated_ + L" [183]"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"first line"), std::wstring::npos) << "logging goes on in the old file";
}

TEST_F(Rotation, DotInAFolderNameFailsTheRename) {
    ASSERT_TRUE(CreateDirectoryW((scratch_ / L"a.b").c_str(), nullptr));
    path_ = scratch_ / L"a.b\\trace";
    logger_.SetLogPath(path_);
    Log(L"first line");
    MakeOversized();
    LogAt(kRotationTime, L"still the old file");
    EXPECT_EQ(logger_.RotationBusyFlag().load(), 0);
    const std::wstring text = ReadLogText(path_);
    EXPECT_NE(text.find(L"Failed renaming log file from " + path_ + L" to " + scratch_ / (L"a" + kStamp + L".b\\trace") +
                        L" [3]"),
              std::wstring::npos)
        << TestSupport::Narrow(text);
}

TEST_F(Rotation, MissingFileOrSecondaryPathRotatesNothing) {
    CLogger bare;
    bare.SetLogPath(path_);
    CheckRotation(bare);  // no file yet
    EXPECT_EQ(bare.RotationBusyFlag().load(), 0);
    ASSERT_TRUE(WriteBytes(path_, std::string(64, 'x')));
    bare.SetMaxFileSize(1);
    CheckRotation(bare);  // no secondary path
    EXPECT_TRUE(Exists(path_));
    EXPECT_EQ(bare.RotationBusyFlag().load(), 0);
    bare.SetMaxFileSize(0);
    bare.SetSecondaryPath(L"x");
    CheckRotation(bare);
    EXPECT_EQ(bare.GetMaxFileSize(), DefaultMaxLogFileSize);
    EXPECT_TRUE(Exists(path_));
}

TEST_F(Rotation, ThreadsLoggingThroughRotationsLoseNoLine) {
    constexpr int kThreads = 4;
    constexpr int kLines = 1500;
    path_ = scratch_ / L"lines.log";
    logger_.SetLogPath(path_);
    logger_.SetKeepCount(1000);
    logger_.SetMaxFileSize(30000);
    logger_.SetClock(TickingClock);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i)
                LogMessageTo(&logger_, LogLevelInfo, 0, 2, L"thread %d line %d\n", t, i);
        });
    for (std::thread& thread : threads) thread.join();
    ASSERT_TRUE(WaitForArchiver(logger_));
    EXPECT_EQ(logger_.RotationBusyFlag().load(), 0);

    // Archives in the order of their stamps, then the current file: the whole log.
    std::vector<std::wstring> files = TestSupport::ListTree(scratch_.path());
    std::wstring whole;
    int archives = 0;
    for (const std::wstring& name : files) {
        EXPECT_FALSE(name.size() > 4 && name.compare(0, 6, L"lines_") == 0 &&
                     name.compare(name.size() - 4, 4, L".log") == 0)
            << "rotated log left: " << TestSupport::Narrow(name);
        if (name.size() < 4 || name.compare(name.size() - 4, 4, L".zip") != 0) continue;
        std::wstring folder = scratch_ / (L"back" + std::to_wstring(archives++));
        std::string bytes = ExtractSingleEntry(scratch_ / name, folder, name.substr(0, name.size() - 4) + L".log");
        whole += std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    }
    whole += ReadLogText(path_);
    EXPECT_GE(archives, 3);

    std::map<std::pair<int, int>, int> seen;
    std::wstring events;
    size_t start = 0;
    while (start < whole.size()) {
        size_t end = whole.find(L"\r\n", start);
        if (end == std::wstring::npos) end = whole.size();
        std::wstring line = whole.substr(start, end - start);
        start = end + 2;
        int t = -1, i = -1;
        size_t at = line.find(L"thread ");
        if (at != std::wstring::npos && swscanf(line.c_str() + at, L"thread %d line %d", &t, &i) == 2) ++seen[{t, i}];
        if (line.find(L"Renaming log file") != std::wstring::npos) events += L'R';
        if (line.find(L"Archived ") != std::wstring::npos) events += L'A';
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
    for (const auto& [key, count] : seen) EXPECT_EQ(count, 1) << key.first << "/" << key.second;
    // One archiver at a time: every rotation's archive is written before the next rotation.
    std::wstring expected;
    for (int k = 0; k < archives; ++k) expected += L"RA";
    EXPECT_EQ(events, expected);
}

TEST_F(Rotation, FailedArchivingKeepsTheRotatedLog) {
    // The backup warning goes to the process-wide logger.
    const std::wstring processLog = scratch_ / L"process.log";
    GetProcessLogger().SetLogPath(processLog);
    ASSERT_TRUE(WriteBytes(rotated_, "rotated lines"));
    {
        // Nobody else may read the log, though it could be deleted: the entry
        // cannot be added, and the log must not go.
        PlatformHelpers::UniqueFile lock(
            CreateFileW(rotated_.c_str(), GENERIC_READ, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_FALSE(CLogArchive(&logger_, rotated_).Run());
    }
    EXPECT_EQ(ReadBytes(rotated_), "rotated lines");
    EXPECT_NE(ReadLogText(path_).find(L"Failed to archive " + rotated_ + L" to " + archive_), std::wstring::npos);

    {
        // Readable but not deletable: archived, and the log stays with a warning.
        PlatformHelpers::UniqueFile lock(
            CreateFileW(rotated_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_FALSE(CLogArchive(&logger_, rotated_).Run());
    }
    GetProcessLogger().SetLogPath(L"");
    EXPECT_EQ(ReadBytes(rotated_), "rotated lines");
    const std::wstring second = scratch_ / (L"setup" + kStamp + L" (1).zip");
    EXPECT_EQ(ExtractSingleEntry(second, scratch_ / L"back", L"setup" + kStamp + L".log"), "rotated lines");
    const std::wstring warning = ReadLogText(processLog);
    EXPECT_NE(warning.find(L"[W 00/00000064/"), std::wstring::npos) << TestSupport::Narrow(warning);
    EXPECT_NE(warning.find(L"Failed to delete temporary backup file " + rotated_ + L" ("), std::wstring::npos);
}

TEST_F(Rotation, ArchiverStartsOnlyWhileARotationIsUnderWay) {
    ASSERT_TRUE(WriteBytes(rotated_, "rotated lines"));
    ASSERT_EQ(logger_.RotationBusyFlag().load(), 0);
    EXPECT_FALSE(StartLogArchive(new CLogArchive(&logger_, rotated_)));
    // Had it started anyway, this waits for it to finish.
    GetLogArchiveWaiter().WaitForAll(CLogArchiveWaiter::WaitLimitMilliseconds);
    EXPECT_TRUE(Exists(rotated_));
    EXPECT_FALSE(Exists(archive_));
}
