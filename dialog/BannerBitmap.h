#pragma once
// The banner picture, scaled to cover its control at any screen DPI.
#include <windows.h>

#include "platform/UniqueResource.h"

// The factor that makes a bw x bh picture cover a W x H control: the larger of
// the two ratios (a non-positive W or H is left out; 0 when both are).
float ComputeBannerScale(int controlWidth, int controlHeight, int bitmapWidth, int bitmapHeight);

// Scales bitmap 129 of `module` to cover control 1007 of `dialog` and gives it to
// the control. Returns the bitmap the control now shows, which must outlive the
// control; empty when the control keeps its template's picture.
PlatformHelpers::UniqueBitmap FitBannerBitmap(HWND dialog, HMODULE module);

// Returns a copy of `source` stretched to width x height (monochrome for a 1-bit
// source), deleting the source when asked. When the copy cannot be made the
// source itself comes back, not deleted.
HBITMAP ScaleBitmap(HBITMAP source, int width, int height, bool deleteSource);
