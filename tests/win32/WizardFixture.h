#pragma once
// The wizard window built for real in this process, with its dialogs answered from a script and the
// error report recorded, and the registry and files an install touches cleaned before and after.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/InstallState.h"
#include "engine/RegistryRecords.h"
#include "engine/Shortcuts.h"
#include "platform/Resources.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/Wizard.h"

namespace wizard_test {

class Script : public DialogScript {
public:
    void ErrorShown(const std::string& text) override {
        errors.push_back(text);
        if (onError) onError(text);
    }
    ConfirmAnswer Answer(const std::string& text) override {
        questions.push_back(text);
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return ConfirmAnswer::No;
        }
        const ConfirmAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> ChooseFolder() override { return folder; }

    std::deque<ConfirmAnswer> answers;
    std::vector<std::string> questions;
    std::vector<std::string> errors;
    std::optional<std::string> folder;
    std::function<void(const std::string&)> onError; // runs while the error box would be open
};

inline std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

inline void RecordReport(const std::string&, const std::string& text) {
    Reports().push_back(text);
}

inline const char* const kClassKeys[] = {".asm", ".inc", ".rc", ".kelp", "TorvekPellum.asm", "TorvekPellum.inc",
                                         "TorvekPellum.rc", "TorvekPellum.kelp"};

inline bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline std::string StringValue(HKEY root, const std::string& path, const char* name) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return "<missing>";
    return buffer;
}

inline std::string DesktopShortcut() {
    std::string desktop =
        StringValue(HKEY_CURRENT_USER, ShortcutNames::kShellFolders, ShortcutNames::kDesktop);
    return desktop + "\\Torvek Pellum 3.9.8.7.lnk";
}

inline bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline std::string ThisProgram() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// True when a quit request waits in this thread's queue; takes it out.
inline bool TakeQuit() {
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

inline void DrainQueue() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        if (message.message != WM_QUIT) DispatchMessageA(&message);
}

// Every control of the layout by name.
inline std::map<std::string, HWND> ControlsByName(const Wizard& form) {
    std::map<std::string, HWND> controls;
#define WIZARD_CONTROL(name, ...) controls[#name] = form.name.Handle();
#include "resources/Wizard.layout.inc"
    return controls;
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        CleanMachine();
        DrainQueue();
        ResetInstallState();
        Reports().clear();
        SetReportHook(RecordReport);
        SetDialogScript(&script);
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        tempFolder = std::string(temp) + "pellum-wizard-" + std::to_string(GetCurrentProcessId());
        std::filesystem::create_directories(tempFolder);
    }

    void TearDown() override {
        form.reset();
        SetDialogScript(nullptr);
        SetReportHook(nullptr);
        DrainQueue();
        CleanMachine();
        ResetInstallState();
        platform::UseResourceModule(ThisProgram());
        std::error_code ignored;
        std::filesystem::remove_all(tempFolder, ignored);
    }

    static void CleanMachine() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, RegistryNames::kMakerKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey);
        for (const char* key : kClassKeys)
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
        DeleteFileA(DesktopShortcut().c_str());
        const std::string group = ProgramGroupFolder();
        std::error_code ignored;
        if (!group.empty()) {
            std::filesystem::remove_all(group, ignored);
            std::filesystem::remove(FolderPart(group), ignored);
        }
    }

    void Open() {
        form = std::make_unique<Wizard>(nullptr);
        form->Create(GetModuleHandleA(nullptr));
    }

    // A real click: the button's own BM_CLICK, which reaches the form as WM_COMMAND through the panel.
    static void Click(const Control& control) { SendMessageA(control.Handle(), BM_CLICK, 0, 0); }

    static int Page() { return State().WizardPage; }

    // The names of the page panels on screen; exactly one is expected at any time.
    std::string VisiblePages() const {
        const std::pair<const char*, const Panel*> pages[] = {
            {"WelcomePage", &form->WelcomePage}, {"AgreementPage", &form->AgreementPage},
            {"FolderPage", &form->FolderPage},   {"FinishPage", &form->FinishPage},
            {"CopyingPage", &form->CopyingPage}, {"FileTypesPage", &form->FileTypesPage}};
        std::string names;
        for (const auto& [name, panel] : pages)
            if (panel->Visible()) names += (names.empty() ? "" : " ") + std::string(name);
        return names;
    }

    // Welcome -> agreement (agreed) -> folder page, Browse answered with this test's temp folder.
    void ReachFolderPageWithTempFolder() {
        Click(form->NextButton);
        Click(form->AgreeChoice);
        Click(form->NextButton);
        script.folder = tempFolder;
        Click(form->BrowseButton);
        script.folder.reset();
    }

    std::string InstallFolder() const { return tempFolder + "\\Torvek\\Pellum 3.9.8.7\\"; }

    Script script;
    std::unique_ptr<Wizard> form;
    std::string tempFolder;
};

} // namespace wizard_test
