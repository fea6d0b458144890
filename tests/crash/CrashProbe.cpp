// A process for the crash and exit tests: runs archivers on guarded threads the
// way the log rotation does, and then crashes or exits while they run.
//   CrashProbe crash <log file>        a null write on a guarded thread
//   CrashProbe exitwait <ms> <count> <marker file>
//       <count> archivers that finish at once, then one that works <ms> and then
//       writes the marker; main returns while it works
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "debug/CrashDump.h"
#include "debug/Threads.h"
#include "log/LogArchive.h"
#include "log/Logger.h"

namespace {

std::atomic<int> finishedArchivers{0};

class ProbeArchive : public ILogArchive {
public:
    ProbeArchive(DWORD workMilliseconds, std::wstring marker, bool crash)
        : ILogArchive(&GetProcessLogger(), L"probe"), work_(workMilliseconds), marker_(std::move(marker)),
          crash_(crash) {}
    ~ProbeArchive() override { ++finishedArchivers; }

    bool Start() override {
        threadStarted_ = true;
        uintptr_t thread = Debug::StartThread(Debug::RunWithCrashDumps, this, L"CLogArchive");
        if (!thread) return false;
        Debug::DetachThread(thread);
        return true;
    }

    bool Run() override {
        if (crash_) {
            LogMessage(LogLevelInfo, 0, 0, L"Crashing on thread %u\n", static_cast<unsigned>(GetCurrentThreadId()));
            // The fault must reach the filter even inside a catch-all.
            try {
                *static_cast<volatile int*>(nullptr) = 1;
            } catch (...) {
                LogMessage(LogLevelError, 0, 0, L"A hardware fault was caught as a C++ exception\n");
            }
            return false;
        }
        Sleep(work_);
        if (!marker_.empty()) {
            HANDLE file = CreateFileW(marker_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
        return true;
    }

private:
    DWORD work_;
    std::wstring marker_;
    bool crash_;
};

bool StartProbe(DWORD work, const std::wstring& marker, bool crash) {
    GetProcessLogger().RotationBusyFlag().store(1);
    return StartLogArchive(new ProbeArchive(work, marker, crash));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"crash" && argc == 3) {
        GetProcessLogger().SetLogPath(argv[2]);
        if (!StartProbe(0, L"", true)) return 2;
        Sleep(60000);  // the crash ends the process long before
        return 3;
    }
    if (mode == L"exitwait" && argc == 5) {
        int quick = _wtoi(argv[3]);
        for (int i = 0; i < quick; ++i) {
            if (!StartProbe(0, L"", false)) return 2;
            while (finishedArchivers.load() <= i) Sleep(1);
        }
        if (!StartProbe(static_cast<DWORD>(_wtoi(argv[2])), argv[4], false)) return 2;
        return 0;  // the exit waits for the archiver
    }
    return 1;
}
