#pragma once
// Starts the real downloader under a name of its own and looks at its windows
// from outside, as a user would see them.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/UniqueResource.h"

struct WindowInfo {
    HWND window = nullptr;
    std::wstring className;
    std::wstring text;
    bool visible = false;
};

// Texts and visibility of the children of `window`, by control id.
std::wstring ControlText(HWND window, int id);
bool ControlVisible(HWND window, int id);
std::vector<WindowInfo> ChildWindows(HWND window);

class ProgramRun {
public:
    // Copies the program to <test folder>\<name>.exe; when `windowsVersion` is
    // given ("win7", ...) Wine reports that version to this name only.
    ProgramRun(const std::wstring& name, const std::wstring& windowsVersion = L"");
    ~ProgramRun();

    bool Start(const std::wstring& arguments);
    // Waits until the process shows a visible top-level window of `className`
    // (empty: any class); null on timeout or when the process ended.
    HWND WaitForWindow(const std::wstring& className, DWORD timeoutMs = 20000);
    std::vector<WindowInfo> TopLevelWindows() const;
    // Waits for the process to end; returns its exit code, or STILL_ACTIVE.
    DWORD WaitForExit(DWORD timeoutMs = 20000);
    void Kill();
    DWORD ProcessId() const { return processId_; }

private:
    std::wstring name_;
    std::wstring path_;
    PlatformHelpers::UniqueHandle process_;
    DWORD processId_ = 0;
};

// The built program, as a Windows path; empty when TARNWICK_BINARY_DIR is unset.
std::wstring BuiltProgramPath();
