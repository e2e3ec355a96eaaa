#include "engine/RegistryRecords.h"

#include "engine/InstallState.h"
#include "engine/WizardServices.h"
#include "platform/Error.h"
#include "platform/Files.h"

using platform::RootKey;
using namespace RegistryNames;

void WriteProductKeys() {
    auto& ui = Services();
    const std::string& folder = State().InstallFolder;
    ui.SetStatus("Creating registry information");
    ui.PumpMessages();

    if (!platform::KeyExists(RootKey::LocalMachine, kMakerKey))
        platform::CreateKey(RootKey::LocalMachine, kMakerKey);
    if (!platform::KeyExists(RootKey::LocalMachine, kProductKey))
        platform::CreateKey(RootKey::LocalMachine, kProductKey);
    if (const auto key = platform::OpenKey(RootKey::LocalMachine, kProductKey))
        platform::WriteStringValue(*key, kInstallPath, folder);

    platform::CreateKey(RootKey::LocalMachine, kUninstallKey);
    if (const auto key = platform::OpenKey(RootKey::LocalMachine, kUninstallKey)) {
        platform::WriteStringValue(*key, kDisplayIcon, folder + kIconFile);
        platform::WriteStringValue(*key, kDisplayName, kDisplayNameValue);
        // Quoted, so that a folder with spaces is not split by whoever runs the command.
        platform::WriteStringValue(*key, kUninstallString, "\"" + folder + kUninstallerFile + "\"");
    }

    ui.StepProgress();
    ui.PumpMessages();
}

bool FindInstalledCopy() {
    return platform::KeyExists(RootKey::LocalMachine, kProductKeyLookup);
}

std::string ReadInstallPath() {
    const auto key = platform::OpenKey(RootKey::LocalMachine, kProductKeyLookup);
    return key ? ReadStringValue(*key, kInstallPath) : std::string();
}

std::string DecodeStringValue(const std::string& name, std::uint32_t type, const std::string& bytes) {
    if (bytes.empty()) return {};
    if (type != platform::kRegSz && type != platform::kRegExpandSz)
        throw platform::Error(platform::Format("Invalid data type for '%s'", name));
    return bytes.substr(0, bytes.find('\0'));
}

std::string ReadStringValue(const platform::RegKey& key, const std::string& name) {
    const auto raw = platform::QueryValue(key, name);
    if (!raw) return {};
    const std::string text = DecodeStringValue(name, raw->type, raw->bytes);
    return raw->type == platform::kRegExpandSz ? platform::ExpandEnvironment(text) : text;
}
