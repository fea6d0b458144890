// Measuring pass of the layout engine: each control kind is sized to its text
// in its own font, with the engine's metrics worked out from dialog units.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <string>

#include "dialog/DialogLayout.h"
#include "tests/layout/DialogTemplate.h"

namespace {

constexpr UINT LabelFlags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_EDITCONTROL | DT_HIDEPREFIX;

// The text's size in the control's font, wrapped at `limit` pixels.
SIZE TextSize(HWND control, const std::wstring& text, int limit, UINT flags = LabelFlags) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT r{0, 0, limit, 0};
    DrawTextW(dc, text.c_str(), -1, &r, flags);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {r.right, r.bottom};
}

SIZE SizeOf(HWND dialog, int id) {
    const RECT r = ControlRect(dialog, id);
    return {r.right - r.left, r.bottom - r.top};
}

// Measures every listed control (no arranging rules) and returns the table.
struct Measured {
    LayoutEntry table[LayoutTableSize]{};
};
Measured Measure(HWND dialog, std::initializer_list<LayoutEntry> entries) {
    Measured m;
    int i = 0;
    for (const LayoutEntry& e : entries) m.table[i++] = e;
    ApplyDialogLayout(dialog, m.table);
    return m;
}

LayoutEntry Entry(int id, int32_t flags = 0) { return {id, flags, 0, 0, 0, 0, 0}; }

constexpr wchar_t LongText[] = L"Installieren Sie den vollst\u00e4ndigen Client";

TEST(LayoutMeasure, PushButtonsFitTheirTextWithInsetsAndMinimumWidth) {
    DialogWindow dialog(DialogTemplate(300, 200)
                            .Add(20, L"button", L"OK", BS_PUSHBUTTON, 7, 7, 60, 12)
                            .Add(21, L"button", LongText, BS_PUSHBUTTON, 7, 30, 60, 14)
                            .Add(22, L"button", L"Abc", BS_PUSHBUTTON, 7, 50, 30, 12)
                            .Add(23, L"button", L"&Go", BS_DEFPUSHBUTTON, 7, 70, 60, 25)
                            .Add(24, L"button", L"", BS_PUSHBUTTON, 7, 100, 60, 12)
                            .Add(25, L"button", L"OK", BS_PUSHBUTTON, 7, 120, 60, 12)
                            .Create());
    const RECT before21 = ControlRect(dialog, 21);
    const SIZE before22 = SizeOf(dialog, 22);
    const SIZE before24 = SizeOf(dialog, 24);
    const SIZE before25 = SizeOf(dialog, 25);
    const Measured m = Measure(dialog, {Entry(20), Entry(21), Entry(22), Entry(23), Entry(24), Entry(25, 0x40000)});

    const int inset = DluY(dialog, 11);
    const int height = DluY(dialog, 14);
    // Short text: the minimum width wins; height in range becomes the button height.
    EXPECT_EQ(SizeOf(dialog, 20).cx, DluX(dialog, 50));
    EXPECT_EQ(SizeOf(dialog, 20).cy, height);
    // Long text: one line plus two insets, left and top edges kept.
    const SIZE text = TextSize(GetDlgItem(dialog, 21), LongText, 0x7FFF);
    EXPECT_GT(text.cx + 2 * inset, DluX(dialog, 60));
    EXPECT_EQ(SizeOf(dialog, 21).cx, text.cx + 2 * inset);
    EXPECT_EQ(ControlRect(dialog, 21).left, before21.left);
    EXPECT_EQ(ControlRect(dialog, 21).top, before21.top);
    // Narrow buttons keep their width.
    EXPECT_EQ(SizeOf(dialog, 22).cx, before22.cx);
    EXPECT_EQ(SizeOf(dialog, 22).cy, height);
    // Taller than the button range: height kept.
    EXPECT_EQ(SizeOf(dialog, 23).cy, DluY(dialog, 25));
    EXPECT_EQ(SizeOf(dialog, 23).cx, DluX(dialog, 50));
    // Empty text and "do not measure" leave the button alone.
    EXPECT_EQ(SizeOf(dialog, 24).cx, before24.cx);
    EXPECT_EQ(SizeOf(dialog, 24).cy, before24.cy);
    EXPECT_EQ(SizeOf(dialog, 25).cx, before25.cx);
    EXPECT_EQ(SizeOf(dialog, 25).cy, before25.cy);
    EXPECT_EQ(m.table[0].controlKind, LayoutKindPushButton);
    EXPECT_EQ(m.table[5].controlKind, LayoutKindOther);  // not measured, not classified
}

TEST(LayoutMeasure, StaticTextsFitWidthAndGrowOrCentreVertically) {
    const wchar_t* twoLines = L"First line\nSecond line";
    const wchar_t* paragraph = L"A longer paragraph that wraps inside its static control.";
    DialogWindow dialog(DialogTemplate(300, 200)
                            .Add(30, L"static", L"Short", SS_LEFT, 7, 7, 100, 8)
                            .Add(31, L"static", twoLines, SS_LEFT, 7, 20, 100, 10)
                            .Add(32, L"static", paragraph, SS_LEFT, 7, 40, 80, 30)
                            .Add(33, L"static", paragraph, SS_LEFT, 7, 80, 40, 8)
                            .Add(34, L"static", L"", SS_LEFT, 7, 100, 40, 8)
                            .Create());
    const SIZE before32 = SizeOf(dialog, 32);
    const SIZE before34 = SizeOf(dialog, 34);
    Measure(dialog, {Entry(30), Entry(31), Entry(32), Entry(33, 0x80000), Entry(34)});
    const int inset = DluY(dialog, 11);

    // One line in a low static: text width, inset height, centred vertically.
    const SIZE shortText = TextSize(GetDlgItem(dialog, 30), L"Short", DluX(dialog, 100));
    EXPECT_EQ(SizeOf(dialog, 30).cx, shortText.cx);
    EXPECT_EQ(SizeOf(dialog, 30).cy, inset);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, 30), GWL_STYLE) & SS_CENTERIMAGE);
    // Two lines are taller than the inset: the static takes the text's size.
    const SIZE two = TextSize(GetDlgItem(dialog, 31), twoLines, DluX(dialog, 100));
    EXPECT_GT(two.cy, inset);
    EXPECT_EQ(SizeOf(dialog, 31).cx, two.cx);
    EXPECT_EQ(SizeOf(dialog, 31).cy, two.cy);
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(dialog, 31), GWL_STYLE) & SS_CENTERIMAGE);
    // A tall static keeps its height; its width shrinks to the wrapped text.
    const SIZE wrapped = TextSize(GetDlgItem(dialog, 32), paragraph, before32.cx);
    EXPECT_EQ(SizeOf(dialog, 32).cx, wrapped.cx);
    EXPECT_EQ(SizeOf(dialog, 32).cy, before32.cy);
    // Measured as a single line: widened to the whole text.
    const SIZE single = TextSize(GetDlgItem(dialog, 33), paragraph, 0, LabelFlags | DT_SINGLELINE);
    EXPECT_EQ(SizeOf(dialog, 33).cx, single.cx);
    EXPECT_EQ(SizeOf(dialog, 34).cx, before34.cx);
}

TEST(LayoutMeasure, PictureStaticsAreNotSizedByText) {
    DialogWindow dialog(DialogTemplate(300, 200)
                            .Add(35, L"static", L"Banner", SS_BITMAP | SS_CENTERIMAGE, 7, 7, 200, 40)
                            .Add(36, L"static", L"Owner", SS_OWNERDRAW, 7, 60, 200, 12)
                            .Create());
    const SIZE before35 = SizeOf(dialog, 35);
    const SIZE before36 = SizeOf(dialog, 36);
    const Measured m = Measure(dialog, {Entry(35), Entry(36)});
    EXPECT_EQ(SizeOf(dialog, 35).cx, before35.cx);
    EXPECT_EQ(SizeOf(dialog, 36).cx, before36.cx);
    EXPECT_EQ(m.table[0].controlKind, LayoutKindStatic);
    EXPECT_EQ(m.table[1].controlKind, LayoutKindOwnerDrawStatic);
}

TEST(LayoutMeasure, EditHeights) {
    const wchar_t* lines = L"One\r\nTwo\r\nThree";
    DialogWindow dialog(DialogTemplate(300, 200)
                            .Add(40, L"edit", L"", ES_AUTOHSCROLL, 7, 7, 100, 12, WS_EX_CLIENTEDGE)
                            .Add(41, L"edit", L"", ES_AUTOHSCROLL, 7, 25, 100, 12)
                            .Add(42, L"edit", L"", ES_AUTOHSCROLL, 7, 45, 100, 20, WS_EX_CLIENTEDGE)
                            .Add(43, L"edit", L"", ES_MULTILINE, 7, 70, 100, 14, WS_EX_CLIENTEDGE)
                            .Add(44, L"edit", lines, ES_MULTILINE, 7, 90, 100, 80, WS_EX_CLIENTEDGE)
                            .Create());
    HWND multi = GetDlgItem(dialog, 44);
    RECT format{};
    SendMessageW(multi, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    RECT client{};
    GetClientRect(multi, &client);
    const SIZE before44 = SizeOf(dialog, 44);
    const Measured m = Measure(dialog, {Entry(40), Entry(41), Entry(42), Entry(43), Entry(44)});

    EXPECT_EQ(SizeOf(dialog, 40).cy, DluY(dialog, 11));
    EXPECT_EQ(SizeOf(dialog, 41).cy, DluY(dialog, 11) - 4);  // no client edge
    EXPECT_EQ(SizeOf(dialog, 42).cy, DluY(dialog, 20));       // out of range
    EXPECT_EQ(SizeOf(dialog, 43).cy, DluY(dialog, 11));       // empty multi-line: as single-line
    // With text: as high as its lines plus the frame, as wide as the widest
    // line plus the frame and margins, so the text wraps as measured.
    const int formatWidth = format.right - format.left;
    const SIZE text = TextSize(multi, lines, formatWidth, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS |
                                                                   DT_EDITCONTROL | DT_NOPREFIX);
    EXPECT_EQ(SizeOf(dialog, 44).cy, text.cy + (before44.cy - client.bottom) + 2);
    EXPECT_EQ(SizeOf(dialog, 44).cx, text.cx + before44.cx - formatWidth);
    EXPECT_EQ(SendMessageW(multi, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(m.table[0].controlKind, LayoutKindEdit);
    EXPECT_EQ(m.table[4].controlKind, LayoutKindMultiLineEdit);
}

TEST(LayoutMeasure, RadioAndCheckBoxesMakeRoomForTheirBox) {
    DialogWindow dialog(DialogTemplate(300, 200)
                            .Add(50, L"button", L"&Radio choice", BS_AUTORADIOBUTTON, 7, 7, 200, 10)
                            .Add(51, L"button", L"Check this", BS_AUTOCHECKBOX, 7, 20, 20, 10)
                            .Add(52, L"button", L"Three states", BS_AUTO3STATE, 7, 35, 200, 10)
                            .Add(53, L"button", L"Group", BS_GROUPBOX, 7, 50, 200, 60)
                            .Add(54, L"button", LongText, BS_GROUPBOX, 7, 120, 30, 40)
                            .Create());
    const SIZE before53 = SizeOf(dialog, 53);
    const Measured m = Measure(dialog, {Entry(50), Entry(51), Entry(52), Entry(53), Entry(54)});
    for (int id : {50, 51, 52}) {
        SCOPED_TRACE(id);
        wchar_t text[64];
        GetDlgItemTextW(dialog, id, text, 64);
        const SIZE t = TextSize(GetDlgItem(dialog, id), text, 0x7FFF);
        EXPECT_EQ(SizeOf(dialog, id).cx, t.cx + t.cy * 3 / 2);
        EXPECT_EQ(SizeOf(dialog, id).cy, DluY(dialog, 10));
    }
    // A group box frames other controls: never narrowed, widened for its caption.
    EXPECT_EQ(SizeOf(dialog, 53).cx, before53.cx);
    const SIZE caption = TextSize(GetDlgItem(dialog, 54), LongText, 0x7FFF);
    EXPECT_EQ(SizeOf(dialog, 54).cx, caption.cx + caption.cy * 3 / 2);
    EXPECT_EQ(m.table[0].controlKind, LayoutKindRadioButton);
    EXPECT_EQ(m.table[1].controlKind, LayoutKindCheckBox);
    EXPECT_EQ(m.table[2].controlKind, LayoutKindCheckBox);
    EXPECT_EQ(m.table[3].controlKind, LayoutKindCheckBox);
}

TEST(LayoutMeasure, UpDownOwnerDrawnAndOtherClasses) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    DialogWindow dialog(DialogTemplate(300, 200)
                            .Add(60, UPDOWN_CLASSW, L"", 0, 7, 7, 10, 20)
                            .Add(61, L"button", L"Owner drawn text", BS_OWNERDRAW, 7, 30, 60, 12)
                            .Add(62, PROGRESS_CLASSW, L"", 0, 7, 50, 100, 12)
                            .Create());
    const SIZE before61 = SizeOf(dialog, 61);
    const SIZE before62 = SizeOf(dialog, 62);
    const Measured m = Measure(dialog, {Entry(60), Entry(61), Entry(62)});
    EXPECT_EQ(SizeOf(dialog, 60).cy, DluY(dialog, 12));
    EXPECT_EQ(SizeOf(dialog, 61).cx, before61.cx);
    EXPECT_EQ(SizeOf(dialog, 61).cy, before61.cy);
    EXPECT_EQ(SizeOf(dialog, 62).cx, before62.cx);
    EXPECT_EQ(m.table[0].controlKind, LayoutKindUpDown);
    EXPECT_EQ(m.table[1].controlKind, LayoutKindOwnerDrawButton);
    EXPECT_EQ(m.table[2].controlKind, LayoutKindOther);
}

TEST(LayoutMeasure, LinksTakeTheirIdealSize) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    const wchar_t* text = L"Read the <a>release notes</a> before you install the client.";
    HWND made = DialogTemplate(300, 200)
                    .Add(70, WC_LINK, text, 0, 7, 7, 20, 10)
                    .Add(71, WC_LINK, text, 0, 7, 30, 250, 60)
                    .Create();
    if (!made) GTEST_SKIP() << "no SysLink class here";
    DialogWindow dialog(made);
    HWND narrow = GetDlgItem(dialog, 70);
    HWND tall = GetDlgItem(dialog, 71);
    RECT window{};
    GetWindowRect(dialog, &window);
    SIZE idealOneLine{}, idealOwnWidth{};
    SendMessageW(narrow, 0x701, window.right - window.left, reinterpret_cast<LPARAM>(&idealOneLine));
    SendMessageW(tall, 0x701, SizeOf(dialog, 71).cx, reinterpret_cast<LPARAM>(&idealOwnWidth));
    ASSERT_GT(idealOneLine.cx, SizeOf(dialog, 70).cx);
    ASSERT_GT(idealOwnWidth.cy, 0);
    ASSERT_LT(idealOwnWidth.cy, SizeOf(dialog, 71).cy);
    const SIZE before71 = SizeOf(dialog, 71);

    const Measured m = Measure(dialog, {Entry(70, 0x80000), Entry(71)});
    EXPECT_EQ(SizeOf(dialog, 70).cx, idealOneLine.cx);
    EXPECT_EQ(SizeOf(dialog, 70).cy, idealOneLine.cy);
    EXPECT_EQ(SizeOf(dialog, 71).cx, before71.cx);
    EXPECT_EQ(SizeOf(dialog, 71).cy, idealOwnWidth.cy);
    EXPECT_EQ(m.table[0].controlKind, LayoutKindLink);
}

TEST(LayoutClassify, ButtonStylesAndClassNames) {
    using LayoutRules::ClassifyControl;
    EXPECT_EQ(ClassifyControl(L"Button", BS_PUSHBUTTON | WS_VISIBLE), LayoutKindPushButton);
    EXPECT_EQ(ClassifyControl(L"BUTTON", BS_DEFPUSHBUTTON | BS_MULTILINE), LayoutKindPushButton);
    EXPECT_EQ(ClassifyControl(L"button", BS_RADIOBUTTON), LayoutKindRadioButton);
    EXPECT_EQ(ClassifyControl(L"button", BS_AUTORADIOBUTTON), LayoutKindRadioButton);
    for (LONG style : {BS_CHECKBOX, BS_AUTOCHECKBOX, BS_3STATE, BS_AUTO3STATE, BS_GROUPBOX})
        EXPECT_EQ(ClassifyControl(L"button", style), LayoutKindCheckBox) << style;
    EXPECT_EQ(ClassifyControl(L"button", BS_OWNERDRAW), LayoutKindOwnerDrawButton);
    EXPECT_EQ(ClassifyControl(L"Static", SS_ENHMETAFILE), LayoutKindOwnerDrawStatic);
    EXPECT_EQ(ClassifyControl(L"Static", SS_LEFT), LayoutKindStatic);
    EXPECT_EQ(ClassifyControl(L"Edit", ES_MULTILINE | ES_READONLY), LayoutKindMultiLineEdit);
    EXPECT_EQ(ClassifyControl(L"SysLink", 0), LayoutKindLink);
    EXPECT_EQ(ClassifyControl(L"msctls_progress32", 0), LayoutKindOther);
}

}  // namespace
