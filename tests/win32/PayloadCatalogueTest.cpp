// The built Setup.exe against its payload folder: every catalogue entry is carried with the folder's
// bytes and its destination, nothing beyond it, and extraction writes exactly those files.
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/InstallState.h"
#include "engine/Payload.h"
#include "engine/WizardServices.h"
#include "platform/Resources.h"

namespace {

struct CatalogueEntry {
    const char* destination;
    std::size_t size;
};

// resources/payload.catalogue as the installer must see it.
constexpr CatalogueEntry kCatalogue[] = {
    {"TorvekKel3.exe", 4811776},
    {"Licence.txt", 1439},
    {"Uninstall.exe", 500736},
    {"Data/wadescp.db", 409348},
    {"Data/wb.kelwb", 4505},
    {"Help/TorvekKELHelp.pdf", 1010393},
    {"Examples/ExampleProjectMasm1/Button.asm", 4322},
    {"Examples/ExampleProjectMasm1/Button.inc", 1596},
    {"Examples/ExampleProjectMasm1/Windows.inc", 958777},
    {"Examples/ExampleProjectMasm1/MASM_Example1.kelp", 109},
    {"Examples/ExampleProjectMasm1/WorkModules/Kernel32.lib", 687536},
    {"Examples/ExampleProjectMasm1/WorkModules/User32.lib", 570194},
    {"Examples/ExampleProjectMasm2/Button.asm", 4330},
    {"Examples/ExampleProjectMasm2/menu.asm", 6648},
    {"Examples/ExampleProjectMasm2/menu.inc", 2376},
    {"Examples/ExampleProjectMasm2/MASM_EXAMPLE2.kelp", 110},
    {"Examples/ExampleProjectMasm2/menu.rc", 770},
    {"Examples/ExampleProjectMasm2/WorkModules/Kernel32.lib", 687536},
    {"Examples/ExampleProjectMasm2/WorkModules/User32.lib", 570194},
    {"Examples/ExampleProjectMasm2/WorkModules/menu.RES", 480},
    {"Examples/ExampleProjectTasm1/Button.asm", 4216},
    {"Examples/ExampleProjectTasm1/Button.inc", 1563},
    {"Examples/ExampleProjectTasm1/TASM_Example1.kelp", 94},
    {"Examples/ExampleProjectTasm1/WorkModules/Import32.lib", 310272},
    {"Examples/ExampleProjectTasm2/menu.asm", 6553},
    {"Examples/ExampleProjectTasm2/menu.inc", 2325},
    {"Examples/ExampleProjectTasm2/menu.rc", 769},
    {"Examples/ExampleProjectTasm2/TASM_EXAMPLE2.kelp", 94},
    {"Examples/ExampleProjectTasm2/WorkModules/Import32.lib", 310272},
    {"Examples/ExampleProjectTasm2/WorkModules/menu.RES", 480},
    {"CliModules/TASM.asm", 133},
    {"CliModules/MASM.asm", 803},
};
constexpr unsigned kEntries = sizeof kCatalogue / sizeof kCatalogue[0];

std::string Backslashed(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string PayloadFile(const CatalogueEntry& entry) {
    return ReadWholeFile(std::string(TEST_PAYLOAD_DIR) + "\\" + Backslashed(entry.destination));
}

std::string ThisProgram() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

class CountingServices : public WizardServices {
public:
    void SetStatus(const std::string&) override {}
    void StepProgress() override { ++steps; }
    void PumpMessages() override {}
    void ErrorDialog(const std::string& text) override { dialogs.push_back(text); }
    ConfirmAnswer Confirm(const std::string& text) override {
        dialogs.push_back(text);
        return ConfirmAnswer::Yes;
    }

    int steps = 0;
    std::vector<std::string> dialogs;
};

// Reads Setup.exe's resources; afterwards this program's own again, as the other cases expect.
class PayloadCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override { platform::UseResourceModule(TEST_SETUP_EXE); }
    void TearDown() override {
        AttachWizardServices(nullptr);
        ResetInstallState();
        platform::UseResourceModule(ThisProgram());
        if (!installFolder.empty()) std::filesystem::remove_all(installFolder);
    }

    std::string FreshInstallFolder() {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("PayloadCatalogueTest-" + std::to_string(::GetCurrentProcessId()));
        installFolder = folder.string() + "\\";
        std::filesystem::remove_all(installFolder);
        return installFolder;
    }

    std::string installFolder;
};

TEST_F(PayloadCatalogueTest, SetupCarriesEachEntryWithThePayloadBytesAndItsDestination) {
    for (unsigned number = 1; number <= kEntries; ++number) {
        const CatalogueEntry& entry = kCatalogue[number - 1];
        SCOPED_TRACE(entry.destination);
        const auto data = platform::FindDataResource("File" + std::to_string(number));
        ASSERT_TRUE(data.has_value());
        ASSERT_EQ(entry.size, data->size);
        EXPECT_TRUE(PayloadFile(entry) ==
                    std::string(reinterpret_cast<const char*>(data->bytes), data->size));
        EXPECT_EQ(entry.destination, platform::LoadResourceString(number).value_or("<missing>"));
    }
    EXPECT_FALSE(platform::FindDataResource("File" + std::to_string(kEntries + 1)).has_value());
    EXPECT_FALSE(platform::LoadResourceString(kEntries + 1).has_value());
}

TEST_F(PayloadCatalogueTest, ExtractionWritesExactlyTheCatalogueBelowTheInstallFolder) {
    ResetInstallState();
    State().InstallFolder = FreshInstallFolder();
    CountingServices services;
    AttachWizardServices(&services);

    ExtractPayload();

    EXPECT_EQ(static_cast<int>(kEntries), services.steps);
    EXPECT_TRUE(services.dialogs.empty());
    EXPECT_EQ("TorvekKel3.exe", State().MainFileName);
    EXPECT_TRUE(State().SkippedEntries.empty());
    unsigned files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(installFolder))
        files += item.is_regular_file() ? 1 : 0;
    EXPECT_EQ(kEntries, files);
    for (const CatalogueEntry& entry : kCatalogue) {
        SCOPED_TRACE(entry.destination);
        const std::string written = ReadWholeFile(installFolder + Backslashed(entry.destination));
        EXPECT_EQ(entry.size, written.size());
        EXPECT_TRUE(PayloadFile(entry) == written);
    }
}

} // namespace
