// Folders and files through the ANSI file API.
#include "platform/Files.h"

#include "platform/win32/ScopedHandles.h"

#include <vector>

namespace platform {
namespace {

// GetTempFileNameA adds "~ts", four hex digits and ".tmp" to the folder and needs the result to fit
// MAX_PATH with its NUL: a longer folder leaves no room for the temporary copy beside the file.
constexpr std::size_t kMaxTemporaryFolderLength = MAX_PATH - 14;

// INVALID_FILE_ATTRIBUTES when the path does not exist or cannot be examined.
DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

// Share mode 0: nobody else may open the file while it is written. Invalid handle on failure.
HANDLE CreateForWriting(const std::string& path, DWORD disposition) {
    return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

WriteFailure FailureOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return WriteFailure::DiskFull;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return WriteFailure::InUse;
    case ERROR_ACCESS_DENIED: return WriteFailure::AccessDenied;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DIRECTORY: return WriteFailure::NoFolder;
    default: return WriteFailure::Other;
    }
}

// One WriteFile straight from the caller's buffer, optionally flushed to the disk, then the close
// (a failed close may be the first sign of lost data). A write that stops short without an error is
// a full disk.
WriteFailure WriteAndClose(win32::ScopedFile file, const void* bytes, std::size_t size, bool flush) {
    if (!file.Valid()) return FailureOf(::GetLastError());
    if (size > MAXDWORD) return WriteFailure::Other;
    DWORD written = 0;
    if (!::WriteFile(file.Get(), bytes, static_cast<DWORD>(size), &written, nullptr))
        return FailureOf(::GetLastError());
    if (written != size) return WriteFailure::DiskFull;
    if (flush && !::FlushFileBuffers(file.Get())) return FailureOf(::GetLastError());
    return file.Close() ? WriteFailure::None : FailureOf(::GetLastError());
}

// A fresh install finds no file in the way: one CREATE_NEW costs one path lookup.
WriteResult WriteNew(HANDLE created, const std::string& path, const void* bytes, std::size_t size) {
    const WriteFailure failure = WriteAndClose(win32::ScopedFile(created), bytes, size, false);
    // Never leave a truncated file behind that looks installed.
    if (failure != WriteFailure::None && !::DeleteFileA(path.c_str())) return {failure, false, path};
    return {failure, false};
}

// New content beside the old file, then one rename over it: until the rename, the old file is as it
// was; after it, the new one is complete on the disk.
WriteResult Replace(const std::string& path, const void* bytes, std::size_t size) {
    WriteFailure failure = CheckReplaceable(path);
    if (failure != WriteFailure::None) return {failure, true};
    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    // Windows refuses a longer folder; Wine's ANSI call writes past the buffer instead.
    if (folder.size() > kMaxTemporaryFolderLength) return {WriteFailure::PathTooLong, true};
    char temporary[MAX_PATH];
    if (!::GetTempFileNameA(folder.c_str(), "~ts", 0, temporary)) return {FailureOf(::GetLastError()), true};
    failure = WriteAndClose(win32::ScopedFile(CreateForWriting(temporary, CREATE_ALWAYS)), bytes, size, true);
    if (failure == WriteFailure::None &&
        !::MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failure = FailureOf(::GetLastError());
    if (failure != WriteFailure::None && !::DeleteFileA(temporary)) return {failure, true, temporary};
    return {failure, true};
}

} // namespace

// The old file is opened for writing and closed again, untouched: a file another program holds, or one
// we may not write, is then refused before its new copy is written out for nothing.
WriteFailure CheckReplaceable(const std::string& path) {
    const DWORD attributes = Attributes(path);
    // Windows refuses to replace a read-only file; Wine running as root does not, so the attribute is
    // asked first and the behaviour is Windows' everywhere.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return WriteFailure::ReadOnly;
    win32::ScopedFile probe(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return probe.Valid() ? WriteFailure::None : FailureOf(::GetLastError());
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != FALSE;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::optional<std::uint64_t> FreeDiskSpace(const std::string& folder) {
    ULARGE_INTEGER available;
    if (!::GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

std::string SystemDirectory() {
    char buffer[kPathBufferLength];
    const UINT length = ::GetSystemDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::string();
    return std::string(buffer, length);
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

WriteResult WriteWholeFile(const std::string& path, const void* bytes, std::size_t size) {
    const HANDLE created = CreateForWriting(path, CREATE_NEW);
    if (created != INVALID_HANDLE_VALUE) return WriteNew(created, path, bytes, size);
    const DWORD error = ::GetLastError();
    // A folder in the file's place is not an older copy of it.
    if (error == ERROR_FILE_EXISTS && !DirectoryExists(path)) return Replace(path, bytes, size);
    return {error == ERROR_FILE_EXISTS ? WriteFailure::AccessDenied : FailureOf(error), false};
}

std::string ExpandEnvironment(const std::string& text) {
    // Asked for the size first; asked again if a variable grew in between.
    DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    while (needed != 0) {
        std::vector<char> buffer(needed);
        const DWORD got = ::ExpandEnvironmentStringsA(text.c_str(), buffer.data(), needed);
        if (got == 0) break;
        if (got <= needed) return std::string(buffer.data());
        needed = got;
    }
    return text;
}

} // namespace platform
