// The registry wrappers against Wine's real registry, below throwaway keys of the test prefix under each
// root the installer writes to.
#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/win32/Win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

namespace platform {
// So that a whole value (type and bytes) is compared and printed in one expectation.
bool operator==(const RawValue& a, const RawValue& b) {
    return a.type == b.type && a.bytes == b.bytes;
}
void PrintTo(const RawValue& value, std::ostream* out) {
    *out << "type " << value.type << ", " << value.bytes.size() << " bytes";
    if (value.bytes.size() <= 64) *out << " " << ::testing::PrintToString(value.bytes);
}
} // namespace platform

namespace {

using platform::QueryValue;
using platform::RegKey;
using platform::RootKey;

HKEY Native(RootKey root) {
    switch (root) {
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}

const char* TestRoot(RootKey root) {
    return root == RootKey::ClassesRoot ? "TorvekSetupTests" : "Software\\TorvekSetupTests";
}

platform::RawValue Raw(std::uint32_t type, const std::string& bytes) {
    return {type, bytes};
}
platform::RawValue Sz(const std::string& text) {
    return {platform::kRegSz, text + '\0'};
}

// Every case works below its own key, removed with everything under it when the case ends.
class RegistryTest : public ::testing::TestWithParam<RootKey> {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '-';
        base_ = std::string(TestRoot(GetParam())) + "\\" + name;
        ::RegDeleteTreeA(Native(GetParam()), base_.c_str());
    }
    void TearDown() override {
        ::RegDeleteTreeA(Native(GetParam()), base_.c_str());
        ::RegDeleteKeyA(Native(GetParam()), TestRoot(GetParam())); // only succeeds once it is empty
    }

    std::string Path(const std::string& sub = "") const { return sub.empty() ? base_ : base_ + "\\" + sub; }

    RegKey CreatedKey(const std::string& sub = "") const {
        auto key = platform::OpenOrCreateKey(GetParam(), Path(sub));
        if (!key) throw std::runtime_error("test key not created: " + Path(sub));
        return std::move(*key);
    }

    // A value written with the raw API, for types and sizes the wrappers never write.
    static void SetRaw(const RegKey& key, const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(static_cast<HKEY>(key.Handle()), name, 0, type,
                                                  reinterpret_cast<const BYTE*>(bytes.data()),
                                                  static_cast<DWORD>(bytes.size())));
    }

private:
    std::string base_;
};

TEST_P(RegistryTest, CreatedKeysExistWithTheirParentsAndOpen) {
    const std::string nested = Path("Pellum 3.9.8.7\\Inner");
    EXPECT_FALSE(platform::KeyExists(GetParam(), nested));
    EXPECT_FALSE(platform::OpenKey(GetParam(), nested).has_value());

    platform::CreateKey(GetParam(), nested);
    EXPECT_TRUE(platform::KeyExists(GetParam(), nested));
    EXPECT_TRUE(platform::KeyExists(GetParam(), Path("Pellum 3.9.8.7")));
    EXPECT_TRUE(platform::OpenKey(GetParam(), nested).has_value());
    EXPECT_NO_THROW(platform::CreateKey(GetParam(), nested)) << "an existing key is not an error";
}

TEST_P(RegistryTest, OpenOrCreateReachesTheSameKeyTwice) {
    platform::WriteStringValue(CreatedKey("Product"), "InstallPath", "C:\\Torvek\\");
    auto reopened = platform::OpenOrCreateKey(GetParam(), Path("Product"));
    ASSERT_TRUE(reopened.has_value());
    EXPECT_EQ(QueryValue(*reopened, "InstallPath"), Sz("C:\\Torvek\\"));
}

TEST_P(RegistryTest, StringValuesReadBackWithTheirTerminator) {
    const RegKey key = CreatedKey();
    const std::string folder = "C:\\Program Files\\Torvek\\Pellum 3.9.8.7\\";
    platform::WriteStringValue(key, "InstallPath", folder);
    platform::WriteStringValue(key, "", "default text");
    EXPECT_EQ(QueryValue(key, "InstallPath"), Sz(folder));
    EXPECT_EQ(QueryValue(key, ""), Sz("default text"));
    EXPECT_FALSE(QueryValue(key, "NoSuchValue").has_value());

    platform::WriteStringValue(key, "InstallPath", "D:\\");
    EXPECT_EQ(QueryValue(key, "InstallPath"), Sz("D:\\")) << "no tail of the old value";
}

TEST_P(RegistryTest, LongValuesReadBackExactly) {
    const RegKey key = CreatedKey();
    std::string text(5000, 'x'), binary(100000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7919 >> 3);
    platform::WriteStringValue(key, "Long", text);
    SetRaw(key, "Blob", REG_BINARY, binary);

    EXPECT_EQ(QueryValue(key, "Long"), Sz(text));
    EXPECT_EQ(QueryValue(key, "Blob"), Raw(platform::kRegBinary, binary));
}

TEST_P(RegistryTest, OtherTypesKeepTheirTypeAndExactBytes) {
    const RegKey key = CreatedKey();
    const std::string expandable = std::string("%ProgramFiles%\\Torvek") + '\0';
    SetRaw(key, "Number", REG_DWORD, "\x78\x56\x34\x12");
    SetRaw(key, "Unterminated", REG_BINARY, "abc");
    SetRaw(key, "Empty", REG_SZ, "");
    SetRaw(key, "Expandable", REG_EXPAND_SZ, expandable);

    EXPECT_EQ(QueryValue(key, "Number"), Raw(platform::kRegDword, "\x78\x56\x34\x12"));
    EXPECT_EQ(QueryValue(key, "Unterminated"), Raw(platform::kRegBinary, "abc")) << "nothing appended";
    EXPECT_EQ(QueryValue(key, "Empty"), Raw(platform::kRegSz, ""));
    EXPECT_EQ(QueryValue(key, "Expandable"), Raw(platform::kRegExpandSz, expandable)) << "not expanded";
}

// Another program may store a string without its NUL (only the wide API can). The ANSI query hands it
// over with at most the one NUL it supplies itself (Windows and Wine both do), and never cut short.
TEST_P(RegistryTest, StringStoredWithoutTerminatorIsNotCutShort) {
    const RegKey key = CreatedKey();
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(static_cast<HKEY>(key.Handle()), L"Unterminated", 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(L"abc"), 3 * sizeof(WCHAR)));
    const auto value = QueryValue(key, "Unterminated");
    EXPECT_TRUE(value == Raw(platform::kRegSz, "abc") || value == Sz("abc"))
        << ::testing::PrintToString(value);
}

// A volatile key cannot have lasting subkeys: a key creation the registry always refuses.
TEST_P(RegistryTest, RefusedKeyCreationRaisesWithThePath) {
    HKEY volatileKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(Native(GetParam()), Path("Volatile").c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr));
    const RegKey closer(volatileKey);
    const std::string child = Path("Volatile\\Lasting");

    try {
        platform::CreateKey(GetParam(), child);
        ADD_FAILURE() << "no error raised";
    } catch (const platform::Error& error) {
        EXPECT_EQ("Failed to create key " + child, error.what());
    }
    EXPECT_FALSE(platform::OpenOrCreateKey(GetParam(), child).has_value());
    EXPECT_FALSE(platform::KeyExists(GetParam(), child));
}

TEST_P(RegistryTest, RefusedValueWriteRaisesWithTheName) {
    CreatedKey();
    HKEY readOnly = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(Native(GetParam()), Path().c_str(), 0, KEY_READ, &readOnly));
    const RegKey key(readOnly);
    try {
        platform::WriteStringValue(key, "DisplayName", "Pellum 3.9.8.7");
        ADD_FAILURE() << "no error raised";
    } catch (const platform::Error& error) {
        EXPECT_STREQ("Failed to set data for 'DisplayName'", error.what());
    }
}

TEST_P(RegistryTest, MoveAssignmentClosesTheKeyItReplaces) {
    RegKey first = CreatedKey("First");
    RegKey second = CreatedKey("Second");
    const auto replaced = static_cast<HKEY>(first.Handle());
    platform::WriteStringValue(second, "Name", "second");

    first = std::move(second);
    EXPECT_EQ(nullptr, second.Handle());
    EXPECT_NE(ERROR_SUCCESS, ::RegQueryInfoKeyA(replaced, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(QueryValue(first, "Name"), Sz("second"));
}

std::string RootName(const ::testing::TestParamInfo<RootKey>& info) {
    switch (info.param) {
    case RootKey::LocalMachine: return "LocalMachine";
    case RootKey::CurrentUser: return "CurrentUser";
    case RootKey::ClassesRoot: return "ClassesRoot";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistryTest,
                         ::testing::Values(RootKey::LocalMachine, RootKey::CurrentUser, RootKey::ClassesRoot),
                         RootName);

} // namespace
