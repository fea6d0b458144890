#include "framework/Wnd.h"

namespace Framework {

bool CWnd::ShowWindow(int command) const {
    return window_ && ::ShowWindow(window_, command);
}

void CWnd::SetWindowText(const std::wstring& text) const {
    if (window_) ::SetWindowTextW(window_, text.c_str());
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return window_ ? ::SendMessageW(window_, message, wParam, lParam) : 0;
}

void DDX_Control(CDataExchange& exchange, int id, CWnd& control) {
    if (exchange.IsSaving()) return;
    HWND item = GetDlgItem(exchange.GetDialog(), id);
    if (!item) exchange.failed = true;
    control.Attach(item);
}

}  // namespace Framework
