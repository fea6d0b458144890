#pragma once
// The application object: one per process, built during static initialisation.
// wWinMain hands control to RunApplication, which calls InitInstance; an
// application that returns false from it has done all its work there, and the
// process ends with the exit code the application set.
#include <windows.h>
#include <atomic>

namespace Framework {

class CDialog;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Per-instance initialisation; true keeps the process in Run's message loop.
    virtual BOOL InitInstance();
    // The message loop of applications with a main window of their own.
    virtual int Run();

    int GetExitCode() const { return exitCode_.load(); }
    // May be called from any thread.
    void SetExitCode(int code) { exitCode_.store(code); }

    HINSTANCE GetInstance() const { return instance_; }
    // The command line after the program name, as the entry point received it.
    const wchar_t* GetCommandLineText() const { return commandLine_; }
    // The window the application runs; null outside its run.
    CDialog* GetMainWindow() const { return mainWindow_; }
    void SetMainWindow(CDialog* window) { mainWindow_ = window; }

private:
    friend int RunApplication(HINSTANCE, const wchar_t*);
    HINSTANCE instance_ = nullptr;
    const wchar_t* commandLine_ = L"";
    CDialog* mainWindow_ = nullptr;
    std::atomic<int> exitCode_{0};
};

// The most recently constructed application object, or null.
CWinApp* GetApp();

// Body of wWinMain: runs the application object and returns the process exit code.
int RunApplication(HINSTANCE instance, const wchar_t* commandLine);

}  // namespace Framework
