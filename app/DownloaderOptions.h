#pragma once
// The six command-line options of the downloader.
#include <cstdint>
#include <string>

struct DownloaderOptions {
    std::wstring installFromLocation;  // -installfromloc='
    std::wstring language;             // -language='
    std::wstring msiArgs;              // -msiargs='
    int32_t silent = 0;                // -silent='       any non-zero value is on
    int32_t passive = 0;               // -passive='
    int32_t installBasic = 0;          // -installbasic='
};

// Finds `key` (for example L"-silent='") in the command line and stores the value
// that follows it, up to the closing apostrophe; two apostrophes in a row stand for
// one. The key counts only at the start of the line or after a blank. Returns true
// when a complete value was found; on false, `value` may hold a partial value.
bool ExtractTextOption(const std::wstring& commandLine, const std::wstring& key, std::wstring& value);

// As ExtractTextOption, then converts the value like _wtoi. `value` is written only
// when the option was found.
bool ExtractIntegerOption(const std::wstring& commandLine, const std::wstring& key, int32_t& value);

// Fills `options` from a non-empty command line; absent options keep their values.
void ParseDownloaderOptions(const std::wstring& commandLine, DownloaderOptions& options);
