// Prints the logger's throughput against a bare open-append-close loop, and the
// cost of a call that no sink admits against an empty function call.
#include "log/Logger.h"

#include <windows.h>
#include <cstdio>
#include <string>

namespace {

constexpr int LinesPerRun = 4000;
constexpr int Runs = 3;
constexpr int FastCalls = 5000000;

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// What the logger does for a line at its least: open, go to the end, append, close.
void AppendBare(const std::wstring& path, const std::wstring& line) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER end = {};
    SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

double BareLinesPerSecond(const std::wstring& path, const std::wstring& line) {
    DeleteFileW(path.c_str());
    const double start = Seconds();
    for (int i = 0; i < LinesPerRun; ++i) AppendBare(path, line);
    return LinesPerRun / (Seconds() - start);
}

double LoggerLinesPerSecond(const std::wstring& path) {
    DeleteFileW(path.c_str());
    const double start = Seconds();
    for (int i = 0; i < LinesPerRun; ++i) {
        LogMessage(LogLevelInfo, LogCategoryBranding, 1, L"Copied %s to the branding folder\n", L"Brand.ini");
    }
    return LinesPerRun / (Seconds() - start);
}

__attribute__((noinline)) int EmptyCall(uint32_t, uint8_t, uint32_t, const wchar_t*, ...) { return 0; }

double NanosecondsPerCall(int (*call)(uint32_t, uint8_t, uint32_t, const wchar_t*, ...)) {
    // Through a volatile pointer so that neither call can be folded away.
    int (*volatile target)(uint32_t, uint8_t, uint32_t, const wchar_t*, ...) = call;
    const double start = Seconds();
    for (int i = 0; i < FastCalls; ++i) target(LogLevelTrace, 0, 0, L"never built %d\n", i);
    return (Seconds() - start) * 1e9 / FastCalls;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring bare = std::wstring(temp) + L"log-bench-bare.log";
    const std::wstring logged = std::wstring(temp) + L"log-bench-logger.log";

    // The bare loop appends a line of the same length as the logger's.
    CLogger& logger = GetProcessLogger();
    logger.SetLogPath(logged);
    DeleteFileW(logged.c_str());
    const int length =
        LogMessage(LogLevelInfo, LogCategoryBranding, 1, L"Copied %s to the branding folder\n", L"Brand.ini");
    const std::wstring line = std::wstring(static_cast<size_t>(length) - 1, L'x') + L"\r\n";

    double bestBare = 0, bestLogger = 0;
    for (int run = 0; run < Runs; ++run) {
        const double b = BareLinesPerSecond(bare, line);
        const double l = LoggerLinesPerSecond(logged);
        if (b > bestBare) bestBare = b;
        if (l > bestLogger) bestLogger = l;
    }
    printf("file lines/s: LogMessage %.0f, bare open-append-close %.0f, ratio %.2f (target >= 0.80)\n",
           bestLogger, bestBare, bestLogger / bestBare);
    DeleteFileW(bare.c_str());
    DeleteFileW(logged.c_str());
    logger.SetLogPath(L"");

    // Above both thresholds: file threshold 3, callback threshold 0, a trace call.
    logger.SetFileThreshold(LogLevelInfo);
    const double empty = NanosecondsPerCall(EmptyCall);
    const double filtered = NanosecondsPerCall(LogMessage);
    printf("call above both thresholds: LogMessage %.1f ns, empty function %.1f ns\n", filtered, empty);
    return 0;
}
