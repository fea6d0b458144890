// Prints the time CZipWriter takes to archive a 100 MiB log against a bare minizip
// loop at the same compression level over the same file, and the archive sizes.
//   archive_bench <folder>   writes bench.log and the archives there and keeps them,
//                            so that the caller can compare with the host's zip
#include "zip/ZipWriter.h"

#include "bench/BenchClock.h"

#include <windows.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr uint64_t LogSize = 104857600;  // the default rotation limit
constexpr size_t ChunkSize = 2048;
constexpr int Runs = 5;

uint32_t NextRandom(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    return state >> 8;
}

// One line as the logger writes it: prefix, local time stamp, message, CR LF.
std::wstring MakeLogLine(uint32_t& state, uint32_t second) {
    static const wchar_t* const files[] = {L"Brand.ini", L"logo.bmp", L"banner.png", L"strings.xml",
                                           L"VantrelClient.msi", L"setup.exe"};
    static const wchar_t levels[] = {L'I', L'I', L'I', L'I', L'D', L'T', L'W', L'E'};
    const uint32_t kind = NextRandom(state) % 8;
    const wchar_t level = levels[NextRandom(state) % 8];
    const unsigned thread = 0x100 + NextRandom(state) % 6 * 0x14;
    const unsigned category = kind < 3 ? 0x74 : kind < 5 ? 0x89 : 0;
    const unsigned code = NextRandom(state) % 120;
    const unsigned minute = second / 60 % 60, hour = second / 3600 % 24, day = 7 + second / 86400 % 20;
    const wchar_t* file = files[NextRandom(state) % 6];

    wchar_t message[256];
    switch (kind) {
    case 0:
        _snwprintf(message, 256, L"Copied %s to the branding folder", file);
        break;
    case 1:
        _snwprintf(message, 256, L"Extracting %s (%u bytes) into C:\\Users\\alex\\AppData\\Local\\Temp\\Branding", file,
                   NextRandom(state) % 900000);
        break;
    case 2:
        _snwprintf(message, 256, L"Loose branding file %s not found beside the executable", file);
        break;
    case 3:
        _snwprintf(message, 256, L"Entry %s: %u of %u bytes inflated", file, NextRandom(state) % 4096,
                   4096 + NextRandom(state) % 60000);
        break;
    case 4:
        _snwprintf(message, 256, L"Failed to delete C:\\Users\\alex\\AppData\\Local\\Temp\\%s (Access is denied. "
                                 L"[0x%08x])", file, 5u);
        break;
    case 5:
        _snwprintf(message, 256, L"Started Thread CLogArchive (id 0x%x), %u running", thread + 0x40,
                   1 + NextRandom(state) % 3);
        break;
    case 6:
        _snwprintf(message, 256, L"Download progress %u%% of %u bytes", NextRandom(state) % 101,
                   50000000 + NextRandom(state) % 1000000);
        break;
    default:
        _snwprintf(message, 256, L"Registry value BrandFileLocation set to C:\\Users\\alex\\AppData\\Local\\Temp\\"
                                 L"Branding\\%08x", NextRandom(state));
        break;
    }
    message[255] = L'\0';

    wchar_t line[400];
    _snwprintf(line, 400, L"[%c %02X/%08X/T%04X/P%04X] %02u-12-26 %02u:%02u:%02u - %s\r\n", level, category, code,
               thread, 0x2F4u, day, hour, minute, second % 60, message);
    line[399] = L'\0';
    return line;
}

// A UTF-16 log of exactly LogSize bytes: byte-order mark, empty line, varied lines.
bool WriteLog(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::wstring text = L"\xFEFF\r\n";
    uint64_t written = 0;
    uint32_t state = 20261207, second = 19 * 3600;
    bool ok = true;
    while (ok && written < LogSize) {
        while (text.size() * sizeof(wchar_t) < (1u << 20)) {
            text += MakeLogLine(state, second);
            second += NextRandom(state) % 3;
        }
        DWORD bytes = static_cast<DWORD>(std::min<uint64_t>(text.size() * sizeof(wchar_t), LogSize - written));
        DWORD done = 0;
        ok = WriteFile(file, text.data(), bytes, &done, nullptr) && done == bytes;
        written += done;
        text.clear();
    }
    CloseHandle(file);
    return ok;
}

// Work done by this thread, in seconds: less disturbed by other load than wall time.
double CpuSeconds() {
    FILETIME creation, exit, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& t) { return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

struct Timing {
    double wall;
    double cpu;
};

Timing TimeZipWriter(const std::wstring& log, const std::wstring& archive) {
    DeleteFileW(archive.c_str());
    const double start = Seconds(), startCpu = CpuSeconds();
    CZipWriter writer;
    bool ok = writer.Open(archive) && writer.AddFile(log);
    ok = writer.Close() && ok;
    const Timing elapsed{Seconds() - start, CpuSeconds() - startCpu};
    return ok ? elapsed : Timing{-1, -1};
}

// The least a program can do with minizip: default file functions, one entry,
// 2048-byte reads, the default compression level.
Timing TimeBareMinizip(const std::string& log, const std::string& archive) {
    DeleteFileA(archive.c_str());
    const double start = Seconds(), startCpu = CpuSeconds();
    FILE* source = fopen(log.c_str(), "rb");
    zipFile zip = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    bool ok = source && zip;
    zip_fileinfo info{};
    ok = ok && zipOpenNewFileInZip64(zip, "bench.log", &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                     Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
    std::vector<char> chunk(ChunkSize);
    while (ok) {
        size_t read = fread(chunk.data(), 1, ChunkSize, source);
        if (read == 0) break;
        ok = zipWriteInFileInZip(zip, chunk.data(), static_cast<unsigned>(read)) == ZIP_OK;
        if (read < ChunkSize) break;
    }
    if (zip) ok = zipCloseFileInZip(zip) == ZIP_OK && zipClose(zip, nullptr) == ZIP_OK && ok;
    if (source) fclose(source);
    const Timing elapsed{Seconds() - start, CpuSeconds() - startCpu};
    return ok ? elapsed : Timing{-1, -1};
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: archive_bench <folder>\n");
        return 2;
    }
    std::wstring folder = argv[1];
    if (folder.back() != L'\\') folder += L'\\';
    const std::wstring log = folder + L"bench.log";
    const std::wstring ours = folder + L"czipwriter.zip";
    const std::wstring bare = folder + L"bare.zip";

    if (!WriteLog(log)) {
        fprintf(stderr, "could not write %ls\n", log.c_str());
        return 1;
    }
    Timing bestOurs{1e9, 1e9}, bestBare{1e9, 1e9};
    for (int run = 0; run < Runs; ++run) {
        const Timing b = TimeBareMinizip(Narrow(log), Narrow(bare));
        const Timing o = TimeZipWriter(log, ours);
        if (b.wall < 0 || o.wall < 0) {
            fprintf(stderr, "archiving failed in run %d\n", run + 1);
            return 1;
        }
        printf("run %d: CZipWriter %.2f s (cpu %.2f s), bare minizip %.2f s (cpu %.2f s)\n", run + 1, o.wall, o.cpu,
               b.wall, b.cpu);
        bestOurs = {std::min(bestOurs.wall, o.wall), std::min(bestOurs.cpu, o.cpu)};
        bestBare = {std::min(bestBare.wall, b.wall), std::min(bestBare.cpu, b.cpu)};
    }
    printf("archiving a %llu-byte log, best of %d: CZipWriter %.2f s, bare minizip %.2f s, ratio %.3f; "
           "thread cpu %.2f s against %.2f s, ratio %.3f (target <= 1.10)\n",
           static_cast<unsigned long long>(FileSize(log)), Runs, bestOurs.wall, bestBare.wall,
           bestOurs.wall / bestBare.wall, bestOurs.cpu, bestBare.cpu, bestOurs.cpu / bestBare.cpu);
    printf("archive size: CZipWriter %llu bytes, bare minizip %llu bytes\n",
           static_cast<unsigned long long>(FileSize(ours)), static_cast<unsigned long long>(FileSize(bare)));
    return 0;
}
