#include <gtest/gtest.h>

#include "engine/InstallState.h"
#include "engine/Payload.h"
#include "engine/RegistryRecords.h"
#include "platform/Error.h"
#include "tests/unit/FakePlatform.h"

namespace {

const std::string kProduct = "HKLM\\Software\\Torvek\\Pellum 3.9.8.7";
const std::string kUninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Torvek KEL 3.9.8.7";

std::string Text(const fake::Value* value) {
    return value ? value->bytes.substr(0, value->bytes.find('\0')) : "<missing>";
}

class RegistryRecords : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        State().InstallFolder = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\";
        State().MainFileName = "TorvekKel3.exe"; // as extraction left it
        AttachWizardServices(&ui);
    }
    void TearDown() override {
        AttachWizardServices(nullptr);
        EXPECT_EQ(world.openKeys, 0) << "a key was left open";
    }
    fake::RecordingServices ui;
    fake::World& world = fake::TheWorld();
};

std::uint32_t Dword(const fake::Value* value) {
    if (!value || value->type != platform::kRegDword || value->bytes.size() != 4) return 0xFFFFFFFF;
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | static_cast<unsigned char>(value->bytes[i]);
    return number;
}

TEST_F(RegistryRecords, WritesTheProductKeyAndTheUninstallEntry) {
    fake::AddEntry(1, "TorvekKel3.exe", std::string(2048, 'm'));
    fake::AddEntry(2, "Licence.txt", "x"); // 2049 bytes: 3 KB, rounded up
    WriteProductKeys();
    EXPECT_EQ(Text(fake::FindValue(kProduct, "InstallPath")), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "DisplayIcon")),
              "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\TorvekKel3.exe");
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "DisplayName")), "Pellum 3.9.8.7");
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "UninstallString")),
              "\"C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\uninstall.exe\"");
    EXPECT_EQ(fake::FindValue(kUninstall, "DisplayName")->type, platform::kRegSz);
    // What the system's list of programs shows beside the name.
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "DisplayVersion")), "3.9.8.7");
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "Publisher")), "Torvek");
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "InstallLocation")), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_EQ(Dword(fake::FindValue(kUninstall, "EstimatedSize")), 3u);
    EXPECT_EQ(Dword(fake::FindValue(kUninstall, "NoModify")), 1u);
    EXPECT_EQ(Dword(fake::FindValue(kUninstall, "NoRepair")), 1u);
    EXPECT_EQ(ui.statuses, std::vector<std::string>{"Creating registry information"});
    EXPECT_EQ(ui.steps, 1);
    EXPECT_EQ(ui.pumps, 2) << "after the status and after the step";
}

// Another program's maker key that this user may read but not write is left as it is: only the
// product key is created below it.
TEST_F(RegistryRecords, AnExistingMakerKeyIsNotCreatedAgain) {
    world.registry["HKLM\\Software\\Torvek"].fullAccess = false;
    WriteProductKeys();
    EXPECT_EQ(Text(fake::FindValue(kProduct, "InstallPath")), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
}

TEST_F(RegistryRecords, SiblingKeysOfTheMakerAreLeftAlone) {
    fake::SetString("HKLM\\Software\\Torvek\\Other Tool", "Path", "D:\\Other");
    fake::SetString("HKLM\\Software\\Torvek", "Owner", "someone");
    WriteProductKeys();
    EXPECT_EQ(Text(fake::FindValue("HKLM\\Software\\Torvek\\Other Tool", "Path")), "D:\\Other");
    EXPECT_EQ(Text(fake::FindValue("HKLM\\Software\\Torvek", "Owner")), "someone");
    EXPECT_TRUE(FindInstalledCopy());
}

TEST_F(RegistryRecords, AKeyThatCannotBeCreatedEndsTheStepWithItsPath) {
    world.uncreatableKeys.insert(kProduct);
    EXPECT_EQ(fake::ErrorOf(WriteProductKeys), "Failed to create key Software\\Torvek\\Pellum 3.9.8.7");
    EXPECT_FALSE(fake::FindValue(kUninstall, "DisplayName"));
    EXPECT_EQ(ui.steps, 0);

    fake::Reset();
    State().InstallFolder = "C:\\X\\";
    world.uncreatableKeys.insert(kUninstall);
    EXPECT_EQ(
        fake::ErrorOf(WriteProductKeys),
        "Failed to create key Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Torvek KEL 3.9.8.7");
    EXPECT_EQ(Text(fake::FindValue(kProduct, "InstallPath")), "C:\\X\\");
}

TEST_F(RegistryRecords, AKeyThatOpensOnlyForReadingIsSkippedSilently) {
    world.registry[kProduct].fullAccess = false;
    WriteProductKeys();
    EXPECT_FALSE(fake::FindValue(kProduct, "InstallPath"));
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "DisplayName")), "Pellum 3.9.8.7");
    EXPECT_EQ(ui.steps, 1);
}

TEST_F(RegistryRecords, AKeyHiddenEvenFromReadingCannotBeCreatedAgain) {
    world.registry[kUninstall].openable = false;
    EXPECT_EQ(
        fake::ErrorOf(WriteProductKeys),
        "Failed to create key Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Torvek KEL 3.9.8.7");
    EXPECT_EQ(Text(fake::FindValue(kProduct, "InstallPath")), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
}

TEST_F(RegistryRecords, AValueThatCannotBeWrittenNamesTheValue) {
    world.registry[kUninstall].writable = false;
    EXPECT_EQ(fake::ErrorOf(WriteProductKeys), "Failed to set data for 'DisplayIcon'");
}

// The size is the whole catalogue's, in KB rounded up: exactly 1024 bytes is 1 KB, one more is 2.
TEST_F(RegistryRecords, TheEstimatedSizeCountsEveryEntryRoundedUpToAKilobyte) {
    fake::AddEntry(1, "a", std::string(1000, 'a'));
    fake::AddEntry(2, "b", std::string(24, 'b'));
    WriteProductKeys();
    EXPECT_EQ(Dword(fake::FindValue(kUninstall, "EstimatedSize")), 1u);
    fake::AddEntry(3, "c", "c");
    WriteProductKeys();
    EXPECT_EQ(Dword(fake::FindValue(kUninstall, "EstimatedSize")), 2u);
    EXPECT_EQ(PayloadBytes(), 1025u);
}

TEST_F(RegistryRecords, InstalledCopyIsTheProductKeyEvenWithoutAPath) {
    EXPECT_FALSE(FindInstalledCopy());
    EXPECT_EQ(ReadInstallPath(), "");
    world.registry[kProduct].openable = false;
    EXPECT_EQ(ReadInstallPath(), "") << "a key that cannot be opened reads as empty";
    world.registry.erase(kProduct);
    world.registry[kProduct];
    EXPECT_TRUE(FindInstalledCopy());
    EXPECT_EQ(ReadInstallPath(), "");
}

TEST_F(RegistryRecords, InstallPathIsReadSafelyWhateverIsStored) {
    auto& values = world.registry[kProduct].values;
    values["InstallPath"] = {platform::kRegSz, "D:\\Pellum\\"}; // no terminating NUL
    EXPECT_EQ(ReadInstallPath(), "D:\\Pellum\\");
    values["InstallPath"] = {platform::kRegSz, std::string("D:\\A\\\0garbage", 13)};
    EXPECT_EQ(ReadInstallPath(), "D:\\A\\");
    values["InstallPath"] = {platform::kRegSz, std::string(5000, 'p')};
    EXPECT_EQ(ReadInstallPath().size(), 5000u);
    values["InstallPath"] = {platform::kRegBinary, ""}; // zero length reads as empty, whatever its type
    EXPECT_EQ(ReadInstallPath(), "");
    values["InstallPath"] = {platform::kRegMultiSz, std::string("a\0b\0\0", 5)};
    EXPECT_THROW(ReadInstallPath(), platform::Error);
}

// Used expanded, written back on reinstall as it was stored: the same text and type.
TEST_F(RegistryRecords, ExpandableInstallPathIsExpandedForUseAndKeptAsStored) {
    world.environment["ProgramFiles"] = "C:\\Program Files";
    world.registry[kProduct].values["InstallPath"] = {platform::kRegExpandSz,
                                                      std::string("%ProgramFiles%\\T\\\0", 18)};
    InitInstallState();
    EXPECT_EQ(State().InstallFolder, "C:\\Program Files\\T\\");
    WriteProductKeys();
    const fake::Value* stored = fake::FindValue(kProduct, "InstallPath");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, platform::kRegExpandSz);
    EXPECT_EQ(Text(stored), "%ProgramFiles%\\T\\");
    EXPECT_EQ(Text(fake::FindValue(kUninstall, "DisplayIcon")), "C:\\Program Files\\T\\TorvekKel3.exe");
}

TEST_F(RegistryRecords, APercentSignInAPlainStringStaysLiteral) {
    world.environment["ProgramFiles"] = "C:\\Program Files";
    fake::SetString(kProduct, "InstallPath", "D:\\%ProgramFiles%\\");
    InitInstallState();
    EXPECT_EQ(State().InstallFolder, "D:\\%ProgramFiles%\\");
    WriteProductKeys();
    EXPECT_EQ(fake::FindValue(kProduct, "InstallPath")->type, platform::kRegSz);
    EXPECT_EQ(Text(fake::FindValue(kProduct, "InstallPath")), "D:\\%ProgramFiles%\\");
}

// Detection and the stored folder need only the right to read the key.
TEST_F(RegistryRecords, AProductKeyThatOpensOnlyForReadingIsAnInstalledCopy) {
    fake::SetString(kProduct, "InstallPath", "D:\\Tools\\");
    world.registry[kProduct].fullAccess = false;
    InitInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_EQ(State().InstallFolder, "D:\\Tools\\");
}

TEST_F(RegistryRecords, ASecondRunFindsTheCopyAndKeepsItsFolder) {
    WriteProductKeys();
    ResetInstallState();
    InitInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_EQ(State().InstallFolder, "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
    WriteProductKeys();
    EXPECT_EQ(Text(fake::FindValue(kProduct, "InstallPath")), "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
}

} // namespace
