// What the logger writes to its file: byte-order mark, line ends, prefix forms.
#include "log/CorrelationId.h"
#include "log/Logger.h"
#include "tests/log/LogTestSupport.h"

#include <gtest/gtest.h>

using namespace LogTest;

namespace {

constexpr uint32_t SomeTime = 1798315325;  // late December 2026

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = SomeTime;
        logger.SetClock(FakeClock);
        logger.SetLogPath(path);
    }

    TempFolder folder;
    std::wstring path = folder.File(L"app.log");
    CLogger logger;
};

TEST_F(LogFileTest, NewFileStartsWithMarkAndEmptyLineThenLinesAreAppended) {
    const std::wstring first = Bracket(L'I', 0x74, 1) + StampFor(SomeTime) + L"No branding payload found.";
    EXPECT_EQ(LogMessageTo(&logger, LogLevelInfo, LogCategoryBranding, 1, L"No branding payload found.\n"),
              static_cast<int>(first.size() + 1));

    std::vector<unsigned char> expected = {0xFF, 0xFE, 0x0D, 0x00, 0x0A, 0x00};
    const std::vector<unsigned char> firstBytes = Utf16Bytes(first + L"\r\n");
    expected.insert(expected.end(), firstBytes.begin(), firstBytes.end());
    EXPECT_EQ(ReadBytes(path), expected);

    fakeNow = SomeTime + 61;
    LogMessageTo(&logger, LogLevelError, 0, 101, L"Rename of %s failed", L"a.log");
    const std::vector<unsigned char> second =
        Utf16Bytes(Bracket(L'E', 0, 101) + StampFor(SomeTime + 61) + L"Rename of a.log failed\r\n");
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(LogFileTest, EmptyExistingFileAlsoGetsTheMark) {
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    LogMessageTo(&logger, LogLevelInfo, 0, 0, L"x\n");
    EXPECT_EQ(ReadText(path), L"\xFEFF\r\n" + Bracket(L'I', 0, 0) + StampFor(SomeTime) + L"x\r\n");
}

TEST_F(LogFileTest, TrailingWhiteSpaceBecomesExactlyOneLineEnd) {
    LogMessageTo(&logger, LogLevelWarning, 0, 0, L"Done  \t \n\n \n");
    LogMessageTo(&logger, LogLevelWarning, 0, 0, L"two\nparts\n");
    LogMessageTo(&logger, LogLevelWarning, 0, 0, L"");
    const std::wstring bracket = Bracket(L'W', 0, 0) + StampFor(SomeTime);
    // Only the final line feed becomes CR LF; an empty message loses the space after " -".
    EXPECT_EQ(ReadText(path), L"\xFEFF\r\n" + bracket + L"Done\r\n" + bracket + L"two\nparts\r\n" +
                                  bracket.substr(0, bracket.size() - 1) + L"\r\n");
}

TEST_F(LogFileTest, NoPrefixCategoryStartsWithTheDayOfTheMonth) {
    const std::wstring line = StampFor(SomeTime) + L"plain";
    EXPECT_EQ(LogMessageTo(&logger, LogLevelInfo, LogCategoryNoPrefix, 5, L"plain\n"),
              static_cast<int>(line.size() + 1));
    EXPECT_EQ(ReadText(path), L"\xFEFF\r\n" + line + L"\r\n");
}

TEST_F(LogFileTest, PrefixCarriesSValueAndCorrelationIdWhenSet) {
    const std::wstring ids = [] {
        wchar_t text[32];
        _snwprintf(text, 32, L"/T%04X/P%04X", static_cast<unsigned>(GetCurrentThreadId()),
                   static_cast<unsigned>(GetCurrentProcessId()));
        return std::wstring(text);
    }();
    const std::wstring stamp = StampFor(SomeTime);
    CCorrelationId& correlation = GetThreadCorrelationId();

    logger.SetSValue(0x1F);
    LogMessageTo(&logger, LogLevelDebug, 0x89, 6, L"s\n");
    correlation.SetId(0x42);
    LogMessageTo(&logger, LogLevelDebug, 0x89, 6, L"sc\n");
    logger.SetSValue(0);
    LogMessageTo(&logger, LogLevelDebug, 0x89, 6, L"c\n");
    correlation.SetId(0);  // ignored: the id stays
    LogMessageTo(&logger, LogLevelDebug, 0x89, 6, L"c again\n");
    correlation.ClearId();

    EXPECT_EQ(ReadText(path),
              L"\xFEFF\r\n"
              L"[D 89/00000006" + ids + L"/S001F] " + stamp + L"s\r\n" +
              L"[D 89/00000006" + ids + L"/S001F/C0042] " + stamp + L"sc\r\n" +
              L"[D 89/00000006" + ids + L"/C0042] " + stamp + L"c\r\n" +
              L"[D 89/00000006" + ids + L"/C0042] " + stamp + L"c again\r\n");
}

TEST_F(LogFileTest, LevelsAboveBothThresholdsBuildNothing) {
    logger.SetFileThreshold(LogLevelWarning);
    EXPECT_EQ(LogMessageTo(&logger, LogLevelInfo, 0, 0, L"%s", L"dropped"), 0);
    EXPECT_EQ(LogMessageTo(&logger, 9, 0, 0, L"unknown level"), 0);
    EXPECT_FALSE(FileExists(path));

    logger.SetFileThreshold(15);
    LogMessageTo(&logger, 9, 0, 0, L"unknown level");
    EXPECT_EQ(ReadText(path), L"\xFEFF\r\n" + Bracket(L'X', 0, 0) + StampFor(SomeTime) + L"unknown level\r\n");
}

TEST_F(LogFileTest, UnwritableFileLosesTheLineButStillReportsItsLength) {
    logger.SetLogPath(folder.File(L"missing\\app.log"));
    EXPECT_GT(LogMessageTo(&logger, LogLevelError, 0, 0, L"lost\n"), 0);
}

TEST(LoggerConfiguration, StartsWithTheProcessDefaults) {
    CLogger& logger = GetProcessLogger();
    EXPECT_EQ(&logger, &GetProcessLogger());
    EXPECT_TRUE(logger.GetLogPath().empty());
    EXPECT_TRUE(logger.GetSecondaryPath().empty());
    EXPECT_EQ(logger.GetMutex(), nullptr);
    EXPECT_EQ(logger.GetKeepCount(), 5u);
    EXPECT_EQ(logger.GetFileThreshold(), 5u);
    EXPECT_EQ(logger.GetCallbackThreshold(), 0u);
    EXPECT_EQ(logger.GetMaxFileSize(), 0u);
    EXPECT_EQ(logger.GetSValue(), 0u);
    EXPECT_NE(logger.GetSuppressionList(), nullptr);
    EXPECT_FALSE(GetLogConsoleOutput());
    EXPECT_EQ(GetLogEventSourceName(), L"Q7 Application");
    EXPECT_FALSE(logger.SetLogPath(std::wstring(261, L'a')));
    EXPECT_TRUE(logger.GetLogPath().empty());
}

}  // namespace
