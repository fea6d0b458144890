// Prints the logger's throughput against a bare open-append-close loop, and the
// cost of a call that no sink admits against an empty function call and against
// formatting the message alone. Exits with 1 when a figure misses its limit.
#include "log/Logger.h"

#include "bench/BenchClock.h"

#include <windows.h>
#include <cstdio>
#include <string>

namespace {

constexpr int LinesPerRun = 3000;
constexpr int Runs = 5;
constexpr int FastCalls = 5000000;
constexpr int FormatCalls = 200000;
constexpr double MinThroughputRatio = 0.80;

constexpr wchar_t LineFormat[] = L"Copied %s to the branding folder\n";
constexpr wchar_t FilteredFormat[] = L"never built %d\n";

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
    for (int i = 0; i < LinesPerRun; ++i) LogMessage(LogLevelInfo, LogCategoryBranding, 1, LineFormat, L"Brand.ini");
    return LinesPerRun / (Seconds() - start);
}

// Both loops write lines of the same length into the same folder, taking turns;
// the best run of each counts, the one least disturbed by other work on the machine.
bool BenchThroughput(CLogger& logger, const std::wstring& folder) {
    const std::wstring bare = folder + L"log-bench-bare.log";
    const std::wstring logged = folder + L"log-bench-logger.log";
    logger.SetLogPath(logged);
    DeleteFileW(logged.c_str());
    const int length = LogMessage(LogLevelInfo, LogCategoryBranding, 1, LineFormat, L"Brand.ini");
    // The logger writes its line with CR LF in place of the final LF.
    const std::wstring line = std::wstring(static_cast<size_t>(length) - 1, L'x') + L"\r\n";

    double bestBare = 0, bestLogger = 0;
    for (int run = 0; run < Runs; ++run) {
        const double b = BareLinesPerSecond(bare, line);
        const double l = LoggerLinesPerSecond(logged);
        if (b > bestBare) bestBare = b;
        if (l > bestLogger) bestLogger = l;
    }
    DeleteFileW(bare.c_str());
    DeleteFileW(logged.c_str());
    logger.SetLogPath(L"");

    const double ratio = bestLogger / bestBare;
    const bool met = ratio >= MinThroughputRatio;
    printf("file lines/s (best of %d runs of %d lines, %d characters each):\n", Runs, LinesPerRun, length + 1);
    printf("  LogMessage                 %8.0f\n", bestLogger);
    printf("  bare open-append-close     %8.0f\n", bestBare);
    printf("  ratio %.2f, limit >= %.2f: %s\n", ratio, MinThroughputRatio, Verdict(met));
    return met;
}

using LogCall = int (*)(uint32_t, uint8_t, uint32_t, const wchar_t*, ...);

__attribute__((noinline)) int EmptyCall(uint32_t, uint8_t, uint32_t, const wchar_t*, ...) { return 0; }

double NanosecondsPerCall(LogCall call, int& results) {
    // Through a volatile pointer so that neither call can be folded away.
    LogCall volatile target = call;
    results = 0;
    const double start = Seconds();
    for (int i = 0; i < FastCalls; ++i) results |= target(LogLevelTrace, 0, 0, FilteredFormat, i);
    return (Seconds() - start) * 1e9 / FastCalls;
}

// The least a call that formats its message would spend.
double NanosecondsToFormat() {
    wchar_t buffer[64];
    volatile int length = 0;
    const double start = Seconds();
    for (int i = 0; i < FormatCalls; ++i) length = _snwprintf(buffer, 64, FilteredFormat, i);
    (void)length;
    return (Seconds() - start) * 1e9 / FormatCalls;
}

// Above both thresholds: file threshold 3, callback threshold 0, a trace call.
bool BenchFilteredCall(CLogger& logger) {
    logger.SetFileThreshold(LogLevelInfo);
    int emptyResults = 0, filteredResults = 0;
    const double empty = NanosecondsPerCall(EmptyCall, emptyResults);
    const double filtered = NanosecondsPerCall(LogMessage, filteredResults);
    const double format = NanosecondsToFormat();
    // A call that built its line would cost at least the formatting, and would
    // return the line's length.
    const bool met = filtered < format && filteredResults == 0;
    printf("call above both thresholds (ns per call, %d calls):\n", FastCalls);
    printf("  LogMessage                 %8.1f%s\n", filtered, filteredResults == 0 ? "" : " (returned a length)");
    printf("  empty function             %8.1f\n", empty);
    printf("  formatting the message     %8.1f\n", format);
    printf("  returns before formatting (LogMessage below the formatting alone): %s\n", Verdict(met));
    return met;
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    CLogger& logger = GetProcessLogger();
    const bool throughput = BenchThroughput(logger, temp);
    const bool filtered = BenchFilteredCall(logger);
    return throughput && filtered ? 0 : 1;
}
