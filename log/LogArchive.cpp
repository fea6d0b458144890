#include "log/LogArchive.h"

#include "debug/CrashDump.h"
#include "debug/Threads.h"
#include "log/Log.h"
#include "log/Logger.h"
#include "platform/UniqueResource.h"
#include "zip/ZipWriter.h"

#include <algorithm>
#include <map>

using PlatformHelpers::UniqueFindHandle;

namespace {

constexpr uint32_t BackupDeleteFailureCode = 100;

std::wstring GetFolderWithSeparator(const std::wstring& path) {
    size_t separator = path.rfind(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t ToUint64(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// ---- ILogArchive -----------------------------------------------------------

ILogArchive::ILogArchive(CLogger* logger, std::wstring sourceName)
    : logger_(logger), sourceName_(std::move(sourceName)), waiter_(&GetLogArchiveWaiter()) {
    // The reference keeps this code loaded until the worker thread has left it.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&StartLogArchive), &module_);
    doneEvent_.reset(CreateEventExW(nullptr, nullptr, 0, EVENT_ALL_ACCESS));
    HANDLE waiterCopy = nullptr;
    if (doneEvent_ && DuplicateHandle(GetCurrentProcess(), doneEvent_.get(), GetCurrentProcess(),
                                      &waiterCopy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        waiter_->AddEvent(waiterCopy);
}

ILogArchive::~ILogArchive() {
    if (doneEvent_) SetEvent(doneEvent_.get());
    if (module_) FreeLibrary(module_);
}

HMODULE ILogArchive::TakeModule() { return std::exchange(module_, nullptr); }

// ---- CLogArchive -----------------------------------------------------------

CLogArchive::CLogArchive(CLogger* logger, std::wstring sourceName)
    : ILogArchive(logger, sourceName),
      cleaner_(std::make_shared<COldLogCleaner>(logger, std::move(sourceName))) {}

bool CLogArchive::Start() {
    threadStarted_ = true;
    uintptr_t thread = Debug::StartThread(Debug::RunWithCrashDumps, this, L"CLogArchive");
    if (thread == 0) {
        threadStarted_ = false;
        return false;
    }
    // The thread may already have finished and destroyed this object.
    Debug::DetachThread(thread);
    return true;
}

bool CLogArchive::Run() {
    cleaner_->DeleteOldArchives();
    if (logger_->GetKeepCount() == 0) return true;
    bool archived = ArchiveSource();
    if (!archived && !deleteBackupEvenIfArchivingFailed_) return false;
    return cleaner_->DeleteBackupFile() && archived;
}

bool CLogArchive::ArchiveSource() {
    const std::wstring archiveName = MakeArchiveName(sourceName_);
    CZipWriter writer;
    if (!writer.Open(archiveName)) {
        LogMessageTo(logger_, LogLevelError, LogCategoryShared, 0, L"Failed to open archive file %s\n",
                     archiveName.c_str());
        return false;
    }
    bool added = writer.AddFile(sourceName_);
    // An archive whose directory could not be written is unreadable: the log must
    // not be deleted on the strength of it.
    bool closed = writer.Close();
    if (added && closed) {
        LogMessageTo(logger_, LogLevelInfo, LogCategoryShared, 0, L"Archived %s to %s\n",
                     sourceName_.c_str(), archiveName.c_str());
        return true;
    }
    LogMessageTo(logger_, LogLevelError, LogCategoryShared, 0, L"Failed to archive %s to %s\n",
                 sourceName_.c_str(), archiveName.c_str());
    return false;
}

std::wstring MakeArchiveName(const std::wstring& sourceName) {
    const std::wstring base = sourceName.substr(0, sourceName.rfind(L'.'));
    for (unsigned i = 0;; ++i) {
        std::wstring candidate = base;
        if (i > 0) candidate += L" (" + std::to_wstring(i) + L")";
        candidate += L".zip";
        if (!PathExists(candidate)) return candidate;
    }
}

// ---- COldLogCleaner --------------------------------------------------------

std::wstring MakeArchiveSearchPattern(const std::wstring& fileName) {
    size_t nameStart = fileName.rfind(L'\\');
    nameStart = nameStart == std::wstring::npos ? 0 : nameStart + 1;
    size_t underscore = fileName.rfind(L'_');
    // An underscore only in a folder name would make the pattern match unrelated
    // files of a parent folder, which would then be deleted.
    if (underscore == std::wstring::npos || underscore < nameStart) return {};
    std::wstring pattern = fileName.substr(0, underscore);
    for (;;) {
        underscore = pattern.rfind(L'_');
        if (underscore == std::wstring::npos || underscore < nameStart) break;
        pattern.resize(underscore);
    }
    return pattern + L"_*.zip";
}

void COldLogCleaner::DeleteOldArchives() {
    const std::wstring pattern = MakeArchiveSearchPattern(fileName_);
    if (pattern.empty()) return;

    // Oldest first; archives written at the same moment count once.
    std::map<uint64_t, std::wstring> archives;
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW(pattern.c_str(), &found));
    if (!search) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            archives[ToUint64(found.ftLastWriteTime)] = found.cFileName;
    } while (FindNextFileW(search.get(), &found));

    const size_t keepCount = logger_->GetKeepCount();
    if (archives.size() < keepCount) return;
    size_t toDelete = keepCount == 0 ? archives.size() : archives.size() - (keepCount - 1);
    const std::wstring folder = GetFolderWithSeparator(fileName_);
    for (auto it = archives.begin(); it != archives.end() && toDelete > 0; ++it, --toDelete)
        DeleteFileW((folder + it->second).c_str());
}

bool COldLogCleaner::DeleteBackupFile() {
    if (DeleteFileW(fileName_.c_str())) return true;
    LogLastError(LogLevelWarning, LogCategoryShared, BackupDeleteFailureCode,
                 L"Failed to delete temporary backup file %s", fileName_.c_str());
    return false;
}

// ---- CLogArchiveWaiter -----------------------------------------------------

CLogArchiveWaiter::CLogArchiveWaiter() { InitializeCriticalSection(&lock_); }

CLogArchiveWaiter::~CLogArchiveWaiter() {
    WaitForAll(WaitLimitMilliseconds);
    DeleteCriticalSection(&lock_);
}

void CLogArchiveWaiter::AddEvent(HANDLE event) {
    EnterCriticalSection(&lock_);
    events_.push_back(event);
    LeaveCriticalSection(&lock_);
}

void CLogArchiveWaiter::WaitForAll(DWORD limitMilliseconds) {
    EnterCriticalSection(&lock_);
    std::vector<HANDLE> events;
    events.swap(events_);
    LeaveCriticalSection(&lock_);

    // One wait takes at most 64 handles: wait group by group on one shared deadline.
    const ULONGLONG deadline = GetTickCount64() + limitMilliseconds;
    for (size_t first = 0; first < events.size(); first += MAXIMUM_WAIT_OBJECTS) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        const DWORD count = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, events.size() - first));
        if (WaitForMultipleObjects(count, events.data() + first, TRUE, static_cast<DWORD>(deadline - now)) ==
            WAIT_TIMEOUT)
            break;
    }
    for (HANDLE event : events) CloseHandle(event);
}

CLogArchiveWaiter& GetLogArchiveWaiter() {
    static CLogArchiveWaiter waiter;
    return waiter;
}

// ---- StartLogArchive -------------------------------------------------------

bool StartLogArchive(ILogArchive* archive) {
    std::unique_ptr<ILogArchive> owned(archive);
    if (!owned || owned->GetLogger()->RotationBusyFlag().load() == 0) return false;
    if (!owned->Start()) return false;
    // The worker thread owns the archive now and destroys it when it is done.
    owned.release();
    return true;
}
