// Resources of the installer's own image, or of another executable mapped as a data file.
#include "platform/Resources.h"

#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/win32/ScopedHandles.h"

#include <vector>

namespace platform {
namespace {

// Every module UseResourceModule opened stays mapped until the process ends: ResourceData promises
// its bytes for the life of the process, even after a later call switches to another file.
std::vector<win32::ScopedModule>& OpenedModules() {
    static std::vector<win32::ScopedModule> modules;
    return modules;
}

HMODULE chosenModule = nullptr; // null: this process's own image

HMODULE ResourceModule() {
    return chosenModule ? chosenModule : ::GetModuleHandleA(nullptr);
}

// Resource-only mapping: no code runs, the file may be for another architecture. Null on failure.
HMODULE LoadAsDataFile(const std::string& path) {
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

// FindResourceA + LoadResource + LockResource + SizeofResource of one RT_RCDATA entry.
std::optional<ResourceData> FindIn(HMODULE module, const std::string& name) {
    const HRSRC found = ::FindResourceA(module, name.c_str(), RT_RCDATA);
    if (!found) return std::nullopt;
    const HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return std::nullopt;
    return ResourceData{static_cast<const unsigned char*>(bytes), ::SizeofResource(module, found)};
}

} // namespace

std::optional<ResourceData> FindDataResource(const std::string& name) {
    return FindIn(ResourceModule(), name);
}

std::optional<ResourceData> FindProgramResource(const std::string& name) {
    return FindIn(::GetModuleHandleA(nullptr), name);
}

std::optional<std::string> LoadResourceString(unsigned id) {
    char buffer[kPathBufferLength]; // destinations are paths
    const int length = ::LoadStringA(ResourceModule(), id, buffer, sizeof buffer);
    if (length <= 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(length));
}

void UseResourceModule(const std::string& exePath) {
    win32::ScopedModule module(LoadAsDataFile(exePath));
    if (!module.Valid())
        throw Error(Format("Cannot read resources of %s", exePath) + " (error " +
                    std::to_string(::GetLastError()) + ")");
    chosenModule = module.Get();
    OpenedModules().push_back(std::move(module));
}

} // namespace platform
