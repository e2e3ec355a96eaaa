#include "ui/Window.h"

#include "ui/ErrorReport.h"

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->handle_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        const LRESULT result = ::DefWindowProcA(window, message, wParam, lParam);
        self->handle_ = nullptr;
        return result;
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportUnhandledError();
        return 0;
    }
}

bool RegisterWindowClass(HINSTANCE instance, const char* className, WNDPROC procedure, HBRUSH background,
                         HICON icon, UINT style) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (::GetClassInfoExA(instance, className, &windowClass)) return true;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    return ::RegisterClassExA(&windowClass) != 0;
}

bool RegisterFormClass(HINSTANCE instance, const char* className, UINT style) {
    return RegisterWindowClass(instance, className, Window::Procedure,
                               reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), ::LoadIconA(instance, "MAINICON"),
                               style);
}

SIZE FrameSize(int width, int height, DWORD style, DWORD exStyle) {
    RECT frame = {0, 0, width, height};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

SIZE ScreenSize() {
    return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

RECT Centred(SIZE area, SIZE size) {
    const int left = (area.cx - size.cx) / 2, top = (area.cy - size.cy) / 2;
    return {left, top, left + size.cx, top + size.cy};
}
