#include "dialog/TarnwickDlg.h"

#include <commctrl.h>
#include <shlobj.h>

#include "dialog/BannerBitmap.h"
#include "dialog/DialogLayout.h"
#include "framework/Localization.h"
#include "res/resource.h"

namespace {

std::wstring FormatText(const std::wstring& format, int value) {
    wchar_t buffer[512];
    const int written = _snwprintf(buffer, ARRAYSIZE(buffer), format.c_str(), value);
    if (written < 0) buffer[ARRAYSIZE(buffer) - 1] = L'\0';
    return buffer;
}

// Fits the controls to the texts of the chosen language and to the dialog's font:
// banner across the top, status and progress below it between the margins, the
// buttons in one row under them, and the dialog ending just below that row.
void ArrangeControls(HWND dialog) {
    using namespace LayoutFlags;
    constexpr int32_t Below = PlaceVertical | PlaceMove;
    LayoutEntry table[LayoutTableSize] = {
        {IDC_BANNER, MarginsXY | AnchorLeft | AnchorTop | AnchorRight, 0, 0, 0, 0, 0},
        {IDC_STATUS, Below | AnchorLeft | AnchorRight, IDC_BANNER, 0, 0, 0, 0},
        {IDC_PROGRESS, Below | AnchorLeft | AnchorRight, IDC_STATUS, 0, 0, 0, 0},
        {IDC_FULL, Below | AnchorLeft, IDC_PROGRESS, 0, 0, 0, 0},
        {IDC_BASIC, PlaceHorizontal | PlaceMove | AlignCentreY, IDC_FULL, 0, 0, 0, 0},
        {IDCANCEL, AlignCentreY | AnchorRight, IDC_FULL, 0, 0, 0, 0},
        {LayoutDialogHeight, PlaceVertical, IDCANCEL, 0, 0, 0, 0},
    };
    ApplyDialogLayout(dialog, table);
}

}  // namespace

CTarnwickDlg::Environment CTarnwickDlg::DefaultEnvironment() {
    Environment environment;
    environment.isUserAnAdmin = [] { return IsUserAnAdmin() != FALSE; };
    environment.startWorker = StartWorkerThread;
    return environment;
}

CTarnwickDlg::CTarnwickDlg(DownloaderOptions* options, HICON mainIcon, bool isWow64, bool isArm64,
                           Environment environment)
    : CDialog(IDD_TARNWICK_DIALOG, nullptr),
      options_(options),
      mainIcon_(mainIcon),
      isWow64_(isWow64),
      isArm64_(isArm64),
      environment_(std::move(environment)),
      link_(std::make_shared<WorkerLink>(GetModalRun())) {}

CTarnwickDlg::~CTarnwickDlg() = default;

void CTarnwickDlg::DoDataExchange(Framework::CDataExchange& exchange) {
    CDialog::DoDataExchange(exchange);
    Framework::DDX_Control(exchange, IDC_PROGRESS, progressBar_);
    Framework::DDX_Control(exchange, IDC_STATUS, statusEdit_);
}

BOOL CTarnwickDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ArrangeControls(GetSafeHwnd());
    link_->options = *options_;
    link_->isWow64 = isWow64_;
    link_->isArm64 = isArm64_;
    link_->dialog = GetSafeHwnd();
    link_->statusEdit = statusEdit_.GetSafeHwnd();
    link_->progressBar = progressBar_.GetSafeHwnd();
    link_->closeButton = GetDlgItem(IDCANCEL);

    banner_ = FitBannerBitmap(GetSafeHwnd(), Framework::GetResourceModule());
    SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mainIcon_));
    SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mainIcon_));
    WriteArchitectureLine();

    if (environment_.isUserAnAdmin()) {
        ShowItem(IDC_FULL, SW_HIDE);
        ShowItem(IDC_BASIC, SW_HIDE);
        packageKind_ = PackageKind::Full;
        // Silent and passive runs start the work below.
        if (!options_->silent && !options_->passive) StartWork();
    } else {
        AppendStatus(Framework::LoadLocalizedString(IDS_ADMIN_PROMPT));
        progressBar_.ShowWindow(SW_HIDE);
    }
    if (options_->silent) HideFromView();
    if (options_->silent || options_->passive) {
        ShowItem(IDC_BASIC, SW_HIDE);
        ShowItem(IDC_FULL, SW_HIDE);
        ShowItem(IDCANCEL, SW_HIDE);
        packageKind_ = options_->installBasic ? PackageKind::Basic : PackageKind::Full;
        StartWork();
    }
    return TRUE;
}

void CTarnwickDlg::WriteArchitectureLine() {
    if (isArm64_) {
        AppendStatus(Framework::LoadLocalizedString(IDS_DETECTED_ARM));
    } else {
        AppendStatus(FormatText(Framework::LoadLocalizedString(IDS_DETECTED_BITS), isWow64_ ? 64 : 32));
    }
}

// No taskbar button, no activation, nothing to draw; then hidden.
void CTarnwickDlg::HideFromView() {
    HWND window = GetSafeHwnd();
    const LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, extended | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
    PlatformHelpers::UniqueRegion empty(CreateRectRgn(0, 0, 0, 0));
    // The window owns the region once SetWindowRgn succeeds.
    if (empty && SetWindowRgn(window, empty.get(), TRUE)) empty.release();
    ShowWindow(SW_HIDE);
}

void CTarnwickDlg::ShowItem(int id, int command) const {
    if (HWND item = GetDlgItem(id)) ::ShowWindow(item, command);
}

void CTarnwickDlg::AppendStatus(const std::wstring& text) { link_->AppendStatus(text); }

void CTarnwickDlg::ReportFailure(UINT stringId) { link_->ReportFailure(stringId); }

void CTarnwickDlg::StartWork() {
    ShowItem(IDC_FULL, SW_HIDE);
    ShowItem(IDC_BASIC, SW_HIDE);
    progressBar_.ShowWindow(SW_SHOW);
    link_->SetCloseButtonText(Framework::LoadLocalizedString(IDS_CANCEL));
    link_->packageKind = packageKind_;
    if (!environment_.startWorker(link_)) ReportFailure(IDS_NO_RESOURCES);
}

bool CTarnwickDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_SHOWWINDOW:
        OnShowWindow(wParam != 0);
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(mainIcon_);
        return true;
    default:
        return false;
    }
}

bool CTarnwickDlg::OnCommand(WORD id, WORD code) {
    if (code == BN_CLICKED && id == IDC_BASIC) {
        OnBasicClicked();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_FULL) {
        OnFullClicked();
        return true;
    }
    return CDialog::OnCommand(id, code);
}

void CTarnwickDlg::OnBasicClicked() {
    packageKind_ = PackageKind::Basic;
    StartWork();
}

void CTarnwickDlg::OnFullClicked() {
    packageKind_ = PackageKind::Full;
    StartWork();
}

// A silent run stays hidden, also when the modal loop shows the dialog.
void CTarnwickDlg::OnShowWindow(bool showing) {
    if (showing && options_->silent) ShowWindow(SW_HIDE);
}

// Minimised, the dialog paints its icon; otherwise the default painting runs.
bool CTarnwickDlg::OnPaint() {
    HWND window = GetSafeHwnd();
    if (!IsIconic(window)) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, mainIcon_);
    EndPaint(window, &paint);
    return true;
}
