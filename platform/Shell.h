#pragma once
// Shell links, processes and the shell's own folders and notifications.
#include <string>

namespace platform {

// A shortcut to `target`. Raises "<system message>, ClassID: {00021401-0000-0000-C000-000000000046}"
// when the shell-link component is missing and "Interface not supported" when it lacks an interface;
// a failure to set or save the link itself only leaves the shortcut missing or incomplete.
void WriteShellLink(const std::string& target, const std::string& workingDirectory,
                    const std::string& linkPath);

// The system's text for an error code (an HRESULT or a Win32 error), for the messages built from it;
// "Error 0x80040154" when the system has none.
std::string SystemMessage(long code);

// Starts the installed program, which outlives the installer; a failure is ignored.
void StartProcess(const std::string& path, const std::string& currentDirectory);

// Opens a document with its registered program, owned by the window given to SetShellOwner; a
// failure is ignored.
void OpenDocument(const std::string& path);
void SetShellOwner(void* window);

// The user's desktop and the all-users Start menu's Programs folder as the shell knows them, for when
// the registry does not say; empty when unknown.
std::string UserDesktopFolder();
std::string CommonProgramsFolder();

// Tells the shell the file types changed, so icons and descriptions show without a new log-on.
void NotifyAssociationsChanged();

} // namespace platform
