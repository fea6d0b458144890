#pragma once
// The downloader's application object. Its start-up does all of the program's
// work: the system gate, the command line, the language, the architecture flags
// and the dialog's modal run; then the process ends.
#include <windows.h>
#include <string>

#include "app/DownloaderOptions.h"
#include "app/SystemQueries.h"
#include "dialog/TarnwickDlg.h"
#include "framework/WinApp.h"

class CTarnwickApp : public Framework::CWinApp {
public:
    CTarnwickApp();
    explicit CTarnwickApp(SystemQueries queries);

    // Runs the program; always false, the process ends afterwards.
    BOOL InitInstance() override;

    bool IsSupportedOperatingSystem() const;

    DownloaderOptions options;

    // The dialog's surroundings; tests replace them before InitInstance.
    CTarnwickDlg::Environment dialogEnvironment;

private:
    void ShowUnsupportedSystemMessage() const;
    bool DetectArm64() const;

    SystemQueries queries_;
};

// The executable's file name without its extension: the message box caption.
std::wstring GetApplicationTitle();
