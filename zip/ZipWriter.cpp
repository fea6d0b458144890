#include "zip/ZipWriter.h"

#include "zip/ZipFileFunctions.h"
#include "platform/UniqueResource.h"

#include <windows.h>
#include <zip.h>
#include <cstdio>
#include <vector>

using PlatformHelpers::UniqueFile;

namespace {

constexpr DWORD kChunkSize = 2048;
constexpr size_t kMaxSourcePath = 259;

zipFile AsZip(void* archive) { return static_cast<zipFile>(archive); }

// The ANSI form of `text`, or false when the code page cannot hold every character.
bool ConvertToAnsiWithoutLoss(std::wstring_view text, std::string* ansi) {
    ansi->clear();
    if (text.empty()) return true;
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    ansi->resize(size);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                        ansi->data(), size, nullptr, &usedDefault);
    return !usedDefault;
}

std::string ConvertToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string utf8(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                            nullptr, nullptr);
    return utf8;
}

// Product of the non-zero bytes of the text's UTF-16 form, wrapping at 32 bits.
uint32_t HashNameBytes(std::wstring_view text) {
    uint32_t product = 1;
    for (wchar_t c : text) {
        uint8_t low = static_cast<uint8_t>(c & 0xFF);
        uint8_t high = static_cast<uint8_t>((c >> 8) & 0xFF);
        if (low) product *= low;
        if (high) product *= high;
    }
    return product;
}

std::string MakeHashedName(std::wstring_view text) {
    char buffer[16];
    snprintf(buffer, sizeof(buffer), "F_%x", HashNameBytes(text));
    return buffer;
}

// One name part (base name, or extension without its dot) in stored form.
std::string StoreNamePart(std::wstring_view part, bool utf8Names) {
    std::string stored;
    if (ConvertToAnsiWithoutLoss(part, &stored)) return stored;
    if (utf8Names) return "\x7F\x7F" + ConvertToUtf8(part);
    return MakeHashedName(part);
}

size_t FindLastSeparator(std::wstring_view path) {
    return path.find_last_of(L"\\/");
}

std::wstring GetBareName(std::wstring_view path) {
    size_t separator = FindLastSeparator(path);
    return std::wstring(separator == std::wstring_view::npos ? path : path.substr(separator + 1));
}

bool IsAbsoluteSourcePath(std::wstring_view path) {
    return path.find(L':') != std::wstring_view::npos || path.substr(0, 2) == L"\\\\";
}

bool GetFileSizeAndTimes(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, data) != FALSE;
}

zip_fileinfo MakeEntryInfo(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    zip_fileinfo info{};
    FILETIME local;
    SYSTEMTIME time{};
    if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) FileTimeToSystemTime(&local, &time);
    info.tmz_date.tm_sec = time.wSecond;
    info.tmz_date.tm_min = time.wMinute;
    info.tmz_date.tm_hour = time.wHour;
    info.tmz_date.tm_mday = time.wDay;
    info.tmz_date.tm_mon = time.wMonth > 0 ? time.wMonth - 1 : 0;
    info.tmz_date.tm_year = time.wYear;
    info.dosDate = 0;
    info.internal_fa = 0;
    info.external_fa = data.dwFileAttributes;
    return info;
}

}  // namespace

std::string MakeStoredEntryName(std::wstring_view name, bool utf8Names) {
    std::string stored;
    if (ConvertToAnsiWithoutLoss(name, &stored)) return stored;

    size_t separator = FindLastSeparator(name);
    std::wstring_view folder = separator == std::wstring_view::npos ? std::wstring_view() : name.substr(0, separator);
    std::wstring_view file = separator == std::wstring_view::npos ? name : name.substr(separator + 1);
    size_t dot = file.rfind(L'.');
    std::wstring_view base = dot == std::wstring_view::npos ? file : file.substr(0, dot);

    std::string result;
    if (separator != std::wstring_view::npos) result = MakeStoredEntryName(folder, utf8Names) + "\\";
    result += StoreNamePart(base, utf8Names);
    // The dot stays outside the replaced part, so that the stored name keeps an
    // extension and the extractor (which splits at the last dot) sees it as one.
    // The extractor tests an extension for the UTF-8 mark at its dot, where the
    // mark can never be, so extensions take the "F_%x" form in either mode.
    if (dot != std::wstring_view::npos) result += "." + StoreNamePart(file.substr(dot + 1), false);
    return result;
}

CZipWriter::CZipWriter(bool utf8Names) : utf8Names_(utf8Names) {}

CZipWriter::~CZipWriter() { Close(); }

bool CZipWriter::Open(const std::wstring& path) {
    Close();
    if (path.empty()) return false;

    wchar_t fullPath[MAX_PATH];
    wchar_t* filePart = nullptr;
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, fullPath, &filePart);
    if (length == 0 || length >= MAX_PATH) return false;

    WIN32_FILE_ATTRIBUTE_DATA data;
    bool addToExisting = GetFileSizeAndTimes(fullPath, &data) &&
                         !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                         (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);

    zlib_filefunc64_def functions;
    FillWideFileFunctions(&functions);
    archive_ = zipOpen2_64(fullPath, addToExisting ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE, nullptr,
                           &functions);
    if (!archive_) return false;

    folder_ = filePart ? std::wstring(fullPath, filePart - fullPath) : std::wstring(fullPath);
    return true;
}

bool CZipWriter::AddFile(const std::wstring& path) {
    if (!archive_) return false;

    std::wstring source = path.substr(0, kMaxSourcePath);
    if (!IsAbsoluteSourcePath(source)) source = folder_ + source;

    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileSizeAndTimes(source, &data)) return false;
    zip_fileinfo info = MakeEntryInfo(data);

    UniqueFile file(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;

    std::string entryName = MakeStoredEntryName(GetBareName(source), utf8Names_);
    uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // Entries of 4 GiB and more need the zip64 extension to be read back correctly.
    int zip64 = size >= 0xFFFFFFFFull ? 1 : 0;
    if (zipOpenNewFileInZip64(AsZip(archive_), entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              Z_DEFLATED, Z_DEFAULT_COMPRESSION, zip64) != ZIP_OK)
        return false;

    bool ok = true;
    std::vector<char> chunk(kChunkSize);
    for (;;) {
        DWORD read = 0;
        // A failed read must not pass for the end of the file: the archive would
        // silently hold a truncated copy of a log that is deleted afterwards.
        if (!ReadFile(file.get(), chunk.data(), kChunkSize, &read, nullptr)) {
            ok = false;
            break;
        }
        if (read == 0) break;
        if (zipWriteInFileInZip(AsZip(archive_), chunk.data(), read) != ZIP_OK) {
            ok = false;
            break;
        }
        if (read < kChunkSize) break;
    }
    if (zipCloseFileInZip(AsZip(archive_)) != ZIP_OK) ok = false;
    return ok;
}

bool CZipWriter::Close() {
    if (!archive_) return true;
    bool ok = zipClose(AsZip(archive_), nullptr) == ZIP_OK;
    archive_ = nullptr;
    folder_.clear();
    return ok;
}
