#pragma once
// The worker's main job: pick the package that fits the machine, download it over
// HTTPS into the user's Downloads folder while moving the progress bar, and hand
// it to the installer launch. Runs on the worker thread only.
#include <windows.h>
#include <functional>
#include <string>

#include "dialog/WorkerLink.h"

// The vendor's download server; one constant chosen when the program is built.
extern const wchar_t* const kDownloadHost;

// Installs the package named on the command line, or downloads the chosen one and
// installs it. Failures are shown through the link (string 105 for a download).
void RunWork(WorkerLink& link);

// "https://<host>/vtc/v20/<file>" for the package kind and the machine: ARM64 is
// tested before x64, so an x86 process on ARM64 Windows gets the ARM64 package.
std::wstring ChoosePackageUrl(PackageKind kind, bool isArm64, bool isWow64);

// The shell folder queries GetDownloadFolder needs; tests replace them.
struct DownloadFolderQueries {
    // The Downloads known folder; false when the system has none to give.
    std::function<bool(std::wstring& path)> downloadsFolder;
    // The Documents folder, not created when missing.
    std::function<bool(std::wstring& path)> documentsFolder;
    // Creates a folder and its parents; an existing folder counts as success.
    std::function<bool(const std::wstring& path)> createFolder;
};
DownloadFolderQueries SystemDownloadFolderQueries();

// The Downloads folder, else "<Documents>\downloads" (created), else empty.
std::wstring GetDownloadFolder(const DownloadFolderQueries& queries = SystemDownloadFolderQueries());

// "<folder>\<text after the URL's last slash>"; with an empty folder the file goes
// to the root of the current drive.
std::wstring MakeLocalPackagePath(const std::wstring& folder, const std::wstring& url);

// Spaces out the progress bar's position updates. A synchronous message to the
// dialog's thread costs far more than reading and writing one buffer (under Wine
// it more than tripled a fast download's time), and a bar cannot show more than a
// few dozen steps a second, so a position goes out when kIntervalMs have passed
// since the last one. The final position always goes out (see DownloadPackage).
class ProgressPacer {
public:
    static constexpr unsigned long long kIntervalMs = 30;
    // True when a position taken at `nowMs` should be sent; the first one always is.
    bool IsDue(unsigned long long nowMs);

private:
    bool sentOnce_ = false;
    unsigned long long lastMs_ = 0;
};

// Downloads `url` into `localPath` (replacing any file there). True only when the
// whole body arrived: a body that ends before its announced length is a failure.
// The progress bar's position is the byte count so far, paced by ProgressPacer,
// and the count at the end of the body is always sent.
bool DownloadPackage(WorkerLink& link, const std::wstring& url, const std::wstring& localPath);
