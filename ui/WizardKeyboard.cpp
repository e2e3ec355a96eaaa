// The wizard's keyboard and focus. The wizard is a plain window, not a dialog, so it answers the dialog
// manager's own requests (WM_NEXTDLGCTL, DM_GETDEFID) itself; IsDialogMessage does the rest:
//   Tab, Shift+Tab  the visible, enabled tab stops of the page shown, then Next, Back, Cancel
//   Enter           the focused push button (there is no default button), nothing elsewhere
//   Escape          nothing: no control has the id IDCANCEL
//   Space           the focused button, check box or list row, as the control itself handles it
//   arrows          between the two agreement choices, selecting; inside the licence box they scroll
// The focus is always on a usable control: kept when the wizard is deactivated (a message box, the
// folder browser, a click on the backdrop), given back when it is active again, and moved to the first
// usable tab stop when a page change hides or disables it.
#include "ui/Wizard.h"

#include <utility>

namespace {

bool IsPushButton(HWND window) {
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    const auto type = ::GetWindowLongPtrA(window, GWL_STYLE) & BS_TYPEMASK;
    return ::lstrcmpiA(className, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

bool IsArrow(WPARAM key) {
    return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT;
}

} // namespace

bool Wizard::PreTranslateMessage(MSG& message) {
    if (!Handle()) return false;
    if (message.message == WM_KEYDOWN && ::IsChild(Handle(), message.hwnd)) {
        ShowKeyboardCues();
        if (MoveInAgreementGroup(message)) return true;
    }
    return ::IsDialogMessageA(Handle(), &message) != FALSE;
}

// A control that had to give up the focus (Next, disabled while the files are copied) takes it back
// when it is usable again, unless the user has moved the focus in between: Enter then goes on with the
// install as it did before.
void Wizard::KeepFocusUsable() {
    if (!Handle()) return;
    const HWND focus = ::GetFocus();
    if (Usable(focus)) {
        if (focus != stand_in_) displaced_ = nullptr;
        if (displaced_ && Usable(displaced_)) {
            FocusControl(std::exchange(displaced_, nullptr));
            return;
        }
        lastFocus_ = focus;
        return;
    }
    const bool active = ::GetActiveWindow() == Handle();
    if (!active && Usable(lastFocus_)) return; // it comes back with the activation
    const HWND first = FirstUsableControl();
    // Only a control that was disabled, not one whose page went away.
    if (!displaced_ && lastFocus_ && ::IsChild(Handle(), lastFocus_) && ::IsWindowVisible(lastFocus_))
        displaced_ = lastFocus_;
    stand_in_ = first;
    if (active && first)
        FocusControl(first);
    else
        lastFocus_ = first;
}

bool Wizard::Usable(HWND control) const {
    return control && ::IsChild(Handle(), control) && ::IsWindowVisible(control) &&
           ::IsWindowEnabled(control);
}

// The page's controls come before the buttons in tab order, so this is the first usable tab stop of the
// page shown, else the first usable button.
HWND Wizard::FirstUsableControl() const {
    const HWND first = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
    return Usable(first) ? first : nullptr;
}

void Wizard::FocusControl(HWND control) {
    movingFocus_ = true;
    ::SetFocus(control);
    movingFocus_ = false;
    lastFocus_ = control;
}

void Wizard::OnActivate(bool active) {
    if (!active) {
        if (Usable(::GetFocus())) lastFocus_ = ::GetFocus();
        return;
    }
    if (Usable(lastFocus_))
        FocusControl(lastFocus_);
    else // disabled meanwhile (Next, while a box asks before the copy): it takes the focus back later
        KeepFocusUsable();
}

// WM_NEXTDLGCTL: the control in wParam when lParam says so, else the next (wParam 0) or previous tab stop.
void Wizard::NextControl(WPARAM which, LPARAM byHandle) {
    const HWND target = LOWORD(byHandle) ? reinterpret_cast<HWND>(which)
                                         : ::GetNextDlgTabItem(Handle(), ::GetFocus(), which != 0);
    if (Usable(target)) FocusControl(target);
}

// DM_GETDEFID: the focused push button is the one Enter presses; with the focus anywhere else Enter
// presses nothing.
LRESULT Wizard::FocusedPushButtonId() const {
    const HWND focus = ::GetFocus();
    if (!Usable(focus) || !IsPushButton(focus)) return 0;
    return MAKELRESULT(::GetDlgCtrlID(focus), DC_HASDEFID);
}

// Two choices: any arrow key moves to the other one and selects it, as the dialog manager does in a
// group of automatic radio buttons. By hand, because the choices are not automatic ones (see Layout).
bool Wizard::MoveInAgreementGroup(const MSG& message) {
    if (message.message != WM_KEYDOWN || !IsArrow(message.wParam)) return false;
    const bool fromAgree = AgreeChoice.Is(message.hwnd);
    if (!fromAgree && !DisagreeChoice.Is(message.hwnd)) return false;
    FocusControl(fromAgree ? DisagreeChoice.Handle() : AgreeChoice.Handle());
    ChooseAgreement(!fromAgree);
    return true;
}

void Wizard::ChooseAgreement(bool agree) {
    AgreeChoice.SetSelected(agree);
    DisagreeChoice.SetSelected(!agree);
    if (agree)
        OnAgree();
    else
        OnDisagree();
}

// Focus rectangles show once the keyboard is used, as in the system's own dialogs. The system does
// nothing when they show already.
void Wizard::ShowKeyboardCues() {
    ::SendMessageA(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}
