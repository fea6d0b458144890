// Stand-in for the vendor's Basic client installer. It records that it ran by
// writing "%ProgramData%\Corvantis\StandIn\<own file name>.marker" with its command
// line, and exits.
#include <windows.h>
#include <string>
#include "platform/UniqueResource.h"

namespace {

std::wstring GetOwnFileName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path);
    size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

std::wstring GetMarkerFolder() {
    wchar_t data[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH)) lstrcpyW(data, L"C:\\ProgramData");
    std::wstring folder = std::wstring(data) + L"\\Corvantis";
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\StandIn";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring marker = GetMarkerFolder() + L"\\" + GetOwnFileName() + L".marker";
    PlatformHelpers::UniqueFile file(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, 0, nullptr));
    if (!file) return 1;
    std::wstring line = GetCommandLineW();
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
              nullptr);
    return 0;
}
