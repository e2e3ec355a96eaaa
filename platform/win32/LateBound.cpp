#include "platform/win32/LateBound.h"

#include "platform/Error.h"
#include "platform/Files.h"

#include <shellapi.h>

namespace platform::win32::late {
namespace {

const char kOle32[] = "ole32.dll";
const char kShell32[] = "shell32.dll";

const char kKernel32[] = "kernel32.dll";

// The function `name` of `dll` as a pointer of the type of the API it stands for, or null where this
// Windows lacks it. The DLL stays loaded for the rest of the run, so the address stays valid.
template <typename Function> Function* Lookup(const char* dll, const char* name) {
    HMODULE module = ::GetModuleHandleA(dll);
    if (!module) module = ::LoadLibraryA(dll);
    const FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

template <typename Function> Function* Find(const char* dll, const char* name) {
    Function* found = Lookup<Function>(dll, name);
    if (!found) throw Error(Format("Cannot load %s", name));
    return found;
}

} // namespace

// One lookup each, on the first call; the program has one thread.
#define LATE_BOUND(dll, name) static auto* const function = Find<decltype(::name)>(dll, #name)

HRESULT CoInitializeEx(LPVOID reserved, DWORD model) {
    LATE_BOUND(kOle32, CoInitializeEx);
    return function(reserved, model);
}

void CoUninitialize() {
    LATE_BOUND(kOle32, CoUninitialize);
    function();
}

HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                         LPVOID* object) {
    LATE_BOUND(kOle32, CoCreateInstance);
    return function(classId, outer, context, interfaceId, object);
}

void CoTaskMemFree(LPVOID memory) {
    LATE_BOUND(kOle32, CoTaskMemFree);
    function(memory);
}

PIDLIST_ABSOLUTE SHBrowseForFolderA(LPBROWSEINFOA info) {
    LATE_BOUND(kShell32, SHBrowseForFolderA);
    return function(info);
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) {
    LATE_BOUND(kShell32, SHGetPathFromIDListW);
    return function(list, path);
}

HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path) {
    LATE_BOUND(kShell32, SHGetFolderPathW);
    return function(owner, folder, token, flags, path);
}

void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2) {
    LATE_BOUND(kShell32, SHChangeNotify);
    function(event, flags, item1, item2);
}

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
    LATE_BOUND(kShell32, ShellExecuteA);
    return function(owner, verb, file, parameters, directory, show);
}

bool SetDefaultDllDirectories(DWORD directories) {
    static auto* const function =
        Lookup<decltype(::SetDefaultDllDirectories)>(kKernel32, "SetDefaultDllDirectories");
    return function && function(directories);
}

namespace {

// Not a KnownDLL: loaded by its full path, so no other folder is ever searched for it, whether or not
// SetDefaultDllDirectories was available. Loaded once, on the first call, and kept.
HMODULE RestartManager() {
    static const HMODULE module = [] {
        const std::string system = SystemDirectory();
        return system.empty() ? nullptr : ::LoadLibraryA((system + "\\rstrtmgr.dll").c_str());
    }();
    return module;
}

template <typename Function> Function* FromRestartManager(const char* name) {
    const FARPROC found = RestartManager() ? ::GetProcAddress(RestartManager(), name) : nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
}

} // namespace

#define RESTART_MANAGER(name)                                                                           \
    static auto* const function = FromRestartManager<decltype(::name)>(#name);                          \
    if (!function) return ERROR_PROC_NOT_FOUND

DWORD RmStartSession(DWORD* session, DWORD flags, WCHAR key[]) {
    RESTART_MANAGER(RmStartSession);
    return function(session, flags, key);
}

DWORD RmRegisterResources(DWORD session, UINT files, LPCWSTR names[], UINT processes,
                          RM_UNIQUE_PROCESS applications[], UINT services, LPCWSTR serviceNames[]) {
    RESTART_MANAGER(RmRegisterResources);
    return function(session, files, names, processes, applications, services, serviceNames);
}

DWORD RmGetList(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO found[], LPDWORD reasons) {
    RESTART_MANAGER(RmGetList);
    return function(session, needed, count, found, reasons);
}

DWORD RmEndSession(DWORD session) {
    RESTART_MANAGER(RmEndSession);
    return function(session);
}

#undef RESTART_MANAGER

#undef LATE_BOUND

} // namespace platform::win32::late
