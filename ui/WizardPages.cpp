// TForm2's page machine. Next and Back move State().WizardPage by one, then run the step of the page
// reached; a page without a step does nothing, but the counter has moved all the same.
//
//  page  fresh                          reinstall
//   0    welcome (Panel1)               welcome (Panel1), reinstall texts
//   1    agreement (Panel2)             confirm, copying (Panel5), finish (Panel4)
//   2    folder (Panel3)                program ends
//   3    copying, associations (Panel6) as page 1
//   4    finish (Panel4)
//   5    program ends
#include "ui/Unit2.h"

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
void TForm2::Button1Click() {
    if (terminated_) return;
    const int page = ++State().WizardPage;
    Fresh() ? FreshForward(page) : ReinstallForward(page);
}

void TForm2::Button2Click() {
    if (terminated_) return;
    const int page = --State().WizardPage;
    if (Fresh()) FreshBackward(page);
}

void TForm2::Button3Click() {
    if (terminated_) return;
    if (Confirm(kAborted) == ConfirmAnswer::Yes) Terminate();
}

void TForm2::Button4Click() {
    const auto folder = BrowseForFolder(MainWindow());
    if (!folder) return;
    FolderChosen(*folder);
    Edit1.SetText(State().InstallFolder);
}

void TForm2::Button5Click() {
    SetAllChecks(ListView2, associationCount_, true);
}

void TForm2::Button6Click() {
    SetAllChecks(ListView2, associationCount_, false);
}

void TForm2::RadioButton1Click() {
    Button1.Enable();
}

void TForm2::RadioButton2Click() {
    Button1.Disable();
}

void TForm2::Edit1Change() {}

void TForm2::FreshForward(int page) {
    switch (page) {
    case 1: ShowAgreementPage(); return;
    case 2: ShowFolderPage(); return;
    case 3: InstallStep(); return;
    case 4: AssociationsDone(); return;
    case 5: FinishStep(); return;
    }
}

void TForm2::FreshBackward(int page) {
    switch (page) {
    case 0: BackToWelcomePage(); return;
    case 1: BackToAgreementPage(); return;
    }
}

void TForm2::ReinstallForward(int page) {
    switch (page) {
    case 1:
    case 3: ReinstallStep(); return;
    case 2: Terminate(); return;
    }
}

void TForm2::ShowAgreementPage() {
    Panel1.Hide();
    Panel2.Show();
    Button2.Enable();
    Button1.SetEnabled(RadioButton1.IsChecked());
}

void TForm2::ShowFolderPage() {
    Panel2.Hide();
    Panel3.Show();
    Button1.SetText("Install");
}

void TForm2::BackToWelcomePage() {
    Panel1.Show();
    Panel2.Hide();
    Button1.Enable();
    Button2.Disable();
}

// The agreement choice and Next's enabled state stay as they were.
void TForm2::BackToAgreementPage() {
    Panel2.Show();
    Panel3.Hide();
    Button1.SetText("Next");
}

void TForm2::InstallStep() {
    FinaliseFolder(Edit1.Text());
    CopyFiles(Panel3);
    Panel6.Show();
    Button3.Enable();
    Button1.Enable();
    Button1.SetText("Next");
    associationCount_ = BuildAssociations();
    ShowAssociations(ListView2, associationCount_);
    ListView2.FocusRow(0);
    PumpMessages();
}

void TForm2::AssociationsDone() {
    ReadChecks(ListView2, associationCount_);
    RegisterAssociations(State().Associations.get(), State().InstallFolder + State().MainFileName);
    FreeAssociations();
    Panel6.Hide();
    Panel4.Show();
    Button3.Disable();
    Button1.SetText("Finish");
    PumpMessages();
}

void TForm2::FinishStep() {
    CreateProgramGroup();
    RunFinishActions(CheckBox1.IsChecked(), CheckBox2.IsChecked(), CheckBox3.IsChecked());
    Terminate();
}

// Only an explicit Yes reinstalls: No, Escape and the close box all leave the welcome page as it was.
void TForm2::ReinstallStep() {
    if (Confirm(kReinstallQuestion + State().InstallFolder) != ConfirmAnswer::Yes) {
        --State().WizardPage;
        return;
    }
    CopyFiles(Panel1);
    Panel4.Show();
    Button2.Disable();
    Button3.Disable();
    Button1.Enable();
    Button1.SetText("Finish");
    PumpMessages();
}

// The copying page in place of the page shown: only Cancel stays usable while the files and the
// registry records are written.
void TForm2::CopyFiles(Panel& shownPage) {
    shownPage.Hide();
    Panel5.Show();
    Button2.Disable();
    Button1.Disable();
    Button3.Enable();
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
    Panel5.Hide();
}

// Files that could not be written are named once, together, rather than passing unnoticed.
void TForm2::ReportSkippedFiles() {
    const std::string report = SkippedFilesReport(State().SkippedEntries);
    if (!report.empty()) ErrorDialog(report);
}
