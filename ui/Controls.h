#pragma once
// Non-owning wrappers over the wizard's child windows. Each is a window handle plus the calls the
// handlers make on it; the windows belong to their parent and die with it.
#include "engine/Associations.h"
#include "platform/win32/Win32.h"

#include <string>

// The size `text` takes in `control`'s font: on one line, or wrapped at wrapWidth when that is not 0.
// Always at least one line high, so an empty label keeps its height for a text set later. Drawn text can
// run a pixel or two past its measured extent, and a control exactly as wide as the measure drops (or
// wraps) its last glyph: half an average character of slack keeps it.
SIZE MeasureText(HWND control, const std::string& text, int wrapWidth = 0);

// Makes a control's window when it is first needed: a form that builds a page only when the page is
// first shown hands its controls a source instead of a window, and asking such a control for its window
// builds its page.
class ControlSource {
public:
    // The window of the control with this id, its page built first when it is not yet.
    virtual HWND Materialise(int id) = 0;

protected:
    ~ControlSource() = default;
};

class Control {
public:
    Control() = default;
    explicit Control(HWND handle) : handle_(handle) {}
    Control(ControlSource& source, int id) : source_(&source), id_(id) {}
    HWND Handle() const { return handle_ || !source_ ? handle_ : source_->Materialise(id_); }
    // Whether `window` is this control, without making it: a control not made yet is no window.
    bool Is(HWND window) const { return window && window == handle_; }

    void Show() const { ::ShowWindow(Handle(), SW_SHOW); }
    void Hide() const { ::ShowWindow(Handle(), SW_HIDE); }
    void SetVisible(bool visible) const { ::ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE); }
    bool Visible() const { return ::IsWindowVisible(Handle()) != FALSE; }
    void Enable() const { ::EnableWindow(Handle(), TRUE); }
    void Disable() const { ::EnableWindow(Handle(), FALSE); }
    void SetEnabled(bool enabled) const { ::EnableWindow(Handle(), enabled ? TRUE : FALSE); }
    bool Enabled() const { return ::IsWindowEnabled(Handle()) != FALSE; }
    void SetText(const std::string& text) const { ::SetWindowTextA(Handle(), text.c_str()); }
    std::string Text() const;

private:
    HWND handle_ = nullptr;
    ControlSource* source_ = nullptr;
    int id_ = 0;
};

// Labels size themselves to their text, so a new text also means a new size.
class Label : public Control {
public:
    using Control::Control;
    void SetText(const std::string& text) const;
    void AutoSize() const;
};

class Button : public Control {
public:
    using Control::Control;
    void Click() const { ::SendMessageA(Handle(), BM_CLICK, 0, 0); }
};

class CheckBox : public Control {
public:
    using Control::Control;
    bool IsChecked() const { return ::SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(bool on) const {
        ::SendMessageA(Handle(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
};

// The selected choice of a group is checked and is the group's one tab stop, so that Tab lands on it.
class RadioButton : public CheckBox {
public:
    using CheckBox::CheckBox;
    void SetSelected(bool selected) const;
};
using Edit = Control;
using Memo = Control;
using Panel = Control;
using Bevel = Control;

class ProgressBar : public Control {
public:
    using Control::Control;
    void StepIt() const;
    int Position() const;
};

// The association page's check-box list; column setup happens when the layout builds it.
class ListView : public Control, public AssociationList {
public:
    using Control::Control;
    void AddItem(const std::string& text, const std::string& subItem, bool checked) override;
    bool IsChecked(int index) const override;
    void SetChecked(int index, bool checked) override;
    int Count() const;
    std::string ItemText(int index, int column) const;
    // The row the keyboard acts on (Space ticks it, the arrows move from it), without selecting it.
    void FocusRow(int index) const;
};

// A static picture; the bitmap stays owned by whoever made it.
class Image : public Control {
public:
    using Control::Control;
    void SetBitmap(HBITMAP bitmap) const;
};
