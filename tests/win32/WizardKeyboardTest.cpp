// The wizard with the keyboard alone: where the focus is at start, after page changes and after the
// wizard was inactive; what Tab, Shift+Tab, the arrow keys, Space, Enter and Escape do; and what a screen
// reader finds. Keys are posted to the focused control and go through the wizard's own message pump,
// as they do in the running program.
#include "WizardFixture.h"

#include <commctrl.h>

#include <functional>

#include "ui/Backdrop.h"

namespace wizard_test {
namespace {

class Keyboard : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        Open();
        SetActiveWindow(form->Handle());
        form->PumpMessages();
    }

    // A key pressed and released on whatever has the focus, with Shift held when asked.
    void Key(WPARAM key, bool shift = false) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        const HWND target = GetFocus() ? GetFocus() : form->Handle();
        PostMessageA(target, WM_KEYDOWN, key, 1);
        PostMessageA(target, WM_KEYUP, key, 0xC0000001);
        form->PumpMessages();
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    // The name of the control with the focus, as the layout names it.
    std::string Focus() const {
        const HWND focus = GetFocus();
        for (const auto& [name, window] : ControlsByName(*form))
            if (window == focus) return name;
        return focus == form->Handle() ? "the frame" : focus ? "another window" : "nothing";
    }

    // Where Tab takes the focus, starting from where it is: the names, until it comes back round.
    std::string TabCycle(bool backwards = false) {
        const std::string start = Focus();
        std::string cycle = start;
        for (int i = 0; i < 12; ++i) {
            Key(VK_TAB, backwards);
            if (Focus() == start) return cycle;
            cycle += " " + Focus();
        }
        return cycle + " ...";
    }
};

TEST_F(Keyboard, FocusStartsOnNextAndTabCyclesThePageThenTheButtons) {
    EXPECT_EQ(Focus(), "NextButton");
    EXPECT_EQ(TabCycle(), "NextButton CancelButton") << "Back is disabled on the welcome page";

    Key(VK_RETURN);
    ASSERT_EQ(Page(), 1);
    EXPECT_EQ(Focus(), "LicenceBox") << "Next went disabled under the focus: the page's first tab stop";
    EXPECT_EQ(TabCycle(), "LicenceBox DisagreeChoice BackButton CancelButton") << "one stop for the two choices";
    EXPECT_EQ(TabCycle(true), "LicenceBox CancelButton BackButton DisagreeChoice");
}

TEST_F(Keyboard, TheArrowsChooseFocusAloneChoosesNothing) {
    Key(VK_RETURN);
    Key(VK_TAB);
    ASSERT_EQ(Focus(), "DisagreeChoice");
    EXPECT_FALSE(form->AgreeChoice.IsChecked());

    // The focus arriving on the other choice, as the system would move it, selects nothing.
    SetFocus(form->AgreeChoice.Handle());
    form->PumpMessages();
    EXPECT_FALSE(form->AgreeChoice.IsChecked());
    EXPECT_TRUE(form->DisagreeChoice.IsChecked());
    EXPECT_FALSE(form->NextButton.Enabled());

    Key(VK_DOWN);
    EXPECT_EQ(Focus(), "DisagreeChoice");
    EXPECT_TRUE(form->DisagreeChoice.IsChecked());
    Key(VK_UP);
    EXPECT_EQ(Focus(), "AgreeChoice");
    EXPECT_TRUE(form->AgreeChoice.IsChecked());
    EXPECT_FALSE(form->DisagreeChoice.IsChecked());
    EXPECT_TRUE(form->NextButton.Enabled());
    EXPECT_EQ(TabCycle(), "AgreeChoice NextButton BackButton CancelButton LicenceBox") << "the chosen one is the tab stop";

    // Space chooses the focused choice.
    Key(VK_DOWN);
    SetFocus(form->AgreeChoice.Handle());
    Key(VK_SPACE);
    EXPECT_TRUE(form->AgreeChoice.IsChecked());
    EXPECT_TRUE(form->NextButton.Enabled());
}

TEST_F(Keyboard, EnterPressesOnlyTheFocusedPushButtonAndEscapeNothing) {
    Key(VK_ESCAPE);
    EXPECT_TRUE(script.questions.empty()) << "Escape is no Cancel";
    script.answers = {ConfirmAnswer::No};
    Key(VK_TAB);
    ASSERT_EQ(Focus(), "CancelButton");
    Key(VK_RETURN);
    EXPECT_EQ(script.questions, std::vector<std::string>{"Aborted by user?"});
    EXPECT_EQ(Focus(), "CancelButton") << "back where it was after the question";

    Key(VK_TAB);
    Key(VK_RETURN);
    ASSERT_EQ(Page(), 1);
    ASSERT_EQ(Focus(), "LicenceBox");
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(Page(), 1) << "Enter in the licence box presses nothing";
    EXPECT_EQ(Focus(), "LicenceBox");
    EXPECT_EQ(script.questions.size(), 1u);
}

// What the dialog manager asks a dialog, answered by the wizard: the next or previous tab stop or a given
// control (WM_NEXTDLGCTL), and the button Enter presses (DM_GETDEFID): the focused push button, no other.
TEST_F(Keyboard, TheDialogManagersRequestsAreAnswered) {
    const auto defaultId = [&] { return SendMessageA(form->Handle(), DM_GETDEFID, 0, 0); };
    const auto nextControl = [&](WPARAM which, BOOL byHandle) {
        SendMessageA(form->Handle(), WM_NEXTDLGCTL, which, byHandle);
        return Focus();
    };
    ASSERT_EQ(Focus(), "NextButton");
    EXPECT_EQ(defaultId(), MAKELRESULT(GetDlgCtrlID(form->NextButton.Handle()), DC_HASDEFID));
    EXPECT_EQ(nextControl(reinterpret_cast<WPARAM>(form->BackButton.Handle()), TRUE), "NextButton")
        << "Back is disabled on the welcome page";
    EXPECT_EQ(nextControl(reinterpret_cast<WPARAM>(form->CancelButton.Handle()), TRUE), "CancelButton");

    Key(VK_TAB);
    Key(VK_RETURN);
    ASSERT_EQ(Focus(), "LicenceBox");
    EXPECT_EQ(defaultId(), 0);
    EXPECT_EQ(nextControl(0, FALSE), "DisagreeChoice");
    EXPECT_EQ(nextControl(0, FALSE), "BackButton");
    EXPECT_EQ(nextControl(1, FALSE), "DisagreeChoice");
    EXPECT_EQ(nextControl(1, FALSE), "LicenceBox");
    EXPECT_EQ(nextControl(1, FALSE), "CancelButton");
    EXPECT_EQ(nextControl(0, FALSE), "LicenceBox");
    Key(VK_TAB);
    ASSERT_EQ(Focus(), "DisagreeChoice");
    EXPECT_EQ(defaultId(), 0);
    form->AgreementPage.Hide();
    form->FinishPage.Show();
    SetFocus(form->OpenManualBox.Handle());
    EXPECT_EQ(defaultId(), 0);
    SetFocus(nullptr);
    EXPECT_EQ(defaultId(), 0);

    // A wizard not made yet lets every message through.
    Wizard unmade(nullptr);
    MSG message = {};
    message.hwnd = form->NextButton.Handle();
    message.message = WM_KEYDOWN;
    message.wParam = VK_TAB;
    EXPECT_FALSE(unmade.PreTranslateMessage(message));
}

TEST_F(Keyboard, TheLicenceBoxScrollsAndPassesTabOn) {
    Key(VK_RETURN);
    ASSERT_EQ(Focus(), "LicenceBox");
    Key(VK_DOWN);
    DWORD caret = 0;
    SendMessageA(form->LicenceBox.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    EXPECT_GT(caret, 0u) << "the arrow keys reach the box";
    Key(VK_NEXT);
    EXPECT_GT(SendMessageA(form->LicenceBox.Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "Page Down scrolls";
    EXPECT_EQ(form->LicenceBox.Text().find('\t'), std::string::npos);
    Key(VK_TAB);
    EXPECT_EQ(Focus(), "DisagreeChoice");
}

// The copying page disables Next under the focus; Cancel holds it meanwhile, and Next takes it back on
// the page after, so that Enter goes on with the install.
TEST_F(Keyboard, FocusFollowsTheInstallStepAndComesBackToNext) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    Key(VK_RETURN);
    Key(VK_TAB);
    Key(VK_UP);
    Key(VK_TAB);
    ASSERT_EQ(Focus(), "NextButton");
    Key(VK_RETURN);
    ASSERT_EQ(Page(), 2);
    script.folder = tempFolder;
    Key(VK_TAB, true);
    ASSERT_EQ(Focus(), "BrowseButton") << "the page's last tab stop comes right before Next";
    Key(VK_RETURN);
    script.folder.reset();
    ASSERT_EQ(form->FolderBox.Text(), InstallFolder().substr(0, InstallFolder().size() - 1));
    EXPECT_EQ(Focus(), "BrowseButton") << "back after the folder browser";

    std::string duringCopy;
    script.onError = [&](const std::string&) { duringCopy = Focus(); };
    std::filesystem::create_directories(InstallFolder() + "Licence.txt");
    Key(VK_TAB);
    ASSERT_EQ(Focus(), "NextButton");
    Key(VK_RETURN);
    ASSERT_EQ(VisiblePages(), "FileTypesPage");
    EXPECT_EQ(duringCopy, "CancelButton") << "only Cancel is usable while copying";
    EXPECT_EQ(Focus(), "NextButton");

    // Space ticks the focused row of the list.
    Key(VK_TAB, true);
    Key(VK_TAB, true);
    Key(VK_TAB, true);
    ASSERT_EQ(Focus(), "FileTypeList");
    Key(VK_SPACE);
    EXPECT_FALSE(form->FileTypeList.IsChecked(0));
    EXPECT_TRUE(form->FileTypeList.IsChecked(1));
}

TEST_F(Keyboard, SpaceTogglesAFinishBoxAndEnterOnItDoesNothing) {
    form->WelcomePage.Hide();
    form->FinishPage.Show();
    SetFocus(form->OpenManualBox.Handle());
    Key(VK_SPACE);
    EXPECT_FALSE(form->OpenManualBox.IsChecked());
    Key(VK_RETURN);
    EXPECT_EQ(Page(), 0);
    EXPECT_FALSE(form->OpenManualBox.IsChecked());
    EXPECT_TRUE(form->StartProgramBox.IsChecked());
}

// Another window taking the activation (a message box, the backdrop) takes the focus from the wizard;
// it comes back to the same control.
TEST_F(Keyboard, TheFocusComesBackAfterTheWizardWasInactive) {
    Key(VK_TAB);
    ASSERT_EQ(Focus(), "CancelButton");
    // The frame itself is no place for the focus: no key does anything there.
    SetFocus(form->Handle());
    form->PumpMessages();
    form->PumpMessages();
    EXPECT_EQ(Focus(), "CancelButton");
    Backdrop backdrop;
    backdrop.Create(GetModuleHandleA(nullptr));
    backdrop.SetKeyboardWindow(form->Handle());
    ShowWindow(backdrop.Handle(), SW_SHOWNA);
    SetActiveWindow(backdrop.Handle());
    form->PumpMessages();
    EXPECT_EQ(GetActiveWindow(), form->Handle()) << "the backdrop hands the keyboard on";
    EXPECT_EQ(Focus(), "CancelButton");

    // While the wizard is disabled (a box is open) the backdrop keeps the activation.
    EnableWindow(form->Handle(), FALSE);
    SetActiveWindow(backdrop.Handle());
    form->PumpMessages();
    EXPECT_EQ(GetActiveWindow(), backdrop.Handle());
    EnableWindow(form->Handle(), TRUE);
    SetActiveWindow(form->Handle());
    form->PumpMessages();
    EXPECT_EQ(Focus(), "CancelButton");

    // Another program active: a control disabled under the wizard's kept focus does not pull the
    // activation back; the control takes the focus again once it is usable and the wizard active.
    const HWND other = CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                       200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetActiveWindow(other);
    form->PumpMessages();
    ASSERT_EQ(GetActiveWindow(), other);
    form->CancelButton.SetEnabled(false);
    form->PumpMessages();
    EXPECT_EQ(GetActiveWindow(), other);
    form->CancelButton.SetEnabled(true);
    SetActiveWindow(form->Handle());
    form->PumpMessages();
    EXPECT_EQ(Focus(), "CancelButton");
    DestroyWindow(other);

    // A handler that moves the focus and opens a box at once: the focus it chose is the one kept.
    SetFocus(form->NextButton.Handle());
    SetActiveWindow(backdrop.Handle());
    EXPECT_NE(GetActiveWindow(), form->Handle());
    form->PumpMessages();
    EXPECT_EQ(Focus(), "NextButton");
}

std::vector<WPARAM> uiStateRequests;

LRESULT CALLBACK RecordUiStateRequests(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_CHANGEUISTATE) {
        uiStateRequests.push_back(sent->wParam);
        uiStateRequests.push_back(static_cast<WPARAM>(sent->lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The wizard asks the system to show the focus rectangle once a key is pressed, as dialogs do. (Wine
// keeps no hidden state and always draws it, so what is checked here is the request.)
TEST_F(Keyboard, TheFocusRectangleIsAskedForOnceTheKeyboardIsUsed) {
    uiStateRequests.clear();
    const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordUiStateRequests, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    PostMessageA(form->NextButton.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    PostMessageA(form->Handle(), WM_KEYDOWN, VK_TAB, 1);
    form->PumpMessages();
    const bool beforeAnyKey = uiStateRequests.empty();
    Key(VK_TAB);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(beforeAnyKey) << "the mouse, and keys sent to the wizard's frame, leave the cues as they are";
    ASSERT_EQ(uiStateRequests.size(), 2u);
    EXPECT_EQ(uiStateRequests[0], MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL));
    EXPECT_EQ(uiStateRequests[1], 0u);
}

// What the accessibility layer reads: standard controls, each box and list named by the label created
// right before it, and the list's column headers.
TEST_F(Keyboard, EveryBoxAndListIsNamedByTheLabelBeforeIt) {
    const std::pair<const Control*, const Control*> named[] = {
        {&form->LicenceBox, &form->AgreementTitle},
        {&form->FolderBox, &form->FolderLabel},
        {&form->FileTypeList, &form->FileTypesTitle},
        {&form->CopyProgress, &form->StatusText},
    };
    for (const auto& [box, label] : named)
        EXPECT_EQ(GetWindow(box->Handle(), GW_HWNDPREV), label->Handle());
    const std::pair<const Control*, const char*> classes[] = {
        {&form->LicenceBox, "Edit"},         {&form->FolderBox, "Edit"},           {&form->FileTypeList, "SysListView32"},
        {&form->NextButton, "Button"},     {&form->AgreeChoice, "Button"}, {&form->StartProgramBox, "Button"},
        {&form->CopyProgress, "msctls_progress32"}, {&form->AgreementTitle, "Static"},
    };
    for (const auto& [control, className] : classes) {
        char name[64] = {};
        GetClassNameA(control->Handle(), name, sizeof name);
        EXPECT_EQ(lstrcmpiA(name, className), 0) << name;
    }
    const HWND header = ListView_GetHeader(form->FileTypeList.Handle());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(Header_GetItemCount(header), 2);
    EXPECT_FALSE(GetWindowLongPtrA(form->FileTypeList.Handle(), GWL_STYLE) & LVS_NOCOLUMNHEADER);
}

} // namespace
} // namespace wizard_test
