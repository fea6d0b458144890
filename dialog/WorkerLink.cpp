#include "dialog/WorkerLink.h"

#include <commctrl.h>
#include <process.h>

#include "branding/Branding.h"
#include "dialog/Download.h"
#include "framework/Localization.h"
#include "platform/UniqueResource.h"
#include "res/resource.h"

namespace {

ExitCode ExitCodeForFailure(UINT stringId) {
    switch (stringId) {
    case IDS_NO_RESOURCES: return ExitCode::WorkerNotStarted;
    case IDS_DOWNLOAD_FAILED: return ExitCode::DownloadFailed;
    default: return ExitCode::LaunchFailed;
    }
}

}  // namespace

void WorkerLink::AppendStatus(const std::wstring& text) const {
    if (RunEnded() || !statusEdit) return;
    SendMessageW(statusEdit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void WorkerLink::ReportFailure(UINT stringId) {
    SetOutcome(ExitCodeForFailure(stringId));
    AppendStatus(Framework::LoadLocalizedString(stringId));
    SetCloseButtonText(L"Close");
    if (options.silent) EndDialog(IDCANCEL);
}

LRESULT WorkerLink::SendToProgressBar(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (RunEnded() || !progressBar) return 0;
    return SendMessageW(progressBar, message, wParam, lParam);
}

void WorkerLink::SetCloseButtonText(const std::wstring& text) const {
    if (RunEnded() || !closeButton) return;
    SetWindowTextW(closeButton, text.c_str());
}

bool StartWorkerThread(const std::shared_ptr<WorkerLink>& link) {
    auto argument = new std::shared_ptr<WorkerLink>(link);
    const uintptr_t thread = _beginthreadex(nullptr, 0, WorkerThreadProc, argument, 0, nullptr);
    if (!thread) {
        delete argument;
        return false;
    }
    // Nobody waits for the worker: the thread object goes away when it ends.
    PlatformHelpers::UniqueHandle detached(reinterpret_cast<HANDLE>(thread));
    return true;
}

unsigned __stdcall WorkerThreadProc(void* argument) {
    // The thread's share of the link is released when the thread ends.
    const std::unique_ptr<std::shared_ptr<WorkerLink>> link(
        static_cast<std::shared_ptr<WorkerLink>*>(argument));
    PrepareBranding();
    RunWork(**link);
    return 1;
}
