#include "framework/WinApp.h"

namespace Framework {

namespace {
CWinApp* currentApp = nullptr;
}

CWinApp::CWinApp() { currentApp = this; }

CWinApp::~CWinApp() {
    if (currentApp == this) currentApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (got == 0) SetExitCode(static_cast<int>(message.wParam));
    return GetExitCode();
}

CWinApp* GetApp() { return currentApp; }

int RunApplication(HINSTANCE instance, const wchar_t* commandLine) {
    CWinApp* app = GetApp();
    if (!app) return 1;
    app->instance_ = instance;
    app->commandLine_ = commandLine ? commandLine : L"";
    if (!app->InitInstance()) return app->GetExitCode();
    return app->Run();
}

}  // namespace Framework
