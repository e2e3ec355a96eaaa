#include "ui/Dialogs.h"

#include "platform/win32/AnsiText.h"
#include "platform/win32/LateBound.h"
#include "platform/win32/ScopedHandles.h"
#include "ui/Controls.h"
#include "ui/Gdi.h"
#include "ui/Window.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace {

DialogScript* script = nullptr;

const char kOwnerClass[] = "TSetupApplication";
const char kSelectDirectory[] = "Select Directory";
constexpr int kIconId = 1000;
constexpr int kTextId = 1001;

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kStaticAtom = 0x0082;

void AppendDword(std::vector<WORD>& words, DWORD value) {
    words.insert(words.end(), {LOWORD(value), HIWORD(value)});
}

void Place(HWND dialog, int id, int x, int y, int width, int height) {
    ::SetWindowPos(::GetDlgItem(dialog, id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

struct BoxButton {
    int id;
    const char* text;
};

const BoxButton kYesNo[] = {{IDYES, "&Yes"}, {IDNO, "&No"}};
const BoxButton kRetryIgnoreCancel[] = {{IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}, {IDCANCEL, "Cancel"}};
const BoxButton kRetryCancel[] = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};

// What a box made from a template shows: its text and icon, its buttons left to right (the first is the
// default), and what Escape (IDCANCEL where no button has that id) and the close box answer.
struct BoxContent {
    const char* text;
    LPCSTR icon;
    const BoxButton* buttons;
    int count;
    INT_PTR escape;
    INT_PTR close;
};

// Message-box shape: icon left of the text, the buttons centred below, the whole centred on the screen.
void LayOutBox(HWND dialog, const BoxContent& box) {
    const int dpi = gdi::ScreenDpi();
    const int margin = gdi::Scale(12, dpi), gap = gdi::Scale(8, dpi);
    const int buttonWidth = gdi::Scale(75, dpi), buttonHeight = gdi::Scale(25, dpi);
    const int icon = ::GetSystemMetrics(SM_CXICON);
    ::SendDlgItemMessageA(dialog, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconA(nullptr, box.icon)), 0);
    ::SetDlgItemTextA(dialog, kTextId, box.text);
    const SIZE textSize =
        MeasureText(::GetDlgItem(dialog, kTextId), box.text, ::GetSystemMetrics(SM_CXSCREEN) / 2);

    const int buttonsWidth = box.count * buttonWidth + (box.count - 1) * gap;
    const int content = std::max<int>(icon, textSize.cy);
    const int width = std::max<int>(3 * margin + icon + textSize.cx, 2 * margin + buttonsWidth);
    const int height = 3 * margin + content + buttonHeight;
    Place(dialog, kIconId, margin, margin, icon, icon);
    Place(dialog, kTextId, 2 * margin + icon, margin + (content - textSize.cy) / 2, textSize.cx, textSize.cy);
    const int buttonsLeft = (width - buttonsWidth) / 2, buttonsTop = 2 * margin + content;
    for (int i = 0; i < box.count; ++i)
        Place(dialog, box.buttons[i].id, buttonsLeft + i * (buttonWidth + gap), buttonsTop, buttonWidth,
              buttonHeight);

    const RECT frame = Centred(
        ScreenSize(), FrameSize(width, height, static_cast<DWORD>(::GetWindowLongPtrA(dialog, GWL_STYLE)),
                                static_cast<DWORD>(::GetWindowLongPtrA(dialog, GWL_EXSTYLE))));
    ::SetWindowPos(dialog, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

// The close box arrives as SC_CLOSE before the dialog manager turns it into IDCANCEL, which is
// also what Escape sends; catching it here keeps the two apart.
INT_PTR CALLBACK BoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* box = reinterpret_cast<const BoxContent*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        LayOutBox(dialog, *reinterpret_cast<const BoxContent*>(lParam));
        return TRUE;
    case WM_SYSCOMMAND:
        if (!box || (wParam & 0xFFF0) != SC_CLOSE) return FALSE;
        ::EndDialog(dialog, box->close);
        return TRUE;
    case WM_COMMAND:
        if (!box) return FALSE;
        for (int i = 0; i < box->count; ++i)
            if (LOWORD(wParam) == box->buttons[i].id) {
                ::EndDialog(dialog, box->buttons[i].id);
                return TRUE;
            }
        if (LOWORD(wParam) != IDCANCEL) return FALSE;
        ::EndDialog(dialog, box->escape);
        return TRUE;
    }
    return FALSE;
}

// A modal box owned by `owner`, made from an in-memory template: its pressed button's id, or the
// escape or close answer; 0 or -1 when it could not be shown.
INT_PTR ShowBox(HWND owner, const char* caption, const BoxContent& box) {
    DialogTemplate dialog(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, static_cast<WORD>(2 + box.count),
                          caption);
    dialog.Item(SS_ICON, kIconId, kStaticAtom, "");
    dialog.Item(SS_LEFT | SS_NOPREFIX, kTextId, kStaticAtom, "");
    for (int i = 0; i < box.count; ++i)
        dialog.Item(i ? BS_PUSHBUTTON | WS_TABSTOP : BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP,
                    static_cast<WORD>(box.buttons[i].id), kButtonAtom, box.buttons[i].text);
    ModalScope others(owner);
    return ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr), dialog.Get(), owner, BoxProcedure,
                                     reinterpret_cast<LPARAM>(&box));
}

// Only the monitor's size counts, not where it sits: the browser has always been placed that way.
// Topmost, or the always-on-top wizard would cover it.
void CentreOnMonitor(HWND dialog, HWND mainWindow) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT frame;
    ::GetWindowRect(dialog, &frame);
    const SIZE monitorSize = {monitor.rcMonitor.right - monitor.rcMonitor.left,
                              monitor.rcMonitor.bottom - monitor.rcMonitor.top};
    const RECT centred = Centred(monitorSize, {frame.right - frame.left, frame.bottom - frame.top});
    ::SetWindowPos(dialog, HWND_TOPMOST, centred.left, centred.top, 0, 0, SWP_NOSIZE);
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM mainWindow) {
    if (message == BFFM_INITIALIZED) CentreOnMonitor(dialog, reinterpret_cast<HWND>(mainWindow));
    return 0;
}

// The wide call: the ANSI one converts into a buffer of MAX_PATH bytes, which a name in another script
// can overrun in UTF-8 (cut short, without its NUL).
std::optional<std::string> PathOf(PIDLIST_ABSOLUTE folder) {
    wchar_t path[MAX_PATH] = {};
    const bool found = platform::win32::late::SHGetPathFromIDListW(folder, path) != FALSE;
    platform::win32::late::CoTaskMemFree(folder);
    if (!found) return std::nullopt;
    return platform::win32::Narrow(path);
}

} // namespace

DialogTemplate::DialogTemplate(DWORD style, WORD items, const char* caption) {
    AppendDword(words_, style | DS_SETFONT);
    AppendDword(words_, 0);
    words_.insert(words_.end(), {items, 0, 0, 200, 80, 0, 0}); // count, x, y, cx, cy, no menu/class
    Text(caption);
    words_.push_back(8);
    Text("MS Sans Serif");
}

void DialogTemplate::Item(DWORD style, WORD id, WORD atom, const char* text) {
    if (words_.size() % 2) words_.push_back(0);
    AppendDword(words_, style | WS_CHILD | WS_VISIBLE);
    AppendDword(words_, 0);
    words_.insert(words_.end(), {0, 0, 40, 14, id, 0xFFFF, atom});
    Text(text);
    words_.push_back(0); // no creation data
}

// Through the ANSI code page, as the system widens the program's other texts.
void DialogTemplate::Text(const char* text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    const std::size_t at = words_.size();
    words_.resize(at + static_cast<std::size_t>(length > 0 ? length : 1), 0);
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(words_.data() + at), length);
}

ModalScope::ModalScope(HWND except) : except_(except), active_(::GetActiveWindow()) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &ModalScope::Collect, reinterpret_cast<LPARAM>(this));
    for (HWND window : disabled_)
        ::EnableWindow(window, FALSE);
}

ModalScope::~ModalScope() {
    for (HWND window : disabled_)
        ::EnableWindow(window, TRUE);
    if (active_ && !except_ && ::IsWindow(active_)) ::SetActiveWindow(active_);
}

// No exception may cross back into the system: a list that cannot grow ends the search there.
BOOL CALLBACK ModalScope::Collect(HWND window, LPARAM self) {
    auto* scope = reinterpret_cast<ModalScope*>(self);
    if (window == scope->except_ || !::IsWindowVisible(window) || !::IsWindowEnabled(window)) return TRUE;
    try {
        scope->disabled_.push_back(window);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

void SetDialogScript(DialogScript* newScript) {
    script = newScript;
}

void ShowErrorDialog(const std::string& text) {
    if (script) return script->ErrorShown(text);
    // Topmost keeps it above the wizard. An ownerless box hands activation to no one when it closes,
    // so the scope gives it back to the window that had it.
    ModalScope modal;
    ::MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST);
}

ConfirmAnswer ShowConfirmDialog(HWND owner, const std::string& text) {
    if (script) return script->Answer(text);
    const INT_PTR result = ShowBox(owner, "Confirm", {text.c_str(), IDI_QUESTION, kYesNo, 2, IDNO, IDCLOSE});
    if (result == IDYES) return ConfirmAnswer::Yes;
    if (result == IDNO) return ConfirmAnswer::No;
    return ConfirmAnswer::Closed;
}

RetryAnswer ShowRetryDialog(HWND owner, const std::string& caption, const std::string& text, bool ignorable) {
    if (script) return script->AnswerRetry(caption, text);
    const BoxContent box{text.c_str(), IDI_WARNING, ignorable ? kRetryIgnoreCancel : kRetryCancel, ignorable ? 3 : 2,
                         IDCANCEL, IDCANCEL};
    const INT_PTR result = ShowBox(owner, caption.c_str(), box);
    if (result == IDRETRY) return RetryAnswer::Retry;
    if (result == IDIGNORE) return RetryAnswer::Ignore;
    return RetryAnswer::Cancel;
}

std::optional<std::string> BrowseForFolder(HWND mainWindow) {
    if (script) return script->ChooseFolder();
    // The run's apartment, left only when the program ends: the browser loads the shell's namespace
    // extensions (cloud-drive folders), whose threads may still run after it closes, and leaving an
    // apartment of its own would unload them under those threads. The resizable browser needs an
    // apartment-threaded thread; on one initialised for another model only the older browser works.
    const bool apartment = platform::win32::ComApartmentOnDemand::Enter();
    char displayName[MAX_PATH] = {}; // never read; the call writes at most MAX_PATH bytes
    BROWSEINFOA info = {};
    info.hwndOwner = HiddenOwnerWindow();
    info.pszDisplayName = displayName;
    info.lpszTitle = kSelectDirectory;
    info.ulFlags = BIF_RETURNONLYFSDIRS | (apartment ? BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON : 0);
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(mainWindow);
    PIDLIST_ABSOLUTE chosen = nullptr;
    {
        ModalScope others;
        chosen = platform::win32::late::SHBrowseForFolderA(&info);
    }
    if (!chosen) return std::nullopt;
    return PathOf(chosen);
}

HWND HiddenOwnerWindow() {
    static HWND owner = nullptr;
    if (owner && ::IsWindow(owner)) return owner;
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    RegisterWindowClass(instance, kOwnerClass, ::DefWindowProcA, nullptr);
    owner =
        ::CreateWindowExA(0, kOwnerClass, "Setup", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    return owner;
}
