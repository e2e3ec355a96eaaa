#pragma once
// The installer's own resources: raw data entries and string-table strings.
#include <cstddef>
#include <optional>
#include <string>

namespace platform {

struct ResourceData {
    const unsigned char* bytes; // read-only, mapped with the module, valid for the life of the process
    std::size_t size;
};

// FindResourceA(module, name, RT_RCDATA) + LoadResource + LockResource + SizeofResource.
// Lookup is case-insensitive and names no language. Empty when the entry does not exist.
std::optional<ResourceData> FindDataResource(const std::string& name);

// The same lookup in the running program's own image, whichever module the payload is read from: the
// pictures and texts that belong to the windows (the banner, the licence). Empty when it is not there.
std::optional<ResourceData> FindProgramResource(const std::string& name);

// String-table string `id`, cut at kPathBufferLength - 1 bytes. Empty when absent (or empty).
std::optional<std::string> LoadResourceString(unsigned id);

// Reads resources from another executable, opened as a data file, instead of this process's own
// image (tests and the benchmark harness). Raises platform::Error when the file cannot be opened.
void UseResourceModule(const std::string& exePath);

} // namespace platform
