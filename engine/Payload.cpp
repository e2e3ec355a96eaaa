#include "engine/Payload.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

#include "engine/InstallState.h"
#include "engine/WizardServices.h"
#include "platform/Files.h"
#include "platform/Resources.h"

namespace {

// Names Windows keeps for devices, with or without an extension: writing "con.txt" would write to the
// console, not to a file.
bool IsDeviceName(const std::string& part) {
    std::string stem = part.substr(0, part.find('.'));
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    const bool numbered = stem.size() == 4 && stem[3] >= '1' && stem[3] <= '9';
    return numbered && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0);
}

// Control characters and the ones Windows refuses in a name; ";" as well, which the build uses to
// separate file lists, so no catalogue can carry it.
bool IsForbiddenCharacter(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code < 0x20 || code == 0x7F || std::string_view("<>:\"|?*;").find(c) != std::string_view::npos;
}

std::optional<std::string> PartProblem(const std::string& part) {
    if (part == "..") return "its destination has a \"..\" part";
    if (part.empty() || part == ".") return "its destination has an empty or \".\" part";
    if (std::any_of(part.begin(), part.end(), IsForbiddenCharacter))
        return "its destination holds a character not allowed in a file name";
    if (part.back() == ' ' || part.back() == '.')
        return "its destination has a part ending in a space or a dot";
    if (IsDeviceName(part)) return "its destination uses a device name";
    return std::nullopt;
}

bool NamesDrive(const std::string& name) {
    return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

// How the report names an entry: its destination below the install folder, as Windows writes it.
std::string ShownName(unsigned number, const std::optional<std::string>& destination) {
    if (!destination || destination->empty()) return "entry " + std::to_string(number);
    std::string name = *destination;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

std::string ReasonOf(const platform::WriteResult& result) {
    std::string reason;
    switch (result.failure) {
    case platform::WriteFailure::None: return {};
    case platform::WriteFailure::ReadOnly: reason = "read-only"; break;
    case platform::WriteFailure::InUse: reason = "in use by another program"; break;
    case platform::WriteFailure::DiskFull: reason = "disk full"; break;
    case platform::WriteFailure::AccessDenied: reason = "access denied"; break;
    case platform::WriteFailure::NoFolder: reason = "its folder could not be made"; break;
    case platform::WriteFailure::PathTooLong: reason = "its path is too long to replace it safely"; break;
    case platform::WriteFailure::Other: reason = "it could not be written"; break;
    }
    return result.existed ? reason + "; the older copy is kept" : reason;
}

void Skip(unsigned number, const std::optional<std::string>& destination, const std::string& reason) {
    State().SkippedEntries.push_back({number, ShownName(number, destination), reason});
}

// Refusals that end when another program lets go of the file: a scanner reading a file just written,
// a program that is closing. Tried again kRetries times, kRetryPause apart: about two seconds in all.
constexpr unsigned kRetryPause = 500;
constexpr int kRetries = 4;

// Up to kReportedFiles lines, then how many more: the boxes and the report list files alike.
std::string Listed(const std::vector<std::string>& lines) {
    std::string text;
    const std::size_t shown = std::min(lines.size(), kReportedFiles);
    for (std::size_t i = 0; i < shown; ++i)
        text += "\r\n" + lines[i];
    if (lines.size() > shown) text += "\r\nand " + std::to_string(lines.size() - shown) + " more";
    return text;
}

std::string DestinationPath(const std::string& destination) {
    std::string path = State().InstallFolder + destination;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// What one extraction knows as it goes.
struct Extraction {
    // Entries of one folder follow each other in the catalogue: a folder known to exist is not looked
    // up again for the next entry. Nothing is known before the first folder has been made or found.
    std::string knownFolder;
    // A refusal that outlasts its retries is the folder's rights, not a scanner: later ones are not
    // waited for, or a folder we may not write would cost two seconds a file.
    bool waitOnDenial = true;
};

void EnsureFolder(const std::string& folder, std::string& knownFolder) {
    if (!knownFolder.empty() && folder == knownFolder) return;
    if (platform::DirectoryExists(folder) || ForceDirectories(folder)) knownFolder = folder;
}

// A temporary copy (or an incomplete new file) that another program opened as soon as it was written
// is deleted once that program lets go; false when it keeps it past the waits.
bool RemoveLeftover(const std::string& path) {
    for (int retry = 0; !path.empty() && !platform::RemoveFile(path); ++retry) {
        if (retry == kRetries) return false;
        Services().Wait(kRetryPause);
    }
    return true;
}

// WriteResult::leftover stays set only for a copy that could not be deleted.
platform::WriteResult WriteOnce(const std::string& path, const platform::ResourceData& data) {
    platform::WriteResult written = platform::WriteWholeFile(path, data.bytes, data.size);
    if (RemoveLeftover(written.leftover)) written.leftover.clear();
    return written;
}

bool LeftHeld(unsigned number) {
    const auto& held = State().HeldEntries;
    return std::find(held.begin(), held.end(), number) != held.end();
}

// A file the user left to the program holding it is tried once; read-only files, full disks and
// missing folders do not change by waiting; nor is a write tried again whose copy could not be
// deleted: another try would leave another.
platform::WriteResult WriteEntry(unsigned number, const std::string& path, const platform::ResourceData& data,
                                 Extraction& run) {
    platform::WriteResult written = WriteOnce(path, data);
    auto mayPass = [&] {
        return written.leftover.empty() && (written.failure == platform::WriteFailure::InUse ||
                                            (written.failure == platform::WriteFailure::AccessDenied && run.waitOnDenial));
    };
    for (int retry = 0; retry < kRetries && !LeftHeld(number) && mayPass(); ++retry) {
        Services().Wait(kRetryPause);
        written = WriteOnce(path, data);
    }
    if (written.failure == platform::WriteFailure::AccessDenied) run.waitOnDenial = false;
    return written;
}

void ExtractEntry(unsigned number, const platform::ResourceData& data, Extraction& run) {
    auto& state = State();
    const auto destination = platform::LoadResourceString(number);
    if (const auto problem = DestinationProblem(destination, state.InstallFolder)) {
        Skip(number, destination, *problem);
        return;
    }
    // Only a destination that can be installed names the main program for the steps after copying.
    if (number == 1) state.MainFileName = *destination;
    const std::string path = DestinationPath(*destination);
    EnsureFolder(FolderPart(path), run.knownFolder);
    const auto written = WriteEntry(number, path, data, run);
    if (written.failure != platform::WriteFailure::None) Skip(number, destination, ReasonOf(written));
}

// Every entry of the catalogue in order. The catalogue ends at the first missing entry; the counter is
// 8-bit: it stops when it wraps rather than starting over at a "File0".
template <typename Visit> void ForEachEntry(Visit visit) {
    for (std::uint8_t number = 1; number != 0; ++number) {
        const auto data = platform::FindDataResource("File" + std::to_string(number));
        if (!data) return;
        visit(number, *data);
    }
}

// ---- before the copy ----

const char kShortDiskCaption[] = "Not enough disk space";
const char kHeldCaption[] = "Files in use";

// A payload file as the checks before the copy see it: every entry whose destination can be installed.
struct Target {
    unsigned number;
    std::string name; // as the report names it
    std::string path;
    std::uint64_t size;        // of the new file
    bool existed;              // a file is there already...
    std::uint64_t oldSize;     // ...of this size
};

std::vector<Target> Targets() {
    std::vector<Target> targets;
    ForEachEntry([&](unsigned number, const platform::ResourceData& data) {
        const auto destination = platform::LoadResourceString(number);
        if (DestinationProblem(destination, State().InstallFolder)) return;
        std::string path = DestinationPath(*destination);
        const auto oldSize = platform::FileSize(path);
        targets.push_back({number, ShownName(number, destination), std::move(path), data.size,
                           oldSize.has_value(), oldSize.value_or(0)});
    });
    return targets;
}

// New files in full; for a file already there its growth, and once the temporary copy of the largest
// of them, which stands beside its old file until it replaces it.
std::uint64_t SpaceNeeded(const std::vector<Target>& targets) {
    std::uint64_t needed = 0, largestReplaced = 0;
    for (const Target& target : targets) {
        if (!target.existed) {
            needed += target.size;
            continue;
        }
        if (target.size > target.oldSize) needed += target.size - target.oldSize;
        largestReplaced = std::max(largestReplaced, target.size);
    }
    return needed + largestReplaced;
}

// The install folder, or the nearest folder above it that exists: a mount point or a network share on
// the way counts as the volume it is, not as the drive it hangs from.
std::string VolumeFolder(const std::string& installFolder) {
    std::string folder = installFolder.substr(0, installFolder.find_last_not_of('\\') + 1);
    const std::size_t drive = DrivePart(folder).size();
    while (folder.size() > drive && !platform::DirectoryExists(folder))
        folder = FolderPart(folder);
    return IncludeTrailingDelimiter(folder);
}

// Megabytes of 2^20 bytes with one decimal. Needed space is rounded up and free space down, so a short
// disk never shows two equal figures.
std::string Megabytes(std::uint64_t bytes, bool roundUp) {
    constexpr std::uint64_t kMegabyte = 1 << 20;
    const std::uint64_t tenths = (bytes * 10 + (roundUp ? kMegabyte - 1 : 0)) / kMegabyte;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

std::string ShortDiskText(std::uint64_t needed, std::uint64_t free) {
    const bool fresh = State().InstallMode == InstallMode::Fresh;
    return "There is not enough free space on the drive of\r\n" + State().InstallFolder +
           "\r\n\r\nNeeded: " + Megabytes(needed, true) + "\r\nFree: " + Megabytes(free, false) +
           "\r\n\r\nMake room and press Retry, or press Cancel" +
           (fresh ? " to choose another folder." : " to stop the installation.");
}

// A drive that cannot tell its free space does not hold the copy up: the report after copying still
// names what did not fit. The files are looked at again for each new measure (the user may have
// deleted some).
CopyStart CheckSpace(std::vector<Target>& targets) {
    auto& ui = Services();
    for (;; targets = Targets()) {
        const std::uint64_t needed = SpaceNeeded(targets);
        const auto free = platform::FreeDiskSpace(VolumeFolder(State().InstallFolder));
        if (!free || *free >= needed) return CopyStart::Go;
        if (ui.RetryBox(kShortDiskCaption, ShortDiskText(needed, *free), false) == RetryAnswer::Retry) continue;
        if (State().InstallMode == InstallMode::Fresh) return CopyStart::OtherFolder;
        if (ui.CancelConfirmed()) return CopyStart::Stop;
    }
}

bool Held(const Target& target) {
    return target.existed && platform::CheckReplaceable(target.path) == platform::WriteFailure::InUse;
}

// The files already there that another program holds; one that lets go within the retries' time (a
// scanner, a program that is closing) is not held.
std::vector<const Target*> HeldTargets(const std::vector<Target>& targets) {
    std::vector<const Target*> held;
    for (const Target& target : targets)
        if (Held(target)) held.push_back(&target);
    for (int retry = 0; retry < kRetries && !held.empty(); ++retry) {
        Services().Wait(kRetryPause);
        held.erase(std::remove_if(held.begin(), held.end(), [](const Target* target) { return !Held(*target); }),
                   held.end());
    }
    return held;
}

std::string HeldFilesText(const std::vector<const Target*>& held) {
    std::vector<std::string> names, paths;
    for (const Target* target : held) {
        names.push_back(target->name);
        paths.push_back(target->path);
    }
    std::string text = "These files are in use by another program:" + Listed(names);
    const auto programs = platform::ProgramsHolding(paths);
    if (!programs.empty()) text += "\r\n\r\nUsed by:" + Listed(programs);
    return text + "\r\n\r\nClose the program and press Retry. Ignore installs the other files and keeps the "
                  "older versions of these.";
}

CopyStart CheckHeldFiles(std::vector<Target>& targets) {
    auto& ui = Services();
    for (;; targets = Targets()) {
        const auto held = HeldTargets(targets);
        if (held.empty()) return CopyStart::Go;
        const std::string text = HeldFilesText(held);
        RetryAnswer answer;
        while ((answer = ui.RetryBox(kHeldCaption, text, true)) == RetryAnswer::Cancel)
            if (ui.CancelConfirmed()) return CopyStart::Stop;
        if (answer == RetryAnswer::Retry) continue;
        for (const Target* target : held)
            State().HeldEntries.push_back(target->number);
        return CopyStart::Go;
    }
}

} // namespace

// The same rules, in the same order, as the build's catalogue reader (tools/payload_catalogue.py); both
// pass the cases in tests/data/destinations.txt.
std::optional<std::string> DestinationProblem(const std::optional<std::string>& destination,
                                              const std::string& installFolder) {
    if (!destination) return "no destination is recorded for it";
    const std::string& name = *destination;
    if (name.empty()) return "its destination is empty";
    if (installFolder.size() + name.size() > platform::kMaxPathLength)
        return "its path is longer than 255 bytes";
    if (name.front() == '/' || name.front() == '\\') return "its destination is absolute";
    if (NamesDrive(name)) return "its destination names a drive";
    if (name.find('\\') != std::string::npos) return "its destination uses \"\\\" between folders, not \"/\"";
    std::size_t start = 0;
    for (;;) {
        const auto end = name.find('/', start);
        if (const auto problem = PartProblem(name.substr(start, end - start))) return problem;
        if (end == std::string::npos) return std::nullopt;
        start = end + 1;
    }
}

std::string SkippedFilesReport(const std::vector<SkippedEntry>& skipped) {
    if (skipped.empty()) return {};
    std::vector<std::string> lines;
    for (const SkippedEntry& entry : skipped)
        lines.push_back(entry.name + " (" + entry.reason + ")");
    return "These files could not be written:" + Listed(lines);
}

void ExtractPayload() {
    auto& ui = Services();
    ui.SetStatus("Copying program files");
    ui.PumpMessages();
    Extraction run;
    ForEachEntry([&](unsigned number, const platform::ResourceData& data) {
        ExtractEntry(number, data, run);
        ui.StepProgress();
        ui.PumpMessages();
    });
}

std::size_t LongestDestination() {
    std::size_t longest = 0;
    ForEachEntry([&](unsigned number, const platform::ResourceData&) {
        if (const auto destination = platform::LoadResourceString(number))
            longest = std::max(longest, destination->size());
    });
    return longest;
}

std::uint64_t PayloadBytes() {
    std::uint64_t total = 0;
    ForEachEntry([&](unsigned, const platform::ResourceData& data) { total += data.size; });
    return total;
}

CopyStart CheckBeforeCopy() {
    State().HeldEntries.clear();
    // An unrooted folder is refused when extraction makes it, before any file is written.
    if (!IsRooted(State().InstallFolder)) return CopyStart::Go;
    std::vector<Target> targets = Targets();
    const CopyStart space = CheckSpace(targets);
    return space == CopyStart::Go ? CheckHeldFiles(targets) : space;
}
