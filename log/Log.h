#pragma once
// The logging calls every subsystem uses. The process-wide logger behind them and
// its configuration live in log/Logger.h.
#include <windows.h>
#include <cstdint>
#include <string>

class CLogger;

enum LogLevel : uint32_t {
    LogLevelCritical = 0,
    LogLevelError = 1,
    LogLevelWarning = 2,
    LogLevelInfo = 3,
    LogLevelDebug = 4,
    LogLevelTrace = 5,
};

constexpr uint32_t LogLevelMask = 0x0000000F;
constexpr uint32_t LogFlagEventLog = 0x10000000;
constexpr uint32_t LogFlagConsole = 0x20000000;
constexpr uint32_t LogFlagCallbackOnly = 0x40000000;
constexpr uint32_t LogFlagSuppressRepeats = 0x80000000;

constexpr uint8_t LogCategoryShared = 0x00;
constexpr uint8_t LogCategoryBranding = 0x74;
constexpr uint8_t LogCategoryZipExtraction = 0x89;
constexpr uint8_t LogCategoryNoPrefix = 0xFF;

// Each returns the length in characters of the line built, or 0 when no sink
// admitted the level or the line was dropped as a repeat. Formats follow the
// Windows wide printf convention (%s is a wide string).
int LogMessage(uint32_t flags, uint8_t category, uint32_t code, const wchar_t* format, ...);
int LogMessageTo(CLogger* logger, uint32_t flags, uint8_t category, uint32_t code,
                 const wchar_t* format, ...);
int LogSystemError(uint32_t flags, uint8_t category, uint32_t code, DWORD error,
                   const wchar_t* format, ...);
int LogLastError(uint32_t flags, uint8_t category, uint32_t code, const wchar_t* format, ...);
int LogTrace(const wchar_t* format, ...);

// The system's message text for an error code, on one line; empty when there is none.
std::wstring GetSystemErrorText(DWORD error);
