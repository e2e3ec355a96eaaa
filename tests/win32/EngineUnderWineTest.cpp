// The engine's registry records and folder rules against the real registry and file system of the
// test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/InstallState.h"
#include "engine/RegistryRecords.h"
#include "platform/Error.h"

namespace {

std::string QueryString(HKEY root, const char* path, const char* name, DWORD* type) {
    char buffer[1024] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, path, name, RRF_RT_ANY | RRF_NOEXPAND, type, buffer, &size) != ERROR_SUCCESS)
        return "<missing>";
    return buffer;
}

class RegistryInPrefix : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey);
    }
};

TEST_F(RegistryInPrefix, RecordsLandAndAreFoundAgain) {
    ResetInstallState();
    EXPECT_FALSE(FindInstalledCopy());
    State().InstallFolder = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\";
    WriteProductKeys();

    DWORD type = 0;
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, "InstallPath", &type),
              "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey, "UninstallString", &type),
              "\"C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\uninstall.exe\"");
    EXPECT_EQ(QueryString(HKEY_LOCAL_MACHINE, RegistryNames::kUninstallKey, "DisplayName", &type),
              "Pellum 3.9.8.7");

    // The start-up lookup spells the key with a trailing backslash; the registry must accept it.
    ResetInstallState();
    InitInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_EQ(State().InstallFolder, "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
}

TEST_F(RegistryInPrefix, WrongTypesAndMissingValuesAtStartUp) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, RegistryNames::kProductKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ResetInstallState();
    InitInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_EQ(State().InstallFolder, "");

    const DWORD number = 7;
    RegSetValueExA(key, "InstallPath", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    ResetInstallState();
    EXPECT_THROW(InitInstallState(), platform::Error);
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);

    SetEnvironmentVariableA("PELLUM_TEST_ROOT", "D:\\Tools");
    const char expandable[] = "%PELLUM_TEST_ROOT%\\Pellum\\";
    RegSetValueExA(key, "InstallPath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expandable),
                   sizeof expandable);
    ResetInstallState();
    InitInstallState();
    EXPECT_EQ(State().InstallFolder, "D:\\Tools\\Pellum\\");
    RegCloseKey(key);
}

TEST(FoldersInPrefix, DefaultFolderAndTreeCreation) {
    ResetInstallState();
    EXPECT_EQ(DefaultFolder(), "C:\\Program Files\\");

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string base = std::string(temp) + "pellum-folders-" + std::to_string(GetCurrentProcessId());
    FinaliseFolder(base + "\\a\\b\\");
    EXPECT_EQ(State().InstallFolder, base + "\\a\\b\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_NE(GetFileAttributesA(State().InstallFolder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_THROW(ForceDirectories("relative\\folder"), platform::Error);

    for (std::string dir = State().InstallFolder; dir.size() > base.size(); dir = FolderPart(dir))
        RemoveDirectoryA(dir.c_str());
    RemoveDirectoryA(base.c_str());
}

} // namespace
