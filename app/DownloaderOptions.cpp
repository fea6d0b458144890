#include "app/DownloaderOptions.h"

#include <cstdlib>

namespace {

// The first occurrence of `key` at the start of the line or right after a blank.
size_t FindAcceptedKey(const std::wstring& commandLine, const std::wstring& key) {
    size_t at = commandLine.find(key);
    while (at != std::wstring::npos) {
        if (at == 0 || commandLine[at - 1] == L' ') return at;
        at = commandLine.find(key, at + key.size());
    }
    return std::wstring::npos;
}

}  // namespace

bool ExtractTextOption(const std::wstring& commandLine, const std::wstring& key, std::wstring& value) {
    value.clear();
    if (key.empty()) return false;
    const size_t at = FindAcceptedKey(commandLine, key);
    if (at == std::wstring::npos) return false;
    size_t from = at + key.size();
    for (;;) {
        const size_t quote = commandLine.find(L'\'', from);
        if (quote == std::wstring::npos) return false;
        value.append(commandLine, from, quote - from);
        if (quote + 1 < commandLine.size() && commandLine[quote + 1] == L'\'') {
            value.push_back(L'\'');
            from = quote + 2;
            continue;
        }
        return true;
    }
}

bool ExtractIntegerOption(const std::wstring& commandLine, const std::wstring& key, int32_t& value) {
    std::wstring text;
    if (!ExtractTextOption(commandLine, key, text)) return false;
    value = static_cast<int32_t>(_wtoi(text.c_str()));
    return true;
}

void ParseDownloaderOptions(const std::wstring& commandLine, DownloaderOptions& options) {
    if (commandLine.empty()) return;
    ExtractTextOption(commandLine, L"-installfromloc='", options.installFromLocation);
    ExtractTextOption(commandLine, L"-language='", options.language);
    ExtractTextOption(commandLine, L"-msiargs='", options.msiArgs);
    ExtractIntegerOption(commandLine, L"-silent='", options.silent);
    ExtractIntegerOption(commandLine, L"-passive='", options.passive);
    ExtractIntegerOption(commandLine, L"-installbasic='", options.installBasic);
}
