#include "dialog/Download.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <array>
#include <cwchar>

#include "dialog/InstallerLaunch.h"
#include "fileutil/PathUtils.h"
#include "framework/Localization.h"
#include "platform/UniqueResource.h"
#include "res/resource.h"

#define TARNWICK_WIDEN2(text) L##text
#define TARNWICK_WIDEN(text) TARNWICK_WIDEN2(text)

const wchar_t* const kDownloadHost = TARNWICK_WIDEN(TARNWICK_DOWNLOAD_HOST);

namespace {

using PlatformHelpers::UniqueFile;
using PlatformHelpers::UniqueInternet;

const wchar_t kUserAgent[] = L"VTC Client Downloader";
constexpr DWORD kOpenUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kHeaderBufferBytes = 40;
constexpr DWORD kReadBufferBytes = 20000;

// Reads one numeric header as text; false when the server did not send it.
bool QueryHeaderNumber(HINTERNET request, DWORD query, wchar_t (&buffer)[kHeaderBufferBytes / sizeof(wchar_t)],
                       long long& value) {
    DWORD length = kHeaderBufferBytes;
    if (!HttpQueryInfoW(request, query, buffer, &length, nullptr)) return false;
    value = _wcstoi64(buffer, nullptr, 10);
    return true;
}

std::wstring FormatDownloadingLine(const std::wstring& url) {
    const std::wstring format = Framework::LoadLocalizedString(IDS_DOWNLOADING);
    const int length = _scwprintf(format.c_str(), url.c_str());
    if (length < 0) return format;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    _snwprintf(&text[0], text.size(), format.c_str(), url.c_str());
    text.resize(static_cast<size_t>(length));
    return text;
}

bool QueryKnownDownloadsFolder(std::wstring& path) {
    PWSTR buffer = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &buffer);
    if (SUCCEEDED(result) && buffer) path = buffer;
    CoTaskMemFree(buffer);
    return SUCCEEDED(result) && !path.empty();
}

bool QueryDocumentsFolder(std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PERSONAL, FALSE)) return false;
    path = buffer;
    return true;
}

}  // namespace

DownloadFolderQueries SystemDownloadFolderQueries() {
    DownloadFolderQueries queries;
    queries.downloadsFolder = QueryKnownDownloadsFolder;
    queries.documentsFolder = QueryDocumentsFolder;
    queries.createFolder = [](const std::wstring& path) { return CreateFolderPath(path, false); };
    return queries;
}

std::wstring ChoosePackageUrl(PackageKind kind, bool isArm64, bool isWow64) {
    const bool full = kind == PackageKind::Full;
    const wchar_t* file = nullptr;
    if (isArm64)
        file = full ? L"VTCClient-ARM64.msi" : L"VTCClient_Basic-ARM64.exe";
    else if (isWow64)
        file = full ? L"VTCClient-x64.msi" : L"VTCClient_Basic-x64.exe";
    else
        file = full ? L"VTCClient.msi" : L"VTCClient_Basic.exe";
    return std::wstring(L"https://") + kDownloadHost + L"/vtc/v20/" + file;
}

std::wstring GetDownloadFolder(const DownloadFolderQueries& queries) {
    std::wstring downloads;
    if (queries.downloadsFolder(downloads)) return downloads;

    std::wstring documents;
    if (!queries.documentsFolder(documents)) return {};
    const std::wstring joined = CombinePath(documents, L"downloads");
    std::wstring folder = joined;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    return queries.createFolder(folder) ? joined : std::wstring();
}

std::wstring MakeLocalPackagePath(const std::wstring& folder, const std::wstring& url) {
    const size_t slash = url.rfind(L'/');
    const std::wstring name = slash == std::wstring::npos ? url : url.substr(slash + 1);
    return folder + L"\\" + name;
}

bool ProgressPacer::IsDue(unsigned long long nowMs) {
    if (sentOnce_ && nowMs - lastMs_ < kIntervalMs) return false;
    sentOnce_ = true;
    lastMs_ = nowMs;
    return true;
}

bool DownloadPackage(WorkerLink& link, const std::wstring& url, const std::wstring& localPath) {
    link.AppendStatus(FormatDownloadingLine(url));

    UniqueInternet session(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    UniqueInternet request(InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0, kOpenUrlFlags, 0));
    if (!request) return false;

    wchar_t header[kHeaderBufferBytes / sizeof(wchar_t)] = {};
    long long status = 0;
    if (QueryHeaderNumber(request.get(), HTTP_QUERY_STATUS_CODE, header, status) && status != 200)
        return false;
    long long announced = 0;
    const bool lengthKnown = QueryHeaderNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, header, announced);
    if (lengthKnown) link.SendToProgressBar(PBM_SETRANGE32, 0, static_cast<LPARAM>(static_cast<int>(announced)));

    UniqueFile file(CreateFileW(localPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;

    std::array<BYTE, kReadBufferBytes> buffer;
    unsigned long long total = 0;
    ProgressPacer pacer;
    for (;;) {
        // Nobody is left to install the package once the dialog has been closed.
        if (link.RunEnded()) return false;
        buffer.fill(0);
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer.data(), kReadBufferBytes, &read)) return false;
        total += read;
        if (read == 0 || pacer.IsDue(GetTickCount64()))
            link.SendToProgressBar(PBM_SETPOS, static_cast<WPARAM>(static_cast<int>(total)), 0);
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), read, &written, nullptr)) return false;
        if (read == 0) {
            // A connection closed before the announced length is a cut body, not a package.
            return !lengthKnown || total >= static_cast<unsigned long long>(announced);
        }
    }
}

void RunWork(WorkerLink& link) {
    if (!link.options.installFromLocation.empty()) {
        LaunchInstaller(link, link.options.installFromLocation);
        return;
    }
    const std::wstring folder = GetDownloadFolder();
    const std::wstring url = ChoosePackageUrl(link.packageKind, link.isArm64, link.isWow64);
    const std::wstring localPath = MakeLocalPackagePath(folder, url);
    const bool downloaded = DownloadPackage(link, url, localPath);
    if (link.RunEnded()) return;
    if (downloaded)
        LaunchInstaller(link, localPath);
    else
        link.ReportFailure(IDS_DOWNLOAD_FAILED);
}
