#include <gtest/gtest.h>

#include "dialog/BannerBitmap.h"

namespace {

TEST(ComputeBannerScale, TakesTheLargerRatio) {
    EXPECT_FLOAT_EQ(ComputeBannerScale(422, 79, 422, 79), 1.0f);
    EXPECT_FLOAT_EQ(ComputeBannerScale(633, 100, 422, 79), 633.0f / 422);
    // A tall control: the height decides, the width is clipped.
    EXPECT_FLOAT_EQ(ComputeBannerScale(422, 158, 422, 79), 2.0f);
    EXPECT_FLOAT_EQ(ComputeBannerScale(0, 158, 422, 79), 2.0f);
    EXPECT_FLOAT_EQ(ComputeBannerScale(211, 0, 422, 79), 0.5f);
    EXPECT_FLOAT_EQ(ComputeBannerScale(0, 0, 422, 79), 0.0f);
    EXPECT_FLOAT_EQ(ComputeBannerScale(-5, -5, 422, 79), 0.0f);
}

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() { ReleaseDC(nullptr, dc); }
};

TEST(ScaleBitmap, KeepsDepthAndStretchesTheContent) {
    ScreenDc screen;
    HBITMAP source = CreateCompatibleBitmap(screen.dc, 4, 2);
    ASSERT_NE(source, nullptr);
    {
        PlatformHelpers::UniqueMemoryDc dc(CreateCompatibleDC(screen.dc));
        PlatformHelpers::ScopedSelectObject select(dc.get(), source);
        RECT left{0, 0, 2, 2}, right{2, 0, 4, 2};
        PlatformHelpers::UniqueGdiObject red(CreateSolidBrush(RGB(255, 0, 0)));
        PlatformHelpers::UniqueGdiObject blue(CreateSolidBrush(RGB(0, 0, 255)));
        FillRect(dc.get(), &left, static_cast<HBRUSH>(red.get()));
        FillRect(dc.get(), &right, static_cast<HBRUSH>(blue.get()));
    }
    PlatformHelpers::UniqueBitmap scaled(ScaleBitmap(source, 8, 4, true));
    ASSERT_TRUE(scaled);
    ASSERT_NE(scaled.get(), source);
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(scaled.get(), sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 8);
    EXPECT_EQ(info.bmHeight, 4);
    // The source was deleted as asked.
    EXPECT_EQ(GetObjectW(source, sizeof(info), &info), 0);

    PlatformHelpers::UniqueMemoryDc dc(CreateCompatibleDC(screen.dc));
    PlatformHelpers::ScopedSelectObject select(dc.get(), scaled.get());
    EXPECT_EQ(GetPixel(dc.get(), 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc.get(), 6, 2), RGB(0, 0, 255));
}

TEST(ScaleBitmap, MonochromeStaysMonochromeAndSourceCanBeKept) {
    PlatformHelpers::UniqueBitmap source(CreateBitmap(16, 16, 1, 1, nullptr));
    PlatformHelpers::UniqueBitmap scaled(ScaleBitmap(source.get(), 8, 8, false));
    ASSERT_TRUE(scaled);
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(scaled.get(), sizeof(info), &info));
    EXPECT_EQ(info.bmBitsPixel, 1);
    EXPECT_EQ(info.bmWidth, 8);
    EXPECT_NE(GetObjectW(source.get(), sizeof(info), &info), 0);
    EXPECT_EQ(ScaleBitmap(nullptr, 8, 8, true), nullptr);
}

}  // namespace
