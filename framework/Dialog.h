#pragma once
// Modal dialogs from a template in the chosen interface language.
//
// Ending a modal run: EndDialog may be called from any thread. It records the
// result and sets the run's end flag, then posts WM_NULL to the dialog to wake
// its loop; the loop tests the flag before it waits for each message, so a
// request made just before the wait is still seen. The end state lives in a
// shared ModalRun object that other threads may keep: once the run is over,
// requests on it do nothing and the dialog object itself is never touched.
//
// Like the classic frameworks, the dialog is first created hidden (the
// template's WS_VISIBLE is masked) and shown when its message queue first
// becomes idle, after WM_INITDIALOG and the messages it caused are handled.
#include <windows.h>
#include <atomic>
#include <memory>

#include "framework/Wnd.h"

namespace Framework {

class ModalRun {
public:
    // Ends the run with `result`; the first request wins. Safe from any thread,
    // during the run and after it.
    void RequestEnd(INT_PTR result);
    bool EndRequested() const { return endRequested_.load(); }
    // True once the modal loop has returned and the window is being destroyed.
    bool Ended() const { return ended_.load(); }
    INT_PTR Result() const { return result_.load(); }

private:
    friend class CDialog;
    std::atomic<HWND> window_{nullptr};
    // Claimed by the first request; set only after the result is stored, so the
    // loop never sees the end before the result.
    std::atomic<bool> endClaimed_{false};
    std::atomic<bool> endRequested_{false};
    std::atomic<bool> ended_{false};
    std::atomic<INT_PTR> result_{-1};
};

class CDialog {
public:
    CDialog(UINT templateId, HWND parent);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog and runs its modal loop; returns the end result, or -1
    // when the dialog could not be created.
    INT_PTR DoModal();
    // Requests the end of the modal run; callable from any thread.
    void EndDialog(INT_PTR result);

    std::shared_ptr<ModalRun> GetModalRun() const { return run_; }
    HWND GetSafeHwnd() const { return window_; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(window_, id); }
    // Shows or hides the dialog. A hide asked for while the dialog is being
    // shown (from a WM_SHOWWINDOW handler) keeps it from becoming visible.
    void ShowWindow(int command);

protected:
    // Binds controls to their wrappers; called by UpdateData.
    virtual void DoDataExchange(CDataExchange& exchange);
    // WM_INITDIALOG. The default binds the controls; returning true lets the
    // system give the first control the focus.
    virtual BOOL OnInitDialog();
    // The dialog's message handlers. Return true when the message was handled
    // and set `result` to what the dialog procedure should hand back.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // BN_CLICKED and other notifications from controls and accelerators.
    virtual bool OnCommand(WORD id, WORD code);
    // IDOK and IDCANCEL end the dialog with result 1 and 2.
    virtual void OnOK();
    virtual void OnCancel();

    bool UpdateData(bool saveAndValidate);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR RunModalLoop();

    UINT templateId_;
    HWND parent_;
    HWND window_ = nullptr;
    std::shared_ptr<ModalRun> run_;
    bool inShowNotification_ = false;
    bool keepHidden_ = false;
};

}  // namespace Framework
