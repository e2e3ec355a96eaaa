#pragma once
// Registry keys and values. Keys are opened, used and closed within one routine; RegKey closes on scope exit.
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class RootKey { LocalMachine, CurrentUser, ClassesRoot };

// Value types as the registry stores them (winnt.h numbers).
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// An open key; move-only, closed by its destructor.
class RegKey {
public:
    explicit RegKey(void* handle) : handle_(handle) {}
    RegKey(RegKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey();
    void* Handle() const { return handle_; }

private:
    void* handle_;
};

// Opens with STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS and closes again.
bool KeyExists(RootKey root, const std::string& path);

// RegCreateKeyExA with KEY_ALL_ACCESS, closed at once; creating an existing key is not an error.
// Raises "Failed to create key %s".
void CreateKey(RootKey root, const std::string& path);

// RegOpenKeyExA with KEY_ALL_ACCESS, without creating. Empty when it cannot be opened.
std::optional<RegKey> OpenKey(RootKey root, const std::string& path);

// RegOpenKeyExA with KEY_READ, without creating: for keys the installer only reads, so that a user
// who may read but not write them still gets their values. Empty when it cannot be opened.
std::optional<RegKey> OpenKeyForReading(RootKey root, const std::string& path);

// RegCreateKeyExA with KEY_ALL_ACCESS: opens, creating it if missing. Empty when that fails.
std::optional<RegKey> OpenOrCreateKey(RootKey root, const std::string& path);

// RegSetValueExA with REG_SZ (or REG_EXPAND_SZ), the terminating NUL included. An empty name is the
// default value. Raises "Failed to set data for '%s'".
void WriteStringValue(const RegKey& key, const std::string& name, const std::string& value,
                      std::uint32_t type = kRegSz);

// RegSetValueExA with REG_DWORD. Raises "Failed to set data for '%s'".
void WriteDwordValue(const RegKey& key, const std::string& name, std::uint32_t value);

struct RawValue {
    std::uint32_t type;
    std::string bytes; // exactly the stored bytes, whatever their length; no terminator added
};

// RegQueryValueExA, sized by asking first and retried a few times while the value grows. Empty when
// missing (or when it keeps growing faster than it can be read).
std::optional<RawValue> QueryValue(const RegKey& key, const std::string& name);

} // namespace platform
