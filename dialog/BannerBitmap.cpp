#include "dialog/BannerBitmap.h"

#include <cmath>

#include "res/resource.h"

using PlatformHelpers::ScopedSelectObject;
using PlatformHelpers::UniqueBitmap;
using PlatformHelpers::UniqueMemoryDc;

namespace {

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() {
        if (dc) ReleaseDC(nullptr, dc);
    }
};

}  // namespace

float ComputeBannerScale(int controlWidth, int controlHeight, int bitmapWidth, int bitmapHeight) {
    float factor = 0.0f;
    if (controlWidth > 0 && bitmapWidth > 0) factor = static_cast<float>(controlWidth) / bitmapWidth;
    if (controlHeight > 0 && bitmapHeight > 0 && controlHeight > bitmapHeight * factor) {
        factor = static_cast<float>(controlHeight) / bitmapHeight;
    }
    return factor;
}

HBITMAP ScaleBitmap(HBITMAP source, int width, int height, bool deleteSource) {
    BITMAP info{};
    if (!source || !GetObjectW(source, sizeof(info), &info)) return source;
    ScreenDc screen;
    UniqueMemoryDc sourceDc(CreateCompatibleDC(screen.dc));
    UniqueMemoryDc targetDc(CreateCompatibleDC(screen.dc));
    if (!sourceDc || !targetDc) return source;
    UniqueBitmap target(info.bmBitsPixel == 1 ? CreateBitmap(width, height, 1, 1, nullptr)
                                              : CreateCompatibleBitmap(screen.dc, width, height));
    if (!target) return source;
    {
        ScopedSelectObject selectSource(sourceDc.get(), source);
        ScopedSelectObject selectTarget(targetDc.get(), target.get());
        if (width > info.bmWidth || height > info.bmHeight) SetStretchBltMode(targetDc.get(), WHITEONBLACK);
        StretchBlt(targetDc.get(), 0, 0, width, height, sourceDc.get(), 0, 0, info.bmWidth, info.bmHeight,
                   SRCCOPY);
    }
    if (deleteSource) DeleteObject(source);
    return target.release();
}

UniqueBitmap FitBannerBitmap(HWND dialog, HMODULE module) {
    HWND banner = GetDlgItem(dialog, IDC_BANNER);
    if (!banner) return {};
    RECT rect{};
    GetWindowRect(banner, &rect);
    const int controlWidth = rect.right - rect.left;
    const int controlHeight = rect.bottom - rect.top;

    UniqueBitmap loaded(LoadBitmapW(module, MAKEINTRESOURCEW(IDB_BANNER)));
    BITMAP info{};
    if (!loaded || !GetObjectW(loaded.get(), sizeof(info), &info)) return {};
    const float factor = ComputeBannerScale(controlWidth, controlHeight, info.bmWidth, info.bmHeight);
    // Only absurd factors are refused; the control clips and centres the rest.
    if (std::fabs(factor - 1.0f) >= 9999.0f) return {};
    const int width = static_cast<int>(info.bmWidth * factor);
    const int height = static_cast<int>(info.bmHeight * factor);

    UniqueBitmap scaled(ScaleBitmap(loaded.release(), width, height, true));
    if (!scaled) return {};
    auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(banner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled.get())));
    if (previous && previous != scaled.get()) DeleteObject(previous);
    auto shown = reinterpret_cast<HBITMAP>(SendMessageW(banner, STM_GETIMAGE, IMAGE_BITMAP, 0));
    // A control that made a copy of its own needs ours no longer.
    if (shown != scaled.get()) return {};
    return scaled;
}
