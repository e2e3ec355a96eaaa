// The wizard's page machine. Next and Back move State().WizardPage by one, then run the step of the
// page reached; a page without a step does nothing, but the counter has moved all the same.
//
//  page  fresh (FreshPage)                       reinstall (ReinstallPage)
//   0    Welcome    welcome                      Welcome      welcome, reinstall texts
//   1    Agreement  agreement                    Finish       confirm, copying, finish
//   2    Folder     folder                       End          program ends
//   3    FileTypes  copying, then file types     FinishAgain  as page 1
//   4    Finish     finish
//   5    End        program ends
#include "ui/Wizard.h"

#include "engine/Associations.h"
#include "engine/InstallState.h"
#include "engine/Payload.h"
#include "engine/RegistryRecords.h"
#include "engine/Shortcuts.h"
#include "ui/Dialogs.h"

namespace {

const char kAborted[] = "Aborted by user?";
const char kReinstallQuestion[] = "Are you sure you want reinstall existing copy?\r\nPath: ";

bool Fresh() {
    return State().InstallMode == InstallMode::Fresh;
}

} // namespace

// Once Terminate has asked the program to end, a press already queued must not start another step.
void Wizard::OnNext() {
    if (terminated_) return;
    const int page = ++State().WizardPage;
    Fresh() ? FreshForward(page) : ReinstallForward(page);
}

void Wizard::OnBack() {
    if (terminated_) return;
    const int page = --State().WizardPage;
    if (Fresh()) FreshBackward(page);
}

void Wizard::OnCancel() {
    if (terminated_) return;
    CancelConfirmed();
}

bool Wizard::CancelConfirmed() {
    if (terminated_) return true;
    if (Confirm(kAborted) != ConfirmAnswer::Yes) return false;
    Terminate();
    return true;
}

void Wizard::OnBrowse() {
    const auto folder = BrowseForFolder(MainWindow());
    if (!folder) return;
    FolderChosen(*folder);
    FolderBox.SetText(State().InstallFolder);
}

void Wizard::OnCheckAll() {
    SetAllChecks(FileTypeList, associationCount_, true);
}

void Wizard::OnClearAll() {
    SetAllChecks(FileTypeList, associationCount_, false);
}

void Wizard::OnAgree() {
    NextButton.Enable();
}

void Wizard::OnDisagree() {
    NextButton.Disable();
}

void Wizard::FreshForward(int page) {
    switch (page) {
    case FreshPage::Agreement: ShowAgreementPage(); return;
    case FreshPage::Folder: ShowFolderPage(); return;
    case FreshPage::FileTypes: InstallStep(); return;
    case FreshPage::Finish: AssociationsDone(); return;
    case FreshPage::End: FinishStep(); return;
    }
}

void Wizard::FreshBackward(int page) {
    switch (page) {
    case FreshPage::Welcome: BackToWelcomePage(); return;
    case FreshPage::Agreement: BackToAgreementPage(); return;
    }
}

void Wizard::ReinstallForward(int page) {
    switch (page) {
    case ReinstallPage::Finish:
    case ReinstallPage::FinishAgain: ReinstallStep(); return;
    case ReinstallPage::End: Terminate(); return;
    }
}

void Wizard::ShowAgreementPage() {
    WelcomePage.Hide();
    AgreementPage.Show();
    BackButton.Enable();
    NextButton.SetEnabled(AgreeChoice.IsChecked());
}

void Wizard::ShowFolderPage() {
    AgreementPage.Hide();
    FolderPage.Show();
    NextButton.SetText("Install");
}

void Wizard::BackToWelcomePage() {
    WelcomePage.Show();
    AgreementPage.Hide();
    NextButton.Enable();
    BackButton.Disable();
}

// The agreement choice and Next's enabled state stay as they were.
void Wizard::BackToAgreementPage() {
    AgreementPage.Show();
    FolderPage.Hide();
    NextButton.SetText("Next");
}

void Wizard::InstallStep() {
    // A folder that cannot hold the product is refused first; then nothing is made or written before the
    // checks let the copy start. Either way the folder page stays, for another folder.
    if (RefuseFolder(ApplySuffix(FolderBox.Text()), true)) return;
    State().InstallFolder = FinalFolder(FolderBox.Text());
    if (!CopyMayStart()) {
        --State().WizardPage;
        return;
    }
    FinaliseFolder(FolderBox.Text());
    CopyFiles(FolderPage);
    FileTypesPage.Show();
    CancelButton.Enable();
    NextButton.Enable();
    NextButton.SetText("Next");
    associationCount_ = BuildAssociations();
    ShowAssociations(FileTypeList, associationCount_);
    FileTypeList.FocusRow(0);
    PumpMessages();
}

void Wizard::AssociationsDone() {
    ReadChecks(FileTypeList, associationCount_);
    RegisterAssociations(State().Associations.get(), MainProgramPath());
    FreeAssociations();
    FileTypesPage.Hide();
    FinishPage.Show();
    CancelButton.Disable();
    NextButton.SetText("Finish");
    PumpMessages();
}

void Wizard::FinishStep() {
    CreateProgramGroup();
    RunFinishActions(StartProgramBox.IsChecked(), OpenManualBox.IsChecked(), DesktopIconBox.IsChecked());
    Terminate();
}

// Only an explicit Yes reinstalls: No, Escape and the close box all leave the welcome page as it was.
void Wizard::ReinstallStep() {
    if (Confirm(kReinstallQuestion + State().InstallFolder) != ConfirmAnswer::Yes) {
        --State().WizardPage;
        return;
    }
    if (RefuseFolder(State().InstallFolder, false)) return;
    if (!CopyMayStart()) {
        --State().WizardPage;
        return;
    }
    CopyFiles(WelcomePage);
    FinishPage.Show();
    BackButton.Disable();
    CancelButton.Disable();
    NextButton.Enable();
    NextButton.SetText("Finish");
    PumpMessages();
}

// The checks before the copy (CheckBeforeCopy: free space, files held), with the buttons that could
// start a second step or change the folder disabled while their boxes and waits run, and as they were
// afterwards. A Cancel confirmed meanwhile ends the program before anything is written.
bool Wizard::CopyMayStart() {
    const bool fresh = Fresh();
    BackButton.Disable();
    NextButton.Disable();
    if (fresh) BrowseButton.Disable();
    const CopyStart start = CheckBeforeCopy();
    BackButton.SetEnabled(fresh);
    NextButton.Enable();
    if (fresh) BrowseButton.Enable();
    return start == CopyStart::Go && !terminated_;
}

// The copying page in place of the page shown: only Cancel stays usable while the files and the
// registry records are written.
void Wizard::CopyFiles(Panel& shownPage) {
    shownPage.Hide();
    CopyingPage.Show();
    BackButton.Disable();
    NextButton.Disable();
    CancelButton.Enable();
    PumpMessages();
    State().SkippedEntries.clear();
    ExtractPayload();
    // The records come before the report: while the report waits for its OK, the files already on disk
    // are an installed copy the uninstaller and the next run can find. The report still comes when
    // writing the records fails, before that error is shown.
    try {
        WriteProductKeys();
    } catch (...) {
        ReportSkippedFiles();
        throw;
    }
    ReportSkippedFiles();
    PumpMessages();
    CopyingPage.Hide();
}

// Files that could not be written are named once, together, rather than passing unnoticed.
void Wizard::ReportSkippedFiles() {
    const std::string report = SkippedFilesReport(State().SkippedEntries);
    if (!report.empty()) ErrorDialog(report);
}

// A folder the install cannot use is refused before anything is written or recorded, and the page that
// led to the step stays. A stored folder keeps its length check per file, in the copying report.
bool Wizard::RefuseFolder(const std::string& folder, bool checkLength) {
    const auto problem = FolderProblem(folder, checkLength);
    if (!problem) return false;
    --State().WizardPage;
    ErrorDialog(*problem);
    return true;
}
