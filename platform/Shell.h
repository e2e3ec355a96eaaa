#pragma once
// Shell links, processes and the shell's own folders and notifications.
#include <string>

namespace platform {

// A shell link through CLSID_ShellLink, IShellLinkA and IPersistFile: SetPath, SetWorkingDirectory,
// then Save with the wide link path and FALSE; those three results are not checked. Raises
// "<system message>, ClassID: {00021401-0000-0000-C000-000000000046}" when the component cannot be
// created and "Interface not supported" when either interface is missing.
void WriteShellLink(const std::string& target, const std::string& workingDirectory,
                    const std::string& linkPath);

// The system's text for an error code (an HRESULT or a Win32 error), without the line break it ends
// with; "Error 0x80040154" when the system has no text for it.
std::string SystemMessage(long code);

// CreateProcessA(path, no command line, handles not inherited, NORMAL_PRIORITY_CLASS, this process's
// environment, currentDirectory, a zero-filled STARTUPINFOA with its size set); failure is ignored
// and the handles are closed at once.
void StartProcess(const std::string& path, const std::string& currentDirectory);

// ShellExecuteA(owner, "open", path, no parameters, no directory, SW_SHOW), owned by the window given
// to SetShellOwner; failure is ignored.
void OpenDocument(const std::string& path);
void SetShellOwner(void* window);

// SHGetFolderPathA(CSIDL_DESKTOPDIRECTORY) for the current user; empty when the shell does not know it.
std::string UserDesktopFolder();

// SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr).
void NotifyAssociationsChanged();

} // namespace platform
