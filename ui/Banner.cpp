// The banner picture: the program's JPEG resource, decoded (ui/JpegDecoder.cpp) and stretched into the
// bitmap the wizard shows.
#include "ui/Banner.h"

#include "platform/Error.h"
#include "platform/Resources.h"
#include "ui/Gdi.h"

#include <algorithm>
#include <vector>

namespace {

// StretchDIBits wants each row padded to four bytes.
std::vector<unsigned char> DibRows(const DecodedImage& image) {
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    std::vector<unsigned char> rows(stride * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.bgr.data() + y * rowBytes, rowBytes, rows.data() + y * stride);
    return rows;
}

BITMAPINFO DibInfo(const DecodedImage& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height; // top-down, as decoded
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void StretchInto(HDC dc, const DecodedImage& image, int width, int height) {
    const std::vector<unsigned char> rows = DibRows(image);
    const BITMAPINFO info = DibInfo(image);
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr); // HALFTONE needs it after the mode change
    ::StretchDIBits(dc, 0, 0, width, height, 0, 0, image.width, image.height, rows.data(), &info,
                    DIB_RGB_COLORS, SRCCOPY);
}

} // namespace

DecodedImage LoadBanner(int shownWidth, int shownHeight) {
    const auto picture = platform::FindProgramResource("BANNER");
    if (!picture) throw platform::Error("The banner picture is missing");
    return DecodeJpeg(picture->bytes, picture->size, shownWidth, shownHeight);
}

HBITMAP MakeStretchedBitmap(const DecodedImage& image, int width, int height) {
    if (image.width <= 0 || image.height <= 0 || width <= 0 || height <= 0)
        throw platform::Error("Cannot stretch an empty picture");
    gdi::ScreenDc screen;
    gdi::Bitmap bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
    if (!bitmap) throw platform::Error("Cannot create the banner bitmap");
    gdi::MemoryDc dc(::CreateCompatibleDC(screen.Get()));
    if (!dc) throw platform::Error("Cannot create the banner bitmap");
    {
        gdi::Selection selected(dc.Get(), bitmap.Get());
        StretchInto(dc.Get(), image, width, height);
    }
    return bitmap.Release();
}
