#pragma once
// What is being installed, the state of this one installer run, and the install-folder rules.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProductIdentity.h"

enum class InstallMode : std::uint8_t { Fresh = 0, Reinstall = 1 };

struct FileAssociation;
struct AssociationTableDeleter {
    void operator()(FileAssociation* table) const;
};
using AssociationTable = std::unique_ptr<FileAssociation[], AssociationTableDeleter>;

// A payload entry that extraction did not write, kept so the wizard can report them once.
struct SkippedEntry {
    unsigned number;
    std::string name; // its destination below the install folder, "\" between folders ("entry n" without one)
    std::string reason; // "disk full", "read-only; the older copy is kept", ...
};

struct InstallState {
    ::InstallMode InstallMode = ::InstallMode::Fresh;
    std::uint8_t WizardPage = 0;
    std::string InstallFolder;
    std::string MainFileName;
    // The "InstallPath" text as stored, when it was an expandable string: the reinstall installs into
    // the expanded folder but writes this back, unexpanded and with its type.
    std::string ExpandableInstallPath;
    AssociationTable Associations; // present only while the association page is open
    std::vector<SkippedEntry> SkippedEntries;
    // Entries another program held when the copy started, left to it by the user's Ignore: each is
    // tried once, not waited for.
    std::vector<unsigned> HeldEntries;
};

// The process-wide record, alive until the process ends.
InstallState& State();
// Back to the state of a new process (unit tests run many installs in one process).
void ResetInstallState();

// InstallFolder + MainFileName: the installed main program, as the shortcuts, the file types and the
// uninstall entry's icon name it.
std::string MainProgramPath();

std::string IncludeTrailingDelimiter(const std::string& path);
std::string DefaultFolder();
std::string ApplySuffix(const std::string& folder);
void ProposeFreshFolder();
void FolderChosen(const std::string& folder);
// The folder the install goes to, from the folder box's text: the suffix rule applied, ending with "\".
// Nothing is made.
std::string FinalFolder(const std::string& folderText);
// FinalFolder becomes InstallFolder, and its tree is made.
void FinaliseFolder(const std::string& folderText);
void InitInstallState();

// False when a name came back from an ANSI call with "?" for a character the code page has no form for
// (Windows before 10 1903 ignores the manifest's UTF-8 code page): "?" is never part of a Windows name,
// so such a name points at no real folder.
bool NameHeld(const std::string& path);

// Why the install cannot use this folder, as a message that names it and says why; nothing when it can.
// A name that was not held is refused; with checkLength, so is a folder below which the longest payload
// destination would make a full path longer than platform::kMaxPathLength bytes of the 8-bit string.
std::optional<std::string> FolderProblem(const std::string& folder, bool checkLength);

// Creates a folder and all its missing parents, outermost first. An empty or unrooted (relative)
// name raises "Unable to create directory"; any other failure returns false.
bool ForceDirectories(const std::string& folder);

// Everything before the last "\" (empty when there is none).
std::string FolderPart(const std::string& path);

// "C:", or "\\server\share" for a network path; empty when the path names no drive.
std::string DrivePart(const std::string& path);
// A drive's root or a network path: a name that does not depend on the current folder.
bool IsRooted(const std::string& path);
