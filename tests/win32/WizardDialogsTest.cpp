// The real dialogs (question, error box, folder browser) and the wizard's keyboard handling. A thread
// timer acts on each dialog from inside its own modal loop, as a user would.
#include "WizardFixture.h"

#include <objbase.h>
#include <shlobj.h>

#include <functional>

#include "platform/Error.h"
#include "ui/Backdrop.h"

namespace wizard_test {
namespace {

BOOL CALLBACK TakeDialog(HWND window, LPARAM result) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

HWND FindThreadDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakeDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Runs `action` once on the first dialog of this thread that shows up.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(HWND)> action) : action_(std::move(action)) {
        active = this;
        timer_ = SetTimer(nullptr, 0, 30, &DialogDriver::Tick);
    }
    ~DialogDriver() {
        KillTimer(nullptr, timer_);
        active = nullptr;
    }
    bool Acted() const { return acted_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (!active || active->acted_) return;
        HWND dialog = FindThreadDialog();
        if (!dialog) return;
        active->acted_ = true;
        active->action_(dialog);
    }

    static inline DialogDriver* active = nullptr;
    std::function<void(HWND)> action_;
    UINT_PTR timer_ = 0;
    bool acted_ = false;
};

std::string TextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

using TextSearch = std::pair<std::string, HWND>;

BOOL CALLBACK TakeChildWithText(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<TextSearch*>(data);
    if (TextOf(child) != search->first) return TRUE;
    search->second = child;
    return FALSE;
}

HWND ChildWithText(HWND parent, const std::string& text) {
    TextSearch search{text, nullptr};
    EnumChildWindows(parent, TakeChildWithText, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

void PressKey(WPARAM key) {
    PostMessageA(GetFocus(), WM_KEYDOWN, key, 0);
}

class RealDialogs : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        Open();
        SetDialogScript(nullptr);
    }
};

TEST_F(RealDialogs, ConfirmTellsYesNoAndTheCloseBoxApart) {
    const std::string question = "Are you sure you want reinstall existing copy?\r\nPath: C:\\Somewhere\\";
    bool ownerDisabled = true;
    DialogDriver enter([&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), "Confirm");
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), form->Handle());
        ownerDisabled = !IsWindowEnabled(form->Handle());
        HWND yes = GetDlgItem(dialog, IDYES), no = GetDlgItem(dialog, IDNO);
        EXPECT_EQ(TextOf(yes), "&Yes");
        EXPECT_EQ(TextOf(no), "&No");
        EXPECT_EQ(GetWindowLongPtrA(yes, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        EXPECT_NE(ChildWithText(dialog, question), nullptr);
        RECT frame;
        GetWindowRect(dialog, &frame);
        EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(form->Confirm(question), ConfirmAnswer::Yes);
    EXPECT_TRUE(enter.Acted());
    EXPECT_TRUE(ownerDisabled) << "modal";
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));

    DialogDriver escape([](HWND) { PressKey(VK_ESCAPE); });
    EXPECT_EQ(form->Confirm("Aborted by user?"), ConfirmAnswer::No);
    DialogDriver closeBox([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(form->Confirm("Aborted by user?"), ConfirmAnswer::Closed);
    DialogDriver no([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDNO, 0); });
    EXPECT_EQ(form->Confirm("Aborted by user?"), ConfirmAnswer::No);
}

// Owned by the wizard; Retry is the default, Escape and the close box answer Cancel, and Ignore is
// there only where it may be chosen.
TEST_F(RealDialogs, RetryBoxAnswersByButtonKeyAndCloseBox) {
    std::string shown;
    const auto record = [&](HWND dialog) {
        RECT retry, next;
        GetWindowRect(GetDlgItem(dialog, IDRETRY), &retry);
        GetWindowRect(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDRETRY), FALSE), &next);
        shown += TextOf(dialog) + (GetDlgItem(dialog, IDIGNORE) ? " with Ignore" : "") +
                 (GetWindow(dialog, GW_OWNER) == form->Handle() ? ", owned" : "") +
                 (retry.right < next.left ? "; " : ", buttons overlapping; ");
    };
    DialogDriver enter([&](HWND dialog) { record(dialog), PressKey(VK_RETURN); });
    EXPECT_EQ(form->RetryBox("Files in use", "TorvekKel3.exe", true), RetryAnswer::Retry);
    DialogDriver escape([&](HWND dialog) { record(dialog), PressKey(VK_ESCAPE); });
    EXPECT_EQ(form->RetryBox("Not enough disk space", "Needed: 10.4 MB", false), RetryAnswer::Cancel);
    DialogDriver ignore([](HWND dialog) { // another system command is no answer
        PostMessageA(dialog, WM_SYSCOMMAND, SC_RESTORE, 0);
        PostMessageA(dialog, WM_COMMAND, IDIGNORE, 0);
    });
    EXPECT_EQ(form->RetryBox("Files in use", "TorvekKel3.exe", true), RetryAnswer::Ignore);
    DialogDriver closeBox([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(form->RetryBox("Files in use", "TorvekKel3.exe", true), RetryAnswer::Cancel);
    EXPECT_EQ(shown, "Files in use with Ignore, owned; Not enough disk space, owned; ");
}

TEST_F(RealDialogs, ErrorBoxHasOneOkThatEscapeAlsoPresses) {
    DialogDriver driver([](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), "Error");
        EXPECT_NE(ChildWithText(dialog, "OK"), nullptr);
        EXPECT_EQ(ChildWithText(dialog, "Cancel"), nullptr);
        EXPECT_NE(ChildWithText(dialog, "Program files is not found"), nullptr);
        PressKey(VK_ESCAPE);
    });
    SetActiveWindow(form->Handle());
    form->ErrorDialog("Program files is not found");
    EXPECT_TRUE(driver.Acted());
    EXPECT_EQ(GetActiveWindow(), form->Handle()) << "the keyboard goes back to the wizard";
}

// The question, the error box and the top-level error report: while each is open neither the wizard
// nor the backdrop takes input (the backdrop's close box would stack "Aborted by user?" on the box), and
// both take it again once the box is answered.
TEST_F(RealDialogs, EveryBoxDisablesBothWindowsWhileItIsOpen) {
    Backdrop backdrop;
    backdrop.Create(GetModuleHandleA(nullptr));
    ShowWindow(backdrop.Handle(), SW_SHOWNOACTIVATE);
    SetActiveWindow(form->Handle());
    SetFocus(form->CancelButton.Handle());
    form->PumpMessages();
    std::vector<std::string> seen, focusAfter;
    auto expectBothDisabled = [&](WPARAM answer) {
        return [&, answer](HWND dialog) {
            seen.push_back(TextOf(dialog));
            EXPECT_FALSE(IsWindowEnabled(form->Handle())) << TextOf(dialog);
            EXPECT_FALSE(IsWindowEnabled(backdrop.Handle())) << TextOf(dialog);
            PostMessageA(dialog, WM_COMMAND, answer, 0);
        };
    };
    // Each box hands the keyboard back to the control that had it.
    auto focusName = [&] { return GetFocus() == form->CancelButton.Handle() ? "Cancel" : "elsewhere"; };
    {
        DialogDriver driver(expectBothDisabled(IDNO));
        EXPECT_EQ(form->Confirm("Aborted by user?"), ConfirmAnswer::No);
        focusAfter.push_back(focusName());
    }
    {
        DialogDriver driver(expectBothDisabled(IDOK));
        form->ErrorDialog("Help files is not found");
        focusAfter.push_back(focusName());
    }
    {
        SetReportHook(nullptr);
        DialogDriver driver(expectBothDisabled(IDOK));
        try {
            throw platform::Error("Failed to create key Software\\Torvek");
        } catch (...) {
            ReportUnhandledError();
        }
        focusAfter.push_back(focusName());
    }
    EXPECT_EQ(focusAfter, (std::vector<std::string>{"Cancel", "Cancel", "Cancel"}));
    EXPECT_EQ(seen, (std::vector<std::string>{"Confirm", "Error", ApplicationTitle(ThisProgram())}));
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));
    EXPECT_TRUE(IsWindowEnabled(backdrop.Handle()));
}

class Browser : public RealDialogs {
protected:
    // Checks what every browser shows, then runs `finish` on it.
    std::function<void(HWND)> Expecting(std::function<void(HWND)> finish) {
        return [this, finish](HWND dialog) {
            EXPECT_EQ(GetWindow(dialog, GW_OWNER), HiddenOwnerWindow());
            EXPECT_FALSE(IsWindowVisible(HiddenOwnerWindow()));
            EXPECT_FALSE(IsWindowEnabled(form->Handle())) << "the program's windows are disabled";
            EXPECT_NE(ChildWithText(dialog, "Select Directory"), nullptr);
            MONITORINFO monitor = {};
            monitor.cbSize = sizeof monitor;
            GetMonitorInfoA(MonitorFromWindow(form->Handle(), MONITOR_DEFAULTTONEAREST), &monitor);
            RECT frame;
            GetWindowRect(dialog, &frame);
            EXPECT_EQ(frame.left,
                      (monitor.rcMonitor.right - monitor.rcMonitor.left - (frame.right - frame.left)) / 2);
            EXPECT_EQ(frame.top,
                      (monitor.rcMonitor.bottom - monitor.rcMonitor.top - (frame.bottom - frame.top)) / 2);
            resizable = (GetWindowLongPtrA(dialog, GWL_STYLE) & WS_THICKFRAME) != 0;
            finish(dialog);
        };
    }
    bool resizable = false;
    platform::win32::ComApartmentOnDemand run; // the program's apartment, left when the run ends
};

bool ComInitialised() { // on this thread, apartment-threaded, before it was asked
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(result)) CoUninitialize();
    return result == S_FALSE;
}

TEST_F(Browser, CancelChangesNothingAndOkTakesTheFolder) {
    const std::string before = form->FolderBox.Text();
    ASSERT_FALSE(ComInitialised());
    DialogDriver cancel(Expecting([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }));
    Click(form->BrowseButton);
    ASSERT_TRUE(cancel.Acted());
    EXPECT_TRUE(ComInitialised()) << "the run's apartment stays: extensions the browser loaded may still run";
    EXPECT_TRUE(resizable) << "the newer style on an apartment-threaded thread";
    EXPECT_EQ(form->FolderBox.Text(), before);
    EXPECT_TRUE(IsWindowEnabled(form->Handle()));

    DialogDriver ok(Expecting([](HWND dialog) {
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\windows"));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }));
    Click(form->BrowseButton);
    ASSERT_TRUE(ok.Acted());
    EXPECT_EQ(form->FolderBox.Text(), "C:\\windows\\Torvek\\Pellum 3.9.8.7");
}

TEST_F(Browser, OlderStyleWhenTheThreadIsNotApartmentThreaded) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    DialogDriver cancel(Expecting([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }));
    Click(form->BrowseButton);
    CoUninitialize();
    ASSERT_TRUE(cancel.Acted());
    EXPECT_FALSE(resizable);
}

} // namespace
} // namespace wizard_test

namespace wizard_test {
namespace {

INT_PTR CALLBACK KeepDefaults(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Captions and item texts go through the ANSI code page like every other text of the program: a byte
// that the code page maps beyond Latin-1 (0x80 is the euro sign in 1252, a Cyrillic letter in 1251)
// must not come out as the control character with the byte's number.
TEST(DialogTemplateText, WidenedThroughTheAnsiCodePage) {
    const char caption[] = "\x80 caption";
    const char item[] = "\xC0\xE9 item";
    wchar_t expectedCaption[32] = {}, expectedItem[32] = {};
    MultiByteToWideChar(CP_ACP, 0, caption, -1, expectedCaption, 32);
    MultiByteToWideChar(CP_ACP, 0, item, -1, expectedItem, 32);
    ASSERT_NE(expectedCaption[0], L'\x80') << "this code page maps 0x80 to itself; the test needs one that does not";

    DialogTemplate dialog(WS_POPUP | WS_CAPTION, 1, caption);
    dialog.Item(SS_LEFT, 1001, 0x0082, item);
    HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), dialog.Get(), nullptr, KeepDefaults, 0);
    ASSERT_NE(window, nullptr);
    wchar_t text[32] = {};
    GetWindowTextW(window, text, 32);
    EXPECT_EQ(std::wstring(text), std::wstring(expectedCaption));
    GetDlgItemTextW(window, 1001, text, 32);
    EXPECT_EQ(std::wstring(text), std::wstring(expectedItem));
    DestroyWindow(window);
}

} // namespace
} // namespace wizard_test
