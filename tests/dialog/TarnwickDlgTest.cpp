// The downloader dialog, run for real on a thread of its own with the system's
// answers injected; the test thread looks at its windows and plays the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialog/TarnwickDlg.h"

#include <commctrl.h>
#include "framework/Localization.h"
#include "res/resource.h"

namespace {

std::wstring Text(HWND window) {
    wchar_t buffer[2048] = {};
    GetWindowTextW(window, buffer, ARRAYSIZE(buffer));
    return buffer;
}

std::wstring String(UINT id) { return Framework::LoadLocalizedString(id); }

std::wstring BitsLine(int bits) {
    wchar_t line[256];
    _snwprintf(line, ARRAYSIZE(line), String(IDS_DETECTED_BITS).c_str(), bits);
    line[ARRAYSIZE(line) - 1] = L'\0';
    return line;
}

struct RunSettings {
    DownloaderOptions options;
    bool admin = false;
    bool isWow64 = true;
    bool isArm64 = false;
    bool workerStarts = true;
};

class DialogRun {
public:
    explicit DialogRun(RunSettings settings) : settings_(std::move(settings)) {
        icon_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
        thread_ = std::thread([this] { Run(); });
        const ULONGLONG deadline = GetTickCount64() + 10000;
        while (!window_ && !finished_ && GetTickCount64() < deadline) {
            if (threadId_) window_ = FindDialog();
            Sleep(10);
        }
        // Once the dialog's thread answers, initialisation is over and the
        // modal loop has had its first idle moment.
        if (window_) {
            DWORD_PTR ignored;
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
            Sleep(200);
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
        }
    }
    ~DialogRun() {
        if (link_) link_->EndDialog(IDCANCEL);
        if (thread_.joinable()) thread_.join();
    }

    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool ItemVisible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
    std::wstring ItemText(int id) const { return Text(Item(id)); }
    WorkerLink& Link() const { return *link_; }
    int WorkerStarts() const { return workerStarts_; }
    PackageKind KindAtStart() const { return kindAtStart_; }
    bool Finished() const { return finished_; }

    // Waits for the modal run to end; returns its result, or -2 on timeout.
    INT_PTR WaitForEnd(DWORD timeoutMs = 5000) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!finished_ && GetTickCount64() < deadline) Sleep(10);
        if (!finished_) return -2;
        thread_.join();
        return result_;
    }
    int Outcome() const { return outcome_; }

private:
    void Run() {
        threadId_ = GetCurrentThreadId();
        CTarnwickDlg::Environment environment;
        environment.isUserAnAdmin = [this] { return settings_.admin; };
        environment.startWorker = [this](const std::shared_ptr<WorkerLink>& link) {
            ++workerStarts_;
            kindAtStart_ = link->packageKind;
            return settings_.workerStarts;
        };
        CTarnwickDlg dialog(&settings_.options, icon_, settings_.isWow64, settings_.isArm64, environment);
        link_ = dialog.GetWorkerLink();
        result_ = dialog.DoModal();
        outcome_ = dialog.GetOutcome();
        finished_ = true;
    }

    static BOOL CALLBACK TakeDialog(HWND window, LPARAM result) {
        wchar_t className[64] = {};
        GetClassNameW(window, className, ARRAYSIZE(className));
        if (std::wstring(className) != L"#32770") return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }

    HWND FindDialog() const {
        HWND found = nullptr;
        EnumThreadWindows(threadId_, TakeDialog, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    RunSettings settings_;
    HICON icon_ = nullptr;
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::shared_ptr<WorkerLink> link_;
    HWND window_ = nullptr;
    std::atomic<int> workerStarts_{0};
    std::atomic<PackageKind> kindAtStart_{PackageKind::None};
    std::atomic<bool> finished_{false};
    std::atomic<INT_PTR> result_{-1};
    std::atomic<int> outcome_{-1};
};

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

TEST(TarnwickDlg, UserWithoutElevationChoosesThePackage) {
    for (int button : {IDC_FULL, IDC_BASIC}) {
        DialogRun run({});
        ASSERT_NE(run.Window(), nullptr);
        EXPECT_TRUE(IsWindowVisible(run.Window()));
        EXPECT_TRUE(run.ItemVisible(IDC_FULL));
        EXPECT_TRUE(run.ItemVisible(IDC_BASIC));
        EXPECT_TRUE(run.ItemVisible(IDCANCEL));
        EXPECT_FALSE(run.ItemVisible(IDC_PROGRESS));
        EXPECT_EQ(run.ItemText(IDC_STATUS), BitsLine(64) + String(IDS_ADMIN_PROMPT));
        EXPECT_EQ(run.ItemText(IDCANCEL), L"Close");
        EXPECT_EQ(run.WorkerStarts(), 0);

        Click(run.Item(button));
        EXPECT_EQ(run.WorkerStarts(), 1);
        EXPECT_EQ(run.KindAtStart(), button == IDC_FULL ? PackageKind::Full : PackageKind::Basic);
        EXPECT_FALSE(run.ItemVisible(IDC_FULL));
        EXPECT_FALSE(run.ItemVisible(IDC_BASIC));
        EXPECT_TRUE(run.ItemVisible(IDC_PROGRESS));
        EXPECT_EQ(run.ItemText(IDCANCEL), String(IDS_CANCEL));
        EXPECT_EQ(String(IDS_CANCEL), L"Cancel");

        Click(run.Item(IDCANCEL));
        EXPECT_EQ(run.WaitForEnd(), IDCANCEL);
        EXPECT_EQ(run.Outcome(), static_cast<int>(ExitCode::UserCancelled));
    }
}

TEST(TarnwickDlg, ElevatedAdministratorStartsTheFullPackageOnce) {
    RunSettings settings;
    settings.admin = true;
    settings.options.installBasic = 1;  // only silent and passive runs read it
    DialogRun run(settings);
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(run.Window()));
    EXPECT_EQ(run.WorkerStarts(), 1);
    EXPECT_EQ(run.KindAtStart(), PackageKind::Full);
    EXPECT_FALSE(run.ItemVisible(IDC_FULL));
    EXPECT_FALSE(run.ItemVisible(IDC_BASIC));
    EXPECT_TRUE(run.ItemVisible(IDC_PROGRESS));
    EXPECT_TRUE(run.ItemVisible(IDCANCEL));
    EXPECT_EQ(run.ItemText(IDCANCEL), String(IDS_CANCEL));
    EXPECT_EQ(run.ItemText(IDC_STATUS), BitsLine(64));
    // Enter with no push button focused ends the dialog with IDOK.
    SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(run.WaitForEnd(), IDOK);
}

TEST(TarnwickDlg, SilentRunStaysHiddenAndEndsAfterAFailure) {
    for (bool admin : {true, false}) {
        SCOPED_TRACE(admin ? "administrator" : "user");
        RunSettings settings;
        settings.admin = admin;
        settings.options.silent = 1;
        settings.options.installBasic = 5;
        DialogRun run(settings);
        ASSERT_NE(run.Window(), nullptr);
        for (int i = 0; i < 20; ++i) {
            ASSERT_FALSE(IsWindowVisible(run.Window()));
            Sleep(10);
        }
        const LONG_PTR extended = GetWindowLongPtrW(run.Window(), GWL_EXSTYLE);
        EXPECT_TRUE(extended & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(extended & WS_EX_NOACTIVATE);
        EXPECT_EQ(run.WorkerStarts(), 1);
        EXPECT_EQ(run.KindAtStart(), PackageKind::Basic);
        EXPECT_FALSE(run.ItemVisible(IDC_FULL));
        EXPECT_FALSE(run.ItemVisible(IDC_BASIC));
        EXPECT_FALSE(run.ItemVisible(IDCANCEL));

        // The worker reports a failed download from its own thread.
        run.Link().ReportFailure(IDS_DOWNLOAD_FAILED);
        EXPECT_EQ(run.WaitForEnd(), IDCANCEL);
        EXPECT_EQ(run.Outcome(), static_cast<int>(ExitCode::DownloadFailed));
    }
}

TEST(TarnwickDlg, PassiveRunShowsProgressOnlyAndStaysOpenAfterAFailure) {
    RunSettings settings;
    settings.admin = true;
    settings.options.passive = 1;
    DialogRun run(settings);
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_TRUE(IsWindowVisible(run.Window()));
    EXPECT_EQ(run.WorkerStarts(), 1);
    EXPECT_EQ(run.KindAtStart(), PackageKind::Full);
    EXPECT_FALSE(run.ItemVisible(IDC_FULL));
    EXPECT_FALSE(run.ItemVisible(IDC_BASIC));
    EXPECT_FALSE(run.ItemVisible(IDCANCEL));
    EXPECT_TRUE(run.ItemVisible(IDC_PROGRESS));

    run.Link().ReportFailure(IDS_INSTALLER_FAILED);
    Sleep(300);
    EXPECT_FALSE(run.Finished());
    EXPECT_EQ(run.ItemText(IDCANCEL), L"Close");
    const std::wstring status = run.ItemText(IDC_STATUS);
    EXPECT_EQ(status, BitsLine(64) + String(IDS_INSTALLER_FAILED));
    // The title bar's close box.
    PostMessageW(run.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(run.WaitForEnd(), IDCANCEL);
    EXPECT_EQ(run.Outcome(), static_cast<int>(ExitCode::LaunchFailed));
}

TEST(TarnwickDlg, WorkerThatCannotStartIsReported) {
    RunSettings settings;
    settings.admin = true;
    settings.workerStarts = false;
    DialogRun run(settings);
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_EQ(run.ItemText(IDC_STATUS), BitsLine(64) + String(IDS_NO_RESOURCES));
    EXPECT_EQ(run.ItemText(IDCANCEL), L"Close");
    EXPECT_TRUE(run.ItemVisible(IDC_PROGRESS));
    EXPECT_FALSE(run.ItemVisible(IDC_FULL));
    Click(run.Item(IDCANCEL));
    EXPECT_EQ(run.WaitForEnd(), IDCANCEL);
    EXPECT_EQ(run.Outcome(), static_cast<int>(ExitCode::WorkerNotStarted));
}

TEST(TarnwickDlg, FirstStatusLineFollowsTheArchitecture) {
    RunSettings arm;
    arm.isArm64 = true;
    DialogRun armRun(arm);
    ASSERT_NE(armRun.Window(), nullptr);
    EXPECT_EQ(armRun.ItemText(IDC_STATUS), String(IDS_DETECTED_ARM) + String(IDS_ADMIN_PROMPT));

    RunSettings x86;
    x86.isWow64 = false;
    DialogRun x86Run(x86);
    ASSERT_NE(x86Run.Window(), nullptr);
    EXPECT_EQ(x86Run.ItemText(IDC_STATUS).rfind(BitsLine(32), 0), 0u);
    EXPECT_NE(BitsLine(32).find(L"32"), std::wstring::npos);
}

TEST(TarnwickDlg, EndRequestFromAnotherThreadAndUseAfterTheEnd) {
    RunSettings settings;
    settings.admin = true;
    DialogRun run(settings);
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_FALSE(run.Link().RunEnded());
    std::thread worker([&] { run.Link().EndDialog(IDCANCEL); });
    worker.join();
    EXPECT_EQ(run.WaitForEnd(), IDCANCEL);
    // A worker that goes on after the run ended changes nothing and does not crash.
    EXPECT_TRUE(run.Link().RunEnded());
    run.Link().AppendStatus(L"late text");
    run.Link().SendToProgressBar(PBM_SETPOS, 50, 0);
    run.Link().EndDialog(IDOK);
    EXPECT_FALSE(IsWindow(run.Window()));
}

TEST(TarnwickDlg, DragIconAndWindowIcons) {
    DialogRun run({});
    ASSERT_NE(run.Window(), nullptr);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(run.Window(), WM_QUERYDRAGICON, 0, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(run.Window(), WM_GETICON, ICON_BIG, 0)), icon);
    // Minimised, the dialog paints its icon without trouble.
    ShowWindow(run.Window(), SW_MINIMIZE);
    UpdateWindow(run.Window());
    EXPECT_TRUE(IsIconic(run.Window()));
}

TEST(TarnwickDlg, BannerCoversItsControl) {
    DialogRun run({});
    ASSERT_NE(run.Window(), nullptr);
    HWND banner = run.Item(IDC_BANNER);
    auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(banner, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof(info), &info));
    RECT rect;
    GetWindowRect(banner, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    EXPECT_GE(info.bmWidth, width - 1);
    EXPECT_GE(info.bmHeight, height - 1);
    EXPECT_TRUE(info.bmWidth <= width + 1 || info.bmHeight <= height + 1);
}

}  // namespace
