#include <gtest/gtest.h>

#include "engine/InstallState.h"
#include "engine/Shortcuts.h"
#include "platform/Error.h"
#include "platform/Registry.h"
#include "tests/unit/FakePlatform.h"

namespace {

const std::string kFolder = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\";
const std::string kPrograms = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kGroup = kPrograms + "\\Torvek\\Torvek Pellum 3.9.8.7\\";
const std::string kDesktop = "C:\\Users\\ann\\Desktop";
const std::string kCommonFolders =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kUserFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::AddFolderTree(kFolder + "Help");
        fake::AddFolderTree(kPrograms);
        fake::AddFolderTree(kDesktop);
        fake::SetString(kCommonFolders, "Common Programs", kPrograms);
        fake::SetString(kUserFolders, "Desktop", kDesktop);
        world.files[kFolder + "TorvekKel3.exe"] = "MZ";
        world.files[kFolder + "Help\\TorvekKELHelp.pdf"] = "%PDF-1.5";
        State().InstallFolder = kFolder;
        State().MainFileName = "TorvekKel3.exe";
        AttachWizardServices(&ui);
    }
    void TearDown() override {
        AttachWizardServices(nullptr);
        EXPECT_EQ(world.openKeys, 0);
    }
    const fake::World::Link& Link(const std::string& path) { return world.links.at(path); }
    fake::RecordingServices ui;
    fake::World& world = fake::TheWorld();
};

TEST_F(Shortcuts, TheGroupHoldsThreeLinksWithTheirExactNamesAndTargets) {
    world.shellCommonPrograms = "C:\\Shell"; // asked only when the registry does not say
    CreateProgramGroup();
    EXPECT_TRUE(world.folders.count(kPrograms + "\\Torvek\\Torvek Pellum 3.9.8.7"));
    ASSERT_EQ(world.links.size(), 3u);
    EXPECT_EQ(Link(kGroup + "Torvek Pellum.lnk").target, kFolder + "TorvekKel3.exe");
    EXPECT_EQ(Link(kGroup + "Torvek Pellum.lnk").workingDirectory,
              "C:\\Program Files\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(Link(kGroup + "Uninstall.lnk").target, kFolder + "Uninstall.exe");
    EXPECT_EQ(Link(kGroup + "Manual.lnk").target, kFolder + "\\Help\\TorvekKELHelp.pdf");
    EXPECT_EQ(Link(kGroup + "Manual.lnk").workingDirectory, kFolder + "\\Help");
}

// Without "Common Programs" the group goes where the shell has the folder (64-bit Windows fills the
// 32-bit view of "Shell Folders" only on demand); when the shell does not know it either, no group.
TEST_F(Shortcuts, NoCommonProgramsMeansTheShellsFolderOrNoGroup) {
    world.registry[fake::KeyPath(kCommonFolders)].values.clear();
    CreateProgramGroup();
    fake::SetString(kCommonFolders, "Common Programs", "");
    CreateProgramGroup();
    world.registry.erase(fake::KeyPath(kCommonFolders));
    CreateProgramGroup();
    EXPECT_TRUE(world.links.empty());
    world.shellCommonPrograms = "C:\\Shell";
    fake::SetString(kCommonFolders, "Common Programs", "");
    CreateProgramGroup();
    EXPECT_EQ(world.links.size(), 3u);
    EXPECT_EQ(world.links.count("C:\\Shell\\Torvek\\Torvek Pellum 3.9.8.7\\Uninstall.lnk"), 1u);
}

TEST_F(Shortcuts, ShellFolderKeysAreReadButNeverCreated) {
    world.registry.erase(fake::KeyPath(kCommonFolders));
    world.registry.erase(fake::KeyPath(kUserFolders));
    world.shellDesktop = kDesktop;
    CreateProgramGroup();
    CreateDesktopShortcut();
    EXPECT_FALSE(world.registry.count(fake::KeyPath(kCommonFolders)));
    EXPECT_FALSE(world.registry.count(fake::KeyPath(kUserFolders)));
    EXPECT_EQ(world.links.size(), 1u);
}

TEST_F(Shortcuts, ShellFoldersThatOpenOnlyForReadingAreStillUsed) {
    world.registry[fake::KeyPath(kCommonFolders)].fullAccess = false;
    world.registry[fake::KeyPath(kUserFolders)].fullAccess = false;
    CreateProgramGroup();
    CreateDesktopShortcut();
    EXPECT_EQ(world.links.count(kGroup + "Torvek Pellum.lnk"), 1u);
    EXPECT_EQ(world.links.count(kDesktop + "\\Torvek Pellum 3.9.8.7.lnk"), 1u);
}

TEST_F(Shortcuts, FolderValuesOfTheWrongTypeAreReported) {
    world.registry[fake::KeyPath(kCommonFolders)].values["Common Programs"] = {platform::kRegBinary, "\1\2"};
    EXPECT_EQ(fake::ErrorOf(CreateProgramGroup), "Invalid data type for 'Common Programs'");
    world.registry[fake::KeyPath(kUserFolders)].values["Desktop"] = {platform::kRegDword, "\1\0\0\0"};
    EXPECT_EQ(fake::ErrorOf(CreateDesktopShortcut), "Invalid data type for 'desktop'");
    // Read back with "?": the code page could not hold the name, which then names no real folder.
    fake::SetString(kUserFolders, "Desktop", "C:\\Users\\????\\Desktop");
    EXPECT_EQ(fake::ErrorOf(CreateDesktopShortcut),
              "Cannot make a shortcut in C:\\Users\\????\\Desktop: this system cannot keep the folder's name "
              "in a file name");
    fake::SetString(kCommonFolders, "Common Programs", "C:\\??");
    EXPECT_EQ(fake::ErrorOf(CreateProgramGroup).rfind("Cannot make a shortcut in C:\\??\\Torvek\\", 0), 0u);
    EXPECT_TRUE(world.links.empty());
    world.registry[fake::KeyPath(kUserFolders)].values["Desktop"] = {platform::kRegDword, ""};
    world.shellDesktop = "C:\\Users\\ann\\Shell Desktop";
    CreateDesktopShortcut(); // a zero-length value of any type reads as empty
    EXPECT_EQ(world.links.count("C:\\Users\\ann\\Shell Desktop\\Torvek Pellum 3.9.8.7.lnk"), 1u);
}

TEST_F(Shortcuts, ExpandableFolderValuesAreExpanded) {
    world.environment["ALLUSERSPROFILE"] = "C:\\ProgramData";
    fake::SetString(kCommonFolders, "Common Programs",
                    "%ALLUSERSPROFILE%\\Microsoft\\Windows\\Start Menu\\Programs", platform::kRegExpandSz);
    CreateProgramGroup();
    EXPECT_EQ(world.links.count(kGroup + "Manual.lnk"), 1u);
}

TEST_F(Shortcuts, AllFinishChoicesInOrder) {
    RunFinishActions(true, true, true);
    ASSERT_EQ(world.started.size(), 1u);
    EXPECT_EQ(world.started[0].first, kFolder + "TorvekKel3.exe");
    EXPECT_EQ(world.started[0].second, kFolder);
    EXPECT_EQ(world.opened, std::vector<std::string>{kFolder + "\\Help\\TorvekKELHelp.pdf"});
    EXPECT_EQ(Link(kDesktop + "\\Torvek Pellum 3.9.8.7.lnk").target, kFolder + "TorvekKel3.exe");
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(Shortcuts, NoChoicesDoNothing) {
    RunFinishActions(false, false, false);
    EXPECT_TRUE(world.started.empty());
    EXPECT_TRUE(world.opened.empty());
    EXPECT_TRUE(world.links.empty());
}

TEST_F(Shortcuts, AMissingProgramIsReportedOnceAndTheRestStillRuns) {
    world.files.erase(kFolder + "TorvekKel3.exe");
    RunFinishActions(true, true, true);
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Program files is not found"});
    EXPECT_TRUE(world.started.empty());
    EXPECT_EQ(world.opened.size(), 1u);
    EXPECT_EQ(world.links.size(), 1u);

    world.files.erase(kFolder + "Help\\TorvekKELHelp.pdf");
    ui.errors.clear();
    RunFinishActions(false, true, false);
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Help files is not found"});
}

TEST_F(Shortcuts, DesktopFallsBackToTheShellsFolderButNeverToTheDriveRoot) {
    world.registry.erase(fake::KeyPath(kUserFolders));
    world.shellDesktop = "C:\\Users\\ann\\Desktop2";
    CreateDesktopShortcut();
    EXPECT_EQ(world.links.count("C:\\Users\\ann\\Desktop2\\Torvek Pellum 3.9.8.7.lnk"), 1u);
    world.links.clear();
    world.shellDesktop = "";
    CreateDesktopShortcut();
    EXPECT_TRUE(world.links.empty());
}

TEST_F(Shortcuts, LinkFailuresEndTheStep) {
    world.linkFailure = "Class not registered, ClassID: {00021401-0000-0000-C000-000000000046}";
    EXPECT_EQ(fake::ErrorOf(CreateProgramGroup), world.linkFailure);
    world.linkFailure = "Interface not supported";
    EXPECT_EQ(fake::ErrorOf([] { RunFinishActions(false, false, true); }), "Interface not supported");
}

} // namespace
