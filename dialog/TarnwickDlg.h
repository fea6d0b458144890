#pragma once
// The downloader dialog: banner, status text, progress bar, the Full and Basic
// buttons and Close. It starts the work at once for an elevated administrator
// and in silent or passive runs, else when a button is pressed.
#include <windows.h>
#include <functional>
#include <memory>
#include <string>

#include "app/DownloaderOptions.h"
#include "dialog/WorkerLink.h"
#include "framework/Dialog.h"
#include "framework/Wnd.h"
#include "platform/UniqueResource.h"

class CTarnwickDlg : public Framework::CDialog {
public:
    // What the dialog asks of the system; tests answer for a user without
    // elevation or count the worker starts.
    struct Environment {
        std::function<bool()> isUserAnAdmin;
        std::function<bool(const std::shared_ptr<WorkerLink>&)> startWorker;
    };
    static Environment DefaultEnvironment();

    CTarnwickDlg(DownloaderOptions* options, HICON mainIcon, bool isWow64, bool isArm64,
                 Environment environment = DefaultEnvironment());
    ~CTarnwickDlg() override;

    void AppendStatus(const std::wstring& text);
    // Hides the buttons, shows the progress bar and starts the worker.
    void StartWork();
    void ReportFailure(UINT stringId);

    PackageKind GetPackageKind() const { return packageKind_; }
    // The exit code the run asks for; valid after DoModal.
    int GetOutcome() const { return link_->GetOutcome(); }
    std::shared_ptr<WorkerLink> GetWorkerLink() const { return link_; }

protected:
    void DoDataExchange(Framework::CDataExchange& exchange) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    bool OnCommand(WORD id, WORD code) override;

private:
    bool OnPaint();
    void OnShowWindow(bool showing);
    void OnBasicClicked();
    void OnFullClicked();
    void WriteArchitectureLine();
    void HideFromView();
    void ShowItem(int id, int command) const;

    PackageKind packageKind_ = PackageKind::None;
    Framework::CWnd progressBar_;
    Framework::CWnd statusEdit_;
    DownloaderOptions* options_;
    HICON mainIcon_;
    bool isWow64_;
    bool isArm64_;
    Environment environment_;
    std::shared_ptr<WorkerLink> link_;
    PlatformHelpers::UniqueBitmap banner_;
};
