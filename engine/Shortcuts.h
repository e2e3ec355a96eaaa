#pragma once
// The Start-menu group, the desktop shortcut and the finish page's actions.
//
// <Common Programs>\Torvek\Torvek Pellum 3.9.8.7   (the group folder)
//   Torvek Pellum.lnk      -> <InstallFolder><MainFileName>
//   Uninstall.lnk          -> <InstallFolder>Uninstall.exe
//   Manual.lnk             -> <InstallFolder>\Help\TorvekKELHelp.pdf   (the doubled "\" is kept)
// <desktop>\Torvek Pellum 3.9.8.7.lnk -> <InstallFolder><MainFileName>
#include <string>

namespace ShortcutNames {
inline constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kCommonShellFolders =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kCommonPrograms = "Common Programs";
inline constexpr const char* kDesktop = "desktop";
inline constexpr const char* kUninstaller = "Uninstall";
inline constexpr const char* kUninstallerFile = "Uninstall.exe";
inline constexpr const char* kManual = "Manual";
inline constexpr const char* kLinkExtension = ".lnk";
inline constexpr const char* kProgramMissing = "Program files is not found";
inline constexpr const char* kManualMissing = "Help files is not found";
} // namespace ShortcutNames

// A shell link at linkPath pointing at target, working in the target's folder.
void CreateShortcut(const std::string& target, const std::string& linkPath);

// The group folder below the all-users Start menu: "Common Programs", or where the shell has the folder
// when that value is missing or empty; empty when neither knows it.
std::string ProgramGroupFolder();
void CreateProgramGroup();

// The finish page's three choices, in this order.
void RunFinishActions(bool startProgram, bool openManual, bool desktopShortcut);
void CreateDesktopShortcut();
