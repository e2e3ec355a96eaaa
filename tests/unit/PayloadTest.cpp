#include <gtest/gtest.h>

#include <fstream>

#include "engine/InstallState.h"
#include "engine/Payload.h"
#include "platform/Error.h"
#include "tests/unit/FakePlatform.h"

namespace {

const char* const kFolder = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\";

class Extraction : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::AddFolderTree(kFolder);
        State().InstallFolder = kFolder;
        AttachWizardServices(&ui);
    }
    void TearDown() override { AttachWizardServices(nullptr); }

    // A catalogue shaped like the installer's own: 32 entries, some sharing their bytes.
    void AddCatalogue(unsigned count) {
        fake::AddEntry(1, "TorvekKel3.exe", "MZ main program");
        for (unsigned n = 2; n <= count; ++n)
            fake::AddEntry(
                n, "Examples/Project" + std::to_string(n % 4) + "/WorkModules/f" + std::to_string(n) + ".lib",
                std::string(n * 3, char('a' + n % 26)));
    }
    std::string Path(const std::string& relative) const { return kFolder + relative; }
    bool Skipped(const std::string& destination) const {
        for (const auto& s : State().SkippedEntries)
            if (s.destination == destination) return true;
        return false;
    }

    fake::RecordingServices ui;
    fake::World& world = fake::TheWorld();
};

TEST_F(Extraction, WritesEveryEntryInPlaceWithOneStepEach) {
    AddCatalogue(32);
    fake::AddEntry(20, "Examples/ExampleProjectMasm2/WorkModules/menu.RES", "RES");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 32u);
    EXPECT_EQ(ui.steps, 32);
    EXPECT_EQ(ui.statuses, std::vector<std::string>{"Copying program files"});
    EXPECT_EQ(ui.pumps, 33);
    EXPECT_EQ(State().MainFileName, "TorvekKel3.exe");
    EXPECT_EQ(world.files.at(Path("TorvekKel3.exe")), "MZ main program");
    // Separators are turned round, the stored case is kept, folders are made on the way.
    EXPECT_EQ(world.files.at(Path("Examples\\ExampleProjectMasm2\\WorkModules\\menu.RES")), "RES");
    EXPECT_TRUE(world.folders.count(Path("Examples\\Project3\\WorkModules").substr(0)));
    EXPECT_TRUE(State().SkippedEntries.empty());
}

TEST_F(Extraction, WritesStraightFromTheResourceBytes) {
    AddCatalogue(3);
    ExtractPayload();
    ASSERT_EQ(world.writeSources.size(), 3u);
    EXPECT_EQ(world.writeSources[0], world.resources.at("FILE1").data());
    EXPECT_EQ(world.writeSources[2], world.resources.at("FILE3").data());
}

TEST_F(Extraction, TheFirstGapEndsTheCatalogue) {
    AddCatalogue(6);
    world.resources.erase("FILE5");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 4u);
    EXPECT_EQ(ui.steps, 4);
}

TEST_F(Extraction, WithoutEntryOneNothingIsWritten) {
    AddCatalogue(4);
    world.resources.erase("FILE1");
    ExtractPayload();
    EXPECT_TRUE(world.files.empty());
    EXPECT_EQ(State().MainFileName, "");
    EXPECT_EQ(ui.steps, 0);
}

TEST_F(Extraction, TheCounterStopsWhereItWrapsAround) {
    for (unsigned n = 1; n <= 255; ++n)
        fake::AddEntry(n, "f" + std::to_string(n), "x");
    fake::AddEntry(0, "zero", "never");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 255u);
    EXPECT_FALSE(world.files.count(Path("zero")));
}

TEST_F(Extraction, AReadOnlyFileIsLeftAloneAndReported) {
    AddCatalogue(3);
    const std::string target = Path("Examples\\Project2\\WorkModules\\f2.lib");
    fake::AddFolderTree(FolderPart(target));
    world.files[target] = "old contents";
    world.readOnlyFiles.insert(target);
    ExtractPayload();
    EXPECT_EQ(world.files.at(target), "old contents");
    EXPECT_EQ(ui.steps, 3);
    ASSERT_EQ(State().SkippedEntries.size(), 1u);
    EXPECT_EQ(State().SkippedEntries[0].number, 2u);
    EXPECT_EQ(State().SkippedEntries[0].destination, target);
    EXPECT_TRUE(ui.errors.empty()); // the wizard reports the list once, after copying
}

TEST_F(Extraction, APartialWriteLeavesNoTruncatedFile) {
    AddCatalogue(3);
    const std::string target = Path("Examples\\Project3\\WorkModules\\f3.lib");
    world.shortWrites[target] = 2;
    ExtractPayload();
    EXPECT_FALSE(world.files.count(target));
    EXPECT_TRUE(Skipped(target));
    EXPECT_EQ(world.files.size(), 2u);
}

TEST_F(Extraction, AFolderThatCannotBeMadeSkipsOnlyItsEntries) {
    AddCatalogue(6);
    world.files[Path("Examples\\Project2")] = "a file where a folder should be";
    ExtractPayload();
    EXPECT_TRUE(Skipped(Path("Examples\\Project2\\WorkModules\\f2.lib")));
    EXPECT_TRUE(Skipped(Path("Examples\\Project2\\WorkModules\\f6.lib")));
    EXPECT_EQ(State().SkippedEntries.size(), 2u);
    EXPECT_EQ(ui.steps, 6);
}

TEST_F(Extraction, UnsafeDestinationsAreNeverWritten) {
    fake::AddEntry(1, "TorvekKel3.exe", "main");
    fake::AddEntry(2, "../outside.txt", "x");
    fake::AddEntry(3, "C:/Windows/evil.dll", "x");
    fake::AddEntry(4, "/rooted.txt", "x");
    fake::AddEntry(5, "", "x"); // no string at all
    fake::AddEntry(6, "Data/..\\..\\up.txt", "x");
    fake::AddEntry(7, std::string(250, 'n'), "x");
    fake::AddEntry(8, "Data/", "x");
    fake::AddEntry(9, "Data/ok..txt", "fine");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 2u);
    EXPECT_TRUE(world.files.count(Path("Data\\ok..txt")));
    EXPECT_EQ(State().SkippedEntries.size(), 7u);
    EXPECT_EQ(ui.steps, 9);
    EXPECT_TRUE(Skipped("entry 5"));
}

// "\\" is one backslash and "\xNN" the byte NN, as tests/data/destinations.txt writes them.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field.compare(i, 2, "\\\\") == 0) {
            out += '\\';
            ++i;
        } else if (field.compare(i, 2, "\\x") == 0) {
            out += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// The cases the build's catalogue reader must judge the same way (tools/tests/test_catalogue.py).
TEST(Destinations, SharedCasesAreJudgedAsTheBuildJudgesThem) {
    std::ifstream file(DESTINATION_CASES);
    ASSERT_TRUE(file) << DESTINATION_CASES;
    int cases = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const std::string verdict = Unescape(line.substr(0, tab));
        const std::string destination = Unescape(line.substr(tab + 1));
        const std::string said = DestinationProblem(destination, "").value_or("ok");
        if (verdict == "ok")
            EXPECT_EQ(said, "ok") << destination;
        else
            EXPECT_NE(said.find(verdict), std::string::npos) << destination << ": " << said;
        ++cases;
    }
    EXPECT_GT(cases, 50);
    EXPECT_EQ(DestinationProblem(std::nullopt, ""), "no destination is recorded for it");
}

TEST_F(Extraction, PathLengthLimitCountsTheWholePath) {
    const std::string folder = kFolder; // 41 characters
    EXPECT_FALSE(DestinationProblem(std::string(255 - folder.size(), 'a'), folder));
    EXPECT_TRUE(DestinationProblem(std::string(256 - folder.size(), 'a'), folder));
}

TEST_F(Extraction, AnEmptyInstallFolderStopsBeforeAnythingIsWritten) {
    AddCatalogue(3);
    State().InstallFolder = "";
    try {
        ExtractPayload();
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_STREQ(e.what(), "Unable to create directory");
    }
    EXPECT_TRUE(world.files.empty());
    EXPECT_EQ(ui.steps, 0);
}

} // namespace
