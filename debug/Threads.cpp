#include "debug/Threads.h"

#include "log/Log.h"

#include <process.h>
#include <atomic>
#include <memory>
#include <new>

namespace Debug {
namespace {

constexpr uint32_t ThreadLifeCode = 275;
constexpr uint32_t DetachFailureCode = 7;

std::atomic<long> runningThreads{0};

// Handles are printed in decimal; Windows keeps handle values within 32 bits.
int PrintableHandle(uintptr_t handle) { return static_cast<int>(handle); }

unsigned __stdcall RunThread(void* argument) {
    // The thread owns its parameters from here on, also when the routine throws.
    std::unique_ptr<ThreadParams> params(static_cast<ThreadParams*>(argument));
    LogMessage(LogLevelTrace, LogCategoryShared, ThreadLifeCode, L"Starting thread process\n");
    const unsigned result = params->routine(params->argument);
    LogMessage(LogLevelTrace, LogCategoryShared, ThreadLifeCode, L"Thread returned value %d\n",
               static_cast<int>(result));
    return result;
}

}  // namespace

uintptr_t StartThread(ThreadRoutine routine, void* argument, const wchar_t* name) {
    ++runningThreads;
    ThreadParams* params = new (std::nothrow) ThreadParams{routine, argument};
    if (!params) {
        --runningThreads;
        return 0;
    }
    unsigned threadId = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, RunThread, params, 0, &threadId);
    if (handle == 0) {
        delete params;
        --runningThreads;
        return 0;
    }
    LogTrace(L"Started Thread %s (id 0x%x handle %d), threads running %d\n", name, threadId,
             PrintableHandle(handle), static_cast<int>(runningThreads.load()));
    return handle;
}

void JoinThread(uintptr_t handle) {
    if (WaitForSingleObject(reinterpret_cast<HANDLE>(handle), INFINITE) != WAIT_OBJECT_0) {
        LogTrace(L"Failed to join with thread\n");
        return;
    }
    DetachThread(handle);
}

void DetachThread(uintptr_t handle) {
    if (!CloseHandle(reinterpret_cast<HANDLE>(handle))) {
        LogMessage(LogLevelWarning, LogCategoryShared, DetachFailureCode,
                   L"Failed to detach thread %d\n", PrintableHandle(handle));
        return;
    }
    const long running = --runningThreads;
    LogTrace(L"Detached thread handle %d, threads running %d\n", PrintableHandle(handle),
             static_cast<int>(running));
}

long GetRunningThreadCount() { return runningThreads.load(); }

}  // namespace Debug
