#pragma once
// The process exit codes, for scripts that run the downloader unattended.
// 1602 and 1633 follow the Windows Installer's meanings.
enum class ExitCode : int {
    InstallerStarted = 0,
    DownloadFailed = 2,
    LaunchFailed = 3,
    WorkerNotStarted = 4,
    UserCancelled = 1602,     // ERROR_INSTALL_USEREXIT: closed before the installer started
    UnsupportedSystem = 1633  // ERROR_INSTALL_PLATFORM_UNSUPPORTED
};
