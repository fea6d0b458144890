#pragma once
// Archiving of rotated log files: each rotated file is packed into a zip archive
// beside it on a thread of its own, old archives of the same log are deleted, and
// the rotated file goes once it is safely archived. At process exit running
// archivers get a bounded time to finish.
#include "platform/UniqueResource.h"

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

class CLogger;
class CLogArchiveWaiter;

class ILogArchive {
public:
    // Signals the done event; releases the module reference unless a thread
    // procedure has taken it over.
    virtual ~ILogArchive();
    // Runs the archiver on a detached worker thread; true when the thread runs.
    virtual bool Start() = 0;
    // The archiving work, on the worker thread.
    virtual bool Run() = 0;

    CLogger* GetLogger() const { return logger_; }
    const std::wstring& GetSourceName() const { return sourceName_; }
    bool IsThreadStarted() const { return threadStarted_; }
    // Hands the module reference to the caller, which must release it.
    HMODULE TakeModule();

protected:
    ILogArchive(CLogger* logger, std::wstring sourceName);

    CLogger* logger_;
    std::wstring sourceName_;
    bool threadStarted_ = false;
    PlatformHelpers::UniqueHandle doneEvent_;
    HMODULE module_ = nullptr;
    CLogArchiveWaiter* waiter_;
};

class IOldLogCleaner {
public:
    virtual ~IOldLogCleaner() = default;
    // Deletes the oldest archives of the log so that a new one keeps the number
    // within the logger's keep count.
    virtual void DeleteOldArchives() = 0;
    // Deletes the rotated log file itself.
    virtual bool DeleteBackupFile() = 0;

protected:
    IOldLogCleaner(CLogger* logger, std::wstring fileName)
        : logger_(logger), fileName_(std::move(fileName)) {}

    CLogger* logger_;
    std::wstring fileName_;
};

class COldLogCleaner : public IOldLogCleaner {
public:
    COldLogCleaner(CLogger* logger, std::wstring fileName)
        : IOldLogCleaner(logger, std::move(fileName)) {}
    void DeleteOldArchives() override;
    bool DeleteBackupFile() override;
};

class CLogArchive : public ILogArchive {
public:
    CLogArchive(CLogger* logger, std::wstring sourceName);
    bool Start() override;
    bool Run() override;

private:
    bool ArchiveSource();

    bool deleteBackupEvenIfArchivingFailed_ = false;
    std::shared_ptr<IOldLogCleaner> cleaner_;
};

// Holds the done event of every archiver the process created; at process exit it
// waits for those still running, 20 seconds at most in total.
class CLogArchiveWaiter {
public:
    static constexpr DWORD WaitLimitMilliseconds = 20000;

    CLogArchiveWaiter();
    virtual ~CLogArchiveWaiter();
    CLogArchiveWaiter(const CLogArchiveWaiter&) = delete;
    CLogArchiveWaiter& operator=(const CLogArchiveWaiter&) = delete;

    // Takes ownership of `event`.
    void AddEvent(HANDLE event);
    // Waits until every event is signalled or the limit has passed, then closes
    // them all. The list is empty afterwards.
    void WaitForAll(DWORD limitMilliseconds);

private:
    CRITICAL_SECTION lock_;
    std::vector<HANDLE> events_;
};

// The process-wide waiter, created on first use and run at process exit.
CLogArchiveWaiter& GetLogArchiveWaiter();

// Takes ownership of `archive` and starts it while the logger's rotation is
// marked busy; otherwise, or when it cannot start, the archive is destroyed.
bool StartLogArchive(ILogArchive* archive);

// The archive path for a rotated log: its name without extension, " (n)" for the
// first n that is free, and ".zip".
std::wstring MakeArchiveName(const std::wstring& sourceName);
// The pattern that finds every archive of the log a rotated file came from, or
// empty when its file name has no "_".
std::wstring MakeArchiveSearchPattern(const std::wstring& fileName);
