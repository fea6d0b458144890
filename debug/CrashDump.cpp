#include "debug/CrashDump.h"

#include "debug/Threads.h"
#include "log/Log.h"
#include "log/LogArchive.h"
#include "log/Logger.h"
#include "platform/UniqueResource.h"

#include <shlwapi.h>
#include <atomic>
#include <cstdio>
#include <cwchar>

using PlatformHelpers::UniqueFile;
using PlatformHelpers::UniqueHandle;

namespace Debug {
namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

constexpr size_t kDumpPathLength = 2 * MAX_PATH;

std::atomic<const wchar_t*> dumpsFolder{nullptr};

// Loaded once from the system folder only (never by the search path, where a
// planted copy could be picked up) and never unloaded.
MiniDumpWriteDumpFunction LoadMiniDumpWriteDump() {
    static const MiniDumpWriteDumpFunction function = [] () -> MiniDumpWriteDumpFunction {
        wchar_t path[MAX_PATH];
        UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || !PathAppendW(path, L"dbghelp.dll")) return nullptr;
        HMODULE dbghelp = LoadLibraryW(path);
        if (!dbghelp) return nullptr;
        return reinterpret_cast<MiniDumpWriteDumpFunction>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    }();
    return function;
}

CDumpsFolderSetup& GetDumpsFolderSetup() {
    static CDumpsFolderSetup setup;
    return setup;
}

// Restores the previous filter when the guarded work leaves by an exception.
class ScopedFilterRestore {
public:
    explicit ScopedFilterRestore(LPTOP_LEVEL_EXCEPTION_FILTER previous) : previous_(previous) {}
    ~ScopedFilterRestore() { SetUnhandledExceptionFilter(previous_); }
    ScopedFilterRestore(const ScopedFilterRestore&) = delete;
    ScopedFilterRestore& operator=(const ScopedFilterRestore&) = delete;

private:
    LPTOP_LEVEL_EXCEPTION_FILTER previous_;
};

}  // namespace

CDumpsFolderSetup::CDumpsFolderSetup() {
    ZeroMemory(folder_, sizeof(folder_));
    if (!PrepareDumpsFolder(folder_)) folder_[0] = L'\0';
}

const wchar_t* GetDumpsFolder() { return dumpsFolder.load(); }

void FormatDumpFileName(const SYSTEMTIME& localTime, wchar_t (&name)[MAX_PATH]) {
    _snwprintf(name, MAX_PATH, L"%s %04hu-%02hu-%02hu %02hu-%02hu-%02hu.dmp", L"Crash", localTime.wYear,
               localTime.wMonth, localTime.wDay, localTime.wHour, localTime.wMinute, localTime.wSecond);
    name[MAX_PATH - 1] = L'\0';
}

bool MakeDumpFilePath(const wchar_t* folder, const wchar_t* fileName, wchar_t (&path)[kDumpPathLength]) {
    ZeroMemory(path, sizeof(path));
    if (!folder || !*folder) {
        StrCpyNW(path, fileName, kDumpPathLength);
        return true;
    }
    const size_t folderLength = wcslen(folder);
    if (folderLength + MAX_PATH >= kDumpPathLength) return false;
    // Joined here rather than with PathAppendW, which refuses any result of
    // MAX_PATH characters or more and so would drop the dump of a long folder
    // that this buffer holds with room to spare.
    StrCpyNW(path, folder, kDumpPathLength);
    size_t length = folderLength;
    if (path[length - 1] != L'\\') path[length++] = L'\\';
    StrCpyNW(path + length, fileName, static_cast<int>(kDumpPathLength - length));
    return true;
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exceptionPointers) {
    // Only stack memory from here on: the heap may be what broke.
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t fileName[MAX_PATH];
    FormatDumpFileName(now, fileName);
    wchar_t path[kDumpPathLength];
    if (!MakeDumpFilePath(dumpsFolder.load(), fileName, path)) return EXCEPTION_CONTINUE_SEARCH;

    LogMessage(LogLevelError, LogCategoryShared, 0, L"Crash detected: Saving dump in '%s' before exiting", path);

    DumpParams params;
    params.dumpType = MiniDumpNormal;
    params.dumpFilePath = path;
    params.exceptionPointers = exceptionPointers;
    params.crashedThreadId = GetCurrentThreadId();
    params.processId = GetCurrentProcessId();
    params.process = GetCurrentProcess();

    uintptr_t writer = StartThread(DumpWriterThread, &params, L"DumpWriter");
    if (writer == 0) return EXCEPTION_CONTINUE_SEARCH;
    LogMessage(LogLevelInfo, LogCategoryShared, 0, L"Started DumpWriter thread handle %d\n",
               static_cast<int>(writer));
    JoinThread(writer);
    return EXCEPTION_CONTINUE_SEARCH;
}

unsigned __stdcall DumpWriterThread(void* argument) {
    auto* params = static_cast<DumpParams*>(argument);
    if (!params) return 0xFFFFFFFF;
    params->dumpWritten = false;

    MiniDumpWriteDumpFunction writeDump = LoadMiniDumpWriteDump();
    if (!writeDump) return 0;

    UniqueFile file(CreateFileW(params->dumpFilePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;

    params->writerThreadId = GetCurrentThreadId();
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    exception.ThreadId = params->crashedThreadId;
    exception.ExceptionPointers = params->exceptionPointers;
    exception.ClientPointers = FALSE;
    MINIDUMP_CALLBACK_INFORMATION callback{};
    callback.CallbackRoutine = DumpCallback;
    callback.CallbackParam = params;

    // One writer per process at a time: threads that crash together dump in turn.
    wchar_t mutexName[MAX_PATH];
    _snwprintf(mutexName, MAX_PATH, L"MiniDumpWriterLock%u", static_cast<unsigned>(params->processId));
    mutexName[MAX_PATH - 1] = L'\0';
    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, mutexName));
    if (!mutex) return 0;
    DWORD wait = WaitForSingleObject(mutex.get(), INFINITE);
    if (wait != WAIT_OBJECT_0) {
        if (wait == WAIT_ABANDONED) ReleaseMutex(mutex.get());
        return 0;
    }

    BOOL written = writeDump(params->process, params->processId, file.get(), params->dumpType, &exception,
                             nullptr, &callback);
    params->dumpWritten = written == TRUE;
    ReleaseMutex(mutex.get());
    return written == TRUE ? 1 : 0;
}

BOOL CALLBACK DumpCallback(PVOID argument, PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output) {
    if (!input || !output) return FALSE;
    auto* params = static_cast<const DumpParams*>(argument);
    switch (input->CallbackType) {
    case IncludeThreadCallback:
        return input->IncludeThread.ThreadId != params->writerThreadId;
    case ThreadCallback:
        // Some dbghelp implementations (Wine's among them) never ask whether to
        // include a thread and only offer each thread here, where refusing it
        // leaves it out as well. Windows never offers the writer here, since the
        // question above has already excluded it.
        return input->Thread.ThreadId != params->writerThreadId;
    case IsProcessSnapshotCallback:
        // The status shares the output's leading union in dbghelp's own layout;
        // the toolchain header places it elsewhere, so it is written there directly.
        if (params->processHandleIsSnapshot) *reinterpret_cast<HRESULT*>(output) = S_FALSE;
        return TRUE;
    default:
        return TRUE;
    }
}

unsigned __stdcall RunWithCrashDumps(void* argument) {
    auto* archive = static_cast<ILogArchive*>(argument);
    ScopedFilterRestore restoreFilter(SetUnhandledExceptionFilter(CrashDumpFilter));
    dumpsFolder.store(GetDumpsFolderSetup().GetFolder());
    // Hardware exceptions must reach the filter rather than be absorbed by a catch
    // clause. Our toolchain's C++ exceptions never catch structured exceptions
    // (catch (...) included), so unlike MSVC no translator is needed for that.

    archive->Run();

    LONG busy = 1;
    archive->GetLogger()->RotationBusyFlag().compare_exchange_strong(busy, 0);

    HMODULE module = archive->TakeModule();
    delete archive;
    // Leaving the thread here keeps the module loaded until no code of it runs;
    // the filter stays installed for the rest of the process.
    if (module) FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace Debug
