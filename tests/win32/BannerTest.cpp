// The banner decoder on the picture this program carries and on broken input, and the stretched
// bitmap the wizard shows.
#include "platform/win32/Win32.h"

#include <malloc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/Error.h"
#include "ui/Banner.h"
#include "ui/Gdi.h"

namespace {

std::vector<unsigned char> BannerBytes() {
    const HRSRC found = FindResourceA(nullptr, "BANNER", RT_RCDATA);
    if (!found) return {};
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, found)));
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(nullptr, found));
}

struct Bgr {
    int blue, green, red;
};

Bgr PixelAt(const DecodedImage& image, int x, int y) {
    const unsigned char* pixel = image.bgr.data() + (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {pixel[0], pixel[1], pixel[2]};
}

double MeanBrightness(const DecodedImage& image, int top, int bottom) {
    double sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width; ++x) {
            const Bgr pixel = PixelAt(image, x, y);
            sum += pixel.blue + pixel.green + pixel.red;
        }
    return sum / (3.0 * image.width * (bottom - top));
}

// The error text a decode raises, or "decoded" when it did not raise.
std::string DecodeError(const std::vector<unsigned char>& bytes) {
    try {
        DecodeJpeg(bytes.data(), bytes.size());
        return "decoded";
    } catch (const platform::Error& error) {
        return error.what();
    }
}

std::string JpegError(int code) {
    return "JPEG error #" + std::to_string(code);
}

// Bytes in use on the C runtime's heap, where libjpeg's memory manager allocates.
std::size_t HeapBytesInUse() {
    _HEAPINFO entry{};
    std::size_t used = 0;
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) used += entry._size;
    return used;
}

// Carried as drawn (408 x 644) and shown at 162 x 280 at 96 dpi: whole and at half size it is the same
// picture.
TEST(Banner, DecodesTheCarriedPictureAsAVerticalBlueBanner) {
    for (const DecodedImage& banner : {LoadBanner(), LoadBanner(162, 280)}) {
        const int w = banner.width, h = banner.height;
        ASSERT_EQ(std::size_t(w) * h * 3, banner.bgr.size());
        // Blue dominates in every corner (bytes in blue, green, red order), darker towards the bottom,
        // with light lettering somewhere.
        for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}}) {
            const Bgr corner = PixelAt(banner, x, y);
            EXPECT_GT(corner.blue, corner.red + 20) << x << "," << y;
        }
        EXPECT_GT(MeanBrightness(banner, 0, h * 43 / 280), MeanBrightness(banner, h * 237 / 280, h) + 20);
        int light = 0;
        for (std::size_t i = 0; i < banner.bgr.size(); i += 3)
            light += banner.bgr[i] > 230 && banner.bgr[i + 1] > 230 && banner.bgr[i + 2] > 230;
        EXPECT_GT(light, w * h / 150) << w;
    }
}

// The size decoded for the size shown: whole by default, at 96 dpi (162 x 280) half, at 120, 144 and 192
// dpi whole, and whole when shown larger; at the edges of the 1/2, 1/4 and 1/8 scales both directions
// count, and a scaled size is rounded up as libjpeg rounds it (644 / 8 = 80.5).
TEST(Banner, DecodesAtTheSmallestScaleThatCoversTheShownSize) {
    for (const auto& [shownWidth, shownHeight, width, height] :
         {std::array{kFullSize, kFullSize, 408, 644}, {162, 280, 204, 322}, {203, 350, 408, 644},
          {243, 420, 408, 644}, {324, 560, 408, 644}, {500, 700, 408, 644}, {204, 322, 204, 322},
          {205, 322, 408, 644}, {204, 323, 408, 644}, {51, 82, 102, 161}, {51, 81, 51, 81}, {1, 1, 51, 81}}) {
        const DecodedImage banner = LoadBanner(shownWidth, shownHeight);
        EXPECT_EQ(width, banner.width) << shownWidth << " x " << shownHeight;
        EXPECT_EQ(height, banner.height) << shownWidth << " x " << shownHeight;
    }
}

TEST(Banner, BrokenInputRaisesTheLibraryErrorCode) {
    const std::vector<unsigned char> banner = BannerBytes();
    ASSERT_GT(banner.size(), 1000u);
    EXPECT_EQ(JpegError(JERR_INPUT_EMPTY), DecodeError({}));
    EXPECT_EQ(JpegError(JERR_NO_SOI), DecodeError(std::vector<unsigned char>(5000, 0x5A)));
    EXPECT_EQ(JpegError(JERR_NO_SOI), DecodeError({banner.begin() + 1, banner.end()}));
    // Cut inside the header: the image never starts.
    EXPECT_EQ(JpegError(JERR_NO_IMAGE), DecodeError({banner.begin(), banner.begin() + 120}));
    EXPECT_EQ(JpegError(JERR_NO_IMAGE), DecodeError({0xFF, 0xD8, 0xFF, 0xD9}));
    // A forged width no memory could hold is refused before any pixel is reserved.
    std::size_t frame = 0; // the frame header: FF C0, length, precision, height, width, components
    while (frame + 12 < banner.size() && !(banner[frame] == 0xFF && banner[frame + 1] == 0xC0)) ++frame;
    std::vector<unsigned char> huge = banner;
    huge[frame + 5] = huge[frame + 7] = 0xFF; // height and width 65 5xx
    huge[frame + 6] = huge[frame + 8] = 0xD0;
    EXPECT_EQ(JpegError(JERR_IMAGE_TOO_BIG), DecodeError(huge));
    // Brightness sampled 2x1 needs an upsampler the library leaves out: it fails once decoding starts.
    std::vector<unsigned char> h2v1 = banner;
    h2v1[frame + 11] = 0x21;
    EXPECT_EQ(JpegError(JERR_FRACT_SAMPLE_NOTIMPL), DecodeError(h2v1));
}

TEST(Banner, ACutScanStillDecodesWithoutRaising) {
    const std::vector<unsigned char> banner = BannerBytes();
    const std::vector<unsigned char> cut(banner.begin(), banner.begin() + banner.size() * 6 / 10);
    const DecodedImage image = DecodeJpeg(cut.data(), cut.size(), 162, 280);
    EXPECT_EQ(204, image.width);
    EXPECT_EQ(322, image.height);
}

TEST(Banner, RepeatedFailuresLeaveNothingBehindOnTheHeap) {
    const std::vector<unsigned char> banner = BannerBytes();
    // Every table read, cut just before the scan: the most the decoder holds when it gives up.
    std::size_t scan = 2;
    while (scan + 3 < banner.size() && banner[scan + 1] != 0xDA)
        scan += 2 + banner[scan + 2] * 256 + banner[scan + 3];
    const std::vector<unsigned char> headerOnly(banner.begin(), banner.begin() + scan);
    auto failures = [&](int count) {
        for (int i = 0; i < count; ++i) {
            EXPECT_NE("decoded", DecodeError(headerOnly));
            EXPECT_NE("decoded", DecodeError({0xFF, 0xD8, 0xFF, 0xD9}));
        }
    };
    failures(10); // the runtime's own first-use allocations
    const std::size_t before = HeapBytesInUse();
    failures(200);
    EXPECT_LT(HeapBytesInUse(), before + 4096);
}

// Reads a bitmap back as 32-bit top-down pixels (blue, green, red, unused).
std::vector<RGBQUAD> ReadBack(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<std::size_t>(width) * height);
    gdi::ScreenDc screen;
    EXPECT_EQ(height, GetDIBits(screen.Get(), bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS));
    return pixels;
}

TEST(Banner, StretchedBitmapKeepsRowsAlignedWhenTheyNeedPadding) {
    // Three columns (9 bytes a row, padded to 12 in a DIB): red, green, blue, on two rows.
    DecodedImage stripes{3, 2, {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 0}};
    gdi::Bitmap bitmap(MakeStretchedBitmap(stripes, 30, 20));
    ASSERT_TRUE(bitmap);
    const std::vector<RGBQUAD> pixels = ReadBack(bitmap.Get(), 30, 20);
    // The first and last rows come from identical source rows: a row read from the wrong offset, or
    // the picture drawn off by a row, differs.
    for (int x = 0; x < 30; ++x) {
        EXPECT_EQ(pixels[x].rgbBlue, pixels[19 * 30 + x].rgbBlue) << x;
        EXPECT_EQ(pixels[x].rgbGreen, pixels[19 * 30 + x].rgbGreen) << x;
        EXPECT_EQ(pixels[x].rgbRed, pixels[19 * 30 + x].rgbRed) << x;
    }
    const RGBQUAD& left = pixels[16 * 30];
    const RGBQUAD& right = pixels[16 * 30 + 29];
    EXPECT_GT(left.rgbRed, 200);
    EXPECT_LT(left.rgbBlue, 60);
    EXPECT_GT(right.rgbBlue, 200);
    EXPECT_LT(right.rgbRed, 60);
    // Shrunk, neighbours are blended (halftone), not dropped or combined: black, white and black in two
    // pixels leave some grey.
    gdi::Bitmap shrunk(MakeStretchedBitmap({3, 1, {0, 0, 0, 255, 255, 255, 0, 0, 0}}, 2, 1));
    const std::vector<RGBQUAD> two = ReadBack(shrunk.Get(), 2, 1);
    EXPECT_NEAR(128, std::max(two[0].rgbGreen, two[1].rgbGreen), 60);
    // A single pixel is a picture too, and so is a single column.
    gdi::Bitmap dot(MakeStretchedBitmap({1, 1, {10, 200, 30}}, 1, 2));
    EXPECT_NEAR(200, ReadBack(dot.Get(), 1, 2)[1].rgbGreen, 2);
}

// At its own size every pixel comes out as decoded, on rows that need padding.
TEST(Banner, AtItsOwnSizeThePictureIsCopiedPixelForPixel) {
    DecodedImage stripes{3, 2, {0, 0, 255, 0, 255, 0, 255, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90}};
    gdi::Bitmap bitmap(MakeStretchedBitmap(stripes, 3, 2));
    ASSERT_TRUE(bitmap);
    const std::vector<RGBQUAD> pixels = ReadBack(bitmap.Get(), 3, 2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pixels[i].rgbBlue, stripes.bgr[i * 3]) << i;
        EXPECT_EQ(pixels[i].rgbGreen, stripes.bgr[i * 3 + 1]) << i;
        EXPECT_EQ(pixels[i].rgbRed, stripes.bgr[i * 3 + 2]) << i;
    }
}

// At 120 dpi the whole picture is shrunk to the panel's size there (203 x 350).
TEST(Banner, StretchesTheBannerToTheWizardPanelAtAnotherDpi) {
    const int width = gdi::Scale(162, 120), height = gdi::Scale(280, 120);
    const DecodedImage banner = LoadBanner(width, height);
    ASSERT_EQ(408, banner.width);
    gdi::Bitmap bitmap(MakeStretchedBitmap(banner, width, height));
    ASSERT_TRUE(bitmap);
    const std::vector<RGBQUAD> pixels = ReadBack(bitmap.Get(), width, height);
    for (const auto& [x, y] : {std::pair{4, 4}, {403, 4}, {4, 639}, {403, 639}}) {
        const Bgr source = PixelAt(banner, x, y);
        const RGBQUAD& shown = pixels[(y * height / 644) * width + x * width / 408];
        EXPECT_NEAR(source.blue, shown.rgbBlue, 16) << x << "," << y;
        EXPECT_NEAR(source.red, shown.rgbRed, 16) << x << "," << y;
    }
}

// At 96 dpi the half-size picture (204 x 322) is shrunk to 162 x 280.
TEST(Banner, StretchesTheBannerToTheWizardPanel) {
    const DecodedImage banner = LoadBanner(162, 280);
    gdi::Bitmap bitmap(MakeStretchedBitmap(banner, 162, 280));
    ASSERT_TRUE(bitmap);
    BITMAP info{};
    ASSERT_NE(0, GetObjectA(bitmap.Get(), sizeof info, &info));
    EXPECT_EQ(162, info.bmWidth);
    EXPECT_EQ(280, info.bmHeight);
    const std::vector<RGBQUAD> pixels = ReadBack(bitmap.Get(), 162, 280);
    const Bgr top = PixelAt(banner, 2, 2);
    EXPECT_NEAR(top.blue, pixels[1 * 162 + 1].rgbBlue, 16);
    EXPECT_NEAR(top.red, pixels[1 * 162 + 1].rgbRed, 16);
    EXPECT_THROW(MakeStretchedBitmap({0, 1, {}}, 162, 280), platform::Error);
    EXPECT_THROW(MakeStretchedBitmap({1, 0, {}}, 162, 280), platform::Error);
    EXPECT_THROW(MakeStretchedBitmap(banner, 0, 280), platform::Error);
    EXPECT_THROW(MakeStretchedBitmap(banner, 162, 0), platform::Error);
}

} // namespace
