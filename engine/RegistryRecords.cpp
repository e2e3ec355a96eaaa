#include "engine/RegistryRecords.h"

#include "engine/InstallState.h"
#include "engine/Payload.h"
#include "engine/WizardServices.h"
#include "platform/Error.h"
#include "platform/Files.h"

using platform::RootKey;
using namespace RegistryNames;

namespace {

// The rest of what the system's list of installed programs shows beside the name. The installer has
// no modify or repair mode: the list offers only removal.
void WriteListDetails(const platform::RegKey& key, const std::string& folder) {
    platform::WriteStringValue(key, kDisplayVersion, ProductIdentity::kVersion);
    platform::WriteStringValue(key, kPublisher, ProductIdentity::kMakerFolder);
    platform::WriteStringValue(key, kInstallLocation, folder);
    platform::WriteDwordValue(key, kEstimatedSize,
                              static_cast<std::uint32_t>((PayloadBytes() + 1023) / 1024));
    platform::WriteDwordValue(key, kNoModify, 1);
    platform::WriteDwordValue(key, kNoRepair, 1);
}

} // namespace

void WriteProductKeys() {
    auto& ui = Services();
    const std::string& folder = State().InstallFolder;
    ui.SetStatus("Creating registry information");
    ui.PumpMessages();

    if (!platform::KeyExists(RootKey::LocalMachine, kMakerKey))
        platform::CreateKey(RootKey::LocalMachine, kMakerKey);
    if (!platform::KeyExists(RootKey::LocalMachine, kProductKey))
        platform::CreateKey(RootKey::LocalMachine, kProductKey);
    if (const auto key = platform::OpenKey(RootKey::LocalMachine, kProductKey)) {
        // A stored expandable path goes back as it was, not as the folder it expanded to.
        const std::string& expandable = State().ExpandableInstallPath;
        if (expandable.empty())
            platform::WriteStringValue(*key, kInstallPath, folder);
        else
            platform::WriteStringValue(*key, kInstallPath, expandable, platform::kRegExpandSz);
    }

    platform::CreateKey(RootKey::LocalMachine, kUninstallKey);
    if (const auto key = platform::OpenKey(RootKey::LocalMachine, kUninstallKey)) {
        platform::WriteStringValue(*key, kDisplayIcon, MainProgramPath());
        platform::WriteStringValue(*key, kDisplayName, kDisplayNameValue);
        // Quoted, so that a folder with spaces is not split by whoever runs the command.
        platform::WriteStringValue(*key, kUninstallString, "\"" + folder + kUninstallerFile + "\"");
        WriteListDetails(*key, folder);
    }

    ui.StepProgress();
    ui.PumpMessages();
}

bool FindInstalledCopy() {
    return platform::KeyExists(RootKey::LocalMachine, kProductKeyLookup);
}

std::string ReadInstallPath() {
    const auto key = platform::OpenKeyForReading(RootKey::LocalMachine, kProductKeyLookup);
    if (!key) return {};
    const StoredString stored = ReadStoredString(*key, kInstallPath);
    if (!stored.expandable) return stored.text;
    State().ExpandableInstallPath = stored.text;
    return platform::ExpandEnvironment(stored.text);
}

std::string DecodeStringValue(const std::string& name, std::uint32_t type, const std::string& bytes) {
    if (bytes.empty()) return {};
    if (type != platform::kRegSz && type != platform::kRegExpandSz)
        throw platform::Error(platform::Format("Invalid data type for '%s'", name));
    return bytes.substr(0, bytes.find('\0'));
}

StoredString ReadStoredString(const platform::RegKey& key, const std::string& name) {
    const auto raw = platform::QueryValue(key, name);
    if (!raw) return {};
    return {DecodeStringValue(name, raw->type, raw->bytes), raw->type == platform::kRegExpandSz};
}

std::string ReadStringValue(const platform::RegKey& key, const std::string& name) {
    const StoredString stored = ReadStoredString(key, name);
    return stored.expandable ? platform::ExpandEnvironment(stored.text) : stored.text;
}
