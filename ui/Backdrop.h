#pragma once
// The backdrop (window class TForm1): the program's main window, maximised behind the wizard, with a
// blue-to-black gradient and the product title drawn with a shadow. The gradient picture and the two
// title labels are not child windows: the window paints them itself, in their drawing order.
#include "platform/win32/Win32.h"
#include "ui/Gdi.h"
#include "ui/Window.h"

#include <string>
#include <vector>

// The gradient bitmap's bytes: 500 rows of one pixel, 24 bits, bottom-up, 4 bytes a row (the pixel and
// the row padding), blue only. Every column of the 500 x 500 picture is the same, so one column
// stretched over the client area paints exactly what the whole picture would, for 1/375 of the bytes.
std::vector<unsigned char> GradientPixels();

class Backdrop : public Window {
public:
    using CloseRequestHandler = void (*)(void* context);

    Backdrop() = default;
    ~Backdrop() override;

    // Creates the window (hidden); the caller shows it maximised once the wizard exists. Raises
    // platform::Error when Windows refuses the window.
    void Create(HINSTANCE instance);
    void Destroy();
    // The caption and the two title labels (white text over its shadow).
    void SetTitles(const std::string& caption, const std::string& title);
    // Builds the gradient once; it is stretched over the whole client area.
    void PaintGradient();
    void ShowMaximised();
    // The close request: runs the wizard's close-request behaviour; the window never closes itself.
    void SetCloseRequestHandler(CloseRequestHandler handler, void* context);
    // The backdrop has nothing to type into: when it is activated (a click on it), it hands the
    // activation, and with it the keyboard, on to this window, unless a message box holds it disabled.
    void SetKeyboardWindow(HWND window) { keyboardWindow_ = window; }

    const std::string& Title() const { return title_; }
    bool HasGradient() const { return !gradient_.empty(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnCloseRequest();
    void HandOnKeyboard();
    void OnPaint();
    void Draw(HDC dc);
    void DrawGradient(HDC dc);
    void DrawTitle(HDC dc);

    int dpi_ = 96;
    gdi::Font font_;      // the window's own font, as WM_GETFONT reports it
    gdi::Font titleFont_; // the title and its shadow
    std::vector<unsigned char> gradient_;
    std::string title_;
    HWND keyboardWindow_ = nullptr;
    CloseRequestHandler closeHandler_ = nullptr;
    void* closeContext_ = nullptr;
};
