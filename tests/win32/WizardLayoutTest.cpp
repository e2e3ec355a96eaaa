// The wizard window as built from its layout table: places, kinds, texts, states, fonts, at 96 dpi.
#include "WizardFixture.h"

#include <commctrl.h>

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
    {"Bevel1", "Form2", 8, 263, 549, 19},        {"Button2", "Form2", 308, 288, 75, 25},
    {"Button1", "Form2", 389, 288, 75, 25},      {"Button3", "Form2", 479, 288, 75, 25},
    {"Panel7", "Form2", 0, 0, 162, 280},         {"Image1", "Panel7", 0, 0, 162, 280},
    {"Panel1", "Form2", 162, -2, 399, 280},      {"Panel2", "Form2", 162, -2, 399, 280},
    {"Panel3", "Form2", 162, 0, 399, 280},       {"Panel5", "Form2", 162, 0, 399, 280},
    {"Panel6", "Form2", 162, -2, 399, 280},      {"Panel4", "Form2", 162, 0, 399, 280},
    {"Label1", "Panel1", 8, 8, 0, 0},            {"Label2", "Panel1", 8, 40, 0, 0},
    {"Label9", "Panel1", 8, 40, 0, 0},           {"Label10", "Panel1", 8, 56, 0, 0},
    {"Label8", "Panel1", 8, 248, 0, 0},          {"Label3", "Panel2", 8, 8, 0, 0},
    {"Memo1", "Panel2", 8, 24, 377, 185},        {"RadioButton1", "Panel2", 8, 216, 113, 17},
    {"RadioButton2", "Panel2", 8, 240, 113, 17}, {"Label7", "Panel3", 12, 8, 0, 0},
    {"Label4", "Panel3", 12, 32, 0, 0},          {"Edit1", "Panel3", 12, 48, 377, 21},
    {"Button4", "Panel3", 312, 72, 75, 25},      {"Label11", "Panel5", 8, 16, 0, 0},
    {"Label12", "Panel5", 12, 173, 0, 0},        {"ProgressBar1", "Panel5", 15, 192, 369, 21},
    {"Label13", "Panel6", 8, 8, 0, 0},           {"ListView2", "Panel6", 8, 32, 377, 145},
    {"Button5", "Panel6", 232, 184, 75, 25},     {"Button6", "Panel6", 312, 184, 75, 25},
    {"Label6", "Panel4", 8, 8, 0, 0},            {"CheckBox1", "Panel4", 8, 80, 153, 17},
    {"CheckBox2", "Panel4", 8, 104, 97, 17},     {"CheckBox3", "Panel4", 8, 128, 121, 17},
};

bool StartsWith(const std::string& name, const char* prefix) {
    return name.rfind(prefix, 0) == 0;
}

// What a control of this name must have become, beyond its place: its window class and style.
void ExpectKind(HWND window, const std::string& name) {
    const LONG_PTR style = StyleOf(window);
    if (StartsWith(name, "Button")) {
        EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "never a default button";
    } else if (StartsWith(name, "RadioButton")) {
        // Not automatic: on Windows those select themselves when the keyboard focus reaches them.
        EXPECT_EQ(style & BS_TYPEMASK, BS_RADIOBUTTON);
        EXPECT_EQ((style & WS_TABSTOP) != 0, name == "RadioButton2") << "the selected choice is the tab stop";
        EXPECT_EQ((style & WS_GROUP) != 0, name == "RadioButton1") << "the group starts with the first";
    } else if (StartsWith(name, "CheckBox")) {
        EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
    } else if (name == "Edit1") {
        EXPECT_EQ(style & (ES_READONLY | ES_MULTILINE), ES_READONLY);
    } else if (name == "Memo1") {
        EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL),
                  ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL);
    } else if (name == "Bevel1") {
        EXPECT_EQ(style & SS_TYPEMASK, SS_ETCHEDHORZ);
    } else if (name == "ListView2") {
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
        const HWND parent = std::strcmp(place.parent, "Form2") == 0 ? form->Handle() : controls.at(place.parent);
        EXPECT_EQ(GetParent(window), parent);
        const RECT r = InParent(window);
        EXPECT_EQ(r.left, place.left);
        if (StartsWith(name, "Label")) {
            EXPECT_EQ(r.top, place.top);
        } else if (name == "Bevel1") {
            EXPECT_EQ(r.top, place.top + place.height - 2) << "only the bottom line";
            EXPECT_EQ(r.bottom, place.top + place.height);
            EXPECT_EQ(r.right - r.left, place.width);
        } else {
            EXPECT_EQ(r.top, place.top);
            EXPECT_EQ(r.right - r.left, place.width);
            EXPECT_EQ(r.bottom - r.top, place.height);
        }
        ExpectKind(window, name);
        EXPECT_EQ(IsWindowEnabled(window) != FALSE, name != "Button2") << "only Back starts disabled";
        if (StartsWith(name, "RadioButton") || StartsWith(name, "CheckBox")) {
            const bool ticked = name == "RadioButton2" || StartsWith(name, "CheckBox");
            EXPECT_EQ(SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED, ticked);
        }
    }
}

TEST_F(WizardLayout, FixedTextsAndTheStartUpTexts) {
    const std::map<std::string, std::string> texts = {
        {"Button1", "Next"},
        {"Button2", "Back"},
        {"Button3", "Cancel"},
        {"Button4", "Browse"},
        {"Button5", "Check All"},
        {"Button6", "Clear All"},
        {"Label1", "Torvek Pellum 3.9.8.7"},
        {"Label2", "Click Next to continue. "},
        {"Label3", "Please read next agreement:"},
        {"Label4", "Select directory:"},
        {"Label6", "Installation is complite. Thank you for choosing Torvek Pellum."},
        {"Label8", "Torvek Pellum 3.9.8.7 (c) Torvek. All rights reserved."},
        {"Label9", "You have installed copy on your computer."},
        {"Label10", "Click Reinstall to continue."},
        {"Label11", "Wait while setup executing..."},
        {"Label12", ""},
        {"Label13", "Please select file type association"},
        {"RadioButton1", "I'm agree"},
        {"RadioButton2", "I'm not agree"},
        {"CheckBox1", "Start Torvek Pellum"},
        {"CheckBox2", "Start Help File"},
        {"CheckBox3", "Create Desktop Icon"},
        {"Edit1", "C:\\Program Files\\Torvek\\Pellum 3.9.8.7"},
    };
    const auto controls = ControlsByName(*form);
    for (const auto& [name, text] : texts)
        EXPECT_EQ(TextOf(controls.at(name)), text) << name;
    EXPECT_EQ(TextOf(form->Handle()), "Install manager");

    const std::string licence = form->Memo1.Text();
    EXPECT_EQ(licence.rfind("TORVEK PELLUM 3.9.8.7 - LICENCE AGREEMENT\r\n", 0), 0u);
    std::size_t lines = 0;
    for (std::size_t at = licence.find("\r\n"); at != std::string::npos; at = licence.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 33u);
}

TEST_F(WizardLayout, AtStartOnlyTheWelcomePageWithTitleAndNoticeAndBackDisabled) {
    EXPECT_EQ(VisiblePages(), "Panel1");
    EXPECT_TRUE(form->Label1.Visible());
    EXPECT_TRUE(form->Label2.Visible());
    EXPECT_TRUE(form->Label8.Visible());
    EXPECT_FALSE(form->Label9.Visible());
    EXPECT_FALSE(form->Label10.Visible());
    EXPECT_FALSE(form->Button2.Enabled());
    EXPECT_TRUE(form->Button1.Enabled());
    EXPECT_TRUE(form->Button3.Enabled());
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
    EXPECT_EQ(GetWindow(form->Handle(), GW_CHILD), form->Bevel1.Handle());
    EXPECT_EQ(GetWindow(form->Panel4.Handle(), GW_HWNDNEXT), form->Button1.Handle());
    EXPECT_EQ(GetWindow(form->Button1.Handle(), GW_HWNDNEXT), form->Button2.Handle());
    EXPECT_EQ(GetWindow(form->Button2.Handle(), GW_HWNDNEXT), form->Button3.Handle());
    EXPECT_EQ(GetWindow(form->Button3.Handle(), GW_HWNDNEXT), nullptr);
    for (const Button* button : {&form->Button1, &form->Button2, &form->Button3})
        EXPECT_TRUE(StyleOf(button->Handle()) & WS_TABSTOP);
}

TEST_F(WizardLayout, FontsAreMsSansSerifElevenAndTheTitleBoldSixteen) {
    const auto controls = ControlsByName(*form);
    for (const Place& place : kPlaces) {
        const std::string name = place.name;
        if (StartsWith(name, "Panel") || name == "ProgressBar1" || name == "Image1" || name == "Bevel1") continue;
        const LOGFONTA font = FontOf(controls.at(name));
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif") << name;
        EXPECT_EQ(font.lfHeight, name == "Label1" ? -16 : -11) << name;
        EXPECT_EQ(font.lfWeight, name == "Label1" ? FW_BOLD : FW_NORMAL) << name;
    }
}

TEST_F(WizardLayout, PagePanelsAndWhatTheyHoldAreWhite) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (const Panel* page :
         {&form->Panel1, &form->Panel2, &form->Panel3, &form->Panel4, &form->Panel5, &form->Panel6}) {
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
        reinterpret_cast<HBITMAP>(SendMessageA(form->Image1.Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(picture, nullptr) << "decoded when the window was shown";
    BITMAP size = {};
    GetObjectA(picture, sizeof size, &size);
    EXPECT_EQ(size.bmWidth, 162);
    EXPECT_EQ(size.bmHeight, 280);

    PBRANGE range = {};
    SendMessageA(form->ProgressBar1.Handle(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 51);
    EXPECT_EQ(form->ProgressBar1.Position(), 0);

    const std::pair<const char*, int> columns[] = {{"Type", 70}, {"Description", 270}};
    for (int i = 0; i < 2; ++i) {
        char caption[32] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = caption;
        column.cchTextMax = sizeof caption;
        ASSERT_TRUE(
            SendMessageA(form->ListView2.Handle(), LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(caption, columns[i].first);
        EXPECT_EQ(column.cx, columns[i].second);
    }
    EXPECT_EQ(form->ListView2.Count(), 0);
}

WNDPROC listProcedure = nullptr;

// The list as it answers when an insert fails (out of memory): -1, no row.
LRESULT CALLBACK RefuseInserts(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == LVM_INSERTITEMA) return -1;
    return CallWindowProcA(listProcedure, list, message, wParam, lParam);
}

// -1 as a row index means every row: a failed insert must not tick or clear the rows already there.
TEST_F(WizardLayout, AFailedListInsertLeavesTheOtherRowsAlone) {
    ListView& list = form->ListView2;
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
    Click(form->Button1);
    Click(form->RadioButton1);
    EXPECT_TRUE(form->RadioButton1.IsChecked());
    EXPECT_FALSE(form->RadioButton2.IsChecked());
    Click(form->RadioButton2);
    EXPECT_FALSE(form->RadioButton1.IsChecked());
    EXPECT_TRUE(form->RadioButton2.IsChecked());
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
    Click(form->Button1);
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5) << "the agreement: its panel, a label, the licence, two choices";
    Click(form->RadioButton1);
    Click(form->Button1);
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5 + 5) << "the folder page: its panel, two labels, the box, Browse";
    EXPECT_EQ(form->Edit1.Text(), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7");
    Click(form->Button2);
    Click(form->Button2);
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5 + 5) << "a page is made once";
    EXPECT_EQ(GetWindow(form->Panel4.Handle(), GW_HWNDNEXT), form->Button1.Handle())
        << "a page made later takes its place in the tab order";
    EXPECT_EQ(GetWindow(form->Panel4.Handle(), GW_HWNDPREV), form->Panel3.Handle())
        << "after the last page made before it";
    EXPECT_EQ(WindowsBelow(window), 6 + 6 + 5 + 5 + 5) << "asking for the finish page made it";
}

// Pages made out of order still stand in the table's order among the window's own children.
TEST_F(WizardTest, PagesMadeOutOfOrderStandInTheTablesOrder) {
    Open();
    const HWND finish = form->Panel4.Handle();
    const HWND copying = form->Panel5.Handle();
    const HWND welcome = form->Panel1.Handle();
    std::vector<HWND> order;
    for (HWND child = GetWindow(form->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        order.push_back(child);
    const std::vector<HWND> expected = {form->Bevel1.Handle(),  form->Panel7.Handle(), welcome,
                                        copying,                finish,                form->Button1.Handle(),
                                        form->Button2.Handle(), form->Button3.Handle()};
    EXPECT_EQ(order, expected);
}

// A label sized to its text must show all of it: the same ink as when it has room to spare.
TEST_F(WizardLayout, LabelsShowTheirWholeText) {
    const auto controls = ControlsByName(*form);
    for (const Place& place : kPlaces) {
        if (!StartsWith(place.name, "Label")) continue;
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
