#include "tests/layout/DialogTemplate.h"

#include <cstdio>

DialogTemplate::DialogTemplate(short cx, short cy, const wchar_t* font, WORD pointSize) {
    Word(1);
    Word(0xFFFF);
    Dword(0);  // help id
    Dword(0);  // extended style
    Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS | DS_MODALFRAME);
    countOffset_ = bytes_.size();
    Word(0);
    Word(0);
    Word(0);
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Word(0);  // no menu
    Word(0);  // default class
    String(L"Layout test");
    Word(pointSize);
    Word(FW_NORMAL);
    bytes_.push_back(0);  // italic
    bytes_.push_back(DEFAULT_CHARSET);
    String(font);
}

DialogTemplate& DialogTemplate::Add(DWORD id, const wchar_t* className, const wchar_t* text, DWORD style,
                                    short x, short y, short cx, short cy, DWORD exStyle) {
    Align();
    Dword(0);
    Dword(exStyle);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Dword(id);
    String(className);
    String(text);
    Word(0);  // no creation data
    WORD& count = *reinterpret_cast<WORD*>(&bytes_[countOffset_]);
    ++count;
    return *this;
}

static INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

HWND DialogTemplate::Create() const {
    std::vector<BYTE> copy = bytes_;
    copy.resize((copy.size() + 3) & ~size_t{3});
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()),
                                      nullptr, QuietDialogProc, 0);
}

void DialogTemplate::Word(WORD value) {
    bytes_.push_back(static_cast<BYTE>(value & 0xFF));
    bytes_.push_back(static_cast<BYTE>(value >> 8));
}

void DialogTemplate::Dword(DWORD value) {
    Word(static_cast<WORD>(value & 0xFFFF));
    Word(static_cast<WORD>(value >> 16));
}

void DialogTemplate::String(const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p) Word(static_cast<WORD>(*p));
    Word(0);
}

void DialogTemplate::Align() {
    while (bytes_.size() % 4) bytes_.push_back(0);
}

int DluX(HWND dialog, int dlu) {
    RECT r{0, 0, dlu, 0};
    MapDialogRect(dialog, &r);
    return r.right;
}

int DluY(HWND dialog, int dlu) {
    RECT r{0, 0, 0, dlu};
    MapDialogRect(dialog, &r);
    return r.bottom;
}

RECT ControlRect(HWND dialog, int id) {
    RECT r{};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE ClientSize(HWND dialog) {
    RECT r{};
    GetClientRect(dialog, &r);
    return {r.right, r.bottom};
}

void PlaceControl(HWND dialog, int id, int x, int y, int cx, int cy) {
    RECT r{x, y, x + cx, y + cy};
    MapDialogRect(dialog, &r);
    MoveWindow(GetDlgItem(dialog, id), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
}

std::string Describe(const RECT& r) {
    char text[80];
    std::snprintf(text, sizeof text, "{%ld, %ld, %ld, %ld}", static_cast<long>(r.left), static_cast<long>(r.top),
                  static_cast<long>(r.right), static_cast<long>(r.bottom));
    return text;
}

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
