#pragma once
// Text helpers shared by the logger's sources.
#include <cstdarg>
#include <cstdio>
#include <cwctype>
#include <string>

namespace LogText {

// Removes trailing white space as the C library classifies wide characters.
inline void TrimTrailingSpace(std::wstring& text) {
    size_t end = text.size();
    while (end > 0 && iswspace(text[end - 1])) --end;
    text.resize(end);
}

inline std::wstring FormatV(const wchar_t* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = _vscwprintf(format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length), L'\0');
    _vsnwprintf(&text[0], text.size() + 1, format, args);
    return text;
}

}  // namespace LogText
