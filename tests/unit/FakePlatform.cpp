#include "tests/unit/FakePlatform.h"

#include <algorithm>
#include <cctype>

#include "engine/InstallState.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Resources.h"

namespace fake {

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

namespace {
World world;

std::string TrimDelimiters(std::string path) {
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string Parent(const std::string& path) {
    const auto last = path.rfind('\\');
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

struct FakeHandle {
    std::string path;
    bool writable; // opened with the right to set values
};

std::string RootName(platform::RootKey root) {
    switch (root) {
    case platform::RootKey::LocalMachine: return "HKLM";
    case platform::RootKey::CurrentUser: return "HKCU";
    case platform::RootKey::ClassesRoot: return "HKCR";
    }
    return "?";
}

std::string Full(platform::RootKey root, const std::string& path) {
    return KeyPath(RootName(root) + "\\" + path);
}

const std::string& PathOf(const platform::RegKey& key) {
    return static_cast<FakeHandle*>(key.Handle())->path;
}

bool IsWritable(const platform::RegKey& key) {
    return static_cast<FakeHandle*>(key.Handle())->writable;
}

platform::RegKey NewHandle(const std::string& path, bool writable = true) {
    ++world.openKeys;
    return platform::RegKey(new FakeHandle{path, writable});
}
} // namespace

World& TheWorld() {
    return world;
}

void Reset() {
    world = World();
    ResetInstallState();
}

std::string KeyPath(const std::string& rootAndPath) {
    return TrimDelimiters(rootAndPath);
}

void AddFolderTree(const std::string& folder) {
    for (std::string dir = TrimDelimiters(folder); dir.size() > 2; dir = Parent(dir))
        world.folders.insert(dir);
}

void SetString(const std::string& key, const std::string& name, const std::string& value,
               std::uint32_t type) {
    world.registry[KeyPath(key)].values[name] = Value{type, value + '\0'};
}

const Value* FindValue(const std::string& key, const std::string& name) {
    const auto k = world.registry.find(KeyPath(key));
    if (k == world.registry.end()) return nullptr;
    const auto v = k->second.values.find(name);
    return v == k->second.values.end() ? nullptr : &v->second;
}

void AddEntry(unsigned number, const std::string& destination, const std::string& bytes) {
    world.resources["FILE" + std::to_string(number)] = bytes;
    world.strings[number] = destination;
}

std::string ErrorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const platform::Error& e) {
        return e.what();
    }
    return "<no error>";
}

} // namespace fake

using fake::world;

namespace platform {

std::optional<ResourceData> FindDataResource(const std::string& name) {
    world.resourceLookups.push_back(name);
    const auto found = world.resources.find(name);
    if (found == world.resources.end()) return std::nullopt;
    return ResourceData{reinterpret_cast<const unsigned char*>(found->second.data()), found->second.size()};
}

std::optional<std::string> LoadResourceString(unsigned id) {
    const auto found = world.strings.find(id);
    if (found == world.strings.end() || found->second.empty()) return std::nullopt;
    return found->second.substr(0, 255);
}

void UseResourceModule(const std::string&) {}

std::string SystemDirectory() {
    return world.systemDirectory;
}

// The fake's own look, which the engine's questions are not counted with.
static bool FolderThere(const std::string& path) {
    const std::string dir = fake::TrimDelimiters(path);
    return world.drives.count(dir) || world.folders.count(dir);
}

bool DirectoryExists(const std::string& path) {
    world.folderLookups.insert(fake::TrimDelimiters(path));
    return FolderThere(path);
}

// Like the real file system, a doubled separator inside a path names the same file.
static std::string CollapseSeparators(const std::string& path) {
    std::string out = path.substr(0, 2);
    for (std::size_t i = out.size(); i < path.size(); ++i)
        if (!(path[i] == '\\' && out.back() == '\\')) out += path[i];
    return out;
}

bool FileExists(const std::string& path) {
    return world.files.count(CollapseSeparators(path)) > 0;
}

bool CreateDirectory(const std::string& path) {
    const std::string dir = fake::TrimDelimiters(path);
    if (dir.empty() || world.failingFolders.count(dir) || world.files.count(dir) || FolderThere(dir))
        return false;
    if (!FolderThere(fake::Parent(dir))) return false;
    world.folders.insert(dir);
    return true;
}

static bool HeldNow(const std::string& path) {
    const auto holder = world.heldUntil.find(path);
    return holder != world.heldUntil.end() && world.clock < holder->second;
}

// All or nothing, as the real one: an old file changes only when the new content is complete.
WriteResult WriteWholeFile(const std::string& path, const void* bytes, std::size_t size) {
    if (!FolderThere(fake::Parent(path))) return {WriteFailure::NoFolder, false};
    if (world.folders.count(path)) return {WriteFailure::AccessDenied, false};
    const bool existed = world.files.count(path) > 0;
    if (existed && world.readOnlyFiles.count(path)) return {WriteFailure::ReadOnly, true};
    if (existed && world.tooLongToReplace.count(path)) return {WriteFailure::PathTooLong, true};
    if (world.filesInUse.count(path) || HeldNow(path)) return {WriteFailure::InUse, existed};
    world.writeSources.push_back(bytes);
    if (existed && HeldNow(path + "~")) { // a scanner opened the new copy: it cannot replace nor be deleted
        world.files[path + "~"] = std::string(static_cast<const char*>(bytes), size);
        return {WriteFailure::InUse, true, path + "~"};
    }
    if (world.diskFullAt.count(path)) return {WriteFailure::DiskFull, existed};
    world.files[path] = std::string(static_cast<const char*>(bytes), size);
    return {WriteFailure::None, existed};
}

WriteFailure CheckReplaceable(const std::string& path) {
    if (world.readOnlyFiles.count(path)) return WriteFailure::ReadOnly;
    if (world.filesInUse.count(path) || HeldNow(path)) return WriteFailure::InUse;
    return WriteFailure::None;
}

bool RemoveFile(const std::string& path) {
    return !HeldNow(path) && world.files.erase(path) > 0;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    const auto file = world.files.find(path);
    return file == world.files.end() ? std::nullopt : std::optional<std::uint64_t>(file->second.size());
}

std::optional<std::uint64_t> FreeDiskSpace(const std::string& folder) {
    world.freeSpaceAsked = folder;
    return world.freeSpace;
}

std::vector<std::string> ProgramsHolding(const std::vector<std::string>& paths) {
    std::vector<std::string> programs;
    for (const auto& path : paths)
        if (world.holders.count(path)) programs.push_back(world.holders.at(path));
    return programs;
}

std::string ExpandEnvironment(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
        const auto var = close == std::string::npos
                             ? world.environment.end()
                             : world.environment.find(text.substr(i + 1, close - i - 1));
        if (var == world.environment.end()) {
            out += text[i];
            continue;
        }
        out += var->second;
        i = close;
    }
    return out;
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
}

RegKey::~RegKey() {
    if (!handle_) return;
    delete static_cast<fake::FakeHandle*>(handle_);
    --world.openKeys;
}

bool KeyExists(RootKey root, const std::string& path) {
    const auto key = world.registry.find(fake::Full(root, path));
    return key != world.registry.end() && key->second.openable;
}

static bool CreateKeyTree(const std::string& full) {
    if (world.uncreatableKeys.count(full)) return false;
    const auto existing = world.registry.find(full);
    if (existing != world.registry.end()) return existing->second.openable && existing->second.fullAccess;
    for (std::string k = full; k.find('\\') != std::string::npos; k = fake::Parent(k))
        world.registry[k];
    return true;
}

void CreateKey(RootKey root, const std::string& path) {
    if (!CreateKeyTree(fake::Full(root, path))) throw Error(Format("Failed to create key %s", path));
}

std::optional<RegKey> OpenKey(RootKey root, const std::string& path) {
    const auto key = world.registry.find(fake::Full(root, path));
    if (key == world.registry.end() || !key->second.openable || !key->second.fullAccess) return std::nullopt;
    return fake::NewHandle(fake::Full(root, path));
}

std::optional<RegKey> OpenKeyForReading(RootKey root, const std::string& path) {
    const auto key = world.registry.find(fake::Full(root, path));
    if (key == world.registry.end() || !key->second.openable) return std::nullopt;
    return fake::NewHandle(fake::Full(root, path), false);
}

std::optional<RegKey> OpenOrCreateKey(RootKey root, const std::string& path) {
    if (!CreateKeyTree(fake::Full(root, path))) return std::nullopt;
    return fake::NewHandle(fake::Full(root, path));
}

void WriteStringValue(const RegKey& key, const std::string& name, const std::string& value, std::uint32_t type) {
    auto& node = world.registry[fake::PathOf(key)];
    if (!node.writable || !fake::IsWritable(key)) throw Error(Format("Failed to set data for '%s'", name));
    world.keysWritten.push_back(fake::PathOf(key));
    node.values[name] = fake::Value{type, value + '\0'};
}

void WriteDwordValue(const RegKey& key, const std::string& name, std::uint32_t value) {
    auto& node = world.registry[fake::PathOf(key)];
    if (!node.writable || !fake::IsWritable(key)) throw Error(Format("Failed to set data for '%s'", name));
    world.keysWritten.push_back(fake::PathOf(key));
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    node.values[name] = fake::Value{kRegDword, bytes};
}

std::optional<RawValue> QueryValue(const RegKey& key, const std::string& name) {
    const auto* value = fake::FindValue(fake::PathOf(key), name);
    if (!value) return std::nullopt;
    return RawValue{value->type, value->bytes};
}

} // namespace platform
