// Setup.exe entry point. Until the wizard exists it only says so and shows where it would install.
#include <windows.h>
#include <objbase.h>

#include <exception>
#include <string>

#include "engine/InstallState.h"

namespace {

constexpr char kCaption[] = "Install manager";

// Later DLL loads (COM, the shell) then come from System32 only, never from the folder Setup.exe was
// started from, where a planted DLL could be waiting. Looked up at run time: systems without the
// loader update lack the function, and the program must still start there.
void RestrictDllSearch() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const FARPROC found = ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (found)
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
}

class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    ComApartment com;
    std::string text = "The installation wizard is not built yet.";
    try {
        ProposeFreshFolder();
        text += "\n\nIt would propose this folder:\n" + State().InstallFolder;
    } catch (const std::exception& error) {
        text += "\n\n";
        text += error.what();
    }
    ::MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
