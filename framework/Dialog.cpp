#include "framework/Dialog.h"

#include <cstring>
#include <vector>

#include "framework/Localization.h"

namespace Framework {

namespace {

// A copy of the dialog template without WS_VISIBLE, so that the dialog stays
// hidden until the modal loop shows it.
std::vector<BYTE> LoadHiddenTemplate(UINT templateId) {
    HMODULE module = GetResourceModule();
    HRSRC found = FindLocalizedResource(module, RT_DIALOG, MAKEINTRESOURCEW(templateId));
    if (!found) return {};
    const void* data = LockResource(LoadResource(module, found));
    const DWORD size = SizeofResource(module, found);
    if (!data || size < sizeof(DLGTEMPLATE)) return {};
    std::vector<BYTE> copy(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    WORD signature[2];
    std::memcpy(signature, copy.data(), sizeof(signature));
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF; its style
    // follows the help id and extended style.
    const size_t styleOffset = (signature[0] == 1 && signature[1] == 0xFFFF) ? 12 : 0;
    if (copy.size() < styleOffset + sizeof(DWORD)) return {};
    DWORD style;
    std::memcpy(&style, copy.data() + styleOffset, sizeof(style));
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(copy.data() + styleOffset, &style, sizeof(style));
    return copy;
}

// These messages hand their result back as the dialog procedure's return value;
// all others through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return true;
    default:
        return false;
    }
}

}  // namespace

void ModalRun::RequestEnd(INT_PTR result) {
    bool expected = false;
    if (!endClaimed_.compare_exchange_strong(expected, true)) return;
    result_.store(result);
    endRequested_.store(true);
    // The flag is set before the wake-up is posted, so the loop cannot miss it.
    if (!ended_.load()) {
        if (HWND window = window_.load()) PostMessageW(window, WM_NULL, 0, 0);
    }
}

CDialog::CDialog(UINT templateId, HWND parent)
    : templateId_(templateId), parent_(parent), run_(std::make_shared<ModalRun>()) {}

CDialog::~CDialog() {
    if (window_) DestroyWindow(window_);
}

INT_PTR CDialog::DoModal() {
    std::vector<BYTE> dialogTemplate = LoadHiddenTemplate(templateId_);
    if (dialogTemplate.empty()) return -1;
    const bool disableParent = parent_ && IsWindowEnabled(parent_);
    if (disableParent) EnableWindow(parent_, FALSE);
    HWND created = CreateDialogIndirectParamW(
        GetResourceModule(), reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()), parent_,
        DialogProc, reinterpret_cast<LPARAM>(this));
    INT_PTR result = -1;
    if (created) result = RunModalLoop();
    if (disableParent) EnableWindow(parent_, TRUE);
    if (window_) {
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
    }
    return result;
}

INT_PTR CDialog::RunModalLoop() {
    bool shown = (GetWindowLongW(window_, GWL_STYLE) & WS_VISIBLE) != 0;
    MSG message;
    while (!run_->EndRequested()) {
        if (!shown && !PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            shown = true;
            ShowWindow(SW_SHOWNORMAL);
            UpdateWindow(window_);
            continue;
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // Leave WM_QUIT for whoever runs the outer loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            run_->RequestEnd(IDCANCEL);
            break;
        }
        if (got == -1) {
            run_->RequestEnd(-1);
            break;
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    run_->ended_.store(true);
    run_->window_.store(nullptr);
    return run_->Result();
}

void CDialog::EndDialog(INT_PTR result) { run_->RequestEnd(result); }

void CDialog::ShowWindow(int command) {
    if (command == SW_HIDE && inShowNotification_) keepHidden_ = true;
    ::ShowWindow(window_, command);
}

void CDialog::DoDataExchange(CDataExchange&) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

bool CDialog::OnCommand(WORD id, WORD code) {
    if (code != BN_CLICKED) return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange exchange(window_, saveAndValidate);
    DoDataExchange(exchange);
    return !exchange.failed;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window_ = window;
        dialog->run_->window_.store(window);
    } else {
        dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!dialog) return FALSE;
    return dialog->Dispatch(message, wParam, lParam);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    bool handled = false;
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_WINDOWPOSCHANGING:
        if (keepHidden_) {
            auto position = reinterpret_cast<WINDOWPOS*>(lParam);
            if (position->flags & SWP_SHOWWINDOW) {
                position->flags &= ~SWP_SHOWWINDOW;
                keepHidden_ = false;
            }
        }
        break;
    case WM_SHOWWINDOW: {
        const bool wasInShow = inShowNotification_;
        inShowNotification_ = wParam != 0;
        handled = OnMessage(message, wParam, lParam, result);
        inShowNotification_ = wasInShow;
        break;
    }
    case WM_COMMAND:
        handled = OnMessage(message, wParam, lParam, result) ||
                  OnCommand(LOWORD(wParam), HIWORD(wParam));
        break;
    default:
        handled = OnMessage(message, wParam, lParam, result);
        break;
    }
    if (!handled) return FALSE;
    if (ReturnsResultDirectly(message)) return result;
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace Framework
