#include "ProgramRun.h"

#include <cstdlib>

namespace {

std::wstring WindowText(HWND window) {
    wchar_t buffer[2048] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(buffer), reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

WindowInfo Describe(HWND window) {
    WindowInfo info;
    info.window = window;
    wchar_t className[256] = {};
    GetClassNameW(window, className, ARRAYSIZE(className));
    info.className = className;
    info.text = WindowText(window);
    info.visible = IsWindowVisible(window) != FALSE;
    return info;
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; text && *text; ++text) wide.push_back(static_cast<unsigned char>(*text));
    return wide;
}

void SetAppVersion(const std::wstring& exeName, const std::wstring& version) {
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName;
    if (version.empty()) {
        RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
        return;
    }
    PlatformHelpers::UniqueRegKey opened;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.put(),
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(opened.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring BuiltProgramPath() {
    const char* binary = std::getenv("TARNWICK_BINARY_DIR");
    if (!binary) return {};
    std::wstring path = L"Z:" + Widen(binary) + L"/app/CorvantisClientDownloader.exe";
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::wstring ControlText(HWND window, int id) {
    HWND item = GetDlgItem(window, id);
    return item ? WindowText(item) : std::wstring();
}

bool ControlVisible(HWND window, int id) {
    HWND item = GetDlgItem(window, id);
    return item && IsWindowVisible(item);
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<WindowInfo>*>(list)->push_back(Describe(child));
    return TRUE;
}

std::vector<WindowInfo> ChildWindows(HWND window) {
    std::vector<WindowInfo> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

ProgramRun::ProgramRun(const std::wstring& name, const std::wstring& windowsVersion) : name_(name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + name + L".exe";
    CopyFileW(BuiltProgramPath().c_str(), path_.c_str(), FALSE);
    SetAppVersion(name + L".exe", windowsVersion);
}

ProgramRun::~ProgramRun() {
    Kill();
    SetAppVersion(name_ + L".exe", L"");
    DeleteFileW(path_.c_str());
}

bool ProgramRun::Start(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + path_ + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return false;
    }
    PlatformHelpers::UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
    return true;
}

namespace {
struct WindowSearch {
    DWORD processId;
    std::vector<WindowInfo> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data) {
    auto search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) search->found.push_back(Describe(window));
    return TRUE;
}
}  // namespace

std::vector<WindowInfo> ProgramRun::TopLevelWindows() const {
    WindowSearch search{processId_, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramRun::WaitForWindow(const std::wstring& className, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < deadline) {
        for (const WindowInfo& info : TopLevelWindows()) {
            if (info.visible && (className.empty() || info.className == className)) return info.window;
        }
        if (WaitForSingleObject(process_.get(), 100) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

DWORD ProgramRun::WaitForExit(DWORD timeoutMs) {
    if (!process_) return STILL_ACTIVE;
    WaitForSingleObject(process_.get(), timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

void ProgramRun::Kill() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 5000);
    }
}
