#pragma once
// What the worker thread may use of the downloader dialog.
//
// The dialog lives on the stack of start-up only for its modal run, while the
// worker is never joined: it may still be running when the run ends. So the
// worker never gets the dialog object. It gets a shared WorkerLink instead
// (StartWorkerThread hands it a reference), which holds copies of everything
// the worker reads (options, package kind, architecture flags, all fixed before
// the worker starts), the window handles it sends to, and the modal run's end
// state. After the run has ended every call here does nothing: RunEnded() turns
// true before the dialog's window is destroyed, and a message sent to a window
// that is already gone is dropped by the system anyway.
//
// The worker reports only by synchronous messages to child controls and ends
// the dialog through the run's end flag and a posted wake-up; there are no locks.
#include <windows.h>
#include <atomic>
#include <memory>
#include <string>

#include "app/DownloaderOptions.h"
#include "app/ExitCode.h"
#include "framework/Dialog.h"

enum class PackageKind : int32_t { None = 0, Full = 1, Basic = 2 };

class WorkerLink {
public:
    explicit WorkerLink(std::shared_ptr<Framework::ModalRun> run) : run_(std::move(run)) {}

    // Fixed before the worker starts; read-only afterwards.
    DownloaderOptions options;
    PackageKind packageKind = PackageKind::None;
    bool isWow64 = false;
    bool isArm64 = false;
    HWND dialog = nullptr;
    HWND statusEdit = nullptr;   // control 1005
    HWND progressBar = nullptr;  // control 1001
    HWND closeButton = nullptr;  // control 2, "Close" or "Cancel"

    // Appends `text` at the caret of the status edit (EM_REPLACESEL, no undo).
    void AppendStatus(const std::wstring& text) const;
    // Shows failure string `stringId`, turns button 2 back into "Close", records
    // the exit code, and in a silent run ends the dialog with result 2.
    void ReportFailure(UINT stringId);
    // Sends to the progress bar (PBM_SETRANGE32, PBM_SETPOS); returns 0 once the run ended.
    LRESULT SendToProgressBar(UINT message, WPARAM wParam, LPARAM lParam) const;
    void SetCloseButtonText(const std::wstring& text) const;
    // Ends the modal run with `result` from any thread.
    void EndDialog(INT_PTR result) const { run_->RequestEnd(result); }
    bool RunEnded() const { return run_->Ended(); }

    // The process exit code this run asks for. A run that ends before the
    // installer was started or a failure was shown was ended by the user.
    void SetOutcome(ExitCode code) { outcome_.store(static_cast<int>(code)); }
    int GetOutcome() const { return outcome_.load(); }

private:
    std::shared_ptr<Framework::ModalRun> run_;
    std::atomic<int> outcome_{static_cast<int>(ExitCode::UserCancelled)};
};

// Starts WorkerThreadProc on a self-deleting thread that shares `link`.
bool StartWorkerThread(const std::shared_ptr<WorkerLink>& link);

// The worker thread's entry: `argument` is a heap-allocated shared_ptr<WorkerLink>
// that the thread takes over. Returns 1.
unsigned __stdcall WorkerThreadProc(void* argument);
