#include "engine/Payload.h"

#include <algorithm>
#include <cstdint>

#include "engine/InstallState.h"
#include "engine/WizardServices.h"
#include "platform/Files.h"
#include "platform/Resources.h"

namespace {

bool HasParentStep(const std::string& destination) {
    std::size_t start = 0;
    while (start <= destination.size()) {
        const auto end = destination.find_first_of("/\\", start);
        const auto part =
            destination.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part == "..") return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

void Skip(unsigned number, const std::string& destination, const std::string& reason) {
    State().SkippedEntries.push_back({number, destination, reason});
}

void WriteEntry(unsigned number, const std::string& path, const platform::ResourceData& data) {
    switch (platform::WriteWholeFile(path, data.bytes, data.size)) {
    case platform::WriteOutcome::Written: return;
    case platform::WriteOutcome::NotCreated: Skip(number, path, "the file could not be created"); return;
    case platform::WriteOutcome::Incomplete:
        // Never leave a truncated file behind that looks installed.
        platform::DeleteFile(path);
        Skip(number, path, "the file could not be written completely");
        return;
    }
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
    if (number == 1) state.MainFileName = destination.value_or("");
    if (const auto problem = DestinationProblem(destination, state.InstallFolder)) {
        Skip(number, destination.value_or("entry " + std::to_string(number)), *problem);
        return;
    }
    std::string path = state.InstallFolder + *destination;
    std::replace(path.begin(), path.end(), '/', '\\');
    EnsureFolder(FolderPart(path), knownFolder);
    WriteEntry(number, path, data);
}

} // namespace

std::optional<std::string> DestinationProblem(const std::optional<std::string>& destination,
                                              const std::string& installFolder) {
    if (!destination || destination->empty()) return "no destination is recorded for it";
    const std::string& name = *destination;
    if (name.front() == '/' || name.front() == '\\') return "its destination is an absolute path";
    if (name.find(':') != std::string::npos) return "its destination names a drive";
    if (HasParentStep(name)) return "its destination leaves the install folder";
    if (name.back() == '/' || name.back() == '\\') return "its destination names no file";
    if (installFolder.size() + name.size() > kMaxPathLength) return "its path is longer than 255 characters";
    return std::nullopt;
}

void ExtractPayload() {
    auto& ui = Services();
    ui.SetStatus("Copying program files");
    ui.PumpMessages();
    std::string knownFolder;
    // The catalogue ends at the first missing entry. The counter is 8-bit: it stops when it wraps
    // rather than starting over at a "File0".
    for (std::uint8_t number = 1; number != 0; ++number) {
        const auto data = platform::FindDataResource("File" + std::to_string(number));
        if (!data) break;
        ExtractEntry(number, *data, knownFolder);
        ui.StepProgress();
        ui.PumpMessages();
    }
}
