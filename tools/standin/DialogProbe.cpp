// standin_inspect: reads and drives the downloader's dialog from another process.
//   standin_inspect watch TIMEOUT_MS [UNTIL_TEXT]
//       Samples the dialog every 20 ms until it has come and gone, until its status
//       text contains UNTIL_TEXT, or until the time-out, then prints what it saw:
//       seen, ended, visible, status, button2, button2_visible, range_max_min,
//       range_max_max, pos_max (one "name=value" line each; line ends in the status
//       shown as "|").
//   standin_inspect close      asks the dialog to close (title bar close box)
//   standin_inspect click ID   clicks the dialog's button ID
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const wchar_t kCaption[] = L"Corvantis Client Downloader";

HWND FindDialog() { return FindWindowW(L"#32770", kCaption); }

std::wstring GetText(HWND window) {
    if (!window) return {};
    LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring OneLine(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\r') c = L'|';
    std::wstring out;
    for (wchar_t c : text)
        if (c != L'\n') out += c;
    return out;
}

struct Observation {
    bool seen = false;
    bool ended = false;
    bool visible = false;
    std::wstring status;
    std::wstring button2;
    bool button2Visible = false;
    long long rangeMaxMin = -1;
    long long rangeMaxMax = -1;
    long long posMax = -1;
};

void Sample(HWND dialog, Observation& seen) {
    // The program only ever appends to the status: an empty one after text was
    // seen is a dialog being torn down, whose last state is already recorded.
    std::wstring status = GetText(GetDlgItem(dialog, 1005));
    if (status.empty() && !seen.status.empty()) return;
    seen.visible = IsWindowVisible(dialog) != FALSE;
    seen.status = status;
    HWND button2 = GetDlgItem(dialog, 2);
    seen.button2 = GetText(button2);
    seen.button2Visible = button2 && IsWindowVisible(button2);
    HWND bar = GetDlgItem(dialog, 1001);
    if (!bar) return;
    long long high = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    long long pos = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (seen.rangeMaxMin < 0 || high < seen.rangeMaxMin) seen.rangeMaxMin = high;
    if (high > seen.rangeMaxMax) seen.rangeMaxMax = high;
    if (pos > seen.posMax) seen.posMax = pos;
}

int Watch(DWORD timeoutMs, const wchar_t* untilText) {
    Observation seen;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND dialog = FindDialog();
        if (!dialog) {
            if (seen.seen) {
                seen.ended = true;
                break;
            }
        } else {
            seen.seen = true;
            Sample(dialog, seen);
            if (untilText && *untilText && seen.status.find(untilText) != std::wstring::npos) break;
        }
        Sleep(20);
    }
    wprintf(L"seen=%d\nended=%d\nvisible=%d\n", seen.seen, seen.ended, seen.visible);
    wprintf(L"status=%ls\nbutton2=%ls\nbutton2_visible=%d\n", OneLine(seen.status).c_str(),
            seen.button2.c_str(), seen.button2Visible);
    wprintf(L"range_max_min=%lld\nrange_max_max=%lld\npos_max=%lld\n", seen.rangeMaxMin,
            seen.rangeMaxMax, seen.posMax);
    return seen.seen ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && wcscmp(argv[1], L"watch") == 0)
        return Watch(static_cast<DWORD>(_wtoi(argv[2])), argc >= 4 ? argv[3] : nullptr);
    HWND dialog = FindDialog();
    if (argc == 2 && wcscmp(argv[1], L"close") == 0) {
        if (!dialog) return 1;
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (argc == 3 && wcscmp(argv[1], L"click") == 0) {
        HWND button = dialog ? GetDlgItem(dialog, _wtoi(argv[2])) : nullptr;
        if (!button) return 1;
        PostMessageW(button, BM_CLICK, 0, 0);
        return 0;
    }
    fwprintf(stderr, L"usage: standin_inspect watch TIMEOUT_MS [UNTIL_TEXT] | close | click ID\n");
    return 2;
}
