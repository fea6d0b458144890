// Figures for the branding path: reading the payload of a large branded copy, and
// extracting a large branding archive, each against a bare baseline in the same run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <unzip.h>

#include "branding/ExePayload.h"
#include "fileutil/Delete.h"
#include "fileutil/PathUtils.h"
#include "platform/UniqueResource.h"
#include "tests/branding/CraftedExe.h"
#include "tests/fileutil/TestSupport.h"
#include "tests/zip/ZipBuilder.h"
#include "zip/ZipExtractor.h"
#include "zip/ZipFileFunctions.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double BestSeconds(int runs, F&& run) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// Text-like bytes that deflate about as well as branding art and texts do.
std::string FillerBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>((seed >> 16) % 64 + 32);
    }
    return bytes;
}

uint64_t ReadWholeFile(const std::wstring& path) {
    PlatformHelpers::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::vector<char> block(1 << 20);
    uint64_t total = 0;
    DWORD got = 0;
    while (ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0)
        total += got;
    return total;
}

void BenchPayload(const TestSupport::ScratchFolder& scratch) {
    CraftedExe exe;
    exe.signature = FillerBytes(50u << 20, 1);
    exe.payload = FillerBytes(50u << 20, 2);
    exe.paddingB = static_cast<uint32_t>((8 - (exe.payload.size() + 12 + 4 + exe.signature.size()) % 8) % 8);
    const std::wstring path = scratch / L"branded.exe";
    TestSupport::WriteBytes(path, exe.Build());
    size_t payloadSize = 0;
    ReadWholeFile(path);  // the same warm cache for both
    double whole = BestSeconds(5, [&] { ReadWholeFile(path); });
    double payload = BestSeconds(5, [&] { payloadSize = CExePayload().ReadPayload(path).size(); });
    std::printf("ReadPayload, 100 MB copy with a %.1f MB payload: %.3f s; whole file in 1 MB blocks: %.3f s; "
                "ratio %.2f (target <= 1.5)\n",
                payloadSize / 1048576.0, payload, whole, payload / whole);
}

// What a program would do with minizip and nothing else.
bool BareExtract(const std::wstring& archive, const std::wstring& destination) {
    zlib_filefunc64_def functions;
    FillWideFileFunctions(&functions);
    unzFile zip = unzOpen2_64(archive.c_str(), &functions);
    if (!zip) return false;
    std::vector<char> buffer(256 * 1024);
    CreateDirectoryW(destination.c_str(), nullptr);
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        char name[MAX_PATH + 1] = {};
        unz_file_info64 info;
        unzGetCurrentFileInfo64(zip, &info, name, MAX_PATH, nullptr, 0, nullptr, 0);
        std::wstring path = destination;
        for (const char* c = name; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        if (path.back() == L'\\') continue;
        CreateFolderPath(path, true);
        FILE* out = _wfopen(path.c_str(), L"wb");
        if (!out || unzOpenCurrentFile(zip) != UNZ_OK) return false;
        int got;
        while ((got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0)
            fwrite(buffer.data(), 1, static_cast<size_t>(got), out);
        fclose(out);
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return true;
}

void BenchExtraction(const TestSupport::ScratchFolder& scratch) {
    std::vector<ZipBuilder::Entry> entries;
    for (int i = 0; i < 2000; ++i) {
        ZipBuilder::Entry entry;
        entry.name = "folder" + std::to_string(i % 20) + "/file" + std::to_string(i) + ".dat";
        entry.data = FillerBytes(25u << 10, static_cast<uint32_t>(i));
        entry.deflate = true;
        entries.push_back(entry);
    }
    const std::wstring archive = scratch / L"Branding.zip";
    TestSupport::WriteBytes(archive, ZipBuilder::Build(entries));
    const std::wstring bareFolder = scratch / L"bare\\";
    const std::wstring ourFolder = scratch / L"ours";
    double bare = 1e9, ours = 1e9;
    bool ok = true;
    for (int run = 0; run < 3; ++run) {
        DeleteFolderTree(scratch / L"bare");
        DeleteFolderTree(ourFolder);
        bare = std::min(bare, BestSeconds(1, [&] { ok = BareExtract(archive, bareFolder) && ok; }));
        ours = std::min(ours, BestSeconds(1, [&] {
                            CZipExtractor extractor;
                            ok = extractor.Open(archive.c_str()) && extractor.ExtractAll(ourFolder) && ok;
                        }));
    }
    std::printf("ExtractAll, 2000 files, %.1f MB inflated: %.3f s; bare minizip loop: %.3f s; ratio %.2f "
                "(target <= 1.2)%s\n",
                2000 * 25.0 / 1024, ours, bare, ours / bare, ok ? "" : " [EXTRACTION FAILED]");
}

}  // namespace

int main() {
    TestSupport::ScratchFolder scratch(L"bench-branding");
    BenchPayload(scratch);
    BenchExtraction(scratch);
    return 0;
}
