// The error-text calls, the callback, the shared block, standard output and the
// rotation timing.
#include "log/Logger.h"
#include "tests/log/LogTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace LogTest;

namespace {

constexpr uint32_t SomeTime = 1798315325;

// The last line of the process logger's file, without its line end.
std::wstring LastLine(const std::wstring& path) {
    std::wstring text = ReadText(path);
    if (text.size() >= 2) text.resize(text.size() - 2);
    return text.substr(text.rfind(L'\n') + 1);
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(LogSystemError, AppendsTheSystemTextAndCodeOrAFullStop) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.log");
    ProcessLoggerScope scope(path, LogLevelTrace);

    LogSystemError(LogLevelError, 0, 105, 0, L"Deleting %s failed  \n", L"x.tmp");
    EXPECT_TRUE(EndsWith(LastLine(path), L" - Deleting x.tmp failed."));

    const std::wstring denied = GetSystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(denied.empty());
    EXPECT_EQ(denied.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_FALSE(iswspace(denied.back()));
    LogSystemError(LogLevelError, 0, 105, ERROR_ACCESS_DENIED, L"Deleting %s failed\n", L"x.tmp");
    EXPECT_TRUE(EndsWith(LastLine(path), L" - Deleting x.tmp failed (" + denied + L" [0x00000005])"));

    LogSystemError(LogLevelError, 0, 0, 574, L"Crash\n");
    EXPECT_TRUE(EndsWith(LastLine(path),
                         L" - Crash (An unhandled error has occurred while executing a system function [0x0000023e])"));

    SetLastError(ERROR_FILE_NOT_FOUND);
    LogLastError(LogLevelWarning, 0, 0, L"Open %d", 3);
    EXPECT_TRUE(EndsWith(LastLine(path), L" - Open 3 (" + GetSystemErrorText(ERROR_FILE_NOT_FOUND) + L" [0x00000002])"));
    EXPECT_EQ(GetSystemErrorText(0x2BADF00D), L"");
}

TEST(LogTrace, WritesOnlyWhenTheFileThresholdAdmitsTrace) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.log");
    {
        ProcessLoggerScope scope(path, LogLevelDebug);
        GetProcessLogger().SetCallback([](uint32_t, const wchar_t*, void*) { return 0; }, LogLevelTrace, nullptr);
        EXPECT_EQ(LogTrace(L"quiet %d\n", 1), 0);
        GetProcessLogger().SetCallback(nullptr, 0, nullptr);
        EXPECT_FALSE(FileExists(path));
    }
    ProcessLoggerScope scope(path, LogLevelTrace);
    EXPECT_GT(LogTrace(L"loud %d\n", 2), 0);
    EXPECT_TRUE(EndsWith(LastLine(path), L" - loud 2"));
    EXPECT_EQ(LastLine(path).substr(0, 15), L"[T 00/00000000/");
}

struct CallbackRecord {
    std::vector<uint32_t> flags;
    std::vector<std::wstring> texts;
};

int RecordCallback(uint32_t flags, const wchar_t* text, void* context) {
    auto* record = static_cast<CallbackRecord*>(context);
    record->flags.push_back(flags);
    record->texts.push_back(text);
    return 1;
}

TEST(LogCallback, SeesLevelsUpToItsThresholdWithAShortPrefix) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.log");
    CLogger logger;
    CallbackRecord record;
    logger.SetLogPath(path);
    logger.SetFileThreshold(LogLevelError);
    logger.SetCallback(RecordCallback, LogLevelInfo, &record);

    EXPECT_GT(LogMessageTo(&logger, LogLevelInfo, 0x74, 1, L"Branding from %s \n", L"payload"), 0);
    EXPECT_EQ(LogMessageTo(&logger, LogLevelDebug, 0x74, 1, L"too detailed\n"), 0);
    LogMessageTo(&logger, LogLevelError | LogFlagSuppressRepeats, 0xFF, 9, L"bare\n");
    LogMessageTo(&logger, LogLevelError, 0x74, 1, L"   \n");  // empty message: no call

    ASSERT_EQ(record.texts.size(), 2u);
    EXPECT_EQ(record.texts[0], L"[I 74/00000001] Branding from payload");
    EXPECT_EQ(record.flags[0], static_cast<uint32_t>(LogLevelInfo));
    EXPECT_EQ(record.texts[1], L"bare");
    EXPECT_EQ(record.flags[1], LogLevelError | LogFlagSuppressRepeats);
    // Only the error lines reached the file.
    const std::wstring text = ReadText(path);
    EXPECT_EQ(text.find(L"Branding"), std::wstring::npos);
    EXPECT_NE(text.find(L"bare"), std::wstring::npos);
}

TEST(LogCallback, CallbackOnlyCallsNeverTouchTheFileOrCheckRotation) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.log");
    CLogger logger;
    CallbackRecord record;
    logger.SetLogPath(path);
    logger.SetClock(FakeClock);
    logger.SetCallback(RecordCallback, LogLevelTrace, &record);

    fakeNow = SomeTime;
    logger.SetLastCheckTime(SomeTime - 1000);  // a file line now would run the check
    LogMessageTo(&logger, LogLevelError | LogFlagCallbackOnly | LogFlagConsole, 0, 0, L"only here\n");
    EXPECT_EQ(record.texts, std::vector<std::wstring>{L"[E 00/00000000] only here"});
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(logger.GetLastCheckTime(), SomeTime);
}

TEST(LogRotationTiming, ChecksOnlyAfterMoreThanFiveMinutesOfFileLines) {
    CLogger logger;
    logger.SetClock(FakeClock);
    fakeNow = SomeTime;
    LogMessageTo(&logger, LogLevelInfo, 0, 0, L"first\n");
    EXPECT_EQ(logger.GetLastCheckTime(), SomeTime);
    fakeNow = SomeTime + 300;
    LogMessageTo(&logger, LogLevelInfo, 0, 0, L"not yet\n");
    EXPECT_EQ(logger.GetLastCheckTime(), SomeTime);
    fakeNow = SomeTime + 301;
    LogMessageTo(&logger, LogLevelInfo, 0, 0, L"checked\n");
    EXPECT_EQ(logger.GetLastCheckTime(), SomeTime + 301);
}

TEST(LogConsole, PrintsWholeLinesAndOnlyTheMessageOfTraceLines) {
    CLogger logger;
    logger.SetClock(FakeClock);
    fakeNow = SomeTime;
    testing::internal::CaptureStdout();
    LogMessageTo(&logger, LogLevelInfo | LogFlagConsole, 0, 0, L"to console\n");
    LogMessageTo(&logger, LogLevelTrace | LogFlagConsole, 0, 0, L"trace text\n");
    LogMessageTo(&logger, LogLevelInfo, 0, 0, L"not printed\n");
    SetLogConsoleOutput(true);
    LogMessageTo(&logger, LogLevelWarning, 0xFF, 0, L"switch on\n");
    SetLogConsoleOutput(false);
    std::string out = testing::internal::GetCapturedStdout();
    // A redirected stream in binary mode receives the wide characters unconverted.
    out.erase(std::remove(out.begin(), out.end(), '\0'), out.end());

    std::string expected;
    for (wchar_t c : Bracket(L'I', 0, 0) + StampFor(SomeTime) + L"to console\ntrace text\n" +
                         StampFor(SomeTime) + L"switch on\n") {
        expected += static_cast<char>(c);
    }
    EXPECT_EQ(out, expected);
}

TEST(LogSharedBlock, ErrorsAndWarningsFillTheBlockAndSetTheEvent) {
    const std::wstring name = L"LogTestEvent" + std::to_wstring(GetCurrentProcessId());
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    LogSharedBlock block = {};
    CLogger logger;
    logger.SetEventName(name);
    logger.SetSharedBlock(&block);

    LogMessageTo(&logger, LogLevelInfo, 0, 1, L"info\n");
    LogMessageTo(&logger, LogLevelCritical, 0, 2, L"critical\n");
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(block.code, 0u);

    LogMessageTo(&logger, LogLevelWarning | LogFlagSuppressRepeats, 0x89, 4, L"warned\n");
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_STREQ(block.text, L"warned\n");
    EXPECT_EQ(block.flags, LogLevelWarning | LogFlagSuppressRepeats);
    EXPECT_EQ(block.code, 4u);

    // A long message fills all 512 code units and leaves the fields behind intact.
    LogMessageTo(&logger, LogLevelError, 0, 7, L"%s", std::wstring(600, L'z').c_str());
    EXPECT_EQ(std::wstring(block.text, 512), std::wstring(512, L'z'));
    EXPECT_EQ(block.code, 7u);
    EXPECT_EQ(block.flags, static_cast<uint32_t>(LogLevelError));

    // Without the named event the block is left alone.
    logger.SetEventName(L"NoSuchLogEvent");
    LogMessageTo(&logger, LogLevelError, 0, 8, L"unseen\n");
    EXPECT_EQ(block.code, 7u);
    CloseHandle(event);
}

}  // namespace

namespace {

// Rotation logs while it holds the write lock; that must not block the holder.
TEST(LogWriteLock, TheHolderMayLog) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.log");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    for (HANDLE configured : {HANDLE{nullptr}, mutex}) {
        CLogger logger;
        logger.SetLogPath(path);
        logger.SetMutex(configured);
        CLogger::ScopedWriteLock lock(logger);
        EXPECT_GT(LogMessageTo(&logger, LogLevelError, 0, 0, L"Failed to open %s [%d]\n", L"x", 13), 0);
    }
    CloseHandle(mutex);
    EXPECT_EQ(ReadText(path).size() - ReadText(path).rfind(L"[13]\r\n"), 6u);
}

}  // namespace
