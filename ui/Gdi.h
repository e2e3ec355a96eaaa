#pragma once
// Owning GDI handles, one type per kind of release call. Move-only.
#include "platform/win32/Win32.h"

#include <utility>

namespace gdi {

template <typename Handle, typename Traits> class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle Release() { return std::exchange(handle_, nullptr); }
    void Reset(Handle handle = nullptr) {
        if (Handle old = std::exchange(handle_, handle)) Traits::Free(old);
    }

private:
    Handle handle_ = nullptr;
};

// Fonts, bitmaps, brushes: DeleteObject.
struct ObjectTraits {
    static void Free(HGDIOBJ object) { ::DeleteObject(object); }
};
using Font = Owned<HFONT, ObjectTraits>;
using Bitmap = Owned<HBITMAP, ObjectTraits>;

// CreateCompatibleDC memory DCs: DeleteDC.
struct MemoryDcTraits {
    static void Free(HDC dc) { ::DeleteDC(dc); }
};
using MemoryDc = Owned<HDC, MemoryDcTraits>;

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
