#pragma once
// Minidumps of a process that dies of an unhandled exception. The filter runs on
// the crashing thread and has a separate writer thread write the dump into the
// machine-wide dumps folder while the crashing thread waits.
#include "debug/DumpsFolder.h"

#include <windows.h>
#include <dbghelp.h>

class ILogArchive;

namespace Debug {

// Handed from the filter to the writer thread; lives on the filter's stack.
struct DumpParams {
    virtual ~DumpParams() = default;

    MINIDUMP_TYPE dumpType = MiniDumpNormal;
    const wchar_t* dumpFilePath = nullptr;
    EXCEPTION_POINTERS* exceptionPointers = nullptr;
    DWORD crashedThreadId = 0;
    DWORD processId = 0;
    DWORD writerThreadId = 0;
    HANDLE process = nullptr;
    bool processHandleIsSnapshot = false;
    bool dumpWritten = false;
};

// The dumps folder, prepared once per process; empty when preparation failed.
class CDumpsFolderSetup {
public:
    CDumpsFolderSetup();
    virtual ~CDumpsFolderSetup() = default;
    CDumpsFolderSetup(const CDumpsFolderSetup&) = delete;
    CDumpsFolderSetup& operator=(const CDumpsFolderSetup&) = delete;

    const wchar_t* GetFolder() const { return folder_; }

private:
    wchar_t folder_[DumpsFolderLength];
};

// The process-wide unhandled-exception filter. Always lets the exception go on to
// the system's handling (EXCEPTION_CONTINUE_SEARCH) after the dump is written.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exceptionPointers);

// Writer thread routine; `params` is a DumpParams. Exit code 1 when the dump was
// written, 0 when not, 0xFFFFFFFF without params.
unsigned __stdcall DumpWriterThread(void* params);

// MiniDumpWriteDump callback: leaves the writer thread out of the dump.
BOOL CALLBACK DumpCallback(PVOID params, PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output);

// Thread routine of a log archiver (an ILogArchive): installs the crash filter,
// runs the archiver, ends its rotation, destroys it and ends the thread while
// releasing the archiver's module reference. Returns 0.
unsigned __stdcall RunWithCrashDumps(void* archiver);

// Dump file name for a local time: "Crash YYYY-MM-DD HH-MM-SS.dmp".
void FormatDumpFileName(const SYSTEMTIME& localTime, wchar_t (&name)[MAX_PATH]);
// Full dump path in `path`; false when the folder is too long to hold a name.
bool MakeDumpFilePath(const wchar_t* folder, const wchar_t* fileName, wchar_t (&path)[2 * MAX_PATH]);

// The folder the filter writes into; null until a guarded routine has run.
const wchar_t* GetDumpsFolder();

}  // namespace Debug
