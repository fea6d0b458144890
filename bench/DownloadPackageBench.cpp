// bench_download_package URL FILE
// Times the program's own DownloadPackage as the worker runs it: on a second thread,
// with every progress message sent synchronously to a progress bar owned by this
// (the window's) thread. Prints "bytes=<n> ms=<elapsed> ok=<0|1> peak_kb=<peak
// working set> peak_private_kb=<peak private bytes>".
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <thread>

#include "dialog/Download.h"

namespace {

unsigned long long FileSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fwprintf(stderr, L"usage: bench_download_package URL FILE [quiet]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    HWND owner = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND bar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 380, 20, owner,
                               nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", nullptr, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 30, 380, 100,
                                owner, nullptr, nullptr, nullptr);
    auto link = std::make_shared<WorkerLink>(std::make_shared<Framework::ModalRun>());
    // "quiet": no progress bar, to tell the cost of the progress messages apart.
    const bool quiet = argc > 3 && wcscmp(argv[3], L"quiet") == 0;
    link->progressBar = quiet ? nullptr : bar;
    link->statusEdit = edit;

    const DWORD mainThread = GetCurrentThreadId();
    bool ok = false;
    long long ms = 0;
    std::thread worker([&] {
        LARGE_INTEGER frequency{}, start{}, end{};
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        ok = DownloadPackage(*link, argv[1], argv[2]);
        QueryPerformanceCounter(&end);
        ms = (end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
        PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
    });
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    worker.join();
    DestroyWindow(owner);

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory));
    wprintf(L"bytes=%llu ms=%lld ok=%d peak_kb=%llu peak_private_kb=%llu\n", FileSize(argv[2]), ms, ok ? 1 : 0,
            static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024),
            static_cast<unsigned long long>(memory.PeakPagefileUsage / 1024));
    return ok ? 0 : 1;
}
