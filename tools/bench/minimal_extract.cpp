// minimal_extract <Setup.exe> <target-folder>: the floor ExtractPayload is measured against. Every
// FILE<n> resource goes out with one CreateFile and one WriteFile straight from the mapped image, to the
// destination string n names; folders are made only when a create fails for want of them. No checks,
// no progress, no pump. Opened and timed exactly as extract_harness does.
#include "platform/win32/Win32.h"

#include <cstdio>
#include <cstring>

#include "tools/bench/ExtractTimer.h"

namespace {

// Every folder along the path below the drive, outermost first; failures (already there) are ignored.
void MakeParents(char* path) {
    for (char* at = std::strchr(path + 3, '\\'); at; at = std::strchr(at + 1, '\\')) {
        *at = '\0';
        ::CreateDirectoryA(path, nullptr);
        *at = '\\';
    }
}

HANDLE Create(const char* path) {
    return ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteEntry(HMODULE module, HRSRC found, char* path) {
    const DWORD size = ::SizeofResource(module, found);
    const void* bytes = ::LockResource(::LoadResource(module, found));
    HANDLE file = Create(path);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        MakeParents(path);
        file = Create(path);
    }
    if (file == INVALID_HANDLE_VALUE || !bytes) return false;
    DWORD written = 0;
    const BOOL wrote = ::WriteFile(file, bytes, size, &written, nullptr);
    return ::CloseHandle(file) && wrote && written == size;
}

bool ExtractAll(HMODULE module, const char* target) {
    char path[MAX_PATH];
    const size_t rootLength = std::strlen(target);
    std::memcpy(path, target, rootLength);
    for (unsigned number = 1;; ++number) {
        char name[16];
        std::snprintf(name, sizeof name, "FILE%u", number);
        const HRSRC found = ::FindResourceA(module, name, RT_RCDATA);
        if (!found) return number > 1;
        char* destination = path + rootLength;
        if (::LoadStringA(module, number, destination, static_cast<int>(sizeof path - rootLength)) <= 0)
            return false;
        for (char* c = destination; *c; ++c)
            if (*c == '/') *c = '\\';
        if (!WriteEntry(module, found, path)) return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !*argv[2] || std::strlen(argv[2]) + 2 >= MAX_PATH) {
        std::fprintf(stderr, "usage: minimal_extract <Setup.exe> <target-folder>\n");
        return 2;
    }
    const HMODULE module =
        ::LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        std::fprintf(stderr, "minimal_extract: cannot open %s\n", argv[1]);
        return 1;
    }
    char target[MAX_PATH];
    std::snprintf(target, sizeof target, "%s%s", argv[2],
                  argv[2][std::strlen(argv[2]) - 1] == '\\' ? "" : "\\");
    return bench::TimeExtraction([&] { return ExtractAll(module, target); }) ? 0 : 1;
}
