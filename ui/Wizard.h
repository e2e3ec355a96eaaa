#pragma once
// TForm2: the wizard window "Install manager", its page machine and the services the engine uses.
// The page counter lives in the install state (State().WizardPage); the window keeps only the
// association row count and the state of its controls.
#include "engine/WizardServices.h"
#include "ui/Controls.h"
#include "ui/Window.h"
#include "ui/Gdi.h"
#include "ui/Layout.h"

#include <string>
#include <vector>

class TForm1;

// Control ids, in the layout's row order: row i is layout::kFirstId + i.
enum class Form2Id : int {
    BeforeFirst = layout::kFirstId - 1,
#define FORM2_CONTROL(name, ...) name,
#include "resources/Form2.layout.inc"
};

// The controls of a page are made when the page is first shown (or when anything asks for one of them):
// start-up makes only the frame and the welcome page.
class TForm2 : public Window, public WizardServices, private ControlSource {
public:
    // The backdrop receives the titles and the gradient; it may be null (tests).
    explicit TForm2(TForm1* backdrop);
    ~TForm2() override;

    // Creates the window, runs FormCreate, shows the backdrop maximised, then shows the wizard in front
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

    // For TForm1::SetCloseRequestHandler: the backdrop's close request is the wizard's.
    static void CloseRequest(void* form);

    // Engine services.
    void SetStatus(const std::string& text) override;
    void StepProgress() override;
    void PumpMessages() override;
    void ErrorDialog(const std::string& text) override;
    ConfirmAnswer Confirm(const std::string& text) override;
    void Terminate();

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& canClose);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void Edit1Change();

    // Controls, named as the layout names them.
    Button Button1, Button2, Button3, Button4, Button5, Button6;
    Bevel Bevel1;
    Panel Panel1, Panel2, Panel3, Panel4, Panel5, Panel6, Panel7;
    Image Image1;
    Label Label1, Label2, Label3, Label4, Label6, Label7, Label8, Label9, Label10, Label11, Label12, Label13;
    Memo Memo1;
    RadioButton RadioButton1, RadioButton2;
    Edit Edit1;
    ProgressBar ProgressBar1;
    ListView ListView2;
    CheckBox CheckBox1, CheckBox2, CheckBox3;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildControls();
    HWND Materialise(int id) override;
    void BuildPage(std::size_t page);
    void PreparePage(Form2Id page);
    void BindControls();
    template <typename ControlType> ControlType Bound(Form2Id id);
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
    void CopyFiles(Panel& shownPage);
    void ReportSkippedFiles();
    void BackToWelcomePage();
    void BackToAgreementPage();

    TForm1* backdrop_;
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
