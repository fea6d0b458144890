#pragma once
// A non-owning wrapper of a child control, bound by the dialog's data exchange.
#include <windows.h>
#include <string>

namespace Framework {

class CWnd {
public:
    void Attach(HWND window) { window_ = window; }
    HWND GetSafeHwnd() const { return window_; }
    bool ShowWindow(int command) const;
    void SetWindowText(const std::wstring& text) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

private:
    HWND window_ = nullptr;
};

// Binds controls to their wrappers when a dialog starts (or reads them back later).
class CDataExchange {
public:
    CDataExchange(HWND dialog, bool saveAndValidate) : dialog_(dialog), save_(saveAndValidate) {}
    HWND GetDialog() const { return dialog_; }
    bool IsSaving() const { return save_; }
    // Set when a bound control is missing from the dialog.
    bool failed = false;

private:
    HWND dialog_;
    bool save_;
};

// Attaches control `id` of the dialog to `control`.
void DDX_Control(CDataExchange& exchange, int id, CWnd& control);

}  // namespace Framework
