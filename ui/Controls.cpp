#include "ui/Controls.h"

#include <commctrl.h>

SIZE MeasureText(HWND control, const std::string& text, int wrapWidth) {
    HDC dc = ::GetDC(control);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(dc, &metrics);
    RECT bounds = {0, 0, wrapWidth, 0};
    if (!text.empty()) {
        const UINT wrap = wrapWidth ? DT_WORDBREAK : 0;
        ::DrawTextA(dc, text.c_str(), -1, &bounds, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | wrap);
        bounds.right += metrics.tmAveCharWidth / 2;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return {bounds.right, bounds.bottom > metrics.tmHeight ? bounds.bottom : metrics.tmHeight};
}

std::string Control::Text() const {
    const HWND window = Handle();
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(window, text.data(), length + 1)));
    return text;
}

void Label::SetText(const std::string& text) const {
    Control::SetText(text);
    AutoSize();
}

void Label::AutoSize() const {
    const SIZE size = MeasureText(Handle(), Text());
    ::SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void RadioButton::SetSelected(bool selected) const {
    SetChecked(selected);
    const LONG_PTR style = ::GetWindowLongPtrA(Handle(), GWL_STYLE);
    ::SetWindowLongPtrA(Handle(), GWL_STYLE, selected ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP));
}

void ProgressBar::StepIt() const {
    ::SendMessageA(Handle(), PBM_STEPIT, 0, 0);
}

int ProgressBar::Position() const {
    return static_cast<int>(::SendMessageA(Handle(), PBM_GETPOS, 0, 0));
}

void ListView::AddItem(const std::string& text, const std::string& subItem, bool checked) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = const_cast<char*>(text.c_str());
    const int index =
        static_cast<int>(::SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    // -1 is no row: as an index it would mean every row, and its check would change them all.
    if (index < 0) return;
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(subItem.c_str());
    ::SendMessageA(Handle(), LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    SetChecked(index, checked);
}

bool ListView::IsChecked(int index) const {
    return ListView_GetCheckState(Handle(), index) == 1;
}

void ListView::SetChecked(int index, bool checked) {
    ListView_SetCheckState(Handle(), index, checked ? TRUE : FALSE);
}

int ListView::Count() const {
    return static_cast<int>(::SendMessageA(Handle(), LVM_GETITEMCOUNT, 0, 0));
}

void ListView::FocusRow(int index) const {
    ListView_SetItemState(Handle(), index, LVIS_FOCUSED, LVIS_FOCUSED);
}

std::string ListView::ItemText(int index, int column) const {
    char buffer[256] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    ::SendMessageA(Handle(), LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void Image::SetBitmap(HBITMAP bitmap) const {
    ::SendMessageA(Handle(), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
}
