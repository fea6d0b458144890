#include "log/Logger.h"

#include "log/CorrelationId.h"
#include "log/LogText.h"
#include "log/Rotation.h"
#include "platform/UniqueResource.h"

#include <cstdio>
#include <cstring>
#include <ctime>

using PlatformHelpers::UniqueEventSource;
using PlatformHelpers::UniqueFile;
using PlatformHelpers::UniqueHandle;

namespace {

constexpr DWORD EventLogEventId = 5000;
constexpr wchar_t SuppressionNotice[] = L" This log is suppressed for the next 30 minutes.\n";

std::atomic<bool> consoleOutput{false};
SRWLOCK eventSourceLock = SRWLOCK_INIT;
wchar_t eventSourceName[LogMaxPathLength + 1] = L"Q7 Application";

wchar_t LevelLetter(uint32_t level) {
    static constexpr wchar_t letters[] = L"CEWIDT";
    return level < 6 ? letters[level] : L'X';
}

WORD EventType(uint32_t level) {
    if (level <= LogLevelError) return EVENTLOG_ERROR_TYPE;
    if (level == LogLevelWarning) return EVENTLOG_WARNING_TYPE;
    return EVENTLOG_INFORMATION_TYPE;
}

// "[L KK/NNNNNNNN/Txxxx/Pxxxx[/Sxxxx][/Cxxxx]] " and the time stamp.
std::wstring BuildLineStart(uint32_t level, uint8_t category, uint32_t code, uint32_t sValue,
                            uint32_t now) {
    wchar_t buffer[160];
    int length = 0;
    if (category != LogCategoryNoPrefix) {
        const wchar_t letter = LevelLetter(level);
        const DWORD thread = GetCurrentThreadId();
        const DWORD process = GetCurrentProcessId();
        CCorrelationId& correlation = GetThreadCorrelationId();
        const uint32_t correlationId = correlation.GetId();
        if (sValue != 0 && correlationId != 0) {
            length = _snwprintf(buffer, 160, L"[%c %02X/%08X/T%04X/P%04X/S%04X/C%04X] ", letter,
                                category, code, thread, process, sValue, correlationId);
        } else if (sValue != 0) {
            length = _snwprintf(buffer, 160, L"[%c %02X/%08X/T%04X/P%04X/S%04X] ", letter,
                                category, code, thread, process, sValue);
        } else if (correlationId != 0) {
            length = _snwprintf(buffer, 160, L"[%c %02X/%08X/T%04X/P%04X/C%04X] ", letter,
                                category, code, thread, process, correlationId);
        } else {
            length = _snwprintf(buffer, 160, L"[%c %02X/%08X/T%04X/P%04X] ", letter, category,
                                code, thread, process);
        }
    }
    // The clock gives unsigned 32-bit seconds; widening keeps times after 2038 right.
    const __time64_t seconds = now;
    struct tm local = {};
    if (_localtime64_s(&local, &seconds) != 0) local = tm{};
    length += _snwprintf(buffer + length, 160 - length, L"%02d-%02d-%02d %02d:%02d:%02d - ",
                         local.tm_mday, local.tm_mon + 1, local.tm_year - 100, local.tm_hour,
                         local.tm_min, local.tm_sec);
    return std::wstring(buffer, static_cast<size_t>(length));
}

std::wstring MessagePart(const std::wstring& line, size_t messageStart) {
    return messageStart < line.size() ? line.substr(messageStart) : std::wstring();
}

// Opened and closed per line so that other processes may read the file meanwhile.
void AppendToFile(const std::wstring& path, const std::wstring& line) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER end = {};
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END)) return;

    std::wstring text;
    text.reserve(line.size() + 4);
    if (end.QuadPart == 0) text.append(L"\xFEFF\r\n");
    if (!line.empty() && line.back() == L'\n') {
        text.append(line, 0, line.size() - 1);
        text.append(L"\r\n");
    } else {
        text.append(line);
    }
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
              &written, nullptr);
}

void ReportToEventLog(uint32_t level, const std::wstring& message) {
    UniqueEventSource source(RegisterEventSourceW(nullptr, GetLogEventSourceName().c_str()));
    if (!source) return;
    const wchar_t* strings[] = {message.c_str()};
    ReportEventW(source.get(), EventType(level), 0, EventLogEventId, nullptr, 1, 0, strings,
                 nullptr);
}

void FillSharedBlock(LogSharedBlock& block, const std::wstring& eventName, uint32_t flags,
                     uint32_t code, const std::wstring& message) {
    UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName.c_str()));
    if (!event) return;
    block.flags = flags;
    block.code = code;
    const size_t capacity = sizeof(block.text) / sizeof(block.text[0]);
    const size_t length = message.size() < capacity ? message.size() : capacity;
    std::memcpy(block.text, message.data(), length * sizeof(wchar_t));
    if (length < capacity) block.text[length] = L'\0';
    SetEvent(event.get());
}

// fputws rather than wprintf: in C++ the libstdc++ headers switch wprintf to the
// C99 flavour, where %s would mean a narrow string.
void PrintToConsole(const std::wstring& text) {
    fputws(text.c_str(), stdout);
    fflush(stdout);
}

}  // namespace

uint32_t GetSystemClockSeconds() { return static_cast<uint32_t>(_time64(nullptr)); }

CLogger::CLogger()
    : suppressionList_(std::make_unique<CLogSuppressionList>()), clock_(GetSystemClockSeconds) {
    InitializeCriticalSection(&ownLock_);
}

CLogger::~CLogger() { DeleteCriticalSection(&ownLock_); }

bool CLogger::SetLogPath(const std::wstring& path) {
    if (path.size() > LogMaxPathLength) return false;
    logPath_ = path;
    return true;
}

bool CLogger::SetSecondaryPath(const std::wstring& path) {
    if (path.size() > LogMaxPathLength) return false;
    secondaryPath_ = path;
    return true;
}

void CLogger::SetMutex(HANDLE mutex) { mutex_ = mutex; }
void CLogger::SetEventName(const std::wstring& name) { eventName_ = name; }
void CLogger::SetSharedBlock(LogSharedBlock* block) { sharedBlock_ = block; }

void CLogger::SetCallback(LogCallback callback, uint32_t threshold, void* context) {
    callback_ = callback;
    callbackThreshold_ = threshold;
    callbackContext_ = context;
}

void CLogger::SetClock(LogClock clock) { clock_ = clock ? clock : GetSystemClockSeconds; }

CLogger::ScopedWriteLock::ScopedWriteLock(CLogger& logger) : logger_(logger) {
    if (logger_.mutex_) {
        const DWORD wait = WaitForSingleObject(logger_.mutex_, INFINITE);
        ownsMutex_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    if (!ownsMutex_) EnterCriticalSection(&logger_.ownLock_);
}

CLogger::ScopedWriteLock::~ScopedWriteLock() {
    if (ownsMutex_) {
        ReleaseMutex(logger_.mutex_);
    } else {
        LeaveCriticalSection(&logger_.ownLock_);
    }
}

void CLogger::UpdateRotationTiming(uint32_t flags, uint32_t level, uint32_t now) {
    uint32_t last = lastCheckTime_.load();
    if ((flags & LogFlagCallbackOnly) || level > fileThreshold_ || last == 0) {
        lastCheckTime_.store(now);
        return;
    }
    if (uint64_t{last} + LogRotationCheckInterval >= now) return;
    // Only the thread that moves the time on runs the check.
    if (!lastCheckTime_.compare_exchange_strong(last, now)) return;
    CheckRotation(*this);
    lastCheckTime_.store(now);
}

void CLogger::WriteToSinks(uint32_t flags, uint32_t level, uint32_t code, const std::wstring& line,
                           size_t messageStart) {
    if (!logPath_.empty()) AppendToFile(logPath_, line);
    const std::wstring message = MessagePart(line, messageStart);
    if (flags & LogFlagEventLog) ReportToEventLog(level, message);
    if (sharedBlock_ && (level == LogLevelError || level == LogLevelWarning)) {
        FillSharedBlock(*sharedBlock_, eventName_, flags, code, message);
    }
    if (GetLogConsoleOutput() || (flags & LogFlagConsole)) {
        PrintToConsole(level == LogLevelTrace ? message : line);
    }
}

int CLogger::SendV(uint32_t flags, uint8_t category, uint32_t code, const wchar_t* format,
                   va_list args) {
    const uint32_t level = flags & LogLevelMask;
    if (!Admits(level)) return 0;

    const uint32_t now = clock_();
    std::wstring line = BuildLineStart(level, category, code, sValue_, now);
    const size_t messageStart = line.size();
    line += LogText::FormatV(format, args);
    LogText::TrimTrailingSpace(line);
    line += L'\n';

    UpdateRotationTiming(flags, level, now);

    bool dropped = false;
    {
        ScopedWriteLock lock(*this);
        if ((flags & LogFlagSuppressRepeats) && suppressionList_) {
            switch (suppressionList_->Consult(line, messageStart, now)) {
            case CLogSuppressionList::LogWithNotice:
                LogText::TrimTrailingSpace(line);
                line += SuppressionNotice;
                break;
            case CLogSuppressionList::Drop:
                dropped = true;
                break;
            case CLogSuppressionList::LogNormally:
                break;
            }
        }
        if (!dropped && !(flags & LogFlagCallbackOnly) && level <= fileThreshold_) {
            WriteToSinks(flags, level, code, line, messageStart);
        }
    }
    if (dropped) return 0;

    if (callback_ && level <= callbackThreshold_) {
        std::wstring message = MessagePart(line, messageStart);
        LogText::TrimTrailingSpace(message);
        if (!message.empty()) {
            std::wstring text;
            if (category == LogCategoryNoPrefix) {
                text = message;
            } else {
                wchar_t prefix[32];
                _snwprintf(prefix, 32, L"[%c %02X/%08X] ", LevelLetter(level), category, code);
                text = prefix + message;
            }
            callback_(flags, text.c_str(), callbackContext_);
        }
    }
    return static_cast<int>(line.size());
}

CLogger& GetProcessLogger() {
    static CLogger* const logger = new CLogger();
    return *logger;
}

void SetLogConsoleOutput(bool on) { consoleOutput.store(on); }
bool GetLogConsoleOutput() { return consoleOutput.load(); }

bool SetLogEventSourceName(const std::wstring& name) {
    if (name.size() > LogMaxPathLength) return false;
    AcquireSRWLockExclusive(&eventSourceLock);
    wcscpy(eventSourceName, name.c_str());
    ReleaseSRWLockExclusive(&eventSourceLock);
    return true;
}

std::wstring GetLogEventSourceName() {
    AcquireSRWLockShared(&eventSourceLock);
    std::wstring name = eventSourceName;
    ReleaseSRWLockShared(&eventSourceLock);
    return name;
}
