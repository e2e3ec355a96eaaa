// Resource lookups in this test program's own image (test_resources.rc) and in executables opened as
// data files, the way the installer reads its payload.
#include "platform/Error.h"
#include "platform/Resources.h"
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::FindDataResource;
using platform::LoadResourceString;

const std::string kFile1("Tor\0vek\r\n", 9);

std::string ThisProgram() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

std::string Text(const platform::ResourceData& data) {
    return std::string(reinterpret_cast<const char*>(data.bytes), data.size);
}

// The entries of test_resources.rc, whichever module they are read from.
void ExpectTestResources() {
    for (const char* name : {"File1", "FILE1", "file1"}) {
        const auto data = FindDataResource(name);
        ASSERT_TRUE(data.has_value()) << name;
        EXPECT_EQ(kFile1, Text(*data)) << name;
    }
    EXPECT_FALSE(FindDataResource("File2").has_value());
    EXPECT_EQ("Help\\TorvekKELHelp.pdf", LoadResourceString(1).value_or("<missing>"));
    EXPECT_FALSE(LoadResourceString(3).has_value());
}

// Whatever a case switches to, later cases read this program again (mapped as a data file, which finds
// the same entries as the running image).
class ResourcesTest : public ::testing::Test {
protected:
    void TearDown() override { platform::UseResourceModule(ThisProgram()); }
};

TEST_F(ResourcesTest, OwnImageEntriesAreFoundWithoutNamingTheirLanguage) {
    ExpectTestResources();
}

TEST_F(ResourcesTest, LongStringsAreCutTo255Characters) {
    const auto text = LoadResourceString(2);
    ASSERT_TRUE(text.has_value());
    ASSERT_EQ(255u, text->size());
    EXPECT_EQ("0123456789abcdefghij0123456789", text->substr(0, 30));
    EXPECT_EQ("0123456789abcde", text->substr(240));
}

TEST_F(ResourcesTest, ProgramOpenedAsDataFileGivesTheSameEntries) {
    const auto before = FindDataResource("FILE1");
    ASSERT_TRUE(before.has_value());
    platform::UseResourceModule(ThisProgram());
    ExpectTestResources();
    platform::UseResourceModule(ThisProgram());
    EXPECT_EQ(kFile1, Text(*before)) << "earlier data stays readable after switching modules";
}

TEST_F(ResourcesTest, MissingFileRaisesAndKeepsTheCurrentModule) {
    const std::string missing = "C:\\TorvekSetupTests\\NoSuch.exe";
    try {
        platform::UseResourceModule(missing);
        ADD_FAILURE() << "no error raised";
    } catch (const platform::Error& error) {
        EXPECT_NE(std::string::npos, std::string(error.what()).find(missing)) << error.what();
    }
    ExpectTestResources();
}

// The windows' own pictures and texts come from the running program, whichever executable the payload
// is being read from.
TEST_F(ResourcesTest, ProgramResourcesComeFromTheRunningImageWhateverThePayloadModule) {
    platform::UseResourceModule(TEST_SETUP_EXE);
    const auto payload = FindDataResource("File1");
    const auto own = platform::FindProgramResource("File1");
    ASSERT_TRUE(payload.has_value());
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(kFile1, Text(*own));
    EXPECT_NE(kFile1, Text(*payload));
    EXPECT_FALSE(platform::FindProgramResource("File2").has_value());
}

} // namespace
