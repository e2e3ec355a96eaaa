#pragma once
// Folders and files. Paths are ANSI strings with "\" as separator.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The longest full path the installer writes, in bytes of its 8-bit string: the product's own tools
// keep paths in 255-byte strings, and it leaves MAX_PATH (260) room for the ANSI calls' terminator.
inline constexpr std::size_t kMaxPathLength = 255;
// A buffer for one such path or string-table text with its terminating NUL.
inline constexpr std::size_t kPathBufferLength = kMaxPathLength + 1;

// The system folder; empty when it does not fit kPathBufferLength.
std::string SystemDirectory();

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path); // an existing file, not a folder

// CreateDirectoryA of one folder whose parent exists; false on any failure.
bool CreateDirectory(const std::string& path);

// Why a file was not written.
enum class WriteFailure {
    None,
    ReadOnly,     // an existing read-only file: Windows refuses to replace it, so we do too
    InUse,        // another program holds the file
    DiskFull,     // the disk filled up before every byte was written
    AccessDenied, // no right to write there (or a folder stands at the path)
    NoFolder,     // the folder to write into does not exist
    PathTooLong,  // an existing file whose folder leaves no room for the temporary copy's name
    Other,        // any other error
};

struct WriteResult {
    WriteResult(WriteFailure failure = WriteFailure::None, bool existed = false, std::string leftover = {})
        : failure(failure), existed(existed), leftover(std::move(leftover)) {}
    WriteFailure failure;
    bool existed; // a file was there before: replaced, or on failure kept byte for byte
    // A temporary copy (or an incomplete new file) that could not be deleted again, because another
    // program (a scanner) opened it as soon as it was written: the caller removes it once that program
    // lets go.
    std::string leftover;
};

// Writes a whole file from the caller's buffer (one WriteFile, no copy), all or nothing:
// - no file there: CreateFileA(GENERIC_READ | GENERIC_WRITE, share 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL)
//   and the bytes written in place; an incomplete file is deleted again;
// - a file there: the bytes go to a temporary file in the same folder, flushed, which then replaces the
//   old one with MoveFileExA(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH); on any failure only
//   the temporary file is deleted and the old file stays as it was. A read-only file is not replaced,
//   nor one in a folder whose path leaves no room for the temporary copy's name (PathTooLong).
WriteResult WriteWholeFile(const std::string& path, const void* bytes, std::size_t size);

// The old file opened for writing, exclusively, as its replacement will open it, and closed again
// untouched: ReadOnly, InUse (another program holds it), AccessDenied, ..., or None when it can be
// replaced now.
WriteFailure CheckReplaceable(const std::string& path);

// DeleteFileA; false on any failure.
bool RemoveFile(const std::string& path);

// GetFileAttributesExA: the size of an existing file, nothing for a folder or a missing path.
std::optional<std::uint64_t> FileSize(const std::string& path);

// GetDiskFreeSpaceExA on an existing folder: the bytes this user may still write on its volume (quotas
// counted; a mount point or a share counts as its own volume), whole above 4 GB. Nothing when the system
// cannot tell.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& folder);

// The programs the system's Restart Manager names as holding any of these files, each name once, in
// its order; empty where it cannot tell (no Restart Manager before Vista; Wine's knows nothing).
std::vector<std::string> ProgramsHolding(const std::vector<std::string>& paths);

// ExpandEnvironmentStringsA; the text unchanged when expansion fails.
std::string ExpandEnvironment(const std::string& text);

} // namespace platform
