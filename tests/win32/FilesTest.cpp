// The folder and file wrappers against Wine's file system, in a scratch folder under the prefix's temp
// folder.
#include "platform/Files.h"
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

using platform::WriteFailure;

// Deletes a folder and everything in it, read-only files included.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    const HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                ::DeleteFileA(path.c_str());
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

std::string ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathA(MAX_PATH, temp));
        folder_ = std::string(temp) + "TorvekSetupTests." + std::to_string(::GetCurrentProcessId()) + "." +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RemoveTree(folder_);
        ASSERT_TRUE(::CreateDirectoryA(folder_.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(folder_); }

    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

    WriteFailure Write(const std::string& path, const std::string& bytes) const {
        return platform::WriteWholeFile(path, bytes.data(), bytes.size()).failure;
    }

    // Every name in the scratch folder, sorted: a replacement must leave no temporary file behind.
    std::string Names() const {
        std::set<std::string> found;
        WIN32_FIND_DATAA entry;
        const HANDLE search = ::FindFirstFileA(Path("*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return {};
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..") found.insert(name);
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
        std::string names;
        for (const std::string& name : found)
            names += (names.empty() ? "" : " ") + name;
        return names;
    }

    std::string folder_;
};

TEST_F(FilesTest, SystemDirectoryIsAnExistingSystem32) {
    const std::string system = platform::SystemDirectory();
    ASSERT_GT(system.size(), 9u);
    EXPECT_EQ(0, ::lstrcmpiA(system.substr(system.size() - 9).c_str(), "\\system32")) << system;
    EXPECT_TRUE(platform::DirectoryExists(system));
}

TEST_F(FilesTest, ExistenceTellsFilesFromFolders) {
    ASSERT_EQ(WriteFailure::None, Write(Path("file.txt"), "x"));
    EXPECT_TRUE(platform::DirectoryExists(folder_));
    EXPECT_FALSE(platform::FileExists(folder_));
    EXPECT_TRUE(platform::FileExists(Path("file.txt")));
    EXPECT_FALSE(platform::DirectoryExists(Path("file.txt")));
    EXPECT_FALSE(platform::FileExists(Path("missing.txt")));
    EXPECT_FALSE(platform::DirectoryExists(Path("missing")));
    EXPECT_EQ(platform::FileSize(Path("file.txt")), 1u);
    EXPECT_FALSE(platform::FileSize(folder_));
    EXPECT_FALSE(platform::FileSize(Path("missing.txt")));
    EXPECT_GT(platform::FreeDiskSpace(folder_ + "\\").value_or(0), 0u);
    EXPECT_FALSE(platform::FreeDiskSpace(Path("missing\\")));
}

TEST_F(FilesTest, CreateDirectoryMakesOneLevelOnly) {
    EXPECT_TRUE(platform::CreateDirectory(Path("Help")));
    EXPECT_TRUE(platform::DirectoryExists(Path("Help")));
    EXPECT_FALSE(platform::CreateDirectory(Path("Help"))) << "it exists already";
    EXPECT_FALSE(platform::CreateDirectory(Path("Missing\\Inner"))) << "its parent is missing";
    EXPECT_FALSE(platform::DirectoryExists(Path("Missing")));
}

TEST_F(FilesTest, WrittenFilesHoldExactlyTheBytes) {
    std::string bytes(70000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 131 >> 2);
    EXPECT_EQ(WriteFailure::None, Write(Path("TorvekKel3.exe"), bytes));
    EXPECT_TRUE(ReadBack(Path("TorvekKel3.exe")) == bytes);

    // Another program's file that carries a name like the temporary copy's is left alone.
    ASSERT_EQ(WriteFailure::None, Write(Path("~ts1.tmp"), "someone else's"));
    const auto replaced = platform::WriteWholeFile(Path("TorvekKel3.exe"), "short", 5);
    EXPECT_EQ(WriteFailure::None, replaced.failure);
    EXPECT_TRUE(replaced.existed);
    EXPECT_EQ("", replaced.leftover) << "the temporary copy has become the file";
    EXPECT_EQ("short", ReadBack(Path("TorvekKel3.exe"))) << "an existing file is replaced, not overlaid";
    EXPECT_EQ("someone else's", ReadBack(Path("~ts1.tmp")));

    const auto created = platform::WriteWholeFile(Path("empty.dat"), nullptr, 0);
    EXPECT_EQ(WriteFailure::None, created.failure);
    EXPECT_FALSE(created.existed);
    EXPECT_EQ("", ReadBack(Path("empty.dat")));
    EXPECT_EQ("TorvekKel3.exe empty.dat ~ts1.tmp", Names());
}

TEST_F(FilesTest, ReadOnlyFileIsNotReplacedAndKeepsItsBytes) {
    ASSERT_EQ(WriteFailure::None, Write(Path("readme.txt"), "original"));
    ASSERT_TRUE(::SetFileAttributesA(Path("readme.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const auto result = platform::WriteWholeFile(Path("readme.txt"), "replacement", 11);
    EXPECT_EQ(WriteFailure::ReadOnly, result.failure);
    EXPECT_TRUE(result.existed);
    EXPECT_EQ("original", ReadBack(Path("readme.txt")));
    EXPECT_EQ("readme.txt", Names());
}

// A reader that lets nobody write: refused before a new copy is written out.
TEST_F(FilesTest, FileHeldByAReaderIsNotReplacedAndKeepsItsBytes) {
    ASSERT_EQ(WriteFailure::None, Write(Path("TorvekKel3.exe"), "running"));
    const HANDLE holder = ::CreateFileA(Path("TorvekKel3.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(WriteFailure::InUse, Write(Path("TorvekKel3.exe"), "replacement"));
    EXPECT_EQ(WriteFailure::InUse, platform::CheckReplaceable(Path("TorvekKel3.exe")));
    // Wine's Restart Manager knows no holder; Windows' names this test program.
    EXPECT_LE(platform::ProgramsHolding({Path("TorvekKel3.exe")}).size(), 1u);
    ::CloseHandle(holder);
    EXPECT_EQ(WriteFailure::None, platform::CheckReplaceable(Path("TorvekKel3.exe")));
    EXPECT_EQ("running", ReadBack(Path("TorvekKel3.exe")));
    EXPECT_EQ("TorvekKel3.exe", Names());
}

// Even a holder that shares writing keeps its file: the wizard does not write a new copy only to find
// the old one cannot be replaced, and no temporary file is left. (A new copy that does not fit on the
// disk is removed again: the fault suite's reinstall onto a full disk checks that.)
TEST_F(FilesTest, AHolderThatSharesWritingStillKeepsItsFile) {
    ASSERT_EQ(WriteFailure::None, Write(Path("Data.db"), "old rows"));
    const HANDLE holder = ::CreateFileA(Path("Data.db").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    const auto result = platform::WriteWholeFile(Path("Data.db"), "new rows, longer", 16);
    ::CloseHandle(holder);
    EXPECT_NE(WriteFailure::None, result.failure);
    EXPECT_TRUE(result.existed);
    EXPECT_EQ("old rows", ReadBack(Path("Data.db")));
    EXPECT_EQ("Data.db", Names());
}

// A short name deep down: the file itself fits in MAX_PATH, its temporary copy's name would not. It is
// refused and kept, where Wine's ANSI call would have overrun the name's buffer.
TEST_F(FilesTest, AFileTooDeepForATemporaryNameIsKept) {
    const std::size_t roomy = MAX_PATH - 14; // the longest folder, its last delimiter included, that works
    std::string deep = folder_ + "\\" + std::string(roomy - folder_.size() - 2, 'd');
    ASSERT_TRUE(platform::CreateDirectory(deep));
    ASSERT_EQ(WriteFailure::None, Write(deep + "\\a.ini", "old"));
    EXPECT_EQ(WriteFailure::None, Write(deep + "\\a.ini", "new")) << "a folder of " << roomy << " still works";
    EXPECT_EQ("new", ReadBack(deep + "\\a.ini"));

    deep += 'd';
    ASSERT_TRUE(platform::CreateDirectory(deep));
    ASSERT_EQ(WriteFailure::None, Write(deep + "\\a.ini", "old")) << "a new file is written in place";
    const auto result = platform::WriteWholeFile(deep + "\\a.ini", "new", 3);
    EXPECT_EQ(WriteFailure::PathTooLong, result.failure);
    EXPECT_TRUE(result.existed);
    EXPECT_EQ("old", ReadBack(deep + "\\a.ini"));
}

TEST_F(FilesTest, FileInMissingFolderOrInAFoldersPlaceIsNotCreated) {
    EXPECT_EQ(WriteFailure::NoFolder, Write(Path("Help\\TorvekKELHelp.pdf"), "%PDF"));
    EXPECT_FALSE(platform::DirectoryExists(Path("Help")));
    ASSERT_TRUE(platform::CreateDirectory(Path("Help")));
    EXPECT_EQ(WriteFailure::AccessDenied, Write(Path("Help"), "%PDF"));
    EXPECT_TRUE(platform::DirectoryExists(Path("Help")));
}

TEST(ExpandEnvironmentTest, ReplacesKnownVariablesAndKeepsTheRest) {
    ASSERT_TRUE(::SetEnvironmentVariableA("TORVEK_TEST_FOLDER", "C:\\Torvek"));
    EXPECT_EQ("C:\\Torvek\\bin", platform::ExpandEnvironment("%TORVEK_TEST_FOLDER%\\bin"));
    EXPECT_EQ("%TORVEK_NO_SUCH_VARIABLE%\\bin",
              platform::ExpandEnvironment("%TORVEK_NO_SUCH_VARIABLE%\\bin"));
    EXPECT_EQ("plain text", platform::ExpandEnvironment("plain text"));
    EXPECT_EQ("", platform::ExpandEnvironment(""));

    const std::string longValue(5000, 'v');
    ASSERT_TRUE(::SetEnvironmentVariableA("TORVEK_TEST_LONG", longValue.c_str()));
    EXPECT_EQ(longValue + longValue, platform::ExpandEnvironment("%TORVEK_TEST_LONG%%TORVEK_TEST_LONG%"));
    ::SetEnvironmentVariableA("TORVEK_TEST_FOLDER", nullptr);
    ::SetEnvironmentVariableA("TORVEK_TEST_LONG", nullptr);
}

} // namespace
