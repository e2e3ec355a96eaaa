#pragma once
// The wizard window "Install manager" (window class TForm2), its page machine and the services the
// engine uses. The page counter lives in the install state (State().WizardPage); the window keeps only
// the file-type row count and the state of its controls.
#include "engine/WizardServices.h"
#include "ui/Controls.h"
#include "ui/Window.h"
#include "ui/Gdi.h"
#include "ui/Layout.h"

#include <string>
#include <vector>

class Backdrop;

// The page counter's values (State().WizardPage) in each mode; see ui/WizardPages.cpp.
namespace FreshPage {
inline constexpr int Welcome = 0, Agreement = 1, Folder = 2, FileTypes = 3, Finish = 4, End = 5;
}
namespace ReinstallPage {
// A second press of Finish already queued when the first is handled reaches FinishAgain.
inline constexpr int Welcome = 0, Finish = 1, End = 2, FinishAgain = 3;
} // namespace ReinstallPage

// Control ids, in the layout's row order: row i is layout::kFirstId + i.
enum class ControlId : int {
    BeforeFirst = layout::kFirstId - 1,
#define WIZARD_CONTROL(name, ...) name,
#include "resources/Wizard.layout.inc"
};

// The controls of a page are made when the page is first shown (or when anything asks for one of them):
// start-up makes only the frame and the welcome page.
class Wizard : public Window, public WizardServices, private ControlSource {
public:
    // The backdrop receives the titles and the gradient; it may be null (tests).
    explicit Wizard(Backdrop* backdrop);
    ~Wizard() override;

    // Creates the window, runs OnCreate, shows the backdrop maximised, then shows the wizard in front
    // of it, and attaches it as the engine's services.
    void Create(HINSTANCE instance);

    // A quit request was taken from the queue by PumpMessages; the main loop ends when it sees this.
    bool QuitRequested() const { return quitSeen_; }
    bool Terminated() const { return terminated_; }
    int AssociationCount() const { return associationCount_; }

    // One message taken from the queue, as both message loops (the program's and PumpMessages) handle
    // it: the wizard's keyboard first, else the usual translation and dispatch; then the focus is put
    // back on a usable control if the message took it away.
    void HandleQueuedMessage(MSG& message);
    // The wizard's keyboard: the arrow keys on the agreement's choices, then the system's dialog
    // manager (Tab and Shift+Tab through the tab stops, Enter on the focused push button; Escape
    // reaches nothing). True when the message was used.
    bool PreTranslateMessage(MSG& message);
    // The keyboard focus is always on a usable control, or kept for when the wizard is active again.
    void KeepFocusUsable();

    // For Backdrop::SetCloseRequestHandler: the backdrop's close request is the wizard's.
    static void CloseRequest(void* form);

    // Engine services.
    void SetStatus(const std::string& text) override;
    void StepProgress() override;
    void PumpMessages() override;
    void ErrorDialog(const std::string& text) override;
    ConfirmAnswer Confirm(const std::string& text) override;
    RetryAnswer RetryBox(const std::string& caption, const std::string& text, bool ignorable) override;
    bool CancelConfirmed() override;
    void Wait(unsigned milliseconds) override;
    void Terminate();

    // Handlers.
    void OnCreate();
    void OnShow();
    void OnCloseRequest(); // asks the Cancel question; the window itself never closes
    void OnNext();
    void OnBack();
    void OnCancel();
    void OnBrowse();
    void OnCheckAll();
    void OnClearAll();
    void OnAgree();
    void OnDisagree();

    // Controls, page by page, named as the layout table names them.
    Panel BannerPanel;
    Image BannerImage;
    Bevel ButtonSeparator;
    Button NextButton, BackButton, CancelButton;
    Panel WelcomePage;
    Label WelcomeTitle, ClickNextText, InstalledCopyText, ClickReinstallText, RightsNotice;
    Panel AgreementPage;
    Label AgreementTitle;
    Memo LicenceBox;
    RadioButton AgreeChoice, DisagreeChoice;
    Panel FolderPage;
    Label FolderIntro, FolderLabel;
    Edit FolderBox;
    Button BrowseButton;
    Panel CopyingPage;
    Label CopyingTitle, StatusText;
    ProgressBar CopyProgress;
    Panel FileTypesPage;
    Label FileTypesTitle;
    ListView FileTypeList;
    Button CheckAllButton, ClearAllButton;
    Panel FinishPage;
    Label FinishTitle;
    CheckBox StartProgramBox, OpenManualBox, DesktopIconBox;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildControls();
    HWND Materialise(int id) override;
    void BuildPage(std::size_t page);
    void PreparePage(ControlId page);
    void BindControls();
    template <typename ControlType> ControlType Bound(ControlId id);
    void OnCommand(int id, int code);
    HWND MainWindow() const;

    // Focus and keyboard.
    bool Usable(HWND control) const;
    HWND FirstUsableControl() const;
    void FocusControl(HWND control);
    void OnActivate(bool active);
    void NextControl(WPARAM which, LPARAM byHandle);
    LRESULT FocusedPushButtonId() const;
    bool MoveInAgreementGroup(const MSG& message);
    void ChooseAgreement(bool agree);
    void ShowKeyboardCues();

    // Page steps.
    void AdjustWelcomePage();
    void FreshForward(int page);
    void FreshBackward(int page);
    void ReinstallForward(int page);
    void ShowAgreementPage();
    void ShowFolderPage();
    void InstallStep();
    void AssociationsDone();
    void FinishStep();
    void ReinstallStep();
    bool CopyMayStart();
    void CopyFiles(Panel& shownPage);
    void ReportSkippedFiles();
    bool RefuseFolder(const std::string& folder, bool checkLength);
    void BackToWelcomePage();
    void BackToAgreementPage();

    Backdrop* backdrop_;
    int dpi_ = 96;
    int associationCount_ = 0;
    bool quitSeen_ = false;
    bool terminated_ = false;
    bool bannerLoaded_ = false;
    HWND lastFocus_ = nullptr; // the control that gets the focus back when the wizard is active again
    bool movingFocus_ = false; // the focus is being moved by the wizard, not chosen by the user
    HWND displaced_ = nullptr; // a control whose focus was moved away because it became unusable...
    HWND stand_in_ = nullptr;  // ...and the control that holds the focus for it meanwhile
    gdi::Font font_;
    gdi::Font boldFont_;
    gdi::Bitmap banner_;
    std::vector<HWND> windows_;   // one per layout row, nullptr until its page is built
    std::vector<bool> pageBuilt_; // by layout row, for the page panels' rows
    bool buildingPage_ = false;
    // What start-up left on pages that are built later: the folder box's text, and in reinstall mode
    // the finish page without its three boxes.
    std::string startFolder_;
    bool finishBoxesHidden_ = false;
};
