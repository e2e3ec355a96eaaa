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

// Entries of one folder follow each other in the catalogue: a folder known to exist is not looked up
// again for the next entry. Nothing is known before the first folder has been made or found.
void EnsureFolder(const std::string& folder, std::string& knownFolder) {
    if (!knownFolder.empty() && folder == knownFolder) return;
    if (platform::DirectoryExists(folder) || ForceDirectories(folder)) knownFolder = folder;
}

void ExtractEntry(unsigned number, const platform::ResourceData& data, std::string& knownFolder) {
    auto& state = State();
    const auto destination = platform::LoadResourceString(number);
    if (const auto problem = DestinationProblem(destination, state.InstallFolder)) {
        Skip(number, destination, *problem);
        return;
    }
    // Only a destination that can be installed names the main program for the steps after copying.
    if (number == 1) state.MainFileName = *destination;
    std::string path = state.InstallFolder + *destination;
    std::replace(path.begin(), path.end(), '/', '\\');
    EnsureFolder(FolderPart(path), knownFolder);
    const auto written = platform::WriteWholeFile(path, data.bytes, data.size);
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
    std::string text = "These files could not be written:";
    const std::size_t shown = std::min(skipped.size(), kReportedFiles);
    for (std::size_t i = 0; i < shown; ++i)
        text += "\r\n" + skipped[i].name + " (" + skipped[i].reason + ")";
    if (skipped.size() > shown) text += "\r\nand " + std::to_string(skipped.size() - shown) + " more";
    return text;
}

void ExtractPayload() {
    auto& ui = Services();
    ui.SetStatus("Copying program files");
    ui.PumpMessages();
    std::string knownFolder;
    ForEachEntry([&](unsigned number, const platform::ResourceData& data) {
        ExtractEntry(number, data, knownFolder);
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
