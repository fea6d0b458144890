#include "zip/ZipExtractor.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <io.h>
#include <memory>
#include <vector>

#include <unzip.h>

#include "fileutil/PathUtils.h"
#include "log/Log.h"
#include "zip/ZipFileFunctions.h"

namespace {

constexpr size_t kMaxNameLength = MAX_PATH;
constexpr size_t kCopyBufferSize = 256 * 1024;

enum ZipLogCode : uint32_t {
    kCodeFolderCreation = 1,
    kCodeOpenArchive = 2,
    kCodeNoArchive = 3,
    kCodeNoDestination = 4,
    kCodeFilePath = 5,
    kCodeOutputFile = 6,
    kCodeEscapingName = 7,
    kCodeDamagedEntry = 8,
};

unzFile Archive(void* handle) { return static_cast<unzFile>(handle); }

std::wstring DecodeNamePart(std::string_view part) {
    UINT codePage = CP_ACP;
    if (part.size() >= 2 && part[0] == '\x7F' && part[1] == '\x7F') {
        codePage = CP_UTF8;
        part.remove_prefix(2);
    }
    if (part.empty()) return std::wstring();
    int length = MultiByteToWideChar(codePage, 0, part.data(), static_cast<int>(part.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, part.data(), static_cast<int>(part.size()), wide.data(), length);
    return wide;
}

std::wstring DecodeWithoutLimit(std::string_view stored) {
    size_t separator = stored.find_last_of("\\/");
    std::wstring decoded;
    if (separator != std::string_view::npos) {
        decoded = DecodeWithoutLimit(stored.substr(0, separator)) + L'\\';
        stored.remove_prefix(separator + 1);
    }
    size_t dot = stored.rfind('.');
    if (dot == std::string_view::npos) dot = stored.size();
    decoded += DecodeNamePart(stored.substr(0, dot));
    decoded += DecodeNamePart(stored.substr(dot));
    return decoded;
}

// Doubled backslashes become single ones, except the pair that opens a UNC or
// "\\?\" path.
std::wstring CollapseDoubledBackslashes(const std::wstring& path) {
    size_t keep = path.compare(0, 2, L"\\\\") == 0 ? 2 : 0;
    std::wstring result = path.substr(0, keep);
    for (size_t i = keep; i < path.size(); ++i) {
        if (path[i] == L'\\' && !result.empty() && result.back() == L'\\' && result.size() > keep) continue;
        result += path[i];
    }
    return result;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes sure `folder` exists as a folder; on failure the last error says why.
bool EnsureFolder(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return true;
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    return CreateFolderPath(folder, false);
}

// The destination as an absolute "\\?\" path, so that entries may exceed MAX_PATH.
std::wstring ToLongPath(const std::wstring& folder) {
    if (folder.compare(0, 4, L"\\\\?\\") == 0) return folder;
    DWORD needed = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    std::wstring full = folder;
    if (needed > 0) {
        std::vector<wchar_t> buffer(needed + 1);
        DWORD length = GetFullPathNameW(folder.c_str(), needed + 1, buffer.data(), nullptr);
        if (length > 0 && length <= needed) full.assign(buffer.data(), length);
    }
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Sets creation and last-write time through the handle that wrote the file, so
// that no second open is needed; the last-access time is left as it is.
void SetFileTimeFromDos(std::FILE* file, uint32_t dosDateTime) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE) return;
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local)) return;
    if (!LocalFileTimeToFileTime(&local, &utc)) return;
    SetFileTime(handle, &utc, nullptr, &utc);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::wstring DecodeZipEntryName(std::string_view stored) {
    std::wstring decoded = DecodeWithoutLimit(stored);
    if (decoded.size() > kMaxNameLength) decoded.resize(kMaxNameLength);
    return decoded;
}

bool IsContainedEntryName(std::wstring_view name) {
    if (name.empty()) return true;
    if (name.front() == L'\\' || name.front() == L'/') return false;  // root, UNC, "\\?\"
    if (name.find(L':') != std::wstring_view::npos) return false;     // drive or stream
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos) end = name.size();
        if (name.substr(start, end - start) == L"..") return false;
        start = end + 1;
    }
    return true;
}

bool CZipExtractor::Open(const wchar_t* archivePath) {
    if (archivePath == nullptr) return false;
    Close();
    zlib_filefunc64_def functions;
    FillWideFileFunctions(&functions);
    errno = 0;
    archive_ = unzOpen2_64(archivePath, &functions);
    if (archive_ == nullptr) {
        LogMessage(LogLevelDebug, LogCategoryZipExtraction, kCodeOpenArchive,
                   L"unzopen: cannot get file handle of '%s' with error %d", archivePath, errno);
        return false;
    }
    defaultDestination_ = RemoveExtension(archivePath);
    if (defaultDestination_.size() > kMaxNameLength) defaultDestination_.resize(kMaxNameLength);
    return true;
}

void CZipExtractor::Close() {
    if (archive_ != nullptr) unzClose(Archive(archive_));  // closes an open entry first
    archive_ = nullptr;
}

bool CZipExtractor::ExtractAll(const std::wstring& destination) {
    if (archive_ == nullptr) {
        LogMessage(LogLevelDebug, LogCategoryZipExtraction, kCodeNoArchive,
                   L"Handle of file to unzip is nullptr");
        return false;
    }
    if (destination.empty()) {
        LogMessage(LogLevelDebug, LogCategoryZipExtraction, kCodeNoDestination,
                   L"Name of destination folder is empty");
        return false;
    }
    std::wstring folder = CollapseDoubledBackslashes(destination);
    if (!EnsureFolder(folder)) {
        LogSystemError(LogLevelDebug, LogCategoryZipExtraction, kCodeFolderCreation, GetLastError(),
                       L"Destination folder '%s' creation failed", folder.c_str());
        return false;
    }
    if (unzGoToFirstFile(Archive(archive_)) != UNZ_OK) return false;
    for (;;) {
        if (!ExtractCurrentEntry(folder.c_str())) return false;
        int next = unzGoToNextFile(Archive(archive_));
        if (next == UNZ_END_OF_LIST_OF_FILE) return true;
        // A central directory that breaks off means entries were lost.
        if (next != UNZ_OK) return false;
    }
}

bool CZipExtractor::ReadCurrentEntryInfo(ZipEntryInfo& info) {
    unz_file_info64 raw;
    char storedName[kMaxNameLength + 1] = {};
    if (unzGetCurrentFileInfo64(Archive(archive_), &raw, storedName, kMaxNameLength, nullptr, 0,
                                nullptr, 0) != UNZ_OK)
        return false;
    size_t storedLength = raw.size_filename < kMaxNameLength ? raw.size_filename : kMaxNameLength;
    info.name = DecodeZipEntryName(std::string_view(storedName, storedLength));
    info.flag = static_cast<uint32_t>(raw.flag);
    info.dosDateTime = static_cast<uint32_t>(raw.dosDate);
    info.crc = static_cast<uint32_t>(raw.crc);
    info.compressedSize = raw.compressed_size;
    info.uncompressedSize = raw.uncompressed_size;
    info.isDirectory = !info.name.empty() && info.name.back() == L'\\';
    return true;
}

bool CZipExtractor::ExtractCurrentEntry(const wchar_t* destination) {
    if (archive_ == nullptr) {
        LogMessage(LogLevelDebug, LogCategoryZipExtraction, kCodeNoArchive,
                   L"UnzipFile: Handle of file to unzip is nullptr");
        return false;
    }
    const std::wstring folder = destination ? destination : defaultDestination_;
    if (!EnsureFolder(folder)) {
        LogSystemError(LogLevelDebug, LogCategoryZipExtraction, kCodeFolderCreation, GetLastError(),
                       L"UnzipFile: Destination folder '%s' creation failed", folder.c_str());
        return false;
    }
    ZipEntryInfo info;
    if (!ReadCurrentEntryInfo(info)) return false;
    if (!IsContainedEntryName(info.name)) {
        LogMessage(LogLevelError, LogCategoryZipExtraction, kCodeEscapingName,
                   L"UnzipFile: entry '%s' would be written outside '%s'; refused", info.name.c_str(),
                   folder.c_str());
        return false;
    }
    if (info.isDirectory) return true;  // folders appear with the files inside them

    const std::wstring outputPath = CombinePath(ToLongPath(folder), info.name);
    const std::wstring parent = GetFolderPart(outputPath);
    if (!IsFolder(parent) && !CreateFolderPath(outputPath, true)) {
        LogSystemError(LogLevelDebug, LogCategoryZipExtraction, kCodeFilePath, GetLastError(),
                       L"UnzipFile: File path '%s' creation failed", outputPath.c_str());
        return false;
    }
    return CopyCurrentEntry(outputPath, info);
}

bool CZipExtractor::CopyCurrentEntry(const std::wstring& outputPath, const ZipEntryInfo& info) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> output(_wfopen(outputPath.c_str(), L"wb"));
    if (!output) {
        LogMessage(LogLevelDebug, LogCategoryZipExtraction, kCodeOutputFile,
                   L"UnzipFile: failed to open '%s' with error %d", outputPath.c_str(), errno);
        return false;
    }
    if (unzOpenCurrentFile(Archive(archive_)) != UNZ_OK) {
        output.reset();
        DeleteFileW(outputPath.c_str());
        return false;
    }

    // One buffer for all entries: a fresh one per entry costs more than small
    // entries take to inflate.
    if (copyBuffer_.empty()) copyBuffer_.resize(kCopyBufferSize);
    uint64_t total = 0;
    bool clean = true;
    for (;;) {
        int got = unzReadCurrentFile(Archive(archive_), copyBuffer_.data(),
                                     static_cast<unsigned>(copyBuffer_.size()));
        if (got == 0) break;
        if (got < 0 || std::fwrite(copyBuffer_.data(), 1, static_cast<size_t>(got), output.get()) !=
                           static_cast<size_t>(got)) {
            clean = false;
            break;
        }
        total += static_cast<uint64_t>(got);
    }
    // Flushed before the time is set, so that no later write moves it again.
    if (std::fflush(output.get()) != 0) clean = false;
    // minizip compares the CRC-32 when the whole entry was read; the size check
    // catches data that ends before the entry says it does.
    int closed = unzCloseCurrentFile(Archive(archive_));
    if (clean && (closed != UNZ_OK || total != info.uncompressedSize)) {
        LogMessage(LogLevelError, LogCategoryZipExtraction, kCodeDamagedEntry,
                   L"UnzipFile: '%s' is damaged (%I64u of %I64u bytes, check result %d)",
                   outputPath.c_str(), total, info.uncompressedSize, closed);
        clean = false;
    }
    if (clean) SetFileTimeFromDos(output.get(), info.dosDateTime);
    if (std::fclose(output.release()) != 0) clean = false;
    return clean;
}
