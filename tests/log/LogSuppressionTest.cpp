// Repeat suppression: 30-minute windows, the notice, dropping and the entry limit.
#include "log/LogSuppressionList.h"
#include "log/Logger.h"
#include "tests/log/LogTestSupport.h"

#include <gtest/gtest.h>

using namespace LogTest;

namespace {

constexpr uint32_t Start = 1798315325;
constexpr uint32_t Suppress = LogFlagSuppressRepeats | LogLevelWarning;
const std::wstring Notice = L" This log is suppressed for the next 30 minutes.";

TEST(LogSuppression, RepeatsAreNoticedThenDroppedUntilTheWindowEnds) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.log");
    CLogger logger;
    logger.SetLogPath(path);
    logger.SetClock(FakeClock);
    const std::wstring bracket = Bracket(L'W', 0, 3);

    fakeNow = Start;
    const int first = LogMessageTo(&logger, Suppress, 0, 3, L"Disk full\n");
    fakeNow = Start + 10;  // the time stamp is not part of what must match
    const int second = LogMessageTo(&logger, Suppress, 0, 3, L"Disk full\n");
    fakeNow = Start + 1799;
    EXPECT_EQ(LogMessageTo(&logger, Suppress, 0, 3, L"Disk full\n"), 0);
    EXPECT_EQ(second, first + static_cast<int>(Notice.size()));

    fakeNow = Start + 1800;
    LogMessageTo(&logger, Suppress, 0, 3, L"Disk full\n");
    fakeNow = Start + 1801;
    LogMessageTo(&logger, Suppress, 0, 3, L"Disk full\n");
    // Without the flag a line is never held back, even while its window is open.
    LogMessageTo(&logger, LogLevelWarning, 0, 3, L"Disk full\n");

    EXPECT_EQ(ReadText(path), L"\xFEFF\r\n" +
                                  bracket + StampFor(Start) + L"Disk full\r\n" +
                                  bracket + StampFor(Start + 10) + L"Disk full" + Notice + L"\r\n" +
                                  bracket + StampFor(Start + 1800) + L"Disk full\r\n" +
                                  bracket + StampFor(Start + 1801) + L"Disk full" + Notice + L"\r\n" +
                                  bracket + StampFor(Start + 1801) + L"Disk full\r\n");
}

TEST(LogSuppression, DroppedLinesReachNoCallback) {
    CLogger logger;
    logger.SetClock(FakeClock);
    fakeNow = Start;
    int calls = 0;
    logger.SetCallback([](uint32_t, const wchar_t*, void* context) {
        ++*static_cast<int*>(context);
        return 0;
    }, LogLevelTrace, &calls);
    for (int i = 0; i < 3; ++i) LogMessageTo(&logger, Suppress | LogFlagCallbackOnly, 0, 0, L"again\n");
    EXPECT_EQ(calls, 2);
}

std::wstring LineFor(int number, uint32_t time) {
    return L"[W 00/00000000/T0001/P0002] " + StampFor(time) + L"message " + std::to_wstring(number) + L"\n";
}

size_t MessageStart(uint32_t time) {
    return std::wstring(L"[W 00/00000000/T0001/P0002] ").size() + StampFor(time).size();
}

TEST(LogSuppressionList, TheHundredAndFirstEntryEvictsTheOldestStart) {
    CLogSuppressionList list;
    for (int i = 0; i < 101; ++i) {
        const uint32_t time = Start + static_cast<uint32_t>(i);
        EXPECT_EQ(list.Consult(LineFor(i, time), MessageStart(time), time), CLogSuppressionList::LogNormally);
    }
    EXPECT_EQ(list.GetEntryCount(), 100u);
    const uint32_t later = Start + 200;
    EXPECT_EQ(list.Consult(LineFor(1, later), MessageStart(later), later), CLogSuppressionList::LogWithNotice);
    EXPECT_EQ(list.Consult(LineFor(0, later), MessageStart(later), later), CLogSuppressionList::LogNormally);
}

TEST(LogSuppressionList, ExpiredEntriesArePrunedWhenALineIsAdded) {
    CLogSuppressionList list;
    for (int i = 0; i < 5; ++i) list.Consult(LineFor(i, Start), MessageStart(Start), Start);
    const uint32_t later = Start + 1800;  // not yet expired: start + 1800 is not before now
    list.Consult(LineFor(10, later), MessageStart(later), later);
    EXPECT_EQ(list.GetEntryCount(), 6u);
    const uint32_t expired = Start + 1801;
    list.Consult(LineFor(11, expired), MessageStart(expired), expired);
    EXPECT_EQ(list.GetEntryCount(), 2u);
}

TEST(LogSuppressionList, LinesWithoutABracketBeforeTheMessageAreNeverHeldBack) {
    CLogSuppressionList list;
    const std::wstring plain = StampFor(Start) + L"no prefix [x]\n";
    const size_t start = StampFor(Start).size();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list.Consult(plain, start, Start), CLogSuppressionList::LogNormally);
    }
    EXPECT_EQ(list.GetEntryCount(), 0u);

    // Another thread's line differs in its bracket and so has a window of its own.
    const std::wstring other = L"[W 00/00000000/T0003/P0002] " + StampFor(Start) + L"message 1\n";
    list.Consult(LineFor(1, Start), MessageStart(Start), Start);
    EXPECT_EQ(list.Consult(other, MessageStart(Start), Start), CLogSuppressionList::LogNormally);
}

}  // namespace
