// bench_bare_download URL FILE
// The plainest WinINet download loop, as the yardstick for the program's own
// download: same access type and flags, a 20000-byte buffer, no progress, no zeroing.
// Prints "bytes=<n> ms=<elapsed> peak_kb=<peak working set> peak_private_kb=<...>".
#include <windows.h>
#include <psapi.h>
#include <wininet.h>
#include <cstdio>
#include "platform/UniqueResource.h"

using PlatformHelpers::UniqueInternet;

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fwprintf(stderr, L"usage: bench_bare_download URL FILE\n");
        return 2;
    }
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    UniqueInternet session(InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return 1;
    UniqueInternet request(InternetOpenUrlW(session.get(), argv[1], nullptr, 0,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!request) {
        fwprintf(stderr, L"open url failed: %lu\n", GetLastError());
        return 1;
    }
    PlatformHelpers::UniqueFile file(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return 1;
    static char buffer[20000];
    unsigned long long total = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer, sizeof buffer, &read)) return 1;
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer, read, &written, nullptr)) return 1;
        total += read;
    }
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    wprintf(L"bytes=%llu ms=%lld peak_kb=%llu peak_private_kb=%llu\n", total,
            (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart,
            static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024),
            static_cast<unsigned long long>(memory.PeakPagefileUsage / 1024));
    return 0;
}
