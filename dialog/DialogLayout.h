#pragma once
// Table-driven layout of a dialog's controls: each control is first sized to fit
// its own text, then anchored, aligned and placed relative to the others, so that
// one template serves every language, font and screen DPI.
//
// Distances in a table are dialog units; they become pixels through MapDialogRect
// with the dialog's own font. The engine knows nothing of any particular dialog.
#include <windows.h>
#include <cstdint>
#include <string>

struct LayoutEntry {
    int32_t controlId;    // 0 skips the entry; LayoutDialogHeight / LayoutDialogWidth
    int32_t flags;        // LayoutFlags
    int32_t referenceId;
    int32_t valueX;       // dialog units
    int32_t valueY;       // dialog units
    int32_t centring;     // LayoutCentring bits
    int32_t controlKind;  // LayoutControlKind, written by the measuring pass
};

constexpr int32_t LayoutDialogHeight = 0x1FFFFF;
constexpr int32_t LayoutDialogWidth = 0x2FFFFF;
constexpr int LayoutTableSize = 7;

// Rule bits of LayoutEntry::flags.
namespace LayoutFlags {
constexpr int32_t AnchorLeft = 0x1;
constexpr int32_t AnchorTop = 0x2;
constexpr int32_t AnchorRight = 0x4;
constexpr int32_t AnchorBottom = 0x8;
constexpr int32_t MarginsXY = 0x10;         // left/right margins value x, top/bottom value y
constexpr int32_t MarginTopY = 0x20;        // implies AnchorTop
constexpr int32_t MarginLeftX = 0x40;       // implies AnchorLeft
constexpr int32_t MarginRightX = 0x80;      // implies AnchorRight
constexpr int32_t MarginBottomY = 0x100;    // implies AnchorBottom
constexpr int32_t MarginLeft12 = 0x400;     // implies AnchorLeft
constexpr int32_t MarginLeft18 = 0x800;     // implies AnchorLeft
constexpr int32_t AnchorMask = 0xFFF;

constexpr int32_t AlignLeft = 0x1000;
constexpr int32_t AlignTop = 0x2000;
constexpr int32_t AlignCentreY = 0x3000;
constexpr int32_t AlignBottom = 0x4000;
constexpr int32_t AlignStretch = 0x8000;    // move one edge only
constexpr int32_t AlignMask = 0xF000;

constexpr int32_t MatchWidth = 0x10000;
constexpr int32_t MatchHeight = 0x20000;

constexpr int32_t NoMeasure = 0x40000;
constexpr int32_t SingleLine = 0x80000;

constexpr int32_t PlaceVertical = 0x100000;     // below (above with PlaceBefore)
constexpr int32_t PlaceHorizontal = 0x200000;   // right of (left of with PlaceBefore)
constexpr int32_t PlaceMove = 0x400000;         // move instead of stretching
constexpr int32_t PlaceLeftwards = 0x800000;
constexpr int32_t PlaceUpwards = 0x1000000;
constexpr int32_t PlaceBefore = 0x2000000;
constexpr int32_t GapXY = 0x4000000;            // gap is value x / value y
constexpr int32_t GapPixels = 0x8000000;
constexpr int32_t Gap2 = 0x10000000;
constexpr int32_t PlaceMask = static_cast<int32_t>(0xFFF00000);
}  // namespace LayoutFlags

namespace LayoutCentring {
constexpr int32_t Horizontal = 1;
constexpr int32_t Vertical = 2;
constexpr int32_t WithinReference = 4;
}

enum LayoutControlKind : int32_t {
    LayoutKindOther = 0,
    LayoutKindPushButton = 1,
    LayoutKindStatic = 2,
    LayoutKindEdit = 3,
    LayoutKindRadioButton = 4,
    LayoutKindUpDown = 5,
    LayoutKindCheckBox = 6,     // check boxes and group boxes
    LayoutKindMultiLineEdit = 7,
    LayoutKindOwnerDrawButton = 8,
    LayoutKindOwnerDrawStatic = 9,  // owner-drawn and enhanced-metafile statics
    LayoutKindLink = 10,
};

// Sizes and arranges the dialog's controls by the table. Called once from the
// dialog's initialisation, before the controls are shown in their final places.
void ApplyDialogLayout(HWND dialog, LayoutEntry (&table)[LayoutTableSize]);

// The arithmetic of the engine, apart from the window calls. All values in pixels.
namespace LayoutRules {

// Fixed distances of the engine, converted to pixels for one dialog.
struct Metrics {
    int textInset = 0;
    int editMinHeight = 0;
    int editMaxHeight = 0;
    int editHeight = 0;
    int narrowButtonWidth = 0;
    int minButtonWidth = 0;
    int buttonHeight = 0;
    int buttonMinHeight = 0;
    int buttonMaxHeight = 0;
    int upDownHeight = 0;
};

struct Margins {
    int left = 0, top = 0, right = 0, bottom = 0;
};

LayoutControlKind ClassifyControl(const std::wstring& className, LONG style);

// Margins (dialog units) and the anchor bits in effect for a flags word.
void SelectMargins(const LayoutEntry& entry, Margins& marginsDlu, int32_t& anchors);
RECT AnchorRect(RECT control, SIZE client, const Margins& margins, int32_t anchors);
RECT AlignRect(RECT control, RECT reference, int32_t flags);
RECT MatchSize(RECT control, RECT reference, int32_t flags);
// `gap` is the horizontal (cx) and vertical (cy) gap in pixels.
RECT PlaceRelative(RECT control, RECT reference, int32_t flags, SIZE gap);
RECT CentreRect(RECT control, RECT container, int32_t centring);

// New size of a control from its current rectangle and its measured text.
SIZE SizePushButton(SIZE current, SIZE text, const Metrics& metrics);
// Also says whether the static must centre its text vertically.
SIZE SizeStatic(SIZE current, SIZE text, const Metrics& metrics, bool& centreVertically);
SIZE SizeCheckBox(SIZE current, SIZE text, bool groupBox);
SIZE SizeEdit(SIZE current, bool clientEdge, const Metrics& metrics);

}  // namespace LayoutRules
