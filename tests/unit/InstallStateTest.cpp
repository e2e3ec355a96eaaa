#include <gtest/gtest.h>

#include "engine/Associations.h"
#include "engine/InstallState.h"
#include "engine/RegistryRecords.h"
#include "platform/Error.h"
#include "tests/unit/FakePlatform.h"

namespace {

class FolderRules : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    fake::World& world = fake::TheWorld();
};

TEST_F(FolderRules, TrailingDelimiterIsAddedOnlyWhenMissing) {
    EXPECT_EQ(IncludeTrailingDelimiter(""), "\\");
    EXPECT_EQ(IncludeTrailingDelimiter("C:"), "C:\\");
    EXPECT_EQ(IncludeTrailingDelimiter("C:\\a\\"), "C:\\a\\");
}

TEST_F(FolderRules, DefaultFolderComesFromTheSystemDirectoryDrive) {
    EXPECT_EQ(DefaultFolder(), "C:\\Program Files\\");
    world.systemDirectory = "D:\\WINNT\\System32";
    EXPECT_EQ(DefaultFolder(), "D:\\Program Files\\");
    State().InstallMode = InstallMode::Reinstall;
    ProposeFreshFolder();
    EXPECT_EQ(State().InstallFolder, "D:\\Program Files\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(State().InstallMode, InstallMode::Fresh);
}

TEST_F(FolderRules, SuffixIsAppendedUnlessAlreadyPresentCaseSensitively) {
    EXPECT_EQ(ApplySuffix("X\\"), "X\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(ApplySuffix("X"), "XTorvek\\Pellum 3.9.8.7"); // no delimiter is inserted
    FolderChosen("D:\\Apps\\Torvek\\Pellum 3.9.8.7\\bin");
    EXPECT_EQ(State().InstallFolder, "D:\\Apps\\Torvek\\Pellum 3.9.8.7\\bin\\");
    FolderChosen("E:\\");
    EXPECT_EQ(State().InstallFolder, "E:\\Torvek\\Pellum 3.9.8.7");
    FolderChosen("C:\\torvek\\pellum 3.9.8.7");
    EXPECT_EQ(State().InstallFolder, "C:\\torvek\\pellum 3.9.8.7\\Torvek\\Pellum 3.9.8.7");
}

TEST_F(FolderRules, FinaliseCreatesTheWholeTreeAndEndsWithADelimiter) {
    FinaliseFolder("C:\\Program Files\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(State().InstallFolder, "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_TRUE(world.folders.count("C:\\Program Files"));
    EXPECT_TRUE(world.folders.count("C:\\Program Files\\Torvek\\Pellum 3.9.8.7"));
}

// The folder box always holds a suffixed folder, but the install step applies the rule itself.
TEST_F(FolderRules, FinaliseAppliesTheSuffixToTheFolderTextItself) {
    FinaliseFolder("D:\\Apps\\");
    EXPECT_EQ(State().InstallFolder, "D:\\Apps\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_TRUE(world.folders.count("D:\\Apps\\Torvek\\Pellum 3.9.8.7"));
}

TEST_F(FolderRules, FinaliseIgnoresAFolderThatCannotBeCreated) {
    world.failingFolders.insert("D:\\Locked");
    FinaliseFolder("D:\\Locked\\Torvek\\Pellum 3.9.8.7");
    EXPECT_EQ(State().InstallFolder, "D:\\Locked\\Torvek\\Pellum 3.9.8.7\\");
    EXPECT_FALSE(world.folders.count("D:\\Locked\\Torvek"));
}

// The limit counts bytes of the 8-bit string: a Cyrillic letter takes two in UTF-8. Both refusals name
// the folder; a name read back with "?" (the code page had no form for a character) always counts.
TEST_F(FolderRules, AFolderIsRefusedWhenItsLongestFileWouldPass255BytesOrItsNameWasNotHeld) {
    fake::AddEntry(1, "TorvekKel3.exe", "MZ");
    fake::AddEntry(2, "Help/TorvekKELHelp.pdf", "%PDF"); // 22 bytes, the longest
    std::string fits = "C:\\x";
    for (int i = 0; i < 114; ++i)
        fits += "\xD0\x96"; // "Ж": 4 + 228 bytes, then "\" and the manual's 22 make 255
    EXPECT_EQ(FolderProblem(fits, true), std::nullopt);
    EXPECT_EQ(FolderProblem(fits + "x", true), "This folder cannot be used:\r\n" + fits +
                                                   "x\r\nIts path is too long: the files below it would need "
                                                   "paths longer than 255 bytes.");
    EXPECT_EQ(FolderProblem(fits + "x", false), std::nullopt);
    EXPECT_EQ(FolderProblem("C:\\Pr?gramme", false),
              "This folder cannot be used:\r\nC:\\Pr?gramme\r\nIts name has characters that this system "
              "cannot keep in a file name (shown as \"?\").");
}

TEST_F(FolderRules, ForceDirectoriesRefusesEmptyAndRelativeNames) {
    for (const char* bad : {"", "relative\\path", "C:relative"}) {
        try {
            ForceDirectories(bad);
            ADD_FAILURE() << "no error for '" << bad << "'";
        } catch (const platform::Error& e) {
            EXPECT_STREQ(e.what(), "Unable to create directory");
        }
    }
    EXPECT_TRUE(world.folders.empty());
}

TEST_F(FolderRules, ForceDirectoriesReportsFailureBelowAFileOrOnAMissingDrive) {
    world.files["C:\\blocker"] = "x";
    EXPECT_FALSE(ForceDirectories("C:\\blocker\\inside"));
    EXPECT_FALSE(ForceDirectories("Q:\\nowhere"));
    EXPECT_TRUE(ForceDirectories("\\\\server\\share\\"));
    EXPECT_TRUE(ForceDirectories("C:\\"));
    // A drive root, a server or a share is where a tree starts: nothing is made there, not even asked.
    EXPECT_TRUE(ForceDirectories("Q:\\"));
    EXPECT_TRUE(ForceDirectories("\\\\server"));
    // Rooted on the current drive: tried, not refused like a relative name.
    EXPECT_FALSE(ForceDirectories("\\Tools\\"));
    EXPECT_TRUE(world.folders.empty());
}

// Unit tests run many installs in one process; each starts from a new process's state.
TEST_F(FolderRules, ResettingTheStateForgetsTheWholeRun) {
    State() = {InstallMode::Reinstall, 4, "C:\\X\\", "X.exe", "%X%", {}, {{1, "a", "b"}}, {1}};
    BuildAssociations();
    ResetInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Fresh);
    EXPECT_EQ(State().WizardPage, 0);
    EXPECT_EQ(State().InstallFolder + State().MainFileName + State().ExpandableInstallPath, "");
    EXPECT_FALSE(State().Associations);
    EXPECT_TRUE(State().SkippedEntries.empty());
    EXPECT_TRUE(State().HeldEntries.empty());
}

// A network folder: the share is where the tree starts, like a drive; only the folders below it are made.
TEST_F(FolderRules, ForceDirectoriesMakesTheFoldersBelowANetworkShare) {
    world.drives.insert("\\\\server\\share");
    EXPECT_TRUE(ForceDirectories("\\\\server\\share\\a\\b"));
    EXPECT_EQ(world.folders, (fake::NameSet{"\\\\server\\share\\a", "\\\\server\\share\\a\\b"}));
}

TEST_F(FolderRules, StartUpProposesAFolderWhenNothingIsInstalled) {
    InitInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Fresh);
    EXPECT_EQ(State().InstallFolder, "C:\\Program Files\\Torvek\\Pellum 3.9.8.7");
}

TEST_F(FolderRules, StartUpTakesTheRecordedFolderAsStored) {
    fake::SetString("HKLM\\Software\\Torvek\\Pellum 3.9.8.7", "InstallPath", "D:\\Tools\\KEL");
    InitInstallState();
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_EQ(State().InstallFolder, "D:\\Tools\\KEL");
}

TEST_F(FolderRules, StartUpWithAWrongValueTypeIsAReinstallWithNoFolder) {
    world.registry["HKLM\\Software\\Torvek\\Pellum 3.9.8.7"].values["InstallPath"] = {
        platform::kRegDword, std::string("\1\0\0\0", 4)};
    EXPECT_THROW(
        {
            try {
                InitInstallState();
            } catch (const platform::Error& e) {
                EXPECT_STREQ(e.what(), "Invalid data type for 'InstallPath'");
                throw;
            }
        },
        platform::Error);
    EXPECT_EQ(State().InstallMode, InstallMode::Reinstall);
    EXPECT_EQ(State().InstallFolder, "");
}

} // namespace
