// The wizard's page machine driven by real clicks, with scripted dialogs: both install modes, the
// quit request, errors raised inside a step, and what an install leaves behind.
#include "WizardFixture.h"

#include "platform/Error.h"
#include "ui/Backdrop.h"
#include "ui/Window.h"

namespace wizard_test {
namespace {

constexpr const char* kAborted = "Aborted by user?";

class FreshInstall : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        Open();
    }
};

LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_NCCREATE ? FALSE : DefWindowProcA(window, message, wParam, lParam);
}

// A wizard window that Windows refuses ends the start with an error, as the backdrop does, instead of
// running on with no window.
TEST_F(WizardTest, AWizardWindowThatCannotBeMadeRaises) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    UnregisterClassA("TForm2", instance);
    ASSERT_TRUE(RegisterWindowClass(instance, "TForm2", RefuseCreation, nullptr));
    form = std::make_unique<Wizard>(nullptr);
    try {
        form->Create(instance);
        ADD_FAILURE() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_STREQ(error.what(), "Cannot create the wizard window");
    }
    EXPECT_EQ(form->Handle(), nullptr);
    form.reset();
    EXPECT_TRUE(UnregisterClassA("TForm2", instance));
}

// Start-up as the program runs it: the backdrop, with its titles and gradient, maximised behind the
// wizard, and the wizard the active window with the keyboard on Next.
TEST_F(WizardTest, TheBackdropIsShownMaximisedBehindTheActiveWizard) {
    Backdrop backdrop;
    backdrop.Create(GetModuleHandleA(nullptr));
    form = std::make_unique<Wizard>(&backdrop);
    form->Create(GetModuleHandleA(nullptr));
    EXPECT_TRUE(IsWindowVisible(backdrop.Handle()));
    EXPECT_TRUE(IsZoomed(backdrop.Handle()));
    EXPECT_TRUE(backdrop.HasGradient());
    EXPECT_EQ(backdrop.Title(), "Torvek Pellum 3.9.8.7");
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(GetActiveWindow(), form->Handle());
    EXPECT_EQ(GetFocus(), form->NextButton.Handle());
    form.reset();
}

TEST_F(FreshInstall, AgreementDecidesNextAndBackKeepsTheChoice) {
    Click(form->NextButton);
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(VisiblePages(), "AgreementPage");
    EXPECT_TRUE(form->BackButton.Enabled());
    EXPECT_FALSE(form->NextButton.Enabled()) << "not agreed yet";
    Click(form->AgreeChoice);
    EXPECT_TRUE(form->NextButton.Enabled());
    Click(form->DisagreeChoice);
    EXPECT_FALSE(form->NextButton.Enabled());
    Click(form->AgreeChoice);

    Click(form->NextButton);
    EXPECT_EQ(Page(), 2);
    EXPECT_EQ(VisiblePages(), "FolderPage");
    EXPECT_EQ(form->NextButton.Text(), "Install");

    Click(form->BackButton);
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(VisiblePages(), "AgreementPage");
    EXPECT_EQ(form->NextButton.Text(), "Next");
    EXPECT_TRUE(form->AgreeChoice.IsChecked());
    EXPECT_TRUE(form->NextButton.Enabled());

    Click(form->BackButton);
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(VisiblePages(), "WelcomePage");
    EXPECT_TRUE(form->NextButton.Enabled());
    EXPECT_FALSE(form->BackButton.Enabled());

    // Forward again with "I'm not agree": Next stays off on the agreement page.
    Click(form->NextButton);
    Click(form->DisagreeChoice);
    Click(form->BackButton);
    EXPECT_TRUE(form->NextButton.Enabled()) << "the welcome page always allows Next";
    Click(form->NextButton);
    EXPECT_FALSE(form->NextButton.Enabled());
    EXPECT_TRUE(script.questions.empty());
}

TEST_F(FreshInstall, BrowseShowsTheChosenFolderAndCancelChangesNothing) {
    Click(form->NextButton);
    Click(form->AgreeChoice);
    Click(form->NextButton);
    script.folder = "D:\\Tools";
    Click(form->BrowseButton);
    EXPECT_EQ(form->FolderBox.Text(), "D:\\Tools\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(State().InstallFolder, "D:\\Tools\\Torvek\\Pellum 3.9.8.7");
    script.folder.reset();
    Click(form->BrowseButton);
    EXPECT_EQ(form->FolderBox.Text(), "D:\\Tools\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(Page(), 2);
    // A name read back with "?" is refused at Install, before anything is recorded; the page stays.
    script.folder = tempFolder + "\\Pr?gramme";
    Click(form->BrowseButton);
    Click(form->NextButton);
    EXPECT_EQ(VisiblePages() + std::to_string(Page()), "FolderPage2");
    EXPECT_EQ(script.errors.at(0).rfind("This folder cannot be used:\r\n" + form->FolderBox.Text(), 0), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey));
}

TEST_F(FreshInstall, CancelOnTheWelcomePageEndsWithoutWritingAnything) {
    const bool folderBefore = GetFileAttributesA("C:\\Program Files\\Torvek") != INVALID_FILE_ATTRIBUTES;
    script.answers = {ConfirmAnswer::No, ConfirmAnswer::Closed};
    Click(form->CancelButton);
    SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(script.questions, (std::vector<std::string>{kAborted, kAborted}));
    EXPECT_FALSE(TakeQuit());
    EXPECT_TRUE(IsWindow(form->Handle())) << "a close request never closes the window";

    script.answers = {ConfirmAnswer::Yes};
    Click(form->CancelButton);
    EXPECT_TRUE(form->Terminated());
    EXPECT_TRUE(TakeQuit());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey));
    EXPECT_EQ(GetFileAttributesA("C:\\Program Files\\Torvek") != INVALID_FILE_ATTRIBUTES, folderBefore);

    // After Terminate the buttons are dead, even a press already waiting in the queue.
    form->OnNext();
    form->OnBack();
    form->OnCancel();
    SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(script.questions.size(), 3u);
}

TEST_F(FreshInstall, WholeWalkInstallsAssociatesAndFinishes) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    ReachFolderPageWithTempFolder();
    ASSERT_EQ(form->FolderBox.Text(), tempFolder + "\\Torvek\\Pellum 3.9.8.7");
    Click(form->NextButton);

    ASSERT_TRUE(Reports().empty()) << Reports().front();
    EXPECT_EQ(Page(), 3);
    EXPECT_EQ(VisiblePages(), "FileTypesPage");
    EXPECT_EQ(State().InstallFolder, InstallFolder());
    EXPECT_TRUE(FileExists(InstallFolder() + "TorvekKel3.exe"));
    EXPECT_TRUE(FileExists(InstallFolder() + "CliModules\\MASM.asm"));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, "InstallPath"), InstallFolder());
    EXPECT_EQ(form->CopyProgress.Position(), 33) << "one step per file and one for the registry";
    EXPECT_EQ(form->StatusText.Text(), "Creating registry information");
    EXPECT_TRUE(form->NextButton.Enabled());
    EXPECT_EQ(form->NextButton.Text(), "Next");
    EXPECT_FALSE(form->BackButton.Enabled());
    EXPECT_TRUE(form->CancelButton.Enabled());
    EXPECT_TRUE(script.errors.empty());

    ASSERT_EQ(form->AssociationCount(), 4);
    ASSERT_EQ(form->FileTypeList.Count(), 4);
    EXPECT_EQ(form->FileTypeList.ItemText(2, 0), ".rc");
    EXPECT_EQ(form->FileTypeList.ItemText(2, 1), "Torvek Pellum Resource Description File");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(form->FileTypeList.IsChecked(i)) << i;
    Click(form->ClearAllButton);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(form->FileTypeList.IsChecked(i)) << i;
    Click(form->CheckAllButton);
    EXPECT_TRUE(form->FileTypeList.IsChecked(3));
    form->FileTypeList.SetChecked(1, false);
    form->FileTypeList.SetChecked(2, false);

    Click(form->NextButton);
    EXPECT_EQ(Page(), 4);
    EXPECT_EQ(VisiblePages(), "FinishPage");
    EXPECT_FALSE(form->CancelButton.Enabled());
    EXPECT_EQ(form->NextButton.Text(), "Finish");
    EXPECT_EQ(State().Associations, nullptr);
    EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, ".asm", nullptr), "TorvekPellum.asm");
    EXPECT_EQ(StringValue(HKEY_CLASSES_ROOT, ".kelp", nullptr), "TorvekPellum.kelp");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".inc")) << "cleared on the list";
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".rc"));

    // The close box where Cancel is disabled still asks, and No keeps the window.
    script.answers = {ConfirmAnswer::No};
    SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(script.questions, std::vector<std::string>{kAborted});
    EXPECT_TRUE(IsWindow(form->Handle()));
    EXPECT_EQ(Page(), 4);

    Click(form->StartProgramBox);
    Click(form->OpenManualBox);
    Click(form->NextButton);
    EXPECT_EQ(Page(), 5);
    EXPECT_TRUE(form->Terminated());
    EXPECT_TRUE(TakeQuit());
    EXPECT_TRUE(Reports().empty()) << Reports().front();
    const std::string group = ProgramGroupFolder();
    EXPECT_TRUE(FileExists(group + "\\Torvek Pellum.lnk")) << group;
    EXPECT_TRUE(FileExists(group + "\\Uninstall.lnk"));
    EXPECT_TRUE(FileExists(DesktopShortcut()));
}

TEST_F(FreshInstall, FilesThatCannotBeWrittenAreListedInOneErrorDialog) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    // A folder where a file should go makes that file impossible to create.
    std::filesystem::create_directories(InstallFolder() + "TorvekKel3.exe");
    std::filesystem::create_directories(InstallFolder() + "Help\\TorvekKELHelp.pdf");
    ReachFolderPageWithTempFolder();
    Click(form->NextButton);

    ASSERT_EQ(script.errors.size(), 1u);
    EXPECT_EQ(script.errors[0], "These files could not be written:\r\nTorvekKel3.exe (access denied)\r\n"
                                "Help\\TorvekKELHelp.pdf (access denied)");
    EXPECT_EQ(VisiblePages(), "FileTypesPage") << "the step goes on";
    EXPECT_TRUE(FileExists(InstallFolder() + "Uninstall.exe"));
    EXPECT_EQ(State().MainFileName, "TorvekKel3.exe");
}

// While the report waits for its OK, the files on disk are already an installed copy that the next run
// and the uninstaller can find.
TEST_F(FreshInstall, TheRecordsAreWrittenBeforeTheReportOfUnwrittenFiles) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    std::filesystem::create_directories(InstallFolder() + "Licence.txt");
    std::string recordedWhenShown;
    script.onError = [&](const std::string&) {
        recordedWhenShown = StringValue(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, "InstallPath") + " | " +
                            StringValue(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey, "DisplayName");
    };
    ReachFolderPageWithTempFolder();
    Click(form->NextButton);
    ASSERT_EQ(script.errors.size(), 1u);
    EXPECT_EQ(recordedWhenShown, InstallFolder() + " | Pellum 3.9.8.7");
}

// A volatile maker key refuses the product key below it: the records fail, and the report of unwritten
// files still comes first, then the error.
TEST_F(FreshInstall, TheReportStillComesWhenTheRecordsCannotBeWritten) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    std::filesystem::create_directories(InstallFolder() + "Licence.txt");
    HKEY maker = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, RegistryNames::kMakerKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &maker, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(maker);
    std::vector<std::string> order;
    script.onError = [&](const std::string& text) { order.push_back(text.substr(0, text.find('\r'))); };
    ReachFolderPageWithTempFolder();
    Click(form->NextButton);
    for (const std::string& report : Reports())
        order.push_back(report);
    EXPECT_EQ(order, (std::vector<std::string>{"These files could not be written:",
                                               "Failed to create key Software\\Torvek\\Pellum 3.9.8.7."}));
    EXPECT_EQ(VisiblePages(), "CopyingPage") << "the step ended at the error";
}

TEST_F(FreshInstall, CancelConfirmedDuringCopyingLetsTheStepFinishThenEnds) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    ReachFolderPageWithTempFolder();
    // Waiting in the queue, the press is handled by the step's first PumpMessages.
    PostMessageA(form->CancelButton.Handle(), BM_CLICK, 0, 0);
    script.answers = {ConfirmAnswer::Yes};
    Click(form->NextButton);

    EXPECT_EQ(script.questions, std::vector<std::string>{kAborted});
    EXPECT_TRUE(form->QuitRequested()) << "seen by a later PumpMessages and only remembered";
    EXPECT_FALSE(TakeQuit());
    EXPECT_EQ(VisiblePages(), "FileTypesPage");
    EXPECT_TRUE(FileExists(InstallFolder() + "CliModules\\MASM.asm"));
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, "InstallPath"), InstallFolder());
    form->OnNext();
    EXPECT_EQ(Page(), 3) << "no step after Terminate";
}

TEST_F(FreshInstall, AnErrorInsideAStepIsReportedAndThePageHasMoved) {
    Click(form->NextButton);
    Click(form->AgreeChoice);
    Click(form->NextButton);
    form->FolderBox.SetText("relative");
    Click(form->NextButton);

    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0], "Unable to create directory.");
    EXPECT_EQ(Page(), 3);
    EXPECT_EQ(VisiblePages(), "FolderPage") << "the rest of the step was skipped";
    EXPECT_TRUE(form->NextButton.Enabled());

    Click(form->NextButton);
    EXPECT_EQ(Page(), 4) << "the next press runs the following page's step";
    EXPECT_EQ(form->NextButton.Text(), "Finish");
}

TEST_F(FreshInstall, AQuitRequestSeenByPumpMessagesIsOnlyMarked) {
    PostQuitMessage(0);
    PostMessageA(form->NextButton.Handle(), BM_CLICK, 0, 0);
    form->PumpMessages();
    EXPECT_TRUE(form->QuitRequested());
    EXPECT_FALSE(form->Terminated());
    EXPECT_EQ(Page(), 1) << "the other waiting messages are still processed";
    EXPECT_FALSE(TakeQuit());
    EXPECT_TRUE(IsWindow(form->Handle()));
    // A wait of the checks before the copy handles a press as it comes, and still waits its time.
    const DWORD start = GetTickCount();
    PostMessageA(form->BackButton.Handle(), BM_CLICK, 0, 0);
    form->Wait(300);
    EXPECT_GE(GetTickCount() - start, 290u);
    EXPECT_EQ(Page(), 0);
}

TEST_F(WizardTest, AnErrorAtStartUpIsReportedAndTheWindowStillOpens) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(key, "InstallPath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    Open();
    EXPECT_EQ(Reports(), std::vector<std::string>{"Invalid data type for 'InstallPath'"});
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    EXPECT_EQ(form->WelcomeTitle.Text(), "Torvek Pellum 3.9.8.7") << "set before the failing step";
    EXPECT_EQ(VisiblePages(), "WelcomePage");
}

class Reinstall : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::string folder = tempFolder + "\\Old\\";
        RegSetValueExA(key, "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(key);
        platform::UseResourceModule(TEST_SETUP_EXE);
        Open();
    }
    std::string Question() const {
        return "Are you sure you want reinstall existing copy?\r\nPath: " + tempFolder + "\\Old\\";
    }
};

TEST_F(Reinstall, WelcomePageOffersReinstall) {
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_TRUE(form->WelcomeTitle.Visible());
    EXPECT_FALSE(form->ClickNextText.Visible());
    EXPECT_TRUE(form->InstalledCopyText.Visible());
    EXPECT_TRUE(form->ClickReinstallText.Visible());
    EXPECT_EQ(form->NextButton.Text(), "Reinstall");
    EXPECT_FALSE(form->BackButton.Enabled());
    EXPECT_EQ(form->FolderBox.Text(), tempFolder + "\\Old\\");
    for (const CheckBox* box : {&form->StartProgramBox, &form->OpenManualBox, &form->DesktopIconBox})
        EXPECT_FALSE(GetWindowLongPtrA(box->Handle(), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Reinstall, OnlyYesReinstallsAndFinishEndsAtOnce) {
    script.answers = {ConfirmAnswer::No, ConfirmAnswer::Closed};
    Click(form->NextButton);
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(VisiblePages(), "WelcomePage");
    Click(form->NextButton);
    EXPECT_EQ(Page(), 0) << "the close box answers like No";
    EXPECT_EQ(script.questions, std::vector<std::string>(2, Question()));
    EXPECT_FALSE(FileExists(tempFolder + "\\Old\\TorvekKel3.exe"));

    script.answers = {ConfirmAnswer::Yes};
    Click(form->NextButton);
    ASSERT_TRUE(Reports().empty()) << Reports().front();
    EXPECT_EQ(script.questions.size(), 3u);
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(VisiblePages(), "FinishPage");
    EXPECT_TRUE(FileExists(tempFolder + "\\Old\\TorvekKel3.exe"));
    EXPECT_EQ(form->NextButton.Text(), "Finish");
    EXPECT_TRUE(form->NextButton.Enabled());
    EXPECT_FALSE(form->BackButton.Enabled());
    EXPECT_FALSE(form->CancelButton.Enabled());
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey, "DisplayIcon"),
              tempFolder + "\\Old\\TorvekKel3.exe");

    Click(form->NextButton);
    EXPECT_EQ(Page(), 2);
    EXPECT_TRUE(TakeQuit());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".asm")) << "no associations in reinstall mode";
    EXPECT_FALSE(FileExists(DesktopShortcut()));
    form->OnNext();
    EXPECT_EQ(Page(), 2);
}

// A stored folder read back with "?" is refused after Yes: nothing is written over the stored path.
TEST_F(Reinstall, AStoredFolderThatWasNotHeldIsRefusedAndKept) {
    State().InstallFolder = tempFolder + "\\Pr?gramme\\";
    script.answers = {ConfirmAnswer::Yes};
    Click(form->NextButton);
    EXPECT_EQ(VisiblePages() + std::to_string(Page()), "WelcomePage0");
    EXPECT_EQ(script.errors.at(0).rfind("This folder cannot be used:\r\n" + State().InstallFolder, 0), 0u);
    EXPECT_EQ(StringValue(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, "InstallPath"),
              tempFolder + "\\Old\\");
}

} // namespace
} // namespace wizard_test
