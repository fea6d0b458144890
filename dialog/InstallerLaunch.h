#pragma once
// Hands a package to the Windows shell to be installed, without waiting for it.
#include <windows.h>
#include <string>

#include "dialog/WorkerLink.h"

// What the shell is asked to do with a package.
struct InstallerRequest {
    std::wstring verb;        // "open", or "runas" for msiexec.exe
    std::wstring file;        // the package, or "msiexec.exe"
    std::wstring parameters;  // empty, or "/i "<package>" <msiArgs>"
    ULONG mask = 0;           // SEE_MASK_FLAG_NO_UI in silent and passive runs
};

// The Full package with installer arguments goes to an elevated msiexec.exe; every
// other package is opened through its file association.
InstallerRequest BuildInstallerRequest(PackageKind kind, const DownloaderOptions& options,
                                       const std::wstring& packagePath);

// Starts the package; on success ends the dialog (result 2), otherwise shows
// string 106 through the link.
void LaunchInstaller(WorkerLink& link, const std::wstring& packagePath);
