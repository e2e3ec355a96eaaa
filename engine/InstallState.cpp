#include "engine/InstallState.h"

#include "engine/Associations.h"
#include "engine/Payload.h"
#include "engine/RegistryRecords.h"
#include "platform/Error.h"
#include "platform/Files.h"

namespace {

InstallState state;

bool EndsWithDelimiter(const std::string& path) {
    return !path.empty() && path.back() == '\\';
}

bool IsUncPath(const std::string& path) {
    return path.compare(0, 2, "\\\\") == 0;
}

bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':';
}

} // namespace

std::string DrivePart(const std::string& path) {
    if (HasDrive(path)) return path.substr(0, 2);
    if (!IsUncPath(path)) return {};
    const auto server = path.find('\\', 2);
    if (server == std::string::npos) return path;
    const auto share = path.find('\\', server + 1);
    return path.substr(0, share);
}

bool IsRooted(const std::string& path) {
    return (HasDrive(path) && path.size() >= 3 && path[2] == '\\') || (!path.empty() && path[0] == '\\');
}

InstallState& State() {
    return state;
}

void ResetInstallState() {
    state.InstallMode = InstallMode::Fresh;
    state.WizardPage = 0;
    state.InstallFolder.clear();
    state.MainFileName.clear();
    state.ExpandableInstallPath.clear();
    state.Associations.reset();
    state.SkippedEntries.clear();
    state.HeldEntries.clear();
}

void AssociationTableDeleter::operator()(FileAssociation* table) const {
    delete[] table;
}

std::string MainProgramPath() {
    return state.InstallFolder + state.MainFileName;
}

std::string IncludeTrailingDelimiter(const std::string& path) {
    return EndsWithDelimiter(path) ? path : path + '\\';
}

std::string FolderPart(const std::string& path) {
    const auto last = path.rfind('\\');
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string DefaultFolder() {
    const std::string system = IncludeTrailingDelimiter(platform::SystemDirectory());
    return DrivePart(system) + "\\" + ProductIdentity::kDefaultFolderTail;
}

std::string ApplySuffix(const std::string& folder) {
    if (folder.find(ProductIdentity::kSuffixTest) != std::string::npos) return folder;
    return folder + ProductIdentity::kSuffixHead + ProductIdentity::kVersion;
}

void ProposeFreshFolder() {
    state.InstallMode = InstallMode::Fresh;
    state.InstallFolder = ApplySuffix(IncludeTrailingDelimiter(DefaultFolder()));
}

void FolderChosen(const std::string& folder) {
    state.InstallFolder = ApplySuffix(IncludeTrailingDelimiter(folder));
}

std::string FinalFolder(const std::string& folderText) {
    return IncludeTrailingDelimiter(ApplySuffix(folderText));
}

void FinaliseFolder(const std::string& folderText) {
    state.InstallFolder = FinalFolder(folderText);
    // Not checked on purpose: a folder that cannot be made shows up as files that cannot be written.
    ForceDirectories(state.InstallFolder);
}

void InitInstallState() {
    if (FindInstalledCopy()) {
        // The mode is fixed before the path is read, so a bad stored value still leaves a reinstall.
        state.InstallMode = InstallMode::Reinstall;
        state.InstallFolder = ReadInstallPath();
    } else {
        ProposeFreshFolder();
    }
}

bool NameHeld(const std::string& path) {
    return path.find('?') == std::string::npos;
}

std::optional<std::string> FolderProblem(const std::string& folder, bool checkLength) {
    std::string why;
    if (!NameHeld(folder))
        why = "Its name has characters that this system cannot keep in a file name (shown as \"?\").";
    else if (checkLength &&
             IncludeTrailingDelimiter(folder).size() + LongestDestination() > platform::kMaxPathLength)
        why = "Its path is too long: the files below it would need paths longer than " +
              std::to_string(platform::kMaxPathLength) + " bytes.";
    else
        return std::nullopt;
    return "This folder cannot be used:\r\n" + folder + "\r\n" + why;
}

bool ForceDirectories(const std::string& folder) {
    // A relative name would depend on whatever the current folder happens to be.
    if (folder.empty() || !IsRooted(folder)) throw platform::Error("Unable to create directory");
    std::string dir = folder;
    while (EndsWithDelimiter(dir))
        dir.pop_back();
    // A drive or share is where the tree starts: it is never made.
    if (dir.size() <= DrivePart(dir).size() || platform::DirectoryExists(dir)) return true;
    const std::string parent = FolderPart(dir);
    if (!parent.empty() && !ForceDirectories(parent + '\\')) return false;
    return platform::CreateDirectory(dir);
}
