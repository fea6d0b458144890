#include "framework/Localization.h"

#include <atomic>

namespace Framework {

namespace {
std::atomic<LANGID> chosenLanguage{0};

// A string table block holds 16 counted strings; the block for id n is n / 16 + 1.
std::wstring ReadFromStringBlock(HMODULE module, HRSRC block, UINT id) {
    HGLOBAL loaded = LoadResource(module, block);
    auto data = static_cast<const WCHAR*>(LockResource(loaded));
    if (!data) return {};
    const DWORD size = SizeofResource(module, block) / sizeof(WCHAR);
    const WCHAR* end = data + size;
    const WCHAR* p = data;
    for (UINT index = 0; index < id % 16; ++index) {
        if (p >= end) return {};
        p += 1 + *p;
    }
    if (p >= end || p + 1 + *p > end) return {};
    return std::wstring(p + 1, *p);
}

HRSRC FindStringBlock(HMODULE module, UINT id, LANGID language) {
    LPCWSTR block = MAKEINTRESOURCEW(id / 16 + 1);
    return language ? FindResourceExW(module, RT_STRING, block, language)
                    : FindResourceW(module, block, RT_STRING);
}
}  // namespace

void SetResourceLanguage(LANGID language) { chosenLanguage.store(language); }

LANGID GetResourceLanguage() { return chosenLanguage.load(); }

HMODULE GetResourceModule() { return GetModuleHandleW(nullptr); }

HRSRC FindLocalizedResource(HMODULE module, LPCWSTR type, LPCWSTR name) {
    const LANGID language = GetResourceLanguage();
    if (language) {
        if (HRSRC found = FindResourceExW(module, type, name, language)) return found;
    }
    return FindResourceW(module, name, type);
}

std::wstring LoadStringInLanguage(HMODULE module, UINT id, LANGID language) {
    if (language) {
        if (HRSRC block = FindStringBlock(module, id, language)) {
            std::wstring text = ReadFromStringBlock(module, block, id);
            if (!text.empty()) return text;
        }
    }
    HRSRC block = FindStringBlock(module, id, 0);
    return block ? ReadFromStringBlock(module, block, id) : std::wstring();
}

std::wstring LoadLocalizedString(UINT id) {
    return LoadStringInLanguage(GetResourceModule(), id, GetResourceLanguage());
}

}  // namespace Framework
