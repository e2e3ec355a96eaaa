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
    // What the report will say of the entry with this name, or "<written>".
    static std::string ReasonFor(const std::string& name) {
        for (const auto& s : State().SkippedEntries)
            if (s.name == name) return s.reason;
        return "<written>";
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

// Entries of one folder follow each other: the folder is looked up once for all of them.
TEST_F(Extraction, AFolderIsLookedUpOnceForItsRunOfEntries) {
    fake::AddFolderTree(Path("Data"));
    fake::AddEntry(1, "TorvekKel3.exe", "main");
    for (unsigned n = 2; n <= 5; ++n)
        fake::AddEntry(n, "Data/f" + std::to_string(n), "x");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 5u);
    EXPECT_EQ(world.folderLookups.count(Path("Data")), 1u);
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
    fake::AddEntry(256, "f256", "never");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 255u);
    EXPECT_FALSE(world.files.count(Path("zero")));
    EXPECT_FALSE(world.files.count(Path("f256")));
    ASSERT_EQ(world.resourceLookups.size(), 255u);
    EXPECT_EQ(world.resourceLookups.front(), "File1");
    EXPECT_EQ(world.resourceLookups.back(), "File255");
}

TEST_F(Extraction, FilesThatCannotBeWrittenAreReportedWithTheirReason) {
    AddCatalogue(7);
    const std::string readOnly = "Examples\\Project2\\WorkModules\\f2.lib";
    const std::string fullOld = "Examples\\Project3\\WorkModules\\f3.lib";
    const std::string fullNew = "Examples\\Project0\\WorkModules\\f4.lib";
    const std::string held = "Examples\\Project1\\WorkModules\\f5.lib";
    const std::string deep = "Examples\\Project3\\WorkModules\\f7.lib";
    for (const auto& name : {readOnly, fullOld, deep}) {
        fake::AddFolderTree(FolderPart(Path(name)));
        world.files[Path(name)] = "old contents";
    }
    world.readOnlyFiles.insert(Path(readOnly));
    world.diskFullAt = {Path(fullOld), Path(fullNew)};
    world.filesInUse.insert(Path(held));
    world.tooLongToReplace.insert(Path(deep));
    ExtractPayload();
    EXPECT_EQ(ReasonFor(readOnly), "read-only; the older copy is kept");
    EXPECT_EQ(ReasonFor(deep), "its path is too long to replace it safely; the older copy is kept");
    EXPECT_EQ(ReasonFor(fullOld), "disk full; the older copy is kept");
    EXPECT_EQ(ReasonFor(fullNew), "disk full");
    EXPECT_EQ(ReasonFor(held), "in use by another program");
    EXPECT_EQ(ReasonFor("Examples\\Project2\\WorkModules\\f6.lib"), "<written>");
    EXPECT_EQ(State().SkippedEntries.size(), 5u);
    EXPECT_EQ(State().SkippedEntries[0].number, 2u);
    EXPECT_EQ(world.files.at(Path(readOnly)), "old contents");
    EXPECT_EQ(world.files.at(Path(deep)), "old contents");
    EXPECT_EQ(world.files.at(Path(fullOld)), "old contents");
    EXPECT_FALSE(world.files.count(Path(fullNew)));
    EXPECT_EQ(ui.steps, 7);
    EXPECT_TRUE(ui.errors.empty()); // the wizard reports the list once, after the records
}

// A holder that lets go within about two seconds (a scanner, a program closing) costs a wait, not the
// file, and a new copy it caught is deleted once it lets go; a holder that stays, a read-only file, a
// file the user left held, a second lasting denial and a copy kept past the waits are not waited for.
TEST_F(Extraction, BriefRefusalsAreWaitedForAndLeaveNoCopyBehind) {
    AddCatalogue(8);
    const auto path = [&](unsigned n) {
        return Path("Examples\\Project" + std::to_string(n % 4) + "\\WorkModules\\f" + std::to_string(n) + ".lib");
    };
    world.files = {{Path("TorvekKel3.exe"), "old"}, {path(2), "old"}, {path(3), "old"}, {path(4), "old"},
                   {path(5), "old"}, {path(8), "old"}};
    for (unsigned n = 2; n <= 5; ++n)
        fake::AddFolderTree(FolderPart(path(n)));
    world.heldUntil = {{Path("TorvekKel3.exe"), 1000}, {path(2), 9000}, {path(4) + "~", 3700}, {path(8) + "~", 99999}};
    world.readOnlyFiles.insert(path(3));
    world.filesInUse.insert(path(5));
    State().HeldEntries = {5};
    world.folders.insert({path(6), path(7)});
    ExtractPayload();
    EXPECT_EQ(world.files.at(Path("TorvekKel3.exe")), "MZ main program");
    EXPECT_EQ(world.files.at(path(4)), world.resources.at("FILE4"));
    EXPECT_FALSE(world.files.count(path(4) + "~"));
    std::vector<unsigned> skipped;
    for (const auto& entry : State().SkippedEntries)
        skipped.push_back(entry.number);
    EXPECT_EQ(skipped, (std::vector<unsigned>{2, 3, 5, 6, 7, 8}));
    // 1000 for the main program, 2000 for f2, 1000 + 500 for f4's copy and its replacement, 2000 for f6,
    // 2000 for f8's copy.
    EXPECT_EQ(world.clock, 8500u);
}

TEST_F(Extraction, AFolderThatCannotBeMadeSkipsOnlyItsEntries) {
    AddCatalogue(6);
    world.files[Path("Examples\\Project2")] = "a file where a folder should be";
    ExtractPayload();
    EXPECT_EQ(ReasonFor("Examples\\Project2\\WorkModules\\f2.lib"), "its folder could not be made");
    EXPECT_EQ(ReasonFor("Examples\\Project2\\WorkModules\\f6.lib"), "its folder could not be made");
    EXPECT_EQ(State().SkippedEntries.size(), 2u);
    EXPECT_EQ(ui.steps, 6);
    EXPECT_EQ(world.files.size(), 4u + 1u);
}

TEST_F(Extraction, UnsafeDestinationsAreNeverWritten) {
    fake::AddEntry(1, "TorvekKel3.exe", "main");
    fake::AddEntry(2, "../outside.txt", "x");
    fake::AddEntry(3, "C:/Windows/evil.dll", "x");
    fake::AddEntry(4, "/rooted.txt", "x");
    fake::AddEntry(5, "", "x"); // no string at all
    fake::AddEntry(6, "Data/con.txt", "x");
    fake::AddEntry(7, std::string(250, 'n'), "x");
    fake::AddEntry(8, "Data/", "x");
    fake::AddEntry(9, "Data/ok..txt", "fine");
    ExtractPayload();
    EXPECT_EQ(world.files.size(), 2u);
    EXPECT_TRUE(world.files.count(Path("Data\\ok..txt")));
    EXPECT_EQ(State().SkippedEntries.size(), 7u);
    EXPECT_EQ(ui.steps, 9);
    // Named as every entry is: the destination below the install folder, "\" between folders.
    EXPECT_EQ(ReasonFor("..\\outside.txt"), "its destination has a \"..\" part");
    EXPECT_EQ(ReasonFor("entry 5"), "no destination is recorded for it");
    EXPECT_EQ(ReasonFor("Data\\con.txt"), "its destination uses a device name");
    EXPECT_EQ(ReasonFor(std::string(250, 'n')), "its path is longer than 255 bytes");
}

TEST_F(Extraction, ARefusedFirstEntryNamesNoMainProgram) {
    fake::AddEntry(1, "../TorvekKel3.exe", "main");
    fake::AddEntry(2, "Licence.txt", "text");
    ExtractPayload();
    EXPECT_EQ(State().MainFileName, "");
    EXPECT_EQ(world.files.size(), 1u);
}

// Entries 1 and 2 of 848,576 and 200,000 bytes; over an older copy, of 600,000 and 300,000.
class BeforeTheCopy : public Extraction {
protected:
    void SetUp() override {
        Extraction::SetUp();
        fake::AddFolderTree("D:\\Apps");
        State().InstallFolder = "D:\\Apps\\Torvek\\Pellum 3.9.8.7\\";
        fake::AddEntry(1, "TorvekKel3.exe", std::string(848576, 'm'));
        fake::AddEntry(2, "Data/wb.kelwb", std::string(200000, 'w'));
        fake::AddEntry(3, "../outside", std::string(9000000, 'x')); // never installed, never counted
    }
    void OlderCopy() {
        State().InstallMode = InstallMode::Reinstall;
        fake::AddFolderTree(Path("Data"));
        world.files = {{Path("TorvekKel3.exe"), std::string(600000, 'o')}, {Path("Data\\wb.kelwb"), std::string(300000, 'o')}};
    }
    static std::string Path(const std::string& relative) { return "D:\\Apps\\Torvek\\Pellum 3.9.8.7\\" + relative; }
};

// Fresh: the new files in full (exactly 1 MB; a byte less free shows as 0.9), asked of the nearest
// folder that exists; Retry measures again, Cancel goes back for another folder. Over an older copy:
// the growth (248,576; none for the file that shrinks) and one temporary copy of the largest replaced
// (848,576), asked of the install folder; Cancel asks the Cancel question, whose No returns to the box.
TEST_F(BeforeTheCopy, AShortDiskIsShownInMegabytesBeforeAnythingIsWritten) {
    world.freeSpace = 1048575;
    ui.retryAnswers = {RetryAnswer::Retry, RetryAnswer::Cancel};
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::OtherFolder);
    EXPECT_EQ(ui.boxes, std::vector<std::string>(2, "Not enough disk space: There is not enough free space on the "
                                                    "drive of\r\n" + Path("\r\n\r\nNeeded: 1.0 MB\r\nFree: 0.9 MB\r\n\r\n"
                                                    "Make room and press Retry, or press Cancel to choose another folder.")));
    EXPECT_EQ(world.freeSpaceAsked, "D:\\Apps\\");
    world.freeSpace = 1048576;
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Go);
    world.freeSpace = std::nullopt; // a drive that cannot tell does not hold the copy up
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Go);
    OlderCopy();
    world.freeSpace = 1097151;
    ui.retryAnswers = {RetryAnswer::Cancel, RetryAnswer::Cancel};
    ui.cancelAnswers = {false, true};
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Stop);
    EXPECT_EQ(ui.boxes.back().substr(ui.boxes.back().find("Needed")), "Needed: 1.1 MB\r\nFree: 1.0 MB\r\n\r\n"
                                                                      "Make room and press Retry, or press Cancel to stop the installation.");
    world.freeSpace = 1097152;
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Go);
    EXPECT_EQ(world.freeSpaceAsked, Path(""));
    State().InstallFolder = "Q:\\X\\"; // a drive that does not exist is asked itself, never the current one
    CheckBeforeCopy();
    EXPECT_EQ(world.freeSpaceAsked, "Q:\\");
}

// Only files already there are probed; one let go within the waits is not named, the one still held
// is, with its program. Retry probes again (two more seconds); No to Cancel's question returns to the
// same box; Ignore goes on and remembers it; Cancel and Yes stop.
TEST_F(BeforeTheCopy, FilesAnotherProgramHoldsAreNamedBeforeAnythingIsWritten) {
    OlderCopy();
    world.heldUntil = {{Path("TorvekKel3.exe"), 99999}, {Path("Data\\wb.kelwb"), 1000}};
    world.holders = {{Path("TorvekKel3.exe"), "Torvek Pellum"}};
    ui.retryAnswers = {RetryAnswer::Retry, RetryAnswer::Cancel, RetryAnswer::Ignore};
    ui.cancelAnswers = {false};
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Go);
    EXPECT_EQ(ui.boxes, std::vector<std::string>(3, "Files in use (Ignore): These files are in use by another program:\r\n"
                                                     "TorvekKel3.exe\r\n\r\nUsed by:\r\nTorvek Pellum\r\n\r\nClose the "
                                                     "program and press Retry. Ignore installs the other files and "
                                                     "keeps the older versions of these."));
    EXPECT_EQ(world.clock, 4000u);
    EXPECT_EQ(State().HeldEntries, std::vector<unsigned>{1});
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Stop);
    EXPECT_TRUE(State().HeldEntries.empty());
    world.freeSpace = 0;
    State().InstallFolder = ""; // no folder: extraction's own error comes first
    EXPECT_EQ(CheckBeforeCopy(), CopyStart::Go);
}

TEST(SkippedFilesReport, NamesTenFilesWithTheirReasonsAndCountsTheRest) {
    EXPECT_EQ(SkippedFilesReport({}), "");
    std::vector<SkippedEntry> skipped;
    std::string expected = "These files could not be written:";
    for (unsigned n = 1; n <= 10; ++n) {
        skipped.push_back({n, "Data\\f" + std::to_string(n), "disk full"});
        expected += "\r\nData\\f" + std::to_string(n) + " (disk full)";
    }
    EXPECT_EQ(SkippedFilesReport(skipped), expected);
    skipped.push_back({11, "Data\\f11", "disk full"});
    EXPECT_EQ(SkippedFilesReport(skipped), expected + "\r\nand 1 more");
    skipped.insert(skipped.end(), 22, SkippedEntry{12, "x", "read-only"});
    EXPECT_EQ(SkippedFilesReport(skipped), expected + "\r\nand 23 more");
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
