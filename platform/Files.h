#pragma once
// Folders and files. Paths are ANSI strings with "\" as separator.
#include <cstddef>
#include <string>

namespace platform {

// GetSystemDirectoryA into a 256-character buffer.
std::string SystemDirectory();

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path); // an existing file, not a folder

// CreateDirectoryA of one folder whose parent exists; false on any failure.
bool CreateDirectory(const std::string& path);

enum class WriteOutcome {
    Written,    // every byte is on disk and the handle is closed
    NotCreated, // CreateFileA failed (read-only file, in use, no folder, access denied); nothing touched
    Incomplete, // created, but fewer bytes were written than asked (disk full, I/O error); file closed
};

// CreateFileA(GENERIC_READ | GENERIC_WRITE, share 0, no security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL),
// and when a file is already there and not read-only, the same with CREATE_ALWAYS; one WriteFile of the
// whole buffer, CloseHandle.
WriteOutcome WriteWholeFile(const std::string& path, const void* bytes, std::size_t size);

// DeleteFileA; false on failure.
bool DeleteFile(const std::string& path);

// ExpandEnvironmentStringsA; the text unchanged when expansion fails.
std::string ExpandEnvironment(const std::string& text);

} // namespace platform
