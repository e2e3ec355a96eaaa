#pragma once
// Owning GDI handles, one type per kind of release call, on the platform layer's move-only handle type.
#include "platform/win32/ScopedHandles.h"

#include <utility>

namespace gdi {

// Fonts, bitmaps, brushes: DeleteObject.
template <typename GdiHandle> struct ObjectTraits {
    using Handle = GdiHandle;
    static Handle Empty() { return nullptr; }
    static bool Free(Handle object) { return ::DeleteObject(object) != FALSE; }
};
using Font = platform::win32::ScopedHandle<ObjectTraits<HFONT>>;
using Bitmap = platform::win32::ScopedHandle<ObjectTraits<HBITMAP>>;

// CreateCompatibleDC memory DCs: DeleteDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Empty() { return nullptr; }
    static bool Free(Handle dc) { return ::DeleteDC(dc) != FALSE; }
};
using MemoryDc = platform::win32::ScopedHandle<MemoryDcTraits>;

// GetDC(nullptr): the screen's DC, given back with ReleaseDC.
class ScreenDc {
public:
    ScreenDc() : dc_(::GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ::ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// An object selected into a DC until the scope ends; the DC's previous object goes back in.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~Selection() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// BeginPaint .. EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &paint_); }
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// Screen dots per inch (vertical); layouts are in pixels at 96.
inline int ScreenDpi() {
    ScreenDc screen;
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}
inline int Scale(int pixelsAt96, int dpi) {
    return ::MulDiv(pixelsAt96, dpi, 96);
}

} // namespace gdi
