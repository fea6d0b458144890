// Arranging pass of the layout engine on real dialogs: anchoring, alignment,
// size matching, relative placement, centring and the dialog's own size.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

#include "dialog/DialogLayout.h"
#include "tests/layout/DialogTemplate.h"

namespace {

constexpr int Subject = 10;
constexpr int Reference = 11;
constexpr int Other = 12;

// Empty statics are not resized by the measuring pass, so these tests see the
// arranging rules alone.
HWND MakeDialog() {
    return DialogTemplate(200, 150)
        .Add(Subject, L"static", L"", SS_LEFT, 30, 40, 50, 20)
        .Add(Reference, L"static", L"", SS_LEFT, 100, 80, 60, 30)
        .Add(Other, L"static", L"", SS_LEFT, 20, 110, 40, 12)
        .Create();
}

void Apply(HWND dialog, std::initializer_list<LayoutEntry> entries) {
    LayoutEntry table[LayoutTableSize]{};
    int i = 0;
    for (const LayoutEntry& e : entries) table[i++] = e;
    ApplyDialogLayout(dialog, table);
}

RECT Shifted(RECT r, int dx, int dy) {
    OffsetRect(&r, dx, dy);
    return r;
}

#define EXPECT_RECT(actual, expected) EXPECT_EQ(Describe(actual), Describe(expected))

TEST(LayoutArrange, EveryAnchorCombinationFollowsTheTable) {
    using Expect = std::function<RECT(RECT c, int l, int t, int r, int b)>;
    struct Row { int32_t anchors; Expect expect; };
    auto height = [](RECT c) { return c.bottom - c.top; };
    const Row rows[] = {
        {0x0, [](RECT c, int, int, int, int) { return c; }},
        {0x1, [](RECT c, int l, int, int, int) { return Shifted(c, l - c.left, 0); }},
        {0x2, [&](RECT c, int, int t, int, int) { return Shifted(c, 0, t - c.top); }},
        {0x3, [&](RECT c, int l, int t, int, int) { return Shifted(c, l - c.left, t - c.top); }},
        {0x4, [&](RECT c, int, int, int r, int) { return Shifted(c, r - c.right, 0); }},
        {0x6, [&](RECT c, int, int t, int r, int) { return Shifted(c, r - c.right, t - c.top); }},
        {0x8, [&](RECT c, int, int, int, int b) { return Shifted(c, 0, b - c.bottom); }},
        {0x9, [&](RECT c, int l, int, int, int b) { return Shifted(c, l - c.left, b - c.bottom); }},
        {0xC, [&](RECT c, int, int, int r, int b) { return Shifted(c, r - c.right, b - c.bottom); }},
        {0x5, [&](RECT c, int l, int, int r, int) { return RECT{l, c.top, r, c.bottom}; }},
        {0x7, [&](RECT c, int l, int t, int r, int) { return RECT{l, t, r, t + height(c)}; }},
        {0xB, [&](RECT c, int l, int t, int, int b) { return RECT{l, t, c.right, b}; }},
        {0xD, [&](RECT c, int l, int, int r, int b) { return RECT{l, b - height(c), r, b}; }},
        {0xE, [&](RECT c, int, int t, int r, int b) { return RECT{c.left, t, r, b}; }},
        {0xF, [&](RECT, int l, int t, int r, int b) { return RECT{l, t, r, b}; }},
        {0xA, [&](RECT c, int, int, int, int) { return c; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.anchors);
        DialogWindow dialog(MakeDialog());
        const RECT before = ControlRect(dialog, Subject);
        const SIZE client = ClientSize(dialog);
        Apply(dialog, {{Subject, row.anchors, 0, 0, 0, 0, 0}});
        const int l = DluX(dialog, 6), t = DluY(dialog, 6);
        const int r = client.cx - DluX(dialog, 6), b = client.cy - DluY(dialog, 6);
        EXPECT_RECT(ControlRect(dialog, Subject), row.expect(before, l, t, r, b));
    }
}

TEST(LayoutArrange, MarginRulesSetTheirMarginAndImplyTheirAnchor) {
    struct Row { int32_t flags; int32_t valueX, valueY; int expectLeftDlu, expectTopDlu; };
    // Left and top anchors come from the flags or are implied by the margin rule;
    // -1 means the edge keeps its place.
    const Row rows[] = {
        {0x10 | 0x3, 9, 4, 9, 4},
        {0x20, 0, 15, -1, 15},
        {0x40, 21, 0, 21, -1},
        {0x400, 0, 0, 12, -1},
        {0x800, 0, 0, 18, -1},
        {0x20 | 0x40, 21, 15, -1, 15},  // only the first rule counts
        {0x40 | 0x400, 3, 0, 3, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        DialogWindow dialog(MakeDialog());
        const RECT before = ControlRect(dialog, Subject);
        Apply(dialog, {{Subject, row.flags, 0, row.valueX, row.valueY, 0, 0}});
        const RECT after = ControlRect(dialog, Subject);
        EXPECT_EQ(after.left, row.expectLeftDlu < 0 ? before.left : DluX(dialog, row.expectLeftDlu));
        EXPECT_EQ(after.top, row.expectTopDlu < 0 ? before.top : DluY(dialog, row.expectTopDlu));
        EXPECT_EQ(after.right - after.left, before.right - before.left);
    }
    // Right and bottom margins.
    for (int32_t flags : {0x80, 0x100, 0x10 | 0xC}) {
        SCOPED_TRACE(flags);
        DialogWindow dialog(MakeDialog());
        const SIZE client = ClientSize(dialog);
        Apply(dialog, {{Subject, flags, 0, 10, 20, 0, 0}});
        const RECT after = ControlRect(dialog, Subject);
        if (flags != 0x100) {
            EXPECT_EQ(after.right, client.cx - DluX(dialog, 10));
        }
        if (flags != 0x80) {
            EXPECT_EQ(after.bottom, client.cy - DluY(dialog, 20));
        }
    }
}

TEST(LayoutArrange, AlignmentMovesOrStretchesTowardsTheReference) {
    struct Row { int32_t flags; std::function<RECT(RECT c, RECT ref)> expect; bool wide = false; };
    const Row rows[] = {
        {0x1000, [](RECT c, RECT ref) { return Shifted(c, ref.left - c.left, 0); }},
        {0x2000, [](RECT c, RECT ref) { return Shifted(c, 0, ref.top - c.top); }},
        {0x3000, [](RECT c, RECT ref) {
             return Shifted(c, 0, ref.top + (ref.bottom - ref.top) / 2 - (c.bottom - c.top) / 2 - c.top); }},
        {0x4000, [](RECT c, RECT ref) { return Shifted(c, 0, ref.bottom - c.bottom); }},
        {0x9000, [](RECT c, RECT ref) { return RECT{ref.left, c.top, c.right, c.bottom}; }, true},
        {0xC000, [](RECT c, RECT ref) { return RECT{c.left, c.top, c.right, ref.bottom}; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        DialogWindow dialog(MakeDialog());
        // Stretching the left edge leftwards needs the control to reach past the reference.
        if (row.wide) PlaceControl(dialog, Subject, 120, 40, 60, 20);
        const RECT before = ControlRect(dialog, Subject);
        const RECT ref = ControlRect(dialog, Reference);
        Apply(dialog, {{Subject, row.flags, Reference, 0, 0, 0, 0}});
        EXPECT_RECT(ControlRect(dialog, Subject), row.expect(before, ref));
    }
}

TEST(LayoutArrange, VerticalCentringUsesIntegerHalves) {
    // Odd heights on both sides make the rounding visible.
    DialogWindow dialog(MakeDialog());
    MoveWindow(GetDlgItem(dialog, Reference), 150, 101, 40, 25, FALSE);
    MoveWindow(GetDlgItem(dialog, Subject), 10, 10, 30, 14, FALSE);
    Apply(dialog, {{Subject, 0x3000, Reference, 0, 0, 0, 0}});
    EXPECT_EQ(ControlRect(dialog, Subject).top, 101 + 12 - 7);
}

TEST(LayoutArrange, SizeMatchingTakesTheReferenceSizeKeepingTopLeft) {
    for (int32_t flags : {0x10000, 0x20000, 0x30000}) {
        SCOPED_TRACE(flags);
        DialogWindow dialog(MakeDialog());
        const RECT c = ControlRect(dialog, Subject);
        const RECT ref = ControlRect(dialog, Reference);
        Apply(dialog, {{Subject, flags, Reference, 0, 0, 0, 0}});
        const RECT after = ControlRect(dialog, Subject);
        const bool width = flags & 0x10000, height = flags & 0x20000;
        EXPECT_RECT(after, (RECT{c.left, c.top, c.left + (width ? ref.right - ref.left : c.right - c.left),
                                 c.top + (height ? ref.bottom - ref.top : c.bottom - c.top)}));
    }
}

TEST(LayoutArrange, RelativePlacementMovesWithFlagAndStretchesWithout) {
    struct Row {
        int32_t flags;
        std::function<RECT(RECT c, RECT ref, int gx, int gy)> expect;
        RECT subjectDlu = {30, 40, 50, 20};  // x, y, cx, cy
    };
    const Row rows[] = {
        // Moved below, above, right of and left of the reference.
        {0x500000, [](RECT c, RECT ref, int, int gy) { return Shifted(c, 0, ref.bottom + gy - c.top); }},
        {0x2500000, [](RECT c, RECT ref, int, int gy) { return Shifted(c, 0, ref.top - gy - c.bottom); }},
        {0x600000, [](RECT c, RECT ref, int gx, int) { return Shifted(c, ref.right + gx - c.left, 0); }},
        {0x2E00000, [](RECT c, RECT ref, int gx, int) { return Shifted(c, ref.left - gx - c.right, 0); }},
        // Stretched: below moves the bottom edge, or the top edge when moving upwards.
        {0x100000, [](RECT c, RECT ref, int, int gy) {
             return RECT{c.left, c.top, c.right, c.bottom + ref.bottom + gy - c.top}; }},
        {0x1100000, [](RECT c, RECT ref, int, int gy) { return RECT{c.left, ref.bottom + gy, c.right, c.bottom}; },
         {30, 120, 50, 25}},
        // Above stretches the near (bottom) edge.
        {0x2100000, [](RECT c, RECT ref, int, int gy) { return RECT{c.left, c.top, c.right, ref.top - gy}; }},
        // Right of: the left edge by the offset with 0x800000, else the right edge by minus it.
        {0xA00000, [](RECT c, RECT ref, int gx, int) { return RECT{ref.right + gx, c.top, c.right, c.bottom}; },
         {170, 40, 25, 20}},
        {0x200000, [](RECT c, RECT ref, int gx, int) {
             return RECT{c.left, c.top, c.right - (ref.right - c.left + gx), c.bottom}; }, {170, 40, 25, 20}},
        // Left of stretches the near (right) edge.
        {0x2200000, [](RECT c, RECT ref, int gx, int) { return RECT{c.left, c.top, ref.left - gx, c.bottom}; },
         {20, 40, 120, 20}},
        // Both directions at once: below and to the right.
        {0x700000, [](RECT c, RECT ref, int gx, int gy) {
             return Shifted(c, ref.right + gx - c.left, ref.bottom + gy - c.top); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        DialogWindow dialog(MakeDialog());
        const RECT& d = row.subjectDlu;
        PlaceControl(dialog, Subject, d.left, d.top, d.right, d.bottom);
        const RECT c = ControlRect(dialog, Subject);
        const RECT ref = ControlRect(dialog, Reference);
        Apply(dialog, {{Subject, row.flags, Reference, 0, 0, 0, 0}});
        EXPECT_RECT(ControlRect(dialog, Subject), row.expect(c, ref, DluX(dialog, 6), DluY(dialog, 6)));
    }
}

TEST(LayoutArrange, GapRules) {
    struct Row { int32_t flags; int32_t valueX, valueY; std::function<SIZE(HWND)> gap; };
    const Row rows[] = {
        {0, 0, 0, [](HWND d) { return SIZE{DluX(d, 6), DluY(d, 6)}; }},
        {0x4000000, 9, 13, [](HWND d) { return SIZE{DluX(d, 9), DluY(d, 13)}; }},
        {0x10000000, 9, 13, [](HWND d) { return SIZE{DluX(d, 2), DluY(d, 2)}; }},
        {0x8000000 | 0x4000000, 9, 13, [](HWND) { return SIZE{9, 13}; }},
        {0x8000000, 0, 0, [](HWND) { return SIZE{6, 6}; }},
        {0x8000000 | 0x10000000, 0, 0, [](HWND) { return SIZE{2, 2}; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.flags);
        DialogWindow dialog(MakeDialog());
        const RECT ref = ControlRect(dialog, Reference);
        Apply(dialog, {{Subject, row.flags | 0x700000, Reference, row.valueX, row.valueY, 0, 0}});
        const SIZE gap = row.gap(dialog);
        const RECT after = ControlRect(dialog, Subject);
        EXPECT_EQ(after.left - ref.right, gap.cx);
        EXPECT_EQ(after.top - ref.bottom, gap.cy);
    }
}

TEST(LayoutArrange, PlacementAlreadyInPlaceChangesNothing) {
    DialogWindow dialog(MakeDialog());
    const RECT ref = ControlRect(dialog, Reference);
    const int gy = DluY(dialog, 6);
    MoveWindow(GetDlgItem(dialog, Subject), 5, ref.bottom + gy, 40, 20, FALSE);
    Apply(dialog, {{Subject, 0x100000, Reference, 0, 0, 0, 0}});  // stretching would grow it otherwise
    EXPECT_RECT(ControlRect(dialog, Subject), (RECT{5, ref.bottom + gy, 45, ref.bottom + gy + 20}));
}

TEST(LayoutArrange, CentringInClientAreaAndInReference) {
    struct Row { int32_t centring; bool inReference; bool x, y; };
    const Row rows[] = {{1, false, true, false}, {2, false, false, true}, {3, false, true, true},
                        {5, true, true, false}, {7, true, true, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.centring);
        DialogWindow dialog(MakeDialog());
        const RECT c = ControlRect(dialog, Subject);
        const SIZE client = ClientSize(dialog);
        const RECT container = row.inReference ? ControlRect(dialog, Reference) : RECT{0, 0, client.cx, client.cy};
        Apply(dialog, {{Subject, 0, Reference, 0, 0, row.centring, 0}});
        const int w = c.right - c.left, h = c.bottom - c.top;
        const int left = row.x ? container.left + (container.right - container.left - w) / 2 : c.left;
        const int top = row.y ? container.top + (container.bottom - container.top - h) / 2 : c.top;
        EXPECT_RECT(ControlRect(dialog, Subject), (RECT{left, top, left + w, top + h}));
    }
}

TEST(LayoutArrange, DialogHeightAndWidthEndTheGapPastTheReference) {
    DialogWindow dialog(MakeDialog());
    RECT window{};
    GetWindowRect(dialog, &window);
    Apply(dialog, {{LayoutDialogHeight, 0x100000, Reference, 0, 0, 0, 0},
                   {LayoutDialogWidth, 0x4200000, Other, 4, 0, 0, 0},
                   {Subject, 0xC, 0, 0, 0, 0, 0}});
    const RECT ref = ControlRect(dialog, Reference);
    const RECT other = ControlRect(dialog, Other);
    const SIZE client = ClientSize(dialog);
    EXPECT_EQ(client.cy, ref.bottom + DluY(dialog, 6));
    EXPECT_EQ(client.cx, other.right + DluX(dialog, 4));
    RECT after{};
    GetWindowRect(dialog, &after);
    EXPECT_EQ(after.left, window.left);
    EXPECT_EQ(after.top, window.top);
    // Later entries see the new client area.
    const RECT subject = ControlRect(dialog, Subject);
    EXPECT_EQ(subject.right, client.cx - DluX(dialog, 6));
    EXPECT_EQ(subject.bottom, client.cy - DluY(dialog, 6));
}

TEST(LayoutArrange, MissingControlStopsThePassKeepingEarlierEntries) {
    DialogWindow dialog(MakeDialog());
    const RECT other = ControlRect(dialog, Other);
    Apply(dialog, {{Subject, 0x3, 0, 0, 0, 0, 0},
                   {0, 0x3, 0, 0, 0, 0, 0},  // skipped, not missing
                   {999, 0x3, 0, 0, 0, 0, 0},
                   {Other, 0x3, 0, 0, 0, 0, 0}});
    EXPECT_EQ(ControlRect(dialog, Subject).left, DluX(dialog, 6));
    EXPECT_EQ(ControlRect(dialog, Subject).top, DluY(dialog, 6));
    EXPECT_RECT(ControlRect(dialog, Other), other);
}

TEST(LayoutArrange, RulesApplyInOrderWithinAnEntry) {
    // Anchored left, then aligned on the reference's vertical centre, then
    // given its width, then placed below it: each step sees the previous one.
    DialogWindow dialog(MakeDialog());
    const RECT ref = ControlRect(dialog, Reference);
    const RECT c = ControlRect(dialog, Subject);
    Apply(dialog, {{Subject, 0x1 | 0x10000 | 0x500000, Reference, 0, 0, 0, 0}});
    const int left = DluX(dialog, 6);
    const int top = ref.bottom + DluY(dialog, 6);
    EXPECT_RECT(ControlRect(dialog, Subject),
                (RECT{left, top, left + ref.right - ref.left, top + c.bottom - c.top}));
}

}  // namespace
