// The wizard window as built from its layout table: places, kinds, texts, states, fonts, at 96 dpi.
#include "WizardFixture.h"

#include <commctrl.h>
#include <oleacc.h>

#include <cstring>
#include <iterator>


namespace wizard_test {
namespace {

RECT InParent(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LONG_PTR StyleOf(HWND window) {
    return GetWindowLongPtrA(window, GWL_STYLE);
}

LOGFONTA FontOf(HWND window) {
    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

std::string TextOf(HWND window) {
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The rightmost dark column when the control paints itself into a white bitmap `width` wide.
int RightmostInk(HWND control, int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    int right = -1;
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            if (GetRValue(GetPixel(dc, x, y)) < 128) right = x;
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return right;
}

class WizardLayout : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        Open();
        ASSERT_EQ(GetDeviceCaps(GetDC(nullptr), LOGPIXELSY), 96) << "the test prefix runs at 96 dpi";
    }
};

// Where each control must sit, written out apart from the layout table the wizard is built from (moving
// a control in that table must fail here): parent, then left, top, width, height in pixels at 96 dpi.
// Labels size themselves to their text: only their corner is given (width and height 0).
struct Place {
    const char* name;
    const char* parent;
    int left, top, width, height;
};
const Place kPlaces[] = {
    {"ButtonSeparator", "Frame", 8, 263, 549, 19}, {"BackButton", "Frame", 308, 288, 75, 25},
    {"NextButton", "Frame", 389, 288, 75, 25}, {"CancelButton", "Frame", 479, 288, 75, 25},
    {"BannerPanel", "Frame", 0, 0, 162, 280}, {"BannerImage", "BannerPanel", 0, 0, 162, 280},
    {"WelcomePage", "Frame", 162, -2, 399, 280}, {"AgreementPage", "Frame", 162, -2, 399, 280},
    {"FolderPage", "Frame", 162, 0, 399, 280}, {"CopyingPage", "Frame", 162, 0, 399, 280},
    {"FileTypesPage", "Frame", 162, -2, 399, 280}, {"FinishPage", "Frame", 162, 0, 399, 280},
    {"WelcomeTitle", "WelcomePage", 8, 8, 0, 0}, {"ClickNextText", "WelcomePage", 8, 40, 0, 0},
    {"InstalledCopyText", "WelcomePage", 8, 40, 0, 0}, {"ClickReinstallText", "WelcomePage", 8, 56, 0, 0},
    {"RightsNotice", "WelcomePage", 8, 248, 0, 0}, {"AgreementTitle", "AgreementPage", 8, 8, 0, 0},
    {"LicenceBox", "AgreementPage", 8, 24, 377, 185}, {"AgreeChoice", "AgreementPage", 8, 216, 113, 17},
    {"DisagreeChoice", "AgreementPage", 8, 240, 113, 17}, {"FolderIntro", "FolderPage", 12, 8, 0, 0},
    {"FolderLabel", "FolderPage", 12, 32, 0, 0}, {"FolderBox", "FolderPage", 12, 48, 377, 21},
    {"BrowseButton", "FolderPage", 312, 72, 75, 25}, {"CopyingTitle", "CopyingPage", 8, 16, 0, 0},
    {"StatusText", "CopyingPage", 12, 173, 0, 0}, {"CopyProgress", "CopyingPage", 15, 192, 369, 21},
    {"FileTypesTitle", "FileTypesPage", 8, 8, 0, 0}, {"FileTypeList", "FileTypesPage", 8, 32, 377, 145},
    {"CheckAllButton", "FileTypesPage", 232, 184, 75, 25}, {"ClearAllButton", "FileTypesPage", 312, 184, 75, 25},
    {"FinishTitle", "FinishPage", 8, 8, 0, 0}, {"StartProgramBox", "FinishPage", 8, 80, 153, 17},
    {"OpenManualBox", "FinishPage", 8, 104, 97, 17}, {"DesktopIconBox", "FinishPage", 8, 128, 121, 17},
};

bool EndsWith(const std::string& name, const std::string& end) {
    return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
}
// The finish page's three boxes, not the folder and licence (text) boxes.
bool IsCheckBox(const std::string& n) { return EndsWith(n, "Box") && n != "FolderBox" && n != "LicenceBox"; }

// What a control of this name must have become, beyond its place: its window class and style.
void ExpectKind(HWND window, const std::string& name) {
    const LONG_PTR style = StyleOf(window);
    if (EndsWith(name, "Button")) {
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "never a default button";
    } else if (EndsWith(name, "Choice")) {
        // Not automatic: on Windows those select themselves when the keyboard focus reaches them.
        EXPECT_EQ(style & BS_TYPEMASK, BS_RADIOBUTTON);
        EXPECT_EQ((style & WS_TABSTOP) != 0, name == "DisagreeChoice") << "the selected choice is the tab stop";
        EXPECT_EQ((style & WS_GROUP) != 0, name == "AgreeChoice") << "the group starts with the first";
    } else if (IsCheckBox(name)) {
        EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
    } else if (name == "FolderBox") {
        EXPECT_EQ(style & (ES_READONLY | ES_MULTILINE), ES_READONLY);
    } else if (name == "LicenceBox") {
        EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL),
                  ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL);
    } else if (name == "ButtonSeparator") {
        EXPECT_EQ(style & SS_TYPEMASK, SS_ETCHEDHORZ);
    } else if (name == "FileTypeList") {
        EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
        EXPECT_TRUE(SendMessageA(window, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES);
    }
}

TEST_F(WizardLayout, EveryControlSitsOnItsParentWhereTheLayoutPutsIt) {
    const auto controls = ControlsByName(*form);
    ASSERT_EQ(controls.size(), std::size(kPlaces));
    for (const Place& place : kPlaces) {
        const std::string name = place.name;
        SCOPED_TRACE(name);
        ASSERT_EQ(controls.count(name), 1u);
        HWND window = controls.at(name);
        ASSERT_TRUE(IsWindow(window));
        const HWND parent = std::strcmp(place.parent, "Frame") == 0 ? form->Handle() : controls.at(place.parent);
        EXPECT_EQ(GetParent(window), parent);
        const RECT r = InParent(window);
        EXPECT_EQ(r.left, place.left);
        if (place.width == 0) { // a label
            EXPECT_EQ(r.top, place.top);
        } else if (name == "ButtonSeparator") {
            EXPECT_EQ(r.top, place.top + place.height - 2) << "only the bottom line";
            EXPECT_EQ(r.bottom, place.top + place.height);
            EXPECT_EQ(r.right - r.left, place.width);
        } else {
            EXPECT_EQ(r.top, place.top);
            EXPECT_EQ(r.right - r.left, place.width);
            EXPECT_EQ(r.bottom - r.top, place.height);
        }
        ExpectKind(window, name);
        EXPECT_EQ(IsWindowEnabled(window) != FALSE, name != "BackButton") << "only Back starts disabled";
        const bool ticked = SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED; // all but "I'm agree"
        EXPECT_TRUE(!(EndsWith(name, "Choice") || IsCheckBox(name)) || ticked == (name != "AgreeChoice"));
    }
}

// Every control the keyboard reaches, on every page, has a name when a screen reader asks oleacc for it;
// the two boxes and the list have their labels'.
TEST_F(WizardLayout, EveryFocusableControlHasAScreenReaderName) {
    std::map<std::string, std::wstring> spoken;
    VARIANT self = {};
    self.vt = VT_I4; // CHILDID_SELF
    for (const auto& [name, window] : ControlsByName(*form)) {
        char kind[32] = {};
        IAccessible* object = nullptr;
        if (GetClassNameA(window, kind, sizeof kind) && std::strstr("Button Edit SysListView32", kind) &&
            SUCCEEDED(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                                 reinterpret_cast<void**>(&object)))) {
            BSTR text = nullptr;
            object->get_accName(self, &text);
            spoken[name] = text ? text : L"";
            SysFreeString(text);
            object->Release();
        }
    }
    EXPECT_EQ(spoken.size(), 14u) << "three buttons below the pages and eleven controls on them";
    for (const auto& [name, text] : spoken)
        EXPECT_FALSE(text.empty()) << name;
    EXPECT_EQ(spoken["FolderBox"] + spoken["LicenceBox"], L"Select directory:Please read next agreement:");
    EXPECT_EQ(spoken["FileTypeList"], L"Please select file type association");
}

TEST_F(WizardLayout, FixedTextsAndTheStartUpTexts) {
    const std::map<std::string, std::string> texts = {
        {"NextButton", "Next"},
        {"BackButton", "Back"},
        {"CancelButton", "Cancel"},
        {"BrowseButton", "Browse"},
        {"CheckAllButton", "Check All"},
        {"ClearAllButton", "Clear All"},
        {"WelcomeTitle", "Torvek Pellum 3.9.8.7"},
        {"ClickNextText", "Click Next to continue. "},
        {"AgreementTitle", "Please read next agreement:"},
        {"FolderLabel", "Select directory:"},
        {"FinishTitle", "Installation is complite. Thank you for choosing Torvek Pellum."},
        {"RightsNotice", "Torvek Pellum 3.9.8.7 (c) Torvek. All rights reserved."},
        {"InstalledCopyText", "You have installed copy on your computer."},
        {"ClickReinstallText", "Click Reinstall to continue."},
        {"CopyingTitle", "Wait while setup executing..."},
        {"StatusText", ""},
        {"FileTypesTitle", "Please select file type association"},
        {"AgreeChoice", "I'm agree"},
        {"DisagreeChoice", "I'm not agree"},
        {"StartProgramBox", "Start Torvek Pellum"},
        {"OpenManualBox", "Start Help File"},
        {"DesktopIconBox", "Create Desktop Icon"},
        {"FolderBox", "C:\\Program Files\\Torvek\\Pellum 3.9.8.7"},
    };
    const auto controls = ControlsByName(*form);
    for (const auto& [name, text] : texts)
        EXPECT_EQ(TextOf(controls.at(name)), text) << name;
    EXPECT_EQ(TextOf(form->Handle()), "Install manager");

    const std::string licence = form->LicenceBox.Text();
    EXPECT_EQ(licence.rfind("TORVEK PELLUM 3.9.8.7 - LICENCE AGREEMENT\r\n", 0), 0u);
    std::size_t lines = 0;
    for (std::size_t at = licence.find("\r\n"); at != std::string::npos; at = licence.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 33u);
}

TEST_F(WizardLayout, AtStartOnlyTheWelcomePageWithTitleAndNoticeAndBackDisabled) {
    EXPECT_EQ(VisiblePages(), "WelcomePage");
    EXPECT_TRUE(form->WelcomeTitle.Visible());
    EXPECT_TRUE(form->ClickNextText.Visible());
    EXPECT_TRUE(form->RightsNotice.Visible());
    EXPECT_FALSE(form->InstalledCopyText.Visible());
    EXPECT_FALSE(form->ClickReinstallText.Visible());
    EXPECT_FALSE(form->BackButton.Enabled());
    EXPECT_TRUE(form->NextButton.Enabled());
    EXPECT_TRUE(form->CancelButton.Enabled());
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(form->AssociationCount(), 0);
    EXPECT_TRUE(Reports().empty()) << (Reports().empty() ? "" : Reports().front());
}

TEST_F(WizardLayout, WindowIsAFixedTopmostDialogCentredOnTheDesktop) {
    HWND window = form->Handle();
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 562);
    EXPECT_EQ(client.bottom, 319);
    const LONG_PTR style = StyleOf(window);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), WS_POPUP | WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);
}

// After the pages, so that Tab goes through the page shown first.
TEST_F(WizardLayout, ButtonsTabInOrderNextBackCancelAfterThePages) {
    EXPECT_EQ(GetWindow(form->Handle(), GW_CHILD), form->ButtonSeparator.Handle());
    EXPECT_EQ(GetWindow(form->FinishPage.Handle(), GW_HWNDNEXT), form->NextButton.Handle());
    EXPECT_EQ(GetWindow(form->NextButton.Handle(), GW_HWNDNEXT), form->BackButton.Handle());
    EXPECT_EQ(GetWindow(form->BackButton.Handle(), GW_HWNDNEXT), form->CancelButton.Handle());
    EXPECT_EQ(GetWindow(form->CancelButton.Handle(), GW_HWNDNEXT), nullptr);
    for (const Button* button : {&form->NextButton, &form->BackButton, &form->CancelButton})
        EXPECT_TRUE(StyleOf(button->Handle()) & WS_TABSTOP);
}

TEST_F(WizardLayout, FontsAreMsSansSerifElevenAndTheTitleBoldSixteen) {
    const auto controls = ControlsByName(*form);
    for (const Place& place : kPlaces) {
        const std::string name = place.name;
        if (place.height == 280 || name == "CopyProgress" || name == "ButtonSeparator") continue; // no text
        const LOGFONTA font = FontOf(controls.at(name));
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif") << name;
        EXPECT_EQ(font.lfHeight, name == "WelcomeTitle" ? -16 : -11) << name;
        EXPECT_EQ(font.lfWeight, name == "WelcomeTitle" ? FW_BOLD : FW_NORMAL) << name;
    }
}

TEST_F(WizardLayout, PagePanelsAndWhatTheyHoldAreWhite) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (const Panel* page : {&form->WelcomePage, &form->AgreementPage, &form->FolderPage, &form->FinishPage,
                              &form->CopyingPage, &form->FileTypesPage}) {
        SetPixel(dc, 1, 1, RGB(1, 2, 3));
        SendMessageA(page->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        EXPECT_EQ(GetPixel(dc, 1, 1), RGB(255, 255, 255));
        for (UINT message : {WM_CTLCOLORSTATIC, WM_CTLCOLORBTN}) {
            SetBkColor(dc, RGB(1, 2, 3));
            const auto brush = reinterpret_cast<HBRUSH>(
                SendMessageA(page->Handle(), message, reinterpret_cast<WPARAM>(dc), 0));
            LOGBRUSH logBrush = {};
            GetObjectA(brush, sizeof logBrush, &logBrush);
            EXPECT_EQ(logBrush.lbColor, RGB(255, 255, 255));
            EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(WizardLayout, BannerProgressAndListAreReady) {
    const auto picture =
        reinterpret_cast<HBITMAP>(SendMessageA(form->BannerImage.Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(picture, nullptr) << "decoded when the window was shown";
    BITMAP size = {};
    GetObjectA(picture, sizeof size, &size);
    EXPECT_EQ(size.bmWidth, 162);
    EXPECT_EQ(size.bmHeight, 280);

    PBRANGE range = {};
    SendMessageA(form->CopyProgress.Handle(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 51);
    EXPECT_EQ(form->CopyProgress.Position(), 0);

    const std::pair<const char*, int> columns[] = {{"Type", 70}, {"Description", 270}};
    for (int i = 0; i < 2; ++i) {
        char caption[32] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = caption;
        column.cchTextMax = sizeof caption;
        ASSERT_TRUE(
            SendMessageA(form->FileTypeList.Handle(), LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(caption, columns[i].first);
        EXPECT_EQ(column.cx, columns[i].second);
    }
    EXPECT_EQ(form->FileTypeList.Count(), 0);
}

WNDPROC listProcedure = nullptr;

// The list as it answers when an insert fails (out of memory): -1, no row.
LRESULT CALLBACK RefuseInserts(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA) return -1;
    return CallWindowProcA(listProcedure, list, message, wParam, lParam);
}

// -1 as a row index means every row: a failed insert must not tick or clear the rows already there.
TEST_F(WizardLayout, AFailedListInsertLeavesTheOtherRowsAlone) {
    ListView& list = form->FileTypeList;
    list.AddItem(".asm", "Torvek Pellum Module", false);
    list.AddItem(".inc", "Torvek Pellum Including File", false);
    listProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefuseInserts)));
    list.AddItem(".rc", "Torvek Pellum Resource Description File", true);
    SetWindowLongPtrA(list.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProcedure));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.IsChecked(0));
    EXPECT_FALSE(list.IsChecked(1));
    EXPECT_EQ(list.ItemText(1, 1), "Torvek Pellum Including File");
}

TEST_F(WizardLayout, TheTwoRadioButtonsAreOneGroup) {
    Click(form->NextButton);
    Click(form->AgreeChoice);
    EXPECT_TRUE(form->AgreeChoice.IsChecked());
    EXPECT_FALSE(form->DisagreeChoice.IsChecked());
    Click(form->DisagreeChoice);
    EXPECT_FALSE(form->AgreeChoice.IsChecked());
    EXPECT_TRUE(form->DisagreeChoice.IsChecked());
}

int WindowsBelow(HWND window) {
    int count = 0;
    EnumChildWindows(
        window, [](HWND, LPARAM counter) CALLBACK -> BOOL { return ++*reinterpret_cast<int*>(counter), TRUE; },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

// Start-up makes the frame (bevel, banner panel and picture, three buttons) and the welcome page (its
// panel and five labels); each other page, its panel and its controls, comes when the page is first
// shown, with what start-up would have put in it, and in its place in the tab order. Counted through
// Windows alone: asking the form for a control of a page would make that page.
TEST_F(WizardTest, StartUpMakesTheWelcomePageAndEachOtherPageComesWhenFirstShown) {
    Open();
    const HWND window = form->Handle();
    EXPECT_EQ(WindowsBelow(window), 6 + 6);
    Click(form->NextButton);
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5) << "the agreement: its panel, a label, the licence, two choices";
    Click(form->AgreeChoice);
    Click(form->NextButton);
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5 + 5) << "the folder page: its panel, two labels, the box, Browse";
    EXPECT_EQ(form->FolderBox.Text(), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7");
    Click(form->BackButton);
    Click(form->BackButton);
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5 + 5) << "a page is made once";
    EXPECT_EQ(GetWindow(form->FinishPage.Handle(), GW_HWNDNEXT), form->NextButton.Handle())
        << "a page made later takes its place in the tab order";
    EXPECT_EQ(GetWindow(form->FinishPage.Handle(), GW_HWNDPREV), form->FolderPage.Handle())
        << "after the last page made before it";
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5 + 5 + 5) << "asking for the finish page made it";
}

// Pages made out of order still stand in the table's order among the window's own children.
TEST_F(WizardTest, PagesMadeOutOfOrderStandInTheTablesOrder) {
    Open();
    const HWND finish = form->FinishPage.Handle();
    const HWND copying = form->CopyingPage.Handle();
    const HWND welcome = form->WelcomePage.Handle();
    std::vector<HWND> order;
    for (HWND child = GetWindow(form->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(child);
    const std::vector<HWND> expected = {form->ButtonSeparator.Handle(),  form->BannerPanel.Handle(), welcome,
                                        copying,                finish,                form->NextButton.Handle(),
                                        form->BackButton.Handle(), form->CancelButton.Handle()};
    EXPECT_EQ(order, expected);
}

// A label sized to its text must show all of it: the same ink as when it has room to spare.
TEST_F(WizardLayout, LabelsShowTheirWholeText) {
    const auto controls = ControlsByName(*form);
    for (const Place& place : kPlaces) {
        if (place.width != 0) continue; // not a label
        HWND label = controls.at(place.name);
        RECT own;
        GetClientRect(label, &own);
        EXPECT_EQ(own.right > 0, TextOf(label) != "") << place.name << " is sized to its text";
        const int fitted = RightmostInk(label, own.right, own.bottom);
        SetWindowPos(label, nullptr, 0, 0, own.right + 20, own.bottom, SWP_NOMOVE | SWP_NOZORDER);
        EXPECT_EQ(fitted, RightmostInk(label, own.right + 20, own.bottom)) << place.name;
    }
}

} // namespace
} // namespace wizard_test
