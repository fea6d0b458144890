// The downloader dialog as the program shows it, in every interface language:
// its controls are measured through their windows once the dialog is on screen.
// Run at a raised DPI by layout_dialog_144dpi (TARNWICK_LAYOUT_DPI names the
// DPI the prefix was set to).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog/TarnwickDlg.h"
#include "framework/Localization.h"
#include "res/resource.h"

namespace {

struct Button {
    RECT rect{};
    std::wstring text;
    SIZE textSize{};  // one line, prefix hidden, in the button's font
};

struct Geometry {
    bool seen = false;
    int dpi = 0;
    SIZE client{};
    RECT banner{}, status{}, progress{};
    Button full, basic, close;
    int marginX = 0, marginY = 0, minButtonWidth = 0, paddingX = 0;
};

HWND dialogThreadWindow = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM) {
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
        dialogThreadWindow = window;
        return FALSE;
    }
    return TRUE;
}

RECT RectOf(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

Button ButtonOf(HWND dialog, int id) {
    Button b;
    HWND window = GetDlgItem(dialog, id);
    b.rect = RectOf(dialog, id);
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    b.text = text;
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT r{};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_HIDEPREFIX);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    b.textSize = {r.right - r.left, r.bottom - r.top};
    return b;
}

Geometry* measured = nullptr;
LANGID shownLanguage = 0;

// With TARNWICK_LAYOUT_SHOTS naming a folder, keeps a picture of the dialog's
// client area as
// "<language>-<dpi>.bmp" there, for people to look at.
void SavePicture(HWND dialog, int dpi) {
    const char* folder = std::getenv("TARNWICK_LAYOUT_SHOTS");
    if (!folder || !*folder) return;
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r{};
    GetClientRect(dialog, &r);
    const int w = r.right, h = r.bottom;
    HDC window = GetDC(dialog);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, window, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{sizeof info, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    std::vector<BYTE> bits(stride * static_cast<DWORD>(h));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(dialog, window);
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info + bits.size()), 0, 0,
                          static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof info)};
    const std::string path = std::string(folder) + "\\" + std::to_string(shownLanguage) + "-" +
                             std::to_string(dpi) + ".bmp";
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info, sizeof info, 1, out);
        std::fwrite(bits.data(), 1, bits.size(), out);
        std::fclose(out);
    }
}

// Runs on the dialog's thread from its modal loop: measures the dialog once it
// is visible, then closes it.
void CALLBACK MeasureWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    dialogThreadWindow = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, 0);
    HWND dialog = dialogThreadWindow;
    if (!dialog) return;
    KillTimer(nullptr, timer);
    Geometry& g = *measured;
    g.seen = true;
    HDC screen = GetDC(nullptr);
    g.dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT client{};
    GetClientRect(dialog, &client);
    g.client = {client.right, client.bottom};
    g.banner = RectOf(dialog, IDC_BANNER);
    g.status = RectOf(dialog, IDC_STATUS);
    g.progress = RectOf(dialog, IDC_PROGRESS);
    g.full = ButtonOf(dialog, IDC_FULL);
    g.basic = ButtonOf(dialog, IDC_BASIC);
    g.close = ButtonOf(dialog, IDCANCEL);
    RECT units{0, 0, 6, 6};
    MapDialogRect(dialog, &units);
    g.marginX = units.right;
    g.marginY = units.bottom;
    RECT minimum{0, 0, 50, 0};
    MapDialogRect(dialog, &minimum);
    g.minButtonWidth = minimum.right;
    RECT padding{0, 0, 4, 0};
    MapDialogRect(dialog, &padding);
    g.paddingX = padding.right;
    SavePicture(dialog, g.dpi);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

Geometry ShowDownloaderDialog(LANGID language) {
    Framework::SetResourceLanguage(language);
    shownLanguage = language;
    DownloaderOptions options;
    CTarnwickDlg::Environment environment;
    environment.isUserAnAdmin = [] { return false; };  // buttons shown, nothing started
    environment.startWorker = [](const std::shared_ptr<WorkerLink>&) { return true; };
    CTarnwickDlg dialog(&options, nullptr, false, false, environment);
    Geometry g;
    measured = &g;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, MeasureWhenShown);
    dialog.DoModal();
    KillTimer(nullptr, timer);
    measured = nullptr;
    Framework::SetResourceLanguage(0);
    return g;
}

int Height(const RECT& r) { return r.bottom - r.top; }
int Width(const RECT& r) { return r.right - r.left; }

class DownloaderDialogLayout : public ::testing::TestWithParam<LANGID> {
protected:
    static void SetUpTestSuite() { SetProcessDPIAware(); }
};

TEST_P(DownloaderDialogLayout, FitsItsTextsBetweenTheMargins) {
    const LANGID language = GetParam();
    if (!FindResourceExW(GetModuleHandleW(nullptr), RT_DIALOG, MAKEINTRESOURCEW(IDD_TARNWICK_DIALOG), language))
        GTEST_SKIP() << "no dialog template in language " << language;
    const Geometry g = ShowDownloaderDialog(language);
    ASSERT_TRUE(g.seen);
    if (const char* dpi = std::getenv("TARNWICK_LAYOUT_DPI")) {
        ASSERT_EQ(g.dpi, std::atoi(dpi)) << "the prefix's LogPixels did not take effect";
    }

    // Banner across the whole client width at the very top.
    EXPECT_EQ(g.banner.left, 0);
    EXPECT_EQ(g.banner.top, 0);
    EXPECT_EQ(g.banner.right, g.client.cx);
    // Status and progress between the margins, each 6 units below the one above.
    const int right = g.client.cx - g.marginX;
    EXPECT_EQ(g.status.left, g.marginX);
    EXPECT_EQ(g.status.right, right);
    EXPECT_EQ(g.status.top, g.banner.bottom + g.marginY);
    EXPECT_EQ(g.progress.left, g.marginX);
    EXPECT_EQ(g.progress.right, right);
    EXPECT_EQ(g.progress.top, g.status.bottom + g.marginY);
    // Buttons: Full at the left margin, Basic 6 units to its right, Close at the
    // right margin, both centred on Full; the dialog ends 6 units below Close.
    const RECT& full = g.full.rect;
    EXPECT_EQ(full.left, g.marginX);
    EXPECT_EQ(full.top, g.progress.bottom + g.marginY);
    EXPECT_EQ(g.basic.rect.left, full.right + g.marginX);
    EXPECT_EQ(g.basic.rect.top, full.top + Height(full) / 2 - Height(g.basic.rect) / 2);
    EXPECT_EQ(g.close.rect.right, right);
    EXPECT_EQ(g.close.rect.top, full.top + Height(full) / 2 - Height(g.close.rect) / 2);
    EXPECT_EQ(g.client.cy, g.close.rect.bottom + g.marginY);

    for (const Button* b : {&g.full, &g.basic, &g.close}) {
        SCOPED_TRACE(std::string(b->text.begin(), b->text.end()));
        EXPECT_GE(Width(b->rect), g.minButtonWidth);
        EXPECT_GE(Width(b->rect), b->textSize.cx + 2 * g.paddingX);
        EXPECT_GE(Height(b->rect), b->textSize.cy);
    }
    RECT overlap{};
    EXPECT_FALSE(IntersectRect(&overlap, &g.full.rect, &g.basic.rect));
    EXPECT_FALSE(IntersectRect(&overlap, &g.basic.rect, &g.close.rect));
    EXPECT_FALSE(IntersectRect(&overlap, &g.full.rect, &g.close.rect));
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, DownloaderDialogLayout,
                         ::testing::Values(1033, 1031, 1036, 1040, 1041, 1042, 1043, 1046, 3082, 1028, 4),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return "Language" + std::to_string(info.param);
                         });

}  // namespace
