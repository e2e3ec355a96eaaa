// Registry keys and values through the ANSI registry API.
#include "platform/Registry.h"

#include "platform/Error.h"
#include "platform/win32/Win32.h"

#include <utility>

namespace platform {
namespace {

constexpr int kQueryRetries = 8;

HKEY RootHandle(RootKey root) {
    switch (root) {
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}

HKEY Native(const RegKey& key) {
    return static_cast<HKEY>(key.Handle());
}

void CloseKey(void* handle) {
    if (handle) ::RegCloseKey(static_cast<HKEY>(handle));
}

// RegOpenKeyExA with the given rights; empty when the key is missing or access is refused.
std::optional<RegKey> Open(RootKey root, const std::string& path, REGSAM rights) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(RootHandle(root), path.c_str(), 0, rights, &key) != ERROR_SUCCESS)
        return std::nullopt;
    return RegKey(key);
}

// RegCreateKeyExA, non-volatile, full access; empty on failure.
std::optional<RegKey> Create(RootKey root, const std::string& path) {
    HKEY key = nullptr;
    const LONG result = ::RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return RegKey(key);
}

// RegQueryValueExA into a buffer of size bytes; size becomes the stored (or, on ERROR_MORE_DATA, the
// needed) length.
LONG QueryInto(HKEY key, const std::string& name, DWORD& type, std::string& buffer, DWORD& size) {
    buffer.assign(size, '\0');
    return ::RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                              &size);
}

} // namespace

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        CloseKey(handle_);
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

RegKey::~RegKey() {
    CloseKey(handle_);
}

bool KeyExists(RootKey root, const std::string& path) {
    return Open(root, path, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS).has_value();
}

void CreateKey(RootKey root, const std::string& path) {
    if (!Create(root, path)) throw Error(Format("Failed to create key %s", path));
}

std::optional<RegKey> OpenKey(RootKey root, const std::string& path) {
    return Open(root, path, KEY_ALL_ACCESS);
}

std::optional<RegKey> OpenKeyForReading(RootKey root, const std::string& path) {
    return Open(root, path, KEY_READ);
}

std::optional<RegKey> OpenOrCreateKey(RootKey root, const std::string& path) {
    return Create(root, path);
}

void WriteStringValue(const RegKey& key, const std::string& name, const std::string& value, std::uint32_t type) {
    const auto* data = reinterpret_cast<const BYTE*>(value.c_str());
    const auto size = static_cast<DWORD>(value.size() + 1); // with the terminating NUL
    if (::RegSetValueExA(Native(key), name.c_str(), 0, type, data, size) != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name));
}

void WriteDwordValue(const RegKey& key, const std::string& name, std::uint32_t value) {
    const DWORD data = value;
    if (::RegSetValueExA(Native(key), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                         sizeof data) != ERROR_SUCCESS)
        throw Error(Format("Failed to set data for '%s'", name));
}

std::optional<RawValue> QueryValue(const RegKey& key, const std::string& name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExA(Native(key), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string bytes;
    LONG result = QueryInto(Native(key), name, type, bytes, size);
    // The value grew since its size was asked: asked again with the new size, a few times at most.
    for (int retry = 0; retry < kQueryRetries && result == ERROR_MORE_DATA; ++retry)
        result = QueryInto(Native(key), name, type, bytes, size);
    if (result != ERROR_SUCCESS) return std::nullopt;
    bytes.resize(size);
    return RawValue{type, std::move(bytes)};
}

} // namespace platform
