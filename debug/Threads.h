#pragma once
// Counted worker threads over the C runtime's _beginthreadex.
#include <windows.h>
#include <cstdint>

namespace Debug {

using ThreadRoutine = unsigned(__stdcall*)(void* argument);

struct ThreadParams {
    ThreadRoutine routine;
    void* argument;
};

// Starts `routine(argument)` on a new thread; returns its handle, or 0.
// `name` only appears in the trace line.
uintptr_t StartThread(ThreadRoutine routine, void* argument, const wchar_t* name);
// Waits for the thread to end, then detaches it.
void JoinThread(uintptr_t handle);
// Closes the handle; the thread runs on by itself.
void DetachThread(uintptr_t handle);
// Threads started and not yet joined or detached.
long GetRunningThreadCount();

}  // namespace Debug
