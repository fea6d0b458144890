#include "dialog/InstallerLaunch.h"

#include <shellapi.h>

#include "res/resource.h"

InstallerRequest BuildInstallerRequest(PackageKind kind, const DownloaderOptions& options,
                                       const std::wstring& packagePath) {
    InstallerRequest request;
    request.verb = L"open";
    request.file = packagePath;
    if (kind == PackageKind::Full && !options.msiArgs.empty()) {
        request.verb = L"runas";
        request.file = L"msiexec.exe";
        // Quoted, so that a path with blanks reaches msiexec.exe as one argument.
        request.parameters = L"/i \"" + packagePath + L"\" " + options.msiArgs;
    }
    if (options.silent || options.passive) request.mask = SEE_MASK_FLAG_NO_UI;
    return request;
}

void LaunchInstaller(WorkerLink& link, const std::wstring& packagePath) {
    const InstallerRequest request = BuildInstallerRequest(link.packageKind, link.options, packagePath);
    SHELLEXECUTEINFOW shell{};
    shell.cbSize = sizeof(shell);
    shell.fMask = request.mask;
    shell.lpVerb = request.verb.c_str();
    shell.lpFile = request.file.c_str();
    shell.lpParameters = request.parameters.c_str();
    shell.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&shell)) {
        link.ReportFailure(IDS_INSTALLER_FAILED);
        return;
    }
    link.SetOutcome(ExitCode::InstallerStarted);
    link.EndDialog(IDCANCEL);
}
