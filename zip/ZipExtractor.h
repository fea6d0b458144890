#pragma once
// Extracts every entry of a zip archive into a folder, over minizip's unzip
// interface, restoring each file's modification time.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the archive says about its current entry.
struct ZipEntryInfo {
    std::wstring name;          // decoded, with backslashes; at most 260 characters
    uint32_t flag = 0;          // general-purpose bit flag
    uint32_t dosDateTime = 0;   // DOS date in the high half, time in the low half
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    bool isDirectory = false;   // the decoded name ends in a backslash
};

class CZipExtractor {
public:
    CZipExtractor() = default;
    ~CZipExtractor() { Close(); }
    CZipExtractor(const CZipExtractor&) = delete;
    CZipExtractor& operator=(const CZipExtractor&) = delete;

    bool Open(const wchar_t* archivePath);
    bool ExtractAll(const std::wstring& destination);
    // Null `destination`: the archive's path without its extension.
    bool ExtractCurrentEntry(const wchar_t* destination);
    void Close();

private:
    bool ReadCurrentEntryInfo(ZipEntryInfo& info);
    bool CopyCurrentEntry(const std::wstring& outputPath, const ZipEntryInfo& info);

    void* archive_ = nullptr;
    std::wstring defaultDestination_;
    std::vector<char> copyBuffer_;
};

// Decodes a stored 8-bit entry name. Base names and extensions that begin with the
// two bytes 0x7F 0x7F hold UTF-8 after them; all others are in the ANSI code page.
std::wstring DecodeZipEntryName(std::string_view stored);
// Whether a decoded name stays inside the folder it is extracted to: no "..",
// no drive, no root, no "\\?\" or UNC form.
bool IsContainedEntryName(std::wstring_view name);
