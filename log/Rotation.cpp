#include "log/Rotation.h"

#include "log/Log.h"
#include "log/LogArchive.h"
#include "log/Logger.h"

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>

namespace {

constexpr uint32_t RenameReportCode = 100;
constexpr uint32_t RenameFailureCode = 101;

void ClearBusyFlag(CLogger& logger) {
    LONG busy = 1;
    logger.RotationBusyFlag().compare_exchange_strong(busy, 0);
}

enum class RotationStep { NotNeeded, StatusFailed, RenameFailed, Renamed };

}  // namespace

SYSTEMTIME ClockSecondsToUtc(uint32_t seconds) {
    constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
    const uint64_t ticks = kUnixEpochAsFileTime + static_cast<uint64_t>(seconds) * 10000000ull;
    FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    FileTimeToSystemTime(&fileTime, &utc);
    return utc;
}

std::wstring MakeRotatedName(const std::wstring& path, const SYSTEMTIME& utc) {
    const size_t dot = path.rfind(L'.');
    wchar_t stamp[32];
    _snwprintf(stamp, 32, L"_%04d_%02d_%02d__%02d_%02d", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
               utc.wMinute);
    stamp[31] = L'\0';
    if (dot == std::wstring::npos) return path + stamp;
    return path.substr(0, dot) + stamp + path.substr(dot);
}

void CheckRotation(CLogger& logger) {
    if (logger.GetKeepCount() == 0) return;
    LONG idle = 0;
    if (!logger.RotationBusyFlag().compare_exchange_strong(idle, 1)) return;

    const std::wstring path = logger.GetLogPath();
    if (logger.GetSecondaryPath().empty() || path.empty() ||
        GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ClearBusyFlag(logger);
        return;
    }

    RotationStep step = RotationStep::NotNeeded;
    DWORD renameError = 0;
    std::wstring rotatedName;
    {
        // No other writer may append while the file is measured and moved. The lock
        // is recursive, so the failed status read is reported while holding it.
        CLogger::ScopedWriteLock lock(logger);
        if (logger.GetMaxFileSize() == 0) logger.SetMaxFileSize(DefaultMaxLogFileSize);
        struct _stat64 status;
        if (_wstat64(path.c_str(), &status) != 0) {
            const int statusError = errno;
            if (statusError != ENOENT)
                LogMessageTo(&logger, LogLevelError, LogCategoryShared, 0, L"Failed to open %s [%d]\n",
                             path.c_str(), statusError);
            step = RotationStep::StatusFailed;
        } else if (static_cast<uint64_t>(status.st_size) > logger.GetMaxFileSize()) {
            rotatedName = MakeRotatedName(path, ClockSecondsToUtc(logger.Now()));
            step = MoveFileW(path.c_str(), rotatedName.c_str()) ? RotationStep::Renamed : RotationStep::RenameFailed;
            if (step == RotationStep::RenameFailed) renameError = GetLastError();
        }
    }

    switch (step) {
    case RotationStep::NotNeeded:
    case RotationStep::StatusFailed:
        ClearBusyFlag(logger);
        return;
    case RotationStep::RenameFailed:
        LogMessageTo(&logger, LogLevelError, LogCategoryShared, RenameFailureCode,
                     L"Failed renaming log file from %s to %s [%d]\n", path.c_str(), rotatedName.c_str(),
                     static_cast<int>(renameError));
        ClearBusyFlag(logger);
        return;
    case RotationStep::Renamed:
        LogMessageTo(&logger, LogLevelInfo, LogCategoryShared, RenameReportCode, L"Renaming log file from %s to %s\n",
                     path.c_str(), rotatedName.c_str());
        // A started archiver clears the busy flag when it has finished.
        if (!StartLogArchive(new CLogArchive(&logger, rotatedName))) ClearBusyFlag(logger);
        return;
    }
}
