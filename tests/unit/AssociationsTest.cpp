#include <gtest/gtest.h>

#include "engine/Associations.h"
#include "engine/InstallState.h"
#include "platform/Error.h"
#include "tests/unit/FakePlatform.h"

namespace {

const std::string kTarget = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\TorvekKel3.exe";

class FakeList final : public AssociationList {
public:
    struct Item {
        std::string text, subItem;
        bool checked;
    };
    std::vector<Item> items;
    void AddItem(const std::string& text, const std::string& subItem, bool checked) override {
        items.push_back({text, subItem, checked});
    }
    bool IsChecked(int index) const override { return items.at(index).checked; }
    void SetChecked(int index, bool checked) override { items.at(index).checked = checked; }
};

std::string Default(const std::string& key) {
    const auto* value = fake::FindValue("HKCR\\" + key, "");
    return value ? value->bytes.substr(0, value->bytes.find('\0')) : "<missing>";
}

class Associations : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { EXPECT_EQ(world.openKeys, 0); }
    // The page as the wizard drives it: build, show, let the user change ticks, read them back.
    void OpenPage() {
        count = BuildAssociations();
        ShowAssociations(list, count);
    }
    void Register() {
        ReadChecks(list, count);
        RegisterAssociations(State().Associations.get(), kTarget);
        FreeAssociations();
    }
    FakeList list;
    int count = 0;
    fake::World& world = fake::TheWorld();
};

TEST_F(Associations, ThePageListsFourTickedTypes) {
    OpenPage();
    EXPECT_EQ(count, 4);
    ASSERT_EQ(list.items.size(), 4u);
    EXPECT_EQ(list.items[0].text, ".asm");
    EXPECT_EQ(list.items[1].subItem, "Torvek Pellum Including File");
    EXPECT_EQ(list.items[2].subItem, "Torvek Pellum Resource Description File");
    EXPECT_EQ(list.items[3].text, ".kelp");
    for (const auto& item : list.items)
        EXPECT_TRUE(item.checked);
}

TEST_F(Associations, AllFourTypesAreBoundWithQuotedCommands) {
    OpenPage();
    Register();
    EXPECT_EQ(Default(".asm"), "TorvekPellum.asm");
    EXPECT_EQ(Default("TorvekPellum.asm"), "Torvek Pellum Module");
    EXPECT_EQ(Default("TorvekPellum.asm\\DefaultIcon"), kTarget + ",1");
    EXPECT_EQ(Default("TorvekPellum.inc\\DefaultIcon"), kTarget + ",2");
    EXPECT_EQ(Default("TorvekPellum.rc\\DefaultIcon"), kTarget + ",3");
    EXPECT_EQ(Default("TorvekPellum.kelp\\DefaultIcon"), kTarget + ",0");
    EXPECT_EQ(Default("TorvekPellum.asm\\Shell\\Open\\Command"), "\"" + kTarget + "\" \"%1\"");
    EXPECT_EQ(world.keysWritten.size(), 16u);
    EXPECT_EQ(world.associationNotices, 1);
    EXPECT_FALSE(State().Associations);
}

TEST_F(Associations, OnlyTheTickedRowIsWrittenInOrder) {
    OpenPage();
    SetAllChecks(list, count, false); // "Clear All"
    list.SetChecked(2, true);
    Register();
    const std::vector<std::string> expected = {"HKCR\\.rc", "HKCR\\TorvekPellum.rc",
                                               "HKCR\\TorvekPellum.rc\\DefaultIcon",
                                               "HKCR\\TorvekPellum.rc\\Shell\\Open\\Command"};
    EXPECT_EQ(world.keysWritten, expected);
}

TEST_F(Associations, NothingIsWrittenWithAllRowsCleared) {
    OpenPage();
    SetAllChecks(list, count, true);
    SetAllChecks(list, count, false);
    Register();
    EXPECT_TRUE(world.keysWritten.empty());
    EXPECT_EQ(world.associationNotices, 0);
}

TEST_F(Associations, AnotherProgramsTypeKeepsItsOtherData) {
    fake::SetString("HKCR\\.asm", "", "OtherIde.Source");
    fake::SetString("HKCR\\.asm", "Content Type", "text/plain");
    fake::SetString("HKCR\\.asm\\OpenWithProgids", "OtherIde.Source", "");
    OpenPage();
    Register();
    EXPECT_EQ(Default(".asm"), "TorvekPellum.asm");
    EXPECT_NE(fake::FindValue("HKCR\\.asm", "Content Type"), nullptr);
    EXPECT_NE(fake::FindValue("HKCR\\.asm\\OpenWithProgids", "OtherIde.Source"), nullptr);
}

TEST_F(Associations, AKeyThatCannotBeOpenedIsPassedOver) {
    world.uncreatableKeys.insert("HKCR\\TorvekPellum.inc");
    world.uncreatableKeys.insert("HKCR\\TorvekPellum.inc\\DefaultIcon");
    OpenPage();
    Register();
    EXPECT_EQ(Default(".inc"), "TorvekPellum.inc");
    EXPECT_EQ(Default("TorvekPellum.inc"), "<missing>");
    EXPECT_EQ(world.keysWritten.size(), 14u);
}

TEST_F(Associations, AFailedWriteKeepsTheTableForTheRestOfTheRun) {
    world.registry["HKCR\\TorvekPellum.rc"].writable = false;
    OpenPage();
    ReadChecks(list, count);
    try {
        RegisterAssociations(State().Associations.get(), kTarget);
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for ''");
    }
    EXPECT_TRUE(State().Associations); // never freed twice: the install state owns it until the end
    FreeAssociations();
    FreeAssociations();
    EXPECT_FALSE(State().Associations);
}

TEST_F(Associations, EachOfTheFourWritesCanFailAndStopsTheRest) {
    const char* keys[] = {"HKCR\\.inc", "HKCR\\TorvekPellum.inc", "HKCR\\TorvekPellum.inc\\DefaultIcon",
                          "HKCR\\TorvekPellum.inc\\Shell\\Open\\Command"};
    for (std::size_t failing = 0; failing < 4; ++failing) {
        fake::Reset();
        world.registry[keys[failing]].writable = false;
        OpenPage();
        EXPECT_THROW(Register(), platform::Error);
        // The .asm row went through, the .inc row up to the failing key, nothing after it.
        EXPECT_EQ(world.keysWritten.size(), 4 + failing);
        EXPECT_EQ(Default(".rc"), "<missing>");
        EXPECT_TRUE(State().Associations);
        list.items.clear();
    }
}

// The count the wizard keeps may be smaller than the table (the list shows no more rows) or larger
// (never beyond the table's four rows); before the page opens there is no table at all.
TEST_F(Associations, TheKeptCountAndAMissingTableAreRespected) {
    ShowAssociations(list, 4);
    ReadChecks(list, 4);
    RegisterAssociations(State().Associations.get(), kTarget);
    EXPECT_TRUE(list.items.empty());
    EXPECT_TRUE(world.keysWritten.empty());

    count = BuildAssociations();
    ShowAssociations(list, 2);
    EXPECT_EQ(list.items.size(), 2u);
    ShowAssociations(list, 6);
    EXPECT_EQ(list.items.size(), 2u + 4u);
    for (auto& item : list.items)
        item.checked = false;
    ReadChecks(list, 2);
    EXPECT_FALSE(State().Associations[1].Checked);
    EXPECT_TRUE(State().Associations[2].Checked) << "beyond the count the table keeps its ticks";
    ReadChecks(list, 6);
    EXPECT_FALSE(State().Associations[3].Checked);
}

TEST_F(Associations, TheShellIsToldOnlyWhenSomethingWasWritten) {
    for (const char* ext : {"asm", "inc", "rc", "kelp"})
        for (const std::string& key : {std::string("HKCR\\.") + ext, std::string("HKCR\\TorvekPellum.") + ext,
                                      std::string("HKCR\\TorvekPellum.") + ext + "\\DefaultIcon",
                                      std::string("HKCR\\TorvekPellum.") + ext + "\\Shell\\Open\\Command"})
            world.uncreatableKeys.insert(key);
    OpenPage();
    Register();
    EXPECT_TRUE(world.keysWritten.empty());
    EXPECT_EQ(world.associationNotices, 0);
}

TEST_F(Associations, TheListDecidesEvenForARowTheTableHadCleared) {
    OpenPage();
    State().Associations[2].Checked = false; // .rc cleared in the table...
    list.items[0].checked = false;           // ...and .asm cleared in the list
    Register();                               // the list wins both ways
    EXPECT_EQ(Default(".rc"), "TorvekPellum.rc");
    EXPECT_EQ(Default(".asm"), "<missing>");
}

TEST_F(Associations, ListButtonsActOnTheKeptCountOnly) {
    OpenPage();
    list.AddItem(".extra", "not ours", false);
    SetAllChecks(list, count, false);
    EXPECT_FALSE(list.items[3].checked);
    SetAllChecks(list, count, true);
    EXPECT_FALSE(list.items[4].checked);
    SetAllChecks(list, 0, false); // before the page opens the count is 0
    EXPECT_TRUE(list.items[0].checked);
}

} // namespace
