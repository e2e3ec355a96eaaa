#include "engine/Shortcuts.h"

#include "engine/InstallState.h"
#include "engine/RegistryRecords.h"
#include "engine/WizardServices.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

using namespace ShortcutNames;

namespace {

std::string ReadShellFolder(platform::RootKey root, const char* key, const char* name) {
    const auto opened = platform::OpenKeyForReading(root, key);
    return opened ? ReadStringValue(*opened, name) : std::string();
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string DesktopFolder() {
    const std::string stored = ReadShellFolder(platform::RootKey::CurrentUser, kShellFolders, kDesktop);
    // Without a recorded folder, ask the shell rather than writing into the root of the current drive.
    return stored.empty() ? platform::UserDesktopFolder() : stored;
}

// The all-users Programs folder. A 32-bit program on 64-bit Windows reads the 32-bit view of "Shell
// Folders", which Windows fills only when a program asks the shell; the shell itself always knows.
std::string CommonProgramsFolder() {
    const std::string stored =
        ReadShellFolder(platform::RootKey::LocalMachine, kCommonShellFolders, kCommonPrograms);
    return stored.empty() ? platform::CommonProgramsFolder() : stored;
}

// A folder whose name came back with "?" is no real folder: reported like a shortcut that cannot be made.
void RequireHeld(const std::string& folder) {
    if (!NameHeld(folder))
        throw platform::Error("Cannot make a shortcut in " + folder +
                              ": this system cannot keep the folder's name in a file name");
}

} // namespace

void CreateShortcut(const std::string& target, const std::string& linkPath) {
    platform::WriteShellLink(target, FolderPart(target), linkPath);
}

std::string ProgramGroupFolder() {
    const std::string programs = CommonProgramsFolder();
    if (programs.empty()) return {};
    return IncludeTrailingDelimiter(programs) + ProductIdentity::kMakerFolder + "\\" +
           ProductIdentity::kTitle;
}

void CreateProgramGroup() {
    const std::string group = ProgramGroupFolder();
    if (group.empty()) return;
    RequireHeld(group);
    if (!platform::DirectoryExists(group)) ForceDirectories(group);
    const std::string folder = IncludeTrailingDelimiter(group);
    const std::string& installFolder = State().InstallFolder;
    CreateShortcut(MainProgramPath(), folder + Trim(ProductIdentity::kProductName) + kLinkExtension);
    CreateShortcut(installFolder + kUninstallerFile, folder + kUninstaller + kLinkExtension);
    CreateShortcut(installFolder + ProductIdentity::kManualPath, folder + kManual + kLinkExtension);
}

void RunFinishActions(bool startProgram, bool openManual, bool desktopShortcut) {
    const std::string& installFolder = State().InstallFolder;
    if (startProgram) {
        const std::string program = MainProgramPath();
        if (platform::FileExists(program))
            platform::StartProcess(program, installFolder);
        else
            Services().ErrorDialog(kProgramMissing);
    }
    if (openManual) {
        const std::string manual = installFolder + ProductIdentity::kManualPath;
        if (platform::FileExists(manual))
            platform::OpenDocument(manual);
        else
            Services().ErrorDialog(kManualMissing);
    }
    if (desktopShortcut) CreateDesktopShortcut();
}

void CreateDesktopShortcut() {
    const std::string desktop = DesktopFolder();
    if (desktop.empty()) return;
    RequireHeld(desktop);
    CreateShortcut(MainProgramPath(),
                   IncludeTrailingDelimiter(desktop) + ProductIdentity::kTitle + kLinkExtension);
}
