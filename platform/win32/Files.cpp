// Folders and files through the ANSI file API.
#include "platform/Files.h"

#include "platform/win32/ScopedHandles.h"

#include <vector>

namespace platform {
namespace {

// INVALID_FILE_ATTRIBUTES when the path does not exist or cannot be examined.
DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

// Share mode 0: nobody else may open the file while it is written. Invalid handle on failure.
HANDLE CreateForWriting(const std::string& path, DWORD disposition) {
    return ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A fresh install finds no file in the way: one CREATE_NEW costs one path lookup. Only a file that is
// already there is examined and replaced. Windows refuses to replace a read-only file; Wine running as
// root does not, so the attribute is asked first and the behaviour is Windows' everywhere.
HANDLE CreateOrReplace(const std::string& path) {
    HANDLE file = CreateForWriting(path, CREATE_NEW);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    const DWORD existing = Attributes(path);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) return INVALID_HANDLE_VALUE;
    return CreateForWriting(path, CREATE_ALWAYS);
}

// One WriteFile straight from the caller's buffer; true only when every byte went out.
bool WriteAll(HANDLE file, const void* bytes, std::size_t size) {
    if (size > MAXDWORD) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr);
    return ok && written == size;
}

} // namespace

std::string SystemDirectory() {
    char buffer[256];
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

WriteOutcome WriteWholeFile(const std::string& path, const void* bytes, std::size_t size) {
    win32::ScopedFile file(CreateOrReplace(path));
    if (!file.Valid()) return WriteOutcome::NotCreated;
    const bool written = WriteAll(file.Get(), bytes, size);
    const bool closed = file.Close(); // a failed close may be the first sign of lost data
    return written && closed ? WriteOutcome::Written : WriteOutcome::Incomplete;
}

bool DeleteFile(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != FALSE;
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
