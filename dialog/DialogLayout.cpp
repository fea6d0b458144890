#include "dialog/DialogLayout.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/UniqueResource.h"

using PlatformHelpers::ScopedSelectObject;
using PlatformHelpers::UniqueMemoryDc;

namespace LayoutRules {

namespace {

constexpr int DefaultMarginDlu = 6;
constexpr int DefaultGapDlu = 6;
constexpr int NarrowGapDlu = 2;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool InRange(int value, int low, int high) { return value >= low && value <= high; }

RECT Moved(RECT r, int dx, int dy) {
    OffsetRect(&r, dx, dy);
    return r;
}

}  // namespace

LayoutControlKind ClassifyControl(const std::wstring& className, LONG style) {
    auto is = [&](const wchar_t* name) { return _wcsicmp(className.c_str(), name) == 0; };
    if (is(L"button")) {
        const LONG type = style & BS_TYPEMASK;
        if ((type & 0xB) == 0xB) return LayoutKindOwnerDrawButton;
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return LayoutKindRadioButton;
        // BS_3STATE shares no bit pattern with the other check boxes but is one.
        if ((type & 0x2) || (type & 0x3) == 0x3 || type == BS_3STATE) return LayoutKindCheckBox;
        return LayoutKindPushButton;
    }
    if (is(L"static")) {
        return (style & 0xD) == 0xD ? LayoutKindOwnerDrawStatic : LayoutKindStatic;
    }
    if (is(L"edit")) return (style & ES_MULTILINE) ? LayoutKindMultiLineEdit : LayoutKindEdit;
    if (is(L"msctls_updown32")) return LayoutKindUpDown;
    if (is(L"syslink")) return LayoutKindLink;
    return LayoutKindOther;
}

void SelectMargins(const LayoutEntry& entry, Margins& marginsDlu, int32_t& anchors) {
    using namespace LayoutFlags;
    const int32_t flags = entry.flags;
    marginsDlu = {DefaultMarginDlu, DefaultMarginDlu, DefaultMarginDlu, DefaultMarginDlu};
    anchors = flags & (AnchorLeft | AnchorTop | AnchorRight | AnchorBottom);
    // Only the first margin rule present counts, implied anchor included.
    if (flags & MarginsXY) {
        marginsDlu = {entry.valueX, entry.valueY, entry.valueX, entry.valueY};
    } else if (flags & MarginTopY) {
        marginsDlu.top = entry.valueY;
        anchors |= AnchorTop;
    } else if (flags & MarginLeftX) {
        marginsDlu.left = entry.valueX;
        anchors |= AnchorLeft;
    } else if (flags & MarginRightX) {
        marginsDlu.right = entry.valueX;
        anchors |= AnchorRight;
    } else if (flags & MarginBottomY) {
        marginsDlu.bottom = entry.valueY;
        anchors |= AnchorBottom;
    } else if (flags & MarginLeft12) {
        marginsDlu.left = 12;
        anchors |= AnchorLeft;
    } else if (flags & MarginLeft18) {
        marginsDlu.left = 18;
        anchors |= AnchorLeft;
    }
}

RECT AnchorRect(RECT c, SIZE client, const Margins& m, int32_t anchors) {
    using namespace LayoutFlags;
    const int newLeft = m.left;
    const int newTop = m.top;
    const int newRight = client.cx - m.right;
    const int newBottom = client.cy - m.bottom;
    const int w = Width(c);
    const int h = Height(c);
    const bool left = anchors & AnchorLeft, top = anchors & AnchorTop;
    const bool right = anchors & AnchorRight, bottom = anchors & AnchorBottom;

    if (left && top && right && bottom) return {newLeft, newTop, newRight, newBottom};
    if (left && right) {
        // Stretched across; vertically moved by a single top or bottom anchor.
        if (bottom) return {newLeft, newBottom - h, newRight, newBottom};
        if (top) return {newLeft, newTop, newRight, newTop + h};
        return {newLeft, c.top, newRight, c.bottom};
    }
    if (top && bottom) {
        // Stretched down; the side anchor moves that edge only.
        if (left) return {newLeft, newTop, c.right, newBottom};
        if (right) return {c.left, newTop, newRight, newBottom};
        return c;
    }
    int x = c.left, y = c.top;
    if (left) x = newLeft;
    if (right) x = newRight - w;
    if (top) y = newTop;
    if (bottom) y = newBottom - h;
    return {x, y, x + w, y + h};
}

RECT AlignRect(RECT c, RECT ref, int32_t flags) {
    using namespace LayoutFlags;
    const bool stretch = flags & AlignStretch;
    switch (flags & (AlignMask & ~AlignStretch)) {
    case AlignLeft:
        if (c.left == ref.left) return c;
        if (stretch) { c.left = ref.left; return c; }
        return Moved(c, ref.left - c.left, 0);
    case AlignTop:
        if (c.top == ref.top) return c;
        if (stretch) { c.top = ref.top; return c; }
        return Moved(c, 0, ref.top - c.top);
    case AlignCentreY: {
        // A centre cannot be matched by moving one edge: always moved.
        const int offset = ref.top + Height(ref) / 2 - Height(c) / 2 - c.top;
        return Moved(c, 0, offset);
    }
    case AlignBottom:
        if (c.bottom == ref.bottom) return c;
        if (stretch) { c.bottom = ref.bottom; return c; }
        return Moved(c, 0, ref.bottom - c.bottom);
    default:
        return c;
    }
}

RECT MatchSize(RECT c, RECT ref, int32_t flags) {
    if (flags & LayoutFlags::MatchWidth) c.right = c.left + Width(ref);
    if (flags & LayoutFlags::MatchHeight) c.bottom = c.top + Height(ref);
    return c;
}

RECT PlaceRelative(RECT c, RECT ref, int32_t flags, SIZE gap) {
    using namespace LayoutFlags;
    const bool before = flags & PlaceBefore;
    const bool move = flags & PlaceMove;
    if (flags & PlaceVertical) {
        const int offset = before ? ref.top - c.bottom - gap.cy : ref.bottom + gap.cy - c.top;
        if (offset != 0) {
            if (move) c = Moved(c, 0, offset);
            else if (flags & PlaceUpwards) c.top += offset;
            else c.bottom += offset;
        }
    }
    if (flags & PlaceHorizontal) {
        const int offset = before ? c.right - ref.left + gap.cx : ref.right - c.left + gap.cx;
        if (offset != 0) {
            const bool leftwards = flags & PlaceLeftwards;
            if (move) c = Moved(c, leftwards ? -offset : offset, 0);
            else if (leftwards) c.left += offset;
            else c.right -= offset;
        }
    }
    return c;
}

RECT CentreRect(RECT c, RECT container, int32_t centring) {
    int dx = 0, dy = 0;
    if (centring & LayoutCentring::Horizontal)
        dx = container.left + (Width(container) - Width(c)) / 2 - c.left;
    if (centring & LayoutCentring::Vertical)
        dy = container.top + (Height(container) - Height(c)) / 2 - c.top;
    return Moved(c, dx, dy);
}

SIZE SizePushButton(SIZE current, SIZE text, const Metrics& m) {
    SIZE size = current;
    if (InRange(current.cy, m.buttonMinHeight, m.buttonMaxHeight)) size.cy = m.buttonHeight;
    if (current.cx >= m.narrowButtonWidth)
        size.cx = std::max<LONG>(text.cx + 2 * m.textInset, m.minButtonWidth);
    return size;
}

SIZE SizeStatic(SIZE current, SIZE text, const Metrics& m, bool& centreVertically) {
    centreVertically = false;
    if (current.cy >= 2 * m.textInset) return {text.cx, current.cy};
    if (text.cy > m.textInset) return text;
    centreVertically = true;
    return {text.cx, m.textInset};
}

SIZE SizeCheckBox(SIZE current, SIZE text, bool groupBox) {
    // Room for the box glyph in front of the text.
    LONG width = text.cx + text.cy * 3 / 2;
    // A group box frames other controls: its caption may widen it, never narrow it.
    if (groupBox) width = std::max(width, current.cx);
    return {width, current.cy};
}

SIZE SizeEdit(SIZE current, bool clientEdge, const Metrics& m) {
    if (!InRange(current.cy, m.editMinHeight, m.editMaxHeight)) return current;
    return {current.cx, m.editHeight - (clientEdge ? 0 : 4)};
}

}  // namespace LayoutRules

namespace {

using namespace LayoutRules;

constexpr UINT MeasureFlags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_EDITCONTROL;
// Wide enough that only explicit line breaks wrap a text.
constexpr int UnlimitedWidth = 0x7FFF;
constexpr UINT GetIdealSizeMessage = 0x701;  // LM_GETIDEALSIZE

// Converts dialog units to pixels with the dialog's own font.
SIZE ToPixels(HWND dialog, int dluX, int dluY) {
    RECT r{0, 0, dluX, dluY};
    MapDialogRect(dialog, &r);
    return {r.right, r.bottom};
}
int ToPixelsX(HWND dialog, int dlu) { return ToPixels(dialog, dlu, 0).cx; }
int ToPixelsY(HWND dialog, int dlu) { return ToPixels(dialog, 0, dlu).cy; }

Metrics ComputeMetrics(HWND dialog) {
    Metrics m;
    m.textInset = ToPixelsY(dialog, 11);
    m.editMinHeight = ToPixelsY(dialog, 7);
    m.editMaxHeight = ToPixelsY(dialog, 15);
    m.editHeight = ToPixelsY(dialog, 11);
    m.narrowButtonWidth = ToPixelsX(dialog, 40);
    m.minButtonWidth = ToPixelsX(dialog, 50);
    m.buttonHeight = ToPixelsY(dialog, 14);
    m.buttonMinHeight = ToPixelsY(dialog, 11);
    m.buttonMaxHeight = ToPixelsY(dialog, 20);
    m.upDownHeight = ToPixelsY(dialog, 12);
    return m;
}

bool IsControlId(int32_t id) {
    return id != 0 && id != LayoutDialogHeight && id != LayoutDialogWidth;
}

// The window's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE ClientSize(HWND dialog) {
    RECT r{};
    GetClientRect(dialog, &r);
    return {r.right - r.left, r.bottom - r.top};
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Size of the text as the control would draw it in its own font, wrapped at
// `limitWidth` pixels.
SIZE MeasureText(HWND control, const std::wstring& text, int limitWidth, UINT flags) {
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc) return {0, 0};
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    ScopedSelectObject selected(dc.get(), font ? font : GetStockObject(SYSTEM_FONT));
    RECT r{0, 0, limitWidth, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, flags);
    return {r.right - r.left, r.bottom - r.top};
}

UINT LabelMeasureFlags(const LayoutEntry& entry) {
    UINT flags = MeasureFlags | DT_HIDEPREFIX;
    if (entry.flags & LayoutFlags::SingleLine) flags |= DT_SINGLELINE;
    return flags;
}

// Buttons show one line unless they are BS_MULTILINE.
int ButtonTextLimit(LONG style, int width) {
    return (style & BS_MULTILINE) ? std::max(width, 1) : UnlimitedWidth;
}

int StaticTextLimit(LONG style, int width) {
    const LONG type = style & SS_TYPEMASK;
    return (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) ? UnlimitedWidth : width;
}

bool IsImageStatic(LONG style) {
    const LONG type = style & SS_TYPEMASK;
    return type == SS_ICON || type == SS_BITMAP;
}

// New size for the control, or its current size when it is not resized.
SIZE MeasuredSize(HWND dialog, HWND control, const LayoutEntry& entry, const Metrics& m) {
    const RECT rect = ClientRectOf(dialog, control);
    const SIZE current{rect.right - rect.left, rect.bottom - rect.top};
    const LONG style = GetWindowLongW(control, GWL_STYLE);

    switch (entry.controlKind) {
    case LayoutKindPushButton: {
        const std::wstring text = WindowText(control);
        if (current.cx >= m.narrowButtonWidth && text.empty()) return current;
        const int limit = ButtonTextLimit(style, current.cx - 2 * m.textInset);
        return SizePushButton(current, MeasureText(control, text, limit, LabelMeasureFlags(entry)), m);
    }
    case LayoutKindStatic: {
        // The text of a picture static names its resource; it is not shown.
        if (IsImageStatic(style)) return current;
        const std::wstring text = WindowText(control);
        if (text.empty()) return current;
        const SIZE measured =
            MeasureText(control, text, StaticTextLimit(style, current.cx), LabelMeasureFlags(entry));
        bool centreVertically = false;
        const SIZE size = SizeStatic(current, measured, m, centreVertically);
        if (centreVertically) SetWindowLongW(control, GWL_STYLE, style | SS_CENTERIMAGE);
        return size;
    }
    case LayoutKindRadioButton:
    case LayoutKindCheckBox: {
        const std::wstring text = WindowText(control);
        if (text.empty()) return current;
        const SIZE measured =
            MeasureText(control, text, ButtonTextLimit(style, current.cx), LabelMeasureFlags(entry));
        return SizeCheckBox(current, measured, (style & BS_TYPEMASK) == BS_GROUPBOX);
    }
    case LayoutKindEdit:
        return SizeEdit(current, GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, m);
    case LayoutKindMultiLineEdit: {
        const std::wstring text = WindowText(control);
        if (text.empty()) return SizeEdit(current, GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, m);
        // Wrapped where the edit itself wraps: at its formatting rectangle, which
        // is narrower than the window by the border and the edit's margins.
        RECT format{};
        SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        RECT client{};
        GetClientRect(control, &client);
        const int formatWidth = format.right - format.left;
        const SIZE measured = MeasureText(control, text, formatWidth, MeasureFlags | DT_NOPREFIX);
        const int nonClientHeight = current.cy - (client.bottom - client.top);
        return {measured.cx + (current.cx - formatWidth),
                std::max<LONG>(measured.cy, measured.cy + nonClientHeight + 2)};
    }
    case LayoutKindUpDown:
        return {current.cx, m.upDownHeight};
    case LayoutKindLink: {
        SIZE ideal{};
        if (entry.flags & LayoutFlags::SingleLine) {
            RECT dialogRect{};
            GetWindowRect(dialog, &dialogRect);
            SendMessageW(control, GetIdealSizeMessage, dialogRect.right - dialogRect.left,
                         reinterpret_cast<LPARAM>(&ideal));
            return current.cx < ideal.cx ? ideal : current;
        }
        SendMessageW(control, GetIdealSizeMessage, current.cx, reinterpret_cast<LPARAM>(&ideal));
        if (ideal.cy > 0 && ideal.cy < current.cy) return {current.cx, ideal.cy};
        return current;
    }
    default:
        return current;
    }
}

void MeasureControls(HWND dialog, LayoutEntry (&table)[LayoutTableSize], const Metrics& m) {
    for (LayoutEntry& entry : table) {
        if (!IsControlId(entry.controlId) || (entry.flags & LayoutFlags::NoMeasure)) continue;
        HWND control = GetDlgItem(dialog, entry.controlId);
        if (!control) continue;
        wchar_t className[64] = L"";
        GetClassNameW(control, className, 64);
        entry.controlKind = ClassifyControl(className, GetWindowLongW(control, GWL_STYLE));

        const RECT rect = ClientRectOf(dialog, control);
        const SIZE size = MeasuredSize(dialog, control, entry, m);
        if (size.cx != rect.right - rect.left || size.cy != rect.bottom - rect.top)
            MoveWindow(control, rect.left, rect.top, size.cx, size.cy, TRUE);
    }
}

SIZE PlacementGap(HWND dialog, const LayoutEntry& entry) {
    using namespace LayoutFlags;
    SIZE gap{DefaultGapDlu, DefaultGapDlu};
    if (entry.flags & GapXY) gap = {entry.valueX, entry.valueY};
    else if (entry.flags & Gap2) gap = {NarrowGapDlu, NarrowGapDlu};
    if (entry.flags & GapPixels) return gap;
    return ToPixels(dialog, gap.cx, gap.cy);
}

// Grows or shrinks the dialog so that its client area ends the gap past the
// reference control.
void FitDialogSize(HWND dialog, const LayoutEntry& entry) {
    HWND reference = GetDlgItem(dialog, entry.referenceId);
    if (!reference) return;
    const RECT ref = ClientRectOf(dialog, reference);
    const SIZE gap = PlacementGap(dialog, entry);
    const SIZE client = ClientSize(dialog);
    RECT window{};
    GetWindowRect(dialog, &window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    if (entry.controlId == LayoutDialogHeight) height += ref.bottom + gap.cy - client.cy;
    else width += ref.right + gap.cx - client.cx;
    if (width != window.right - window.left || height != window.bottom - window.top)
        SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT ArrangedRect(HWND dialog, const LayoutEntry& entry, RECT rect, SIZE client) {
    using namespace LayoutFlags;
    const int32_t flags = entry.flags;
    if (flags & AnchorMask) {
        Margins dlu;
        int32_t anchors = 0;
        SelectMargins(entry, dlu, anchors);
        const SIZE topLeft = ToPixels(dialog, dlu.left, dlu.top);
        const SIZE bottomRight = ToPixels(dialog, dlu.right, dlu.bottom);
        const Margins pixels{topLeft.cx, topLeft.cy, bottomRight.cx, bottomRight.cy};
        rect = AnchorRect(rect, client, pixels, anchors);
    }

    HWND referenceWindow = entry.referenceId ? GetDlgItem(dialog, entry.referenceId) : nullptr;
    if (referenceWindow) {
        const RECT ref = ClientRectOf(dialog, referenceWindow);
        if (flags & AlignMask) rect = AlignRect(rect, ref, flags);
        if (flags & (MatchWidth | MatchHeight)) rect = MatchSize(rect, ref, flags);
        if (flags & PlaceMask) rect = PlaceRelative(rect, ref, flags, PlacementGap(dialog, entry));
    }

    const int32_t centring = entry.centring;
    if (centring & (LayoutCentring::Horizontal | LayoutCentring::Vertical)) {
        if (!(centring & LayoutCentring::WithinReference))
            rect = CentreRect(rect, {0, 0, client.cx, client.cy}, centring);
        else if (referenceWindow)
            rect = CentreRect(rect, ClientRectOf(dialog, referenceWindow), centring);
    }
    return rect;
}

void ArrangeControls(HWND dialog, const LayoutEntry (&table)[LayoutTableSize]) {
    SIZE client = ClientSize(dialog);
    for (const LayoutEntry& entry : table) {
        if (entry.controlId == 0) continue;
        if (entry.controlId == LayoutDialogHeight || entry.controlId == LayoutDialogWidth) {
            FitDialogSize(dialog, entry);
            client = ClientSize(dialog);
            continue;
        }
        HWND control = GetDlgItem(dialog, entry.controlId);
        // The later entries are placed relative to this one: without it the
        // rest of the table would be arranged against a stale position.
        if (!control) return;
        const RECT before = ClientRectOf(dialog, control);
        const RECT after = ArrangedRect(dialog, entry, before, client);
        if (!EqualRect(&before, &after))
            MoveWindow(control, after.left, after.top, after.right - after.left, after.bottom - after.top, TRUE);
    }
}

}  // namespace

void ApplyDialogLayout(HWND dialog, LayoutEntry (&table)[LayoutTableSize]) {
    if (!IsWindow(dialog)) return;
    const Metrics metrics = ComputeMetrics(dialog);
    MeasureControls(dialog, table, metrics);
    ArrangeControls(dialog, table);
}
