#include "log/Log.h"

#include "log/LogText.h"
#include "log/Logger.h"
#include "platform/UniqueResource.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr DWORD ErrorUnhandledSystemFunction = 574;

int LogSystemErrorV(uint32_t flags, uint8_t category, uint32_t code, DWORD error,
                    const wchar_t* format, va_list args) {
    std::wstring message = LogText::FormatV(format, args);
    LogText::TrimTrailingSpace(message);
    if (error == 0) {
        message += L".\n";
    } else {
        const std::wstring text = error == ErrorUnhandledSystemFunction
            ? L"An unhandled error has occurred while executing a system function"
            : GetSystemErrorText(error);
        wchar_t code16[16];
        _snwprintf(code16, 16, L"0x%08x", static_cast<unsigned>(error));
        message += L" (" + text + L" [" + code16 + L"])\n";
    }
    return LogMessage(flags, category, code, L"%s", message.c_str());
}

}  // namespace

int LogMessage(uint32_t flags, uint8_t category, uint32_t code, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = GetProcessLogger().SendV(flags, category, code, format, args);
    va_end(args);
    return length;
}

int LogMessageTo(CLogger* logger, uint32_t flags, uint8_t category, uint32_t code,
                 const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = (logger ? *logger : GetProcessLogger()).SendV(flags, category, code, format, args);
    va_end(args);
    return length;
}

int LogSystemError(uint32_t flags, uint8_t category, uint32_t code, DWORD error,
                   const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = LogSystemErrorV(flags, category, code, error, format, args);
    va_end(args);
    return length;
}

int LogLastError(uint32_t flags, uint8_t category, uint32_t code, const wchar_t* format, ...) {
    const DWORD error = GetLastError();
    va_list args;
    va_start(args, format);
    const int length = LogSystemErrorV(flags, category, code, error, format, args);
    va_end(args);
    return length;
}

int LogTrace(const wchar_t* format, ...) {
    CLogger& logger = GetProcessLogger();
    if (logger.GetFileThreshold() < LogLevelTrace) return 0;
    va_list args;
    va_start(args, format);
    const int length = logger.SendV(LogLevelTrace, LogCategoryShared, 0, format, args);
    va_end(args);
    return length;
}

std::wstring GetSystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    PlatformHelpers::UniqueLocalMemory owner(buffer);
    if (length == 0 || !buffer) return {};
    std::wstring text(buffer, length);
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    LogText::TrimTrailingSpace(text);
    return text;
}
