#include <gtest/gtest.h>

#include <cstdlib>

#include "ProgramRun.h"
#include "framework/Localization.h"
#include "res/resource.h"

namespace {

const wchar_t* const DialogClass = L"#32770";
const wchar_t* const DialogCaption = L"Corvantis Client Downloader";
constexpr DWORD UnsupportedSystemExitCode = 1633;

// The first status line in `language`, as this test's copy of the resources has it.
std::wstring ArchitectureLine(LANGID language, int bits) {
    const std::wstring format =
        Framework::LoadStringInLanguage(Framework::GetResourceModule(), IDS_DETECTED_BITS, language);
    wchar_t line[256];
    _snwprintf(line, ARRAYSIZE(line), format.c_str(), bits);
    line[ARRAYSIZE(line) - 1] = L'\0';
    return line;
}

// The bits the program should detect: 64 in the usual prefix, 32 where the
// driver script runs this test in a 32-bit prefix.
int ExpectedBits() {
    const char* bits = std::getenv("TARNWICK_EXPECT_BITS");
    return bits ? std::atoi(bits) : 64;
}

bool ShowsTheDialog(const ProgramRun& run) {
    for (const WindowInfo& info : run.TopLevelWindows()) {
        if (info.visible && info.className == DialogClass && info.text == DialogCaption) return true;
    }
    return false;
}

void CloseDialog(HWND dialog) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

TEST(RealProgram, StartsWithItsDialogInEnglishByDefault) {
    ProgramRun run(L"DefaultRun");
    ASSERT_TRUE(run.Start(L""));
    HWND dialog = run.WaitForWindow(DialogClass);
    ASSERT_NE(dialog, nullptr);
    wchar_t caption[128] = {};
    GetWindowTextW(dialog, caption, ARRAYSIZE(caption));
    EXPECT_STREQ(caption, DialogCaption);
    EXPECT_EQ(ControlText(dialog, IDC_STATUS).rfind(ArchitectureLine(1033, ExpectedBits()), 0), 0u)
        << "status: " << testing::PrintToString(ControlText(dialog, IDC_STATUS));
    EXPECT_EQ(ControlText(dialog, IDC_FULL), L"Install &Full Client");
    CloseDialog(dialog);
    EXPECT_NE(run.WaitForExit(), STILL_ACTIVE);
}

TEST(RealProgram, LanguageOptionShowsTheGermanDialog) {
    ProgramRun run(L"GermanRun");
    ASSERT_TRUE(run.Start(L"-language='de'"));
    HWND dialog = run.WaitForWindow(DialogClass);
    ASSERT_NE(dialog, nullptr);
    const std::wstring german = ArchitectureLine(1031, ExpectedBits());
    ASSERT_NE(german, ArchitectureLine(1033, ExpectedBits()));
    EXPECT_EQ(ControlText(dialog, IDC_STATUS).rfind(german, 0), 0u)
        << "status: " << testing::PrintToString(ControlText(dialog, IDC_STATUS));
    // The buttons come from the German template.
    const std::wstring fullButton = ControlText(dialog, IDC_FULL);
    EXPECT_FALSE(fullButton.empty());
    EXPECT_NE(fullButton, L"Install &Full Client");
    CloseDialog(dialog);
    EXPECT_NE(run.WaitForExit(), STILL_ACTIVE);
}

TEST(RealProgram, Windows7IsRefusedWithAMessage) {
    ProgramRun run(L"GateOnWin7", L"win7");
    ASSERT_TRUE(run.Start(L"-language='de'"));
    HWND box = run.WaitForWindow(DialogClass);
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(ShowsTheDialog(run));
    wchar_t caption[128] = {};
    GetWindowTextW(box, caption, ARRAYSIZE(caption));
    EXPECT_STREQ(caption, L"GateOnWin7");
    // The message comes in the system's language: the option is not read yet.
    const std::wstring expected = Framework::LoadStringInLanguage(Framework::GetResourceModule(),
                                                                  IDS_UNSUPPORTED_OS, 1033);
    EXPECT_EQ(ControlText(box, 0xFFFF), expected);
    EXPECT_EQ(expected, L"Corvantis Client requires Windows 10 or Windows Server 2012 R2 or newer.");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(run.WaitForExit(), UnsupportedSystemExitCode);
    EXPECT_FALSE(ShowsTheDialog(run));
}

TEST(RealProgram, Windows81AndWindows10Pass) {
    for (const wchar_t* version : {L"win81", L"win10"}) {
        SCOPED_TRACE(testing::Message() << version);
        ProgramRun run(std::wstring(L"GateOn") + version, version);
        ASSERT_TRUE(run.Start(L""));
        HWND dialog = run.WaitForWindow(DialogClass);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(ShowsTheDialog(run));
        CloseDialog(dialog);
        EXPECT_NE(run.WaitForExit(), STILL_ACTIVE);
    }
}

}  // namespace
