// TForm2: the window itself, its start-up, its message dispatch and the services the engine uses.
#include "ui/Unit2.h"

#include "engine/InstallState.h"
#include "platform/Error.h"
#include "platform/Resources.h"
#include "ui/Banner.h"
#include "ui/Dialogs.h"
#include "ui/Layout.h"
#include "ui/Unit1.h"

#include <commctrl.h>

namespace {

const char kClassName[] = "TForm2";
const char kCaption[] = "Install manager";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 562;
constexpr int kClientHeight = 319;
constexpr int kFontHeight = 11;
constexpr int kTitleFontHeight = 16;

// The outer rectangle for the client area, centred on the desktop.
RECT CentredFrame(int dpi) {
    RECT frame = {0, 0, gdi::Scale(kClientWidth, dpi), gdi::Scale(kClientHeight, dpi)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

// The licence is part of the window, not of the payload: it is read from the program's own image.
std::string LicenceText() {
    const auto licence = platform::FindProgramResource("LICENCE");
    return licence ? std::string(reinterpret_cast<const char*>(licence->bytes), licence->size) : std::string();
}

std::string ProductTitle() {
    return std::string(ProductIdentity::kProductName) + ProductIdentity::kVersion;
}

// The page whose building makes the control of this id (kFrame for the frame, made at the start).
std::size_t PageMaking(int id) {
    return layout::PageOf(layout::Form2(), static_cast<std::size_t>(id - layout::kFirstId));
}

} // namespace

TForm2::TForm2(TForm1* backdrop) : backdrop_(backdrop) {}

TForm2::~TForm2() {
    if (&Services() == this) AttachWizardServices(nullptr);
    if (Handle()) ::DestroyWindow(Handle());
}

void TForm2::Create(HINSTANCE instance) {
    // The one place the program asks for the common controls; the dialogs' buttons and texts use them too.
    INITCOMMONCONTROLSEX controls = {sizeof controls,
                                     ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    RegisterFormClass(instance, kClassName);
    layout::RegisterPanelClasses(instance);
    AttachWizardServices(this);
    dpi_ = gdi::ScreenDpi();
    const RECT frame = CentredFrame(dpi_);
    ::CreateWindowExA(kExStyle, kClassName, kCaption, kStyle, frame.left, frame.top, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, instance, static_cast<Window*>(this));
    if (!Handle()) throw platform::Error("Cannot create the wizard window");
    // Focus rectangles hidden or shown as the system's dialogs start, by how the last input came.
    ::SendMessageA(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
    // The backdrop, which FormCreate has given its titles and gradient, is shown first, behind where the
    // wizard comes: the activation then moves once, to the wizard, instead of going to the wizard, to
    // the backdrop and back (under Wine each move of the activation costs a few milliseconds).
    if (backdrop_) backdrop_->ShowMaximised();
    ::ShowWindow(Handle(), SW_SHOW);
    ::UpdateWindow(Handle());
}

void TForm2::CloseRequest(void* form) {
    bool canClose = true;
    static_cast<TForm2*>(form)->FormCloseQuery(canClose);
}

// The frame and the pages shown at start; the other pages wait until they are needed.
void TForm2::BuildControls() {
    font_.Reset(layout::CreateLayoutFont(kFontHeight, false, dpi_));
    boldFont_.Reset(layout::CreateLayoutFont(kTitleFontHeight, true, dpi_));
    ::SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    const layout::Table& table = layout::Form2();
    pageBuilt_.assign(table.rowCount, false);
    layout::Build(Handle(), table, layout::kFrame, {font_.Get(), boldFont_.Get()}, dpi_, windows_);
    for (std::size_t row = 0; row < table.rowCount; ++row)
        if (table.rows[row].kind == layout::Kind::Page && (table.rows[row].state & layout::Shown))
            BuildPage(row);
    BindControls();
}

HWND TForm2::Materialise(int id) {
    const auto row = static_cast<std::size_t>(id - layout::kFirstId);
    if (!Handle() || row >= windows_.size()) return nullptr;
    BuildPage(PageMaking(id));
    return windows_[row];
}

// Notifications sent while a page is made (the texts set below) find the focus where the handler that
// showed the page left it; the focus is settled once that handler has returned.
void TForm2::BuildPage(std::size_t page) {
    if (page == layout::kFrame || pageBuilt_[page]) return;
    pageBuilt_[page] = true;
    buildingPage_ = true;
    struct Building {
        bool& flag;
        ~Building() { flag = false; }
    } building{buildingPage_};
    layout::Build(Handle(), layout::Form2(), page, {font_.Get(), boldFont_.Get()}, dpi_, windows_);
    BindControls();
    PreparePage(static_cast<Form2Id>(layout::kFirstId + static_cast<int>(page)));
}

// A page made after start-up gets what start-up would have set on it.
void TForm2::PreparePage(Form2Id page) {
    switch (page) {
    case Form2Id::Panel2: Memo1.SetText(LicenceText()); return;
    case Form2Id::Panel3: Edit1.SetText(startFolder_); return;
    case Form2Id::Panel4:
        if (!finishBoxesHidden_) return;
        CheckBox1.Hide();
        CheckBox2.Hide();
        CheckBox3.Hide();
        return;
    default: return;
    }
}

// A control of a page not made yet is bound to this form, which makes it when it is first asked for.
template <typename ControlType> ControlType TForm2::Bound(Form2Id id) {
    const std::size_t page = PageMaking(static_cast<int>(id));
    if (page == layout::kFrame || pageBuilt_[page])
        return ControlType(windows_[static_cast<int>(id) - layout::kFirstId]);
    return ControlType(static_cast<ControlSource&>(*this), static_cast<int>(id));
}

void TForm2::BindControls() {
#define FORM2_CONTROL(name, ...) name = Bound<decltype(name)>(Form2Id::name);
#include "resources/Form2.layout.inc"
}

LRESULT TForm2::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        BuildControls();
        FormCreate();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        return Default(message, wParam, lParam);
    case WM_CLOSE: {
        bool canClose = false;
        FormCloseQuery(canClose);
        return 0; // the window never closes itself; only Terminate ends the program
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        if (!buildingPage_) KeepFocusUsable();
        return 0;
    // Not DefWindowProc, which would put the focus on the frame, where no key does anything.
    case WM_ACTIVATE: OnActivate(LOWORD(wParam) != WA_INACTIVE); return 0;
    // The dialog manager's requests, which a plain window has to answer itself.
    case WM_NEXTDLGCTL: NextControl(wParam, lParam); return 0;
    case DM_GETDEFID: return FocusedPushButtonId();
    }
    return Default(message, wParam, lParam);
}

void TForm2::OnCommand(int id, int code) {
    const bool clicked = code == BN_CLICKED;
    switch (static_cast<Form2Id>(id)) {
    case Form2Id::Button1:
        if (clicked) Button1Click();
        return;
    case Form2Id::Button2:
        if (clicked) Button2Click();
        return;
    case Form2Id::Button3:
        if (clicked) Button3Click();
        return;
    case Form2Id::Button4:
        if (clicked) Button4Click();
        return;
    case Form2Id::Button5:
        if (clicked) Button5Click();
        return;
    case Form2Id::Button6:
        if (clicked) Button6Click();
        return;
    // A choice is made by a click, Space or the arrow keys, never by the focus arriving on it.
    case Form2Id::RadioButton1:
        if (clicked && !movingFocus_) ChooseAgreement(true);
        return;
    case Form2Id::RadioButton2:
        if (clicked && !movingFocus_) ChooseAgreement(false);
        return;
    case Form2Id::Edit1:
        if (code == EN_CHANGE) Edit1Change();
        return;
    default: return;
    }
}

HWND TForm2::MainWindow() const {
    return backdrop_ ? backdrop_->Handle() : Handle();
}

void TForm2::FormCreate() {
    const std::string title = ProductTitle();
    if (backdrop_) backdrop_->SetTitles(title + " installation", title);
    Label1.SetText(title);
    Label8.SetText(title + " (c) " + ProductIdentity::kMakerFolder + ". All rights reserved.");
    if (backdrop_) backdrop_->PaintGradient();
    InitInstallState();
    AdjustWelcomePage();
    startFolder_ = State().InstallFolder;
    State().WizardPage = 0;
}

void TForm2::AdjustWelcomePage() {
    const bool fresh = State().InstallMode == InstallMode::Fresh;
    Label1.Show();
    Label2.SetVisible(fresh);
    Label9.SetVisible(!fresh);
    Label10.SetVisible(!fresh);
    if (fresh) return;
    Button1.SetText("Reinstall");
    finishBoxesHidden_ = true;
}

// Decoded once, when the window first appears; a picture that cannot be decoded leaves Image1 empty.
void TForm2::FormShow() {
    if (bannerLoaded_) return;
    bannerLoaded_ = true;
    const DecodedImage picture = LoadBanner();
    RECT area;
    ::GetClientRect(Image1.Handle(), &area);
    banner_.Reset(MakeStretchedBitmap(picture, area.right, area.bottom));
    Image1.SetBitmap(banner_.Get());
}

void TForm2::FormCloseQuery(bool& canClose) {
    Button3Click();
    canClose = false;
}

void TForm2::SetStatus(const std::string& text) {
    Label12.SetText(text);
}

void TForm2::StepProgress() {
    ProgressBar1.StepIt();
}

// A quit request found here must not end a step half-way: it is only remembered, and the main loop
// ends once the running handler has returned.
void TForm2::PumpMessages() {
    // The step that pumps has usually just changed the page or disabled the focused button.
    KeepFocusUsable();
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitSeen_ = true;
            continue;
        }
        HandleQueuedMessage(message);
    }
}

void TForm2::HandleQueuedMessage(MSG& message) {
    if (!PreTranslateMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    KeepFocusUsable();
}

void TForm2::ErrorDialog(const std::string& text) {
    ShowErrorDialog(text);
}

ConfirmAnswer TForm2::Confirm(const std::string& text) {
    return ShowConfirmDialog(Handle(), text);
}

void TForm2::Terminate() {
    terminated_ = true;
    ::PostQuitMessage(0);
}
