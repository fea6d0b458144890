// Counted worker threads: exit codes, the running count and their trace lines.
#include "debug/Threads.h"
#include "log/Logger.h"
#include "tests/log/LogTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace LogTest;

namespace {

unsigned __stdcall ReturnSeven(void*) { return 7; }

unsigned __stdcall WaitForRelease(void* argument) {
    WaitForSingleObject(static_cast<HANDLE>(argument), INFINITE);
    return 0;
}

std::wstring HandleText(uintptr_t handle) { return std::to_wstring(static_cast<int>(handle)); }

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

TEST(WorkerThreads, RoutineResultBecomesTheExitCodeAndIsLogged) {
    TempFolder folder;
    const std::wstring path = folder.File(L"threads.log");
    ProcessLoggerScope scope(path, LogLevelTrace);

    const uintptr_t handle = Debug::StartThread(ReturnSeven, nullptr, L"Worker");
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(Debug::GetRunningThreadCount(), 1);
    // A second handle to read the exit code after the join has closed the first.
    HANDLE watch = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(handle), GetCurrentProcess(),
                                &watch, 0, FALSE, DUPLICATE_SAME_ACCESS));
    Debug::JoinThread(handle);
    EXPECT_EQ(Debug::GetRunningThreadCount(), 0);
    DWORD exitCode = 0;
    GetExitCodeThread(watch, &exitCode);
    CloseHandle(watch);
    EXPECT_EQ(exitCode, 7u);

    const std::wstring text = ReadText(path);
    EXPECT_TRUE(Contains(text, L"Started Thread Worker (id 0x")) << text.c_str();
    EXPECT_TRUE(Contains(text, L" handle " + HandleText(handle) + L"), threads running 1\r\n"));
    EXPECT_TRUE(Contains(text, L"[T 00/00000113/")) << "start and end lines carry code 275";
    EXPECT_TRUE(Contains(text, L" - Starting thread process\r\n"));
    EXPECT_TRUE(Contains(text, L" - Thread returned value 7\r\n"));
    EXPECT_TRUE(Contains(text, L" - Detached thread handle " + HandleText(handle) + L", threads running 0\r\n"));
}

TEST(WorkerThreads, TwoDetachedThreadsBringTheCountBackToZero) {
    TempFolder folder;
    const std::wstring path = folder.File(L"threads.log");
    ProcessLoggerScope scope(path, LogLevelTrace);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    const uintptr_t first = Debug::StartThread(WaitForRelease, release, L"First");
    const uintptr_t second = Debug::StartThread(WaitForRelease, release, L"Second");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(Debug::GetRunningThreadCount(), 2);
    HANDLE watch[2] = {};
    DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(first), GetCurrentProcess(), &watch[0], 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(second), GetCurrentProcess(), &watch[1], 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    Debug::DetachThread(first);
    Debug::DetachThread(second);
    EXPECT_EQ(Debug::GetRunningThreadCount(), 0);
    // Detached threads run on; let them finish before the log file goes away.
    SetEvent(release);
    WaitForMultipleObjects(2, watch, TRUE, INFINITE);
    CloseHandle(watch[0]);
    CloseHandle(watch[1]);
    CloseHandle(release);

    const std::wstring text = ReadText(path);
    EXPECT_TRUE(Contains(text, L"Started Thread First (id 0x"));
    EXPECT_TRUE(Contains(text, L" handle " + HandleText(first) + L"), threads running 1\r\n"));
    EXPECT_TRUE(Contains(text, L" handle " + HandleText(second) + L"), threads running 2\r\n"));
    EXPECT_TRUE(Contains(text, L"Detached thread handle " + HandleText(first) + L", threads running 1\r\n"));
    EXPECT_TRUE(Contains(text, L"Detached thread handle " + HandleText(second) + L", threads running 0\r\n"));
}

TEST(WorkerThreads, BelowTraceLevelOnlyAFailedDetachIsLogged) {
    TempFolder folder;
    const std::wstring path = folder.File(L"threads.log");
    ProcessLoggerScope scope(path, LogLevelDebug);

    const uintptr_t handle = Debug::StartThread(ReturnSeven, nullptr, L"Quiet");
    ASSERT_NE(handle, 0u);
    Debug::JoinThread(handle);
    EXPECT_FALSE(FileExists(path));

    Debug::DetachThread(0);
    EXPECT_EQ(Debug::GetRunningThreadCount(), 0);
    const std::wstring text = ReadText(path);
    EXPECT_EQ(text.substr(0, 18), L"\xFEFF\r\n[W 00/00000007/");
    EXPECT_TRUE(Contains(text, L" - Failed to detach thread 0\r\n")) << text.c_str();
}

}  // namespace
