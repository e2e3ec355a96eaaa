// The backdrop window: its gradient bytes, and the real window with its frame, close handling, font,
// caption and painting.
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Gdi.h"
#include "ui/Backdrop.h"

namespace {

constexpr int kRowBytes = 4; // one 24-bit pixel and its padding

TEST(Gradient, BlueRisesFromBottomMemoryRowToTopWithHalvesRoundedUp) {
    const std::vector<unsigned char> pixels = GradientPixels();
    ASSERT_EQ(2000u, pixels.size());
    const std::pair<int, int> expected[] = {{0, 0},     {1, 1},     {50, 26},   {150, 77},
                                            {250, 128}, {350, 179}, {450, 230}, {499, 254}};
    for (const auto& [row, blue] : expected)
        EXPECT_EQ(blue, pixels[row * kRowBytes]) << "row " << row;
    for (int row = 0; row < 500; ++row) {
        const unsigned char* line = pixels.data() + row * kRowBytes;
        ASSERT_EQ(0, line[1]) << row;
        ASSERT_EQ(0, line[2]) << row;
        ASSERT_EQ(0, line[3]) << row;
        if (row > 0) {
            ASSERT_GE(line[0], line[-kRowBytes]) << row;
        }
    }
}

std::string CaptionOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class BackdropWindow : public ::testing::Test {
protected:
    void SetUp() override {
        form.Create(GetModuleHandleA(nullptr));
        form.SetCloseRequestHandler([](void* context) { ++*static_cast<int*>(context); }, &closeRequests);
    }
    ::Backdrop form;
    int closeRequests = 0;
};

TEST_F(BackdropWindow, CreatedHiddenWithAFixedBorderAndOnlyTheCloseBox) {
    const HWND window = form.Handle();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(IsWindowVisible(window));
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ("TForm1", className);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    EXPECT_EQ(WS_CAPTION | WS_SYSMENU, style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                                                WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP));
    EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));

    const int dpi = gdi::ScreenDpi();
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(gdi::Scale(652, dpi), client.right);
    EXPECT_EQ(gdi::Scale(329, dpi), client.bottom);
    RECT bounds;
    GetWindowRect(window, &bounds);
    EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN), bounds.left + bounds.right, 1);
    EXPECT_NEAR(GetSystemMetrics(SM_CYSCREEN), bounds.top + bounds.bottom, 1);

    LOGFONTA font{};
    ASSERT_NE(
        0, GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font));
    EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
    EXPECT_EQ(-gdi::Scale(11, dpi), font.lfHeight);
}

TEST_F(BackdropWindow, EveryCloseRequestGoesToTheHandlerAndTheWindowStays) {
    const HWND window = form.Handle();
    ShowWindow(window, SW_SHOW);
    SendMessageA(window, WM_CLOSE, 0, 0);
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); // close box, system menu, Alt+F4
    PostMessageA(window, WM_CLOSE, 0, 0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_EQ(3, closeRequests);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(BackdropWindow, ShownMaximised) {
    form.ShowMaximised();
    EXPECT_TRUE(IsWindowVisible(form.Handle()));
    EXPECT_TRUE(IsZoomed(form.Handle()));
}

// The client area as painted, read back as 32-bit top-down pixels.
class Painted {
public:
    explicit Painted(HWND window) {
        RECT client;
        GetClientRect(window, &client);
        width = client.right;
        height = client.bottom;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        dc_.Reset(CreateCompatibleDC(nullptr));
        pixels = static_cast<const RGBQUAD*>(bits);
        std::fill_n(static_cast<RGBQUAD*>(bits), width * height, RGBQUAD{0, 255, 0, 0}); // green: unpainted
        gdi::Selection selected(dc_.Get(), bitmap_.Get());
        SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_.Get()), PRF_CLIENT);
    }
    const RGBQUAD& At(int x, int y) const { return pixels[y * width + x]; }
    int width = 0, height = 0;
    const RGBQUAD* pixels = nullptr;

private:
    gdi::Bitmap bitmap_;
    gdi::MemoryDc dc_;
};

bool IsWhite(const RGBQUAD& pixel) {
    return pixel.rgbRed == 255 && pixel.rgbGreen == 255 && pixel.rgbBlue == 255;
}
bool IsBlack(const RGBQUAD& pixel) {
    return pixel.rgbRed == 0 && pixel.rgbGreen == 0 && pixel.rgbBlue == 0;
}

TEST_F(BackdropWindow, GradientFillsTheClientAreaTopBlueToBottomBlack) {
    form.PaintGradient();
    const Painted painted(form.Handle());
    for (int x : {0, painted.width / 2, painted.width - 1}) {
        EXPECT_GE(painted.At(x, 0).rgbBlue, 250) << x;
        EXPECT_LE(painted.At(x, painted.height - 1).rgbBlue, 3) << x;
        for (int y = 0; y < painted.height; ++y) {
            ASSERT_EQ(0, painted.At(x, y).rgbGreen) << x << "," << y;
            ASSERT_EQ(0, painted.At(x, y).rgbRed) << x << "," << y;
            if (y > 0) {
                ASSERT_LE(painted.At(x, y).rgbBlue, painted.At(x, y - 1).rgbBlue) << x << "," << y;
            }
        }
    }
}

// Every painted row is one of the gradient's rows, unblended, the same across the whole width.
TEST_F(BackdropWindow, EachPaintedRowIsAGradientRowAcrossTheWholeWidth) {
    form.PaintGradient();
    const Painted painted(form.Handle());
    const std::vector<unsigned char> pixels = GradientPixels();
    std::vector<bool> isGradientBlue(256, false);
    for (int row = 0; row < 500; ++row)
        isGradientBlue[pixels[row * kRowBytes]] = true;
    for (int y = 0; y < painted.height; ++y) {
        const int blue = painted.At(0, y).rgbBlue;
        ASSERT_TRUE(isGradientBlue[blue]) << y;
        for (int x = 1; x < painted.width; ++x)
            ASSERT_EQ(painted.At(x, y).rgbBlue, blue) << x << "," << y;
    }
}

TEST_F(BackdropWindow, TitleIsWhiteOverABlackShadowOnTheGradient) {
    form.PaintGradient();
    form.SetTitles("Torvek Pellum 3.9.8.7 installation", "Torvek Pellum 3.9.8.7");
    EXPECT_EQ("Torvek Pellum 3.9.8.7 installation", CaptionOf(form.Handle()));
    const Painted painted(form.Handle());
    const int dpi = gdi::ScreenDpi();
    const int textBottom = gdi::Scale(10 + 50, dpi);
    const int textLeft = gdi::Scale(8, dpi);
    int white = 0, black = 0, whiteOverWhite = 0, strays = 0;
    for (int y = 0; y < painted.height; ++y)
        for (int x = 0; x < painted.width; ++x) {
            const RGBQUAD& pixel = painted.At(x, y);
            const bool inText = y < textBottom && x >= textLeft && y >= textLeft;
            white += inText && IsWhite(pixel);
            black += inText && IsBlack(pixel);
            strays += !inText && (IsWhite(pixel) || (IsBlack(pixel) && y < painted.height / 2));
            // Where the white letters overlap their own shadow, white must win: a shadow drawn last
            // would leave no white pixel whose up-left neighbour two pixels away is white too.
            whiteOverWhite +=
                inText && IsWhite(pixel) && x >= 2 && y >= 2 && IsWhite(painted.At(x - 2, y - 2));
        }
    EXPECT_GT(white, 500);
    EXPECT_GT(black, 100); // near the top the gradient is bright blue, so black is shadow
    EXPECT_GT(whiteOverWhite, 100);
    EXPECT_EQ(0, strays);
}

} // namespace
