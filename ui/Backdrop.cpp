// The backdrop window: a stretched 500-row gradient and the shadowed product title over it.
#include "ui/Backdrop.h"

#include "platform/Error.h"

namespace {

constexpr char kClassName[] = "TForm1";
// Single fixed border, system menu and close box only.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr int kDesignClientWidth = 652;
constexpr int kDesignClientHeight = 329;

constexpr UINT kHandOnKeyboard = WM_APP + 1;
constexpr int kGradientSize = 500;
constexpr int kGradientRowBytes = 4; // one 24-bit pixel, padded to four bytes

// The restored size: the design client area, centred on the desktop.
RECT DesignBounds(int dpi) {
    return Centred(ScreenSize(), FrameSize(gdi::Scale(kDesignClientWidth, dpi),
                                           gdi::Scale(kDesignClientHeight, dpi), kStyle, 0));
}

// Heights are character heights (negative lfHeight), in pixels at 96 dpi.
HFONT MakeFont(const char* face, int height, int dpi, bool bold, bool italic, BYTE charset) {
    LOGFONTA font{};
    font.lfHeight = -gdi::Scale(height, dpi);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic;
    font.lfCharSet = charset;
    font.lfQuality = DEFAULT_QUALITY;
    ::lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    return ::CreateFontIndirectA(&font);
}

} // namespace

std::vector<unsigned char> GradientPixels() {
    std::vector<unsigned char> pixels(kGradientRowBytes * kGradientSize, 0);
    for (int row = 0; row < kGradientSize; ++row)
        pixels[row * kGradientRowBytes] = static_cast<unsigned char>((row * 510 + 500) / 1000);
    return pixels;
}

Backdrop::~Backdrop() {
    Destroy();
}

void Backdrop::Create(HINSTANCE instance) {
    // The gradient stretches with the window: a new size repaints everything.
    if (!RegisterFormClass(instance, kClassName, CS_HREDRAW | CS_VREDRAW))
        throw platform::Error("Cannot register the backdrop window class");
    dpi_ = gdi::ScreenDpi();
    font_.Reset(MakeFont("MS Sans Serif", 11, dpi_, false, false, DEFAULT_CHARSET));
    titleFont_.Reset(MakeFont("Courier New", 37, dpi_, true, true, RUSSIAN_CHARSET));
    const RECT bounds = DesignBounds(dpi_);
    ::CreateWindowExA(0, kClassName, "", kStyle, bounds.left, bounds.top, bounds.right - bounds.left,
                      bounds.bottom - bounds.top, nullptr, nullptr, instance, static_cast<Window*>(this));
    if (!Handle()) throw platform::Error("Cannot create the backdrop window");
}

void Backdrop::Destroy() {
    if (Handle()) ::DestroyWindow(Handle());
}

void Backdrop::SetTitles(const std::string& caption, const std::string& title) {
    ::SetWindowTextA(Handle(), caption.c_str());
    title_ = title;
    ::InvalidateRect(Handle(), nullptr, FALSE);
}

void Backdrop::PaintGradient() {
    if (gradient_.empty()) gradient_ = GradientPixels();
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Backdrop::ShowMaximised() {
    ::ShowWindow(Handle(), SW_SHOWMAXIMIZED);
    ::UpdateWindow(Handle());
}

void Backdrop::SetCloseRequestHandler(CloseRequestHandler handler, void* context) {
    closeHandler_ = handler;
    closeContext_ = context;
}

LRESULT Backdrop::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_PRINTCLIENT: Draw(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_ERASEBKGND:
        if (HasGradient()) return 1; // the gradient covers the whole client area
        break;
    case WM_CLOSE:
        OnCloseRequest();
        return 0; // never DefWindowProc's DestroyWindow
    // Handed on after the activation has settled: changing it inside WM_ACTIVATE would fight the
    // system's own switch, and a click on the close box must still reach the close box.
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && keyboardWindow_) ::PostMessageA(Handle(), kHandOnKeyboard, 0, 0);
        return Default(message, wParam, lParam);
    case kHandOnKeyboard: HandOnKeyboard(); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.Get());
    }
    return Default(message, wParam, lParam);
}

void Backdrop::HandOnKeyboard() {
    if (::GetActiveWindow() == Handle() && ::IsWindowEnabled(keyboardWindow_) &&
        ::IsWindowVisible(keyboardWindow_))
        ::SetActiveWindow(keyboardWindow_);
}

void Backdrop::OnCloseRequest() {
    if (closeHandler_) closeHandler_(closeContext_);
}

void Backdrop::OnPaint() {
    gdi::PaintScope paint(Handle());
    Draw(paint.Dc());
}

void Backdrop::Draw(HDC dc) {
    DrawGradient(dc);
    DrawTitle(dc);
}

void Backdrop::DrawGradient(HDC dc) {
    if (gradient_.empty()) return;
    RECT client;
    ::GetClientRect(Handle(), &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 1;
    info.bmiHeader.biHeight = kGradientSize; // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, 1, kGradientSize, gradient_.data(), &info,
                    DIB_RGB_COLORS, SRCCOPY);
}

// The shadow first; the white title two pixels up and left, over it.
void Backdrop::DrawTitle(HDC dc) {
    if (title_.empty()) return;
    gdi::Selection font(dc, titleFont_.Get());
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    const int length = static_cast<int>(title_.size());
    ::TextOutA(dc, gdi::Scale(10, dpi_), gdi::Scale(10, dpi_), title_.c_str(), length);
    ::SetTextColor(dc, RGB(255, 255, 255));
    ::TextOutA(dc, gdi::Scale(8, dpi_), gdi::Scale(8, dpi_), title_.c_str(), length);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
}
