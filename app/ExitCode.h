#pragma once
// The process exit codes, for scripts that run the downloader unattended.
// 1602 and 1633 follow the Windows Installer's meanings.
enum class ExitCode : int {
    InstallerStarted = 0,     // also: the dialog ended without a failure
    DownloadFailed = 2,
    LaunchFailed = 3,
    WorkerNotStarted = 4,
    UserCancelled = 1602,     // ERROR_INSTALL_USEREXIT
    UnsupportedSystem = 1633  // ERROR_INSTALL_PLATFORM_UNSUPPORTED
};
