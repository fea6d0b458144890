#pragma once
// Table-driven layout of a dialog's controls: each control is first sized to fit
// its own text, then anchored, aligned and placed relative to the others, so that
// one template serves every language, font and screen DPI.
#include <windows.h>
#include <cstdint>

struct LayoutEntry {
    int32_t controlId;    // 0 skips the entry; LayoutDialogHeight / LayoutDialogWidth
    int32_t flags;
    int32_t referenceId;
    int32_t valueX;       // dialog units
    int32_t valueY;       // dialog units
    int32_t centring;     // 1 horizontal, 2 vertical, 4 within the reference
    int32_t controlKind;  // written by the measuring pass
};

constexpr int32_t LayoutDialogHeight = 0x1FFFFF;
constexpr int32_t LayoutDialogWidth = 0x2FFFFF;
constexpr int LayoutTableSize = 7;

void ApplyDialogLayout(HWND dialog, LayoutEntry (&table)[LayoutTableSize]);
