#pragma once
// The one window-procedure thunk. A form registers its class with Window::Procedure and passes `this` as
// the creation parameter; the pointer is kept from WM_NCCREATE to WM_NCDESTROY, and every message goes
// to the form's HandleMessage. No exception ever crosses back into Windows: whatever a handler raises
// is handed to the top-level error report and the message counts as handled.
#include "platform/win32/Win32.h"

// Registers a window class once per process (a class already registered is kept as it is), with the
// arrow cursor. False when Windows refuses the class.
bool RegisterWindowClass(HINSTANCE instance, const char* className, WNDPROC procedure, HBRUSH background,
                         HICON icon = nullptr, UINT style = 0);

// The outer size of a window of this style whose client area is width x height.
SIZE FrameSize(int width, int height, DWORD style, DWORD exStyle);
// The primary screen's size.
SIZE ScreenSize();
// A window of `size` centred on an area of `area` that starts at 0,0 (the screen, or a monitor counted
// from its own corner).
RECT Centred(SIZE area, SIZE size);

// A form's class: the thunk as its procedure, the installer's icon and the button-face background.
bool RegisterFormClass(HINSTANCE instance, const char* className, UINT style = 0);

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window() = default;

    HWND Handle() const { return handle_; }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Return the message's result; call Default for what the form does not handle itself.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcA(handle_, message, wParam, lParam);
    }

private:
    HWND handle_ = nullptr;
};
