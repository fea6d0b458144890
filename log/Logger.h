#pragma once
// The process-wide logger: its fields, the host's configuration calls and what the
// rotation code needs to see of it.
#include "log/Log.h"
#include "log/LogSuppressionList.h"

#include <windows.h>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

// Receives admitted lines; runs outside the write lock. The result is ignored.
using LogCallback = int (*)(uint32_t flags, const wchar_t* text, void* context);
// Current time in whole seconds since 1970 (a 32-bit time value).
using LogClock = uint32_t (*)();

// Record exchanged with a monitoring process through shared memory. The logger
// fills it for errors and warnings and then sets the named event.
struct LogSharedBlock {
    wchar_t text[512];  // NUL-terminated only when shorter than 512 code units
    uint32_t flags;
    uint32_t code;
};
static_assert(sizeof(LogSharedBlock) == 1032, "the block layout is shared with other processes");

constexpr size_t LogMaxPathLength = 260;
constexpr uint32_t LogRotationCheckInterval = 300;  // seconds

class CLogger {
public:
    CLogger();
    ~CLogger();
    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

    // Configuration. Set it up before threads start logging through this logger.
    // Paths longer than LogMaxPathLength are refused.
    bool SetLogPath(const std::wstring& path);
    bool SetSecondaryPath(const std::wstring& path);
    void SetMutex(HANDLE mutex);  // not owned; null for none
    void SetEventName(const std::wstring& name);
    void SetSharedBlock(LogSharedBlock* block);  // not owned; null for none
    void SetCallback(LogCallback callback, uint32_t threshold, void* context);
    void SetFileThreshold(uint32_t level) { fileThreshold_ = level; }
    void SetSValue(uint32_t value) { sValue_ = value; }
    void SetMaxFileSize(uint32_t bytes) { maxFileSize_ = bytes; }
    void SetKeepCount(uint32_t count) { keepCount_ = count; }
    void SetClock(LogClock clock);  // null restores the real clock

    const std::wstring& GetLogPath() const { return logPath_; }
    const std::wstring& GetSecondaryPath() const { return secondaryPath_; }
    HANDLE GetMutex() const { return mutex_; }
    uint32_t GetFileThreshold() const { return fileThreshold_; }
    uint32_t GetCallbackThreshold() const { return callbackThreshold_; }
    uint32_t GetSValue() const { return sValue_; }
    uint32_t GetMaxFileSize() const { return maxFileSize_; }
    uint32_t GetKeepCount() const { return keepCount_; }
    uint32_t GetLastCheckTime() const { return lastCheckTime_.load(); }
    void SetLastCheckTime(uint32_t seconds) { lastCheckTime_.store(seconds); }
    uint32_t Now() const { return clock_(); }
    // Rotation and archiving claim the file with a compare-exchange from 0 to 1.
    std::atomic<LONG>& RotationBusyFlag() { return rotationBusy_; }
    CLogSuppressionList* GetSuppressionList() { return suppressionList_.get(); }

    // Held around every write and every rotation step: the configured mutex, or
    // the logger's own lock when there is none (or the wait on it fails), so that
    // threads of one process never race on the file or the suppression list.
    // Both are recursive: the holder may log.
    class ScopedWriteLock {
    public:
        explicit ScopedWriteLock(CLogger& logger);
        ~ScopedWriteLock();
        ScopedWriteLock(const ScopedWriteLock&) = delete;
        ScopedWriteLock& operator=(const ScopedWriteLock&) = delete;

    private:
        CLogger& logger_;
        bool ownsMutex_ = false;
    };

    // Builds the line and hands it to the sinks; see LogMessage.
    int SendV(uint32_t flags, uint8_t category, uint32_t code, const wchar_t* format, va_list args);

private:
    bool Admits(uint32_t level) const {
        return level <= fileThreshold_ || level <= callbackThreshold_;
    }
    void UpdateRotationTiming(uint32_t flags, uint32_t level, uint32_t now);
    void WriteToSinks(uint32_t flags, uint32_t level, uint32_t code, const std::wstring& line,
                      size_t messageStart);

    std::wstring logPath_;
    std::wstring secondaryPath_;
    HANDLE mutex_ = nullptr;
    std::wstring eventName_;
    LogSharedBlock* sharedBlock_ = nullptr;
    std::atomic<uint32_t> lastCheckTime_{0};
    LogCallback callback_ = nullptr;
    uint32_t callbackThreshold_ = 0;
    void* callbackContext_ = nullptr;
    uint32_t maxFileSize_ = 0;
    uint32_t keepCount_ = 5;
    uint32_t fileThreshold_ = 5;
    std::atomic<LONG> rotationBusy_{0};
    uint32_t sValue_ = 0;
    std::unique_ptr<CLogSuppressionList> suppressionList_;

    LogClock clock_;
    CRITICAL_SECTION ownLock_;
};

// The logger that LogMessage and its companions write to. It is never destroyed,
// so threads still logging while the process exits stay safe.
CLogger& GetProcessLogger();

// Process-wide settings beside the logger.
void SetLogConsoleOutput(bool on);  // every admitted line also goes to standard output
bool GetLogConsoleOutput();
bool SetLogEventSourceName(const std::wstring& name);  // "Q7 Application" until changed
std::wstring GetLogEventSourceName();

// The real clock: _time64 truncated to 32 bits.
uint32_t GetSystemClockSeconds();
