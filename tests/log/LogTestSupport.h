#pragma once
// Helpers for tests that read what the logger wrote.
#include "log/Logger.h"

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

namespace LogTest {

// A private folder under the temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static LONG counter = 0;
        path_ = std::wstring(base) + L"logtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&counter));
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((path_ + L"\\" + data.cFileName).c_str());
            } while (FindNextFileW(search, &data));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::wstring File(const wchar_t* name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

inline bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::vector<unsigned char> ReadBytes(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

// The file's UTF-16 text, byte-order mark included.
inline std::wstring ReadText(const std::wstring& path) {
    const std::vector<unsigned char> bytes = ReadBytes(path);
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return text;
}

inline std::vector<unsigned char> Utf16Bytes(const std::wstring& text) {
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

// A settable clock for the logger.
inline uint32_t fakeNow = 0;
inline uint32_t FakeClock() { return fakeNow; }

// The time stamp for `seconds`, worked out through the Win32 time zone calls.
inline std::wstring StampFor(uint32_t seconds) {
    const uint64_t ticks = (uint64_t{seconds} + 11644473600ull) * 10000000ull;
    FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utcTime, local;
    FileTimeToSystemTime(&utc, &utcTime);
    SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local);
    wchar_t stamp[32];
    _snwprintf(stamp, 32, L"%02d-%02d-%02d %02d:%02d:%02d - ", local.wDay, local.wMonth,
               local.wYear - 2000, local.wHour, local.wMinute, local.wSecond);
    return stamp;
}

// The bracket every line of this thread carries, for a level letter, category and code.
inline std::wstring Bracket(wchar_t letter, unsigned category, unsigned code) {
    wchar_t text[64];
    _snwprintf(text, 64, L"[%c %02X/%08X/T%04X/P%04X] ", letter, category, code,
               static_cast<unsigned>(GetCurrentThreadId()),
               static_cast<unsigned>(GetCurrentProcessId()));
    return text;
}

// Points the process-wide logger at a file for one test and restores it afterwards.
class ProcessLoggerScope {
public:
    ProcessLoggerScope(const std::wstring& path, uint32_t fileThreshold) {
        CLogger& logger = GetProcessLogger();
        savedThreshold_ = logger.GetFileThreshold();
        logger.SetLogPath(path);
        logger.SetFileThreshold(fileThreshold);
    }
    ~ProcessLoggerScope() {
        CLogger& logger = GetProcessLogger();
        logger.SetLogPath(L"");
        logger.SetFileThreshold(savedThreshold_);
    }
    ProcessLoggerScope(const ProcessLoggerScope&) = delete;
    ProcessLoggerScope& operator=(const ProcessLoggerScope&) = delete;

private:
    uint32_t savedThreshold_;
};

}  // namespace LogTest
