// The wizard: the window itself, its start-up, its message dispatch and the services the engine uses.
#include "ui/Wizard.h"

#include "engine/InstallState.h"
#include "platform/Error.h"
#include "platform/Resources.h"
#include "ui/Banner.h"
#include "ui/Dialogs.h"
#include "ui/Layout.h"
#include "ui/Backdrop.h"

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
    return Centred(ScreenSize(), FrameSize(gdi::Scale(kClientWidth, dpi), gdi::Scale(kClientHeight, dpi),
                                           kStyle, kExStyle));
}

// The licence is part of the window, not of the payload: it is read from the program's own image.
std::string LicenceText() {
    const auto licence = platform::FindProgramResource("LICENCE");
    return licence ? std::string(reinterpret_cast<const char*>(licence->bytes), licence->size)
                   : std::string();
}

// The page whose building makes the control of this id (kFrame for the frame, made at the start).
std::size_t PageMaking(int id) {
    return layout::PageOf(layout::WizardTable(), static_cast<std::size_t>(id - layout::kFirstId));
}

} // namespace

Wizard::Wizard(Backdrop* backdrop) : backdrop_(backdrop) {}

Wizard::~Wizard() {
    if (&Services() == this) AttachWizardServices(nullptr);
    if (Handle()) ::DestroyWindow(Handle());
}

void Wizard::Create(HINSTANCE instance) {
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
    // The backdrop, which OnCreate has given its titles and gradient, is shown first, behind where the
    // wizard comes: the activation then moves once, to the wizard, instead of going to the wizard, to
    // the backdrop and back (under Wine each move of the activation costs a few milliseconds).
    if (backdrop_) backdrop_->ShowMaximised();
    ::ShowWindow(Handle(), SW_SHOW);
    ::UpdateWindow(Handle());
}

void Wizard::CloseRequest(void* form) {
    static_cast<Wizard*>(form)->OnCloseRequest();
}

// The frame and the pages shown at start; the other pages wait until they are needed.
void Wizard::BuildControls() {
    font_.Reset(layout::CreateLayoutFont(kFontHeight, false, dpi_));
    boldFont_.Reset(layout::CreateLayoutFont(kTitleFontHeight, true, dpi_));
    ::SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    const layout::Table& table = layout::WizardTable();
    pageBuilt_.assign(table.rowCount, false);
    layout::Build(Handle(), table, layout::kFrame, {font_.Get(), boldFont_.Get()}, dpi_, windows_);
    for (std::size_t row = 0; row < table.rowCount; ++row)
        if (table.rows[row].kind == layout::Kind::Page && (table.rows[row].state & layout::Shown))
            BuildPage(row);
    BindControls();
}

HWND Wizard::Materialise(int id) {
    const auto row = static_cast<std::size_t>(id - layout::kFirstId);
    if (!Handle() || row >= windows_.size()) return nullptr;
    BuildPage(PageMaking(id));
    return windows_[row];
}

// Notifications sent while a page is made (the texts set below) find the focus where the handler that
// showed the page left it; the focus is settled once that handler has returned.
void Wizard::BuildPage(std::size_t page) {
    if (page == layout::kFrame || pageBuilt_[page]) return;
    pageBuilt_[page] = true;
    buildingPage_ = true;
    struct Building {
        bool& flag;
        ~Building() { flag = false; }
    } building{buildingPage_};
    layout::Build(Handle(), layout::WizardTable(), page, {font_.Get(), boldFont_.Get()}, dpi_, windows_);
    BindControls();
    PreparePage(static_cast<ControlId>(layout::kFirstId + static_cast<int>(page)));
}

// A page made after start-up gets what start-up would have set on it.
void Wizard::PreparePage(ControlId page) {
    switch (page) {
    case ControlId::AgreementPage: LicenceBox.SetText(LicenceText()); return;
    case ControlId::FolderPage: FolderBox.SetText(startFolder_); return;
    case ControlId::FinishPage:
        if (!finishBoxesHidden_) return;
        StartProgramBox.Hide();
        OpenManualBox.Hide();
        DesktopIconBox.Hide();
        return;
    default: return;
    }
}

// A control of a page not made yet is bound to this form, which makes it when it is first asked for.
template <typename ControlType> ControlType Wizard::Bound(ControlId id) {
    const std::size_t page = PageMaking(static_cast<int>(id));
    if (page == layout::kFrame || pageBuilt_[page])
        return ControlType(windows_[static_cast<int>(id) - layout::kFirstId]);
    return ControlType(static_cast<ControlSource&>(*this), static_cast<int>(id));
}

void Wizard::BindControls() {
#define WIZARD_CONTROL(name, ...) name = Bound<decltype(name)>(ControlId::name);
#include "resources/Wizard.layout.inc"
}

LRESULT Wizard::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        BuildControls();
        OnCreate();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) OnShow();
        return Default(message, wParam, lParam);
    // The window never closes itself; only Terminate ends the program.
    case WM_CLOSE: OnCloseRequest(); return 0;
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

void Wizard::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (static_cast<ControlId>(id)) {
    case ControlId::NextButton: OnNext(); return;
    case ControlId::BackButton: OnBack(); return;
    case ControlId::CancelButton: OnCancel(); return;
    case ControlId::BrowseButton: OnBrowse(); return;
    case ControlId::CheckAllButton: OnCheckAll(); return;
    case ControlId::ClearAllButton: OnClearAll(); return;
    // A choice is made by a click, Space or the arrow keys, never by the focus arriving on it.
    case ControlId::AgreeChoice:
        if (!movingFocus_) ChooseAgreement(true);
        return;
    case ControlId::DisagreeChoice:
        if (!movingFocus_) ChooseAgreement(false);
        return;
    default: return;
    }
}

HWND Wizard::MainWindow() const {
    return backdrop_ ? backdrop_->Handle() : Handle();
}

void Wizard::OnCreate() {
    const std::string title = ProductIdentity::kTitle;
    if (backdrop_) backdrop_->SetTitles(title + " installation", title);
    WelcomeTitle.SetText(title);
    RightsNotice.SetText(ProductIdentity::kCopyright);
    if (backdrop_) backdrop_->PaintGradient();
    InitInstallState();
    AdjustWelcomePage();
    startFolder_ = State().InstallFolder;
    State().WizardPage = FreshPage::Welcome; // the same page 0 in both modes
}

void Wizard::AdjustWelcomePage() {
    const bool fresh = State().InstallMode == InstallMode::Fresh;
    WelcomeTitle.Show();
    ClickNextText.SetVisible(fresh);
    InstalledCopyText.SetVisible(!fresh);
    ClickReinstallText.SetVisible(!fresh);
    if (fresh) return;
    NextButton.SetText("Reinstall");
    finishBoxesHidden_ = true;
}

// Decoded once, when the window first appears, at the scale that covers the control (at 96 dpi half the
// picture, 204 x 322 for 162 x 280); a picture that cannot be decoded leaves BannerImage empty.
void Wizard::OnShow() {
    if (bannerLoaded_) return;
    bannerLoaded_ = true;
    RECT area;
    ::GetClientRect(BannerImage.Handle(), &area);
    const DecodedImage picture = LoadBanner(area.right, area.bottom);
    banner_.Reset(MakeStretchedBitmap(picture, area.right, area.bottom));
    BannerImage.SetBitmap(banner_.Get());
}

void Wizard::OnCloseRequest() {
    OnCancel();
}

void Wizard::SetStatus(const std::string& text) {
    StatusText.SetText(text);
}

void Wizard::StepProgress() {
    CopyProgress.StepIt();
}

// A quit request found here must not end a step half-way: it is only remembered, and the main loop
// ends once the running handler has returned.
void Wizard::PumpMessages() {
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

void Wizard::HandleQueuedMessage(MSG& message) {
    if (!PreTranslateMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    KeepFocusUsable();
}

void Wizard::ErrorDialog(const std::string& text) {
    ShowErrorDialog(text);
}

ConfirmAnswer Wizard::Confirm(const std::string& text) {
    return ShowConfirmDialog(Handle(), text);
}

// Once the program is ending (Cancel confirmed during a wait), a box still to come answers itself.
RetryAnswer Wizard::RetryBox(const std::string& caption, const std::string& text, bool ignorable) {
    return terminated_ ? RetryAnswer::Cancel : ShowRetryDialog(Handle(), caption, text, ignorable);
}

// Woken by every message, which is handled at once: the windows repaint and Cancel answers throughout.
void Wizard::Wait(unsigned milliseconds) {
    const DWORD start = ::GetTickCount();
    for (DWORD passed = 0; passed < milliseconds; passed = ::GetTickCount() - start) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - passed, QS_ALLINPUT);
        PumpMessages();
    }
}

void Wizard::Terminate() {
    terminated_ = true;
    ::PostQuitMessage(0);
}
