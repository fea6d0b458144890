// Many threads logging into one file: every line arrives whole.
#include "log/CorrelationId.h"
#include "log/Logger.h"
#include "tests/log/LogTestSupport.h"

#include <gtest/gtest.h>

#include <process.h>
#include <sstream>
#include <vector>

using namespace LogTest;

namespace {

constexpr int ThreadCount = 8;

struct Writer {
    CLogger* logger;
    int index;
    int lines;
};

unsigned __stdcall WriteLines(void* argument) {
    const Writer& writer = *static_cast<Writer*>(argument);
    for (int n = 0; n < writer.lines; ++n) {
        LogMessageTo(writer.logger, LogLevelInfo, 0, static_cast<uint32_t>(writer.index),
                     L"writer %d line %d of a line long enough to be torn if writes overlapped\n",
                     writer.index, n);
    }
    return 0;
}

// Runs the writers and checks that each wrote every one of its lines, in order,
// each line whole.
void ExpectEveryLineWhole(CLogger& logger, const std::wstring& path, int linesPerThread) {
    std::vector<Writer> writers;
    for (int i = 0; i < ThreadCount; ++i) writers.push_back(Writer{&logger, i, linesPerThread});
    std::vector<HANDLE> threads;
    for (Writer& writer : writers) {
        threads.push_back(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WriteLines, &writer, 0, nullptr)));
        ASSERT_NE(threads.back(), nullptr);
    }
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);

    const std::wstring text = ReadText(path);
    ASSERT_EQ(text.substr(0, 3), L"\xFEFF\r\n");
    std::vector<int> next(ThreadCount, 0);
    size_t position = 3;
    int bad = 0;
    while (position < text.size()) {
        const size_t end = text.find(L"\r\n", position);
        ASSERT_NE(end, std::wstring::npos) << "unterminated last line";
        const std::wstring line = text.substr(position, end - position);
        position = end + 2;
        int code = -1, index = -1, number = -1;
        wchar_t tail[80] = {};
        const size_t dash = line.find(L" - ");
        if (line.size() < 2 || line.compare(0, 7, L"[I 00/0") != 0 || dash == std::wstring::npos ||
            swscanf(line.c_str() + 6, L"%8x", &code) != 1 ||
            swscanf(line.c_str() + dash + 3, L"writer %d line %d of a line long enough to be torn if writes %79ls",
                    &index, &number, tail) != 3 ||
            code != index || index < 0 || index >= ThreadCount || number != next[index] ||
            std::wstring(tail) != L"overlapped") {
            if (++bad < 5) ADD_FAILURE() << "damaged or out-of-order line: " << testing::PrintToString(line);
            continue;
        }
        ++next[index];
    }
    EXPECT_EQ(bad, 0);
    for (int i = 0; i < ThreadCount; ++i) EXPECT_EQ(next[i], linesPerThread) << "writer " << i;
}

TEST(LogConcurrency, EightThreadsShareOneFileThroughTheMutex) {
    TempFolder folder;
    const std::wstring path = folder.File(L"shared.log");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    CLogger logger;
    logger.SetLogPath(path);
    logger.SetMutex(mutex);
    ExpectEveryLineWhole(logger, path, 10000);
    CloseHandle(mutex);
}

// Without a mutex, threads of one process must still not lose lines to each other
// (the file is shared with readers only) nor race on the suppression list.
TEST(LogConcurrency, ThreadsOfOneProcessNeedNoMutex) {
    TempFolder folder;
    const std::wstring path = folder.File(L"shared.log");
    CLogger logger;
    logger.SetLogPath(path);
    ExpectEveryLineWhole(logger, path, 1000);
}

unsigned __stdcall LogOnce(void* argument) {
    LogMessageTo(static_cast<CLogger*>(argument), LogLevelInfo, 0, 0, L"from a short-lived thread\n");
    return GetThreadCorrelationId().HasId() ? 1 : 0;
}

TEST(CorrelationStorage, IsCreatedOnFirstLineAndDestroyedWhenTheThreadEnds) {
    CLogger logger;
    GetThreadCorrelationId();  // this thread's own storage is not what is counted below
    const long before = CCorrelationIdStorage::GetLiveCount();
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, LogOnce, &logger, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    DWORD exitCode = 99;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(CCorrelationIdStorage::GetLiveCount(), before);
}

}  // namespace
