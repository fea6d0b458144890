#include "app/TarnwickApp.h"

#include <commctrl.h>
#include <mutex>

#include "app/ExitCode.h"
#include "app/StartupChecks.h"
#include "framework/Localization.h"
#include "res/resource.h"

CTarnwickApp::CTarnwickApp() : CTarnwickApp(RealSystemQueries()) {}

CTarnwickApp::CTarnwickApp(SystemQueries queries)
    : dialogEnvironment(CTarnwickDlg::DefaultEnvironment()), queries_(std::move(queries)) {
    dialogEnvironment.isUserAnAdmin = queries_.isUserAnAdmin;
}

bool CTarnwickApp::IsSupportedOperatingSystem() const { return ::IsSupportedOperatingSystem(queries_); }

bool CTarnwickApp::DetectArm64() const {
    static std::once_flag once;
    static bool arm64 = false;
    std::call_once(once, [this] { arm64 = isArm64(queries_); });
    return arm64;
}

std::wstring GetApplicationTitle() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    return name;
}

void CTarnwickApp::ShowUnsupportedSystemMessage() const {
    // No language has been chosen yet: the message comes in the system's own.
    const std::wstring text = Framework::LoadLocalizedString(IDS_UNSUPPORTED_OS);
    const std::wstring caption = GetApplicationTitle();
    MSGBOXPARAMSW box{};
    box.cbSize = sizeof(box);
    box.hInstance = GetInstance();
    box.lpszText = text.c_str();
    box.lpszCaption = caption.c_str();
    box.dwStyle = MB_OK | MB_ICONERROR | MB_SYSTEMMODAL;
    box.dwContextHelpId = IDS_UNSUPPORTED_OS;
    MessageBoxIndirectW(&box);
}

BOOL CTarnwickApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    if (!IsSupportedOperatingSystem()) {
        ShowUnsupportedSystemMessage();
        SetExitCode(static_cast<int>(ExitCode::UnsupportedSystem));
        return FALSE;
    }

    ParseDownloaderOptions(GetCommandLineText(), options);
    if (!options.language.empty()) SetInterfaceLanguage(options.language);

    const bool wow64 = isWow64(queries_);
    const bool arm64 = DetectArm64();
    HICON mainIcon = LoadIconW(Framework::GetResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));

    CTarnwickDlg dialog(&options, mainIcon, wow64, arm64, dialogEnvironment);
    SetMainWindow(&dialog);
    dialog.DoModal();
    SetMainWindow(nullptr);
    SetExitCode(dialog.GetOutcome());
    return FALSE;
}
