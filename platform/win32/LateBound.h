#pragma once
// The ole32 and shell32 functions the installer calls, bound when first called instead of imported:
// start-up needs neither DLL (COM is entered with the first shell link; the shell is asked only for
// folders, links and documents later on), and under Wine the loader's mapping of the two costs about
// 10 ms before the first window. Both are KnownDLLs, so loading them by name never searches the
// program's folder. Each function takes and returns what the API of its name does; a function that
// cannot be found (no Windows lacks these) raises platform::Error("Cannot load <name>").
#include "platform/win32/Win32.h"

#include <objbase.h>
#include <restartmanager.h>
#include <shlobj.h>

namespace platform::win32::late {

HRESULT CoInitializeEx(LPVOID reserved, DWORD model);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                         LPVOID* object);
void CoTaskMemFree(LPVOID memory);

PIDLIST_ABSOLUTE SHBrowseForFolderA(LPBROWSEINFOA info);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);
HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);
HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);

// Optional: false where the system lacks the function (Windows before the 2011 loader update).
bool SetDefaultDllDirectories(DWORD directories);

// Optional, from the system folder's rstrtmgr.dll (asked for only when a file is found held):
// ERROR_PROC_NOT_FOUND where the system has no Restart Manager (Windows before Vista).
DWORD RmStartSession(DWORD* session, DWORD flags, WCHAR key[]);
DWORD RmRegisterResources(DWORD session, UINT files, LPCWSTR names[], UINT processes,
                          RM_UNIQUE_PROCESS applications[], UINT services, LPCWSTR serviceNames[]);
DWORD RmGetList(DWORD session, UINT* needed, UINT* count, RM_PROCESS_INFO found[], LPDWORD reasons);
DWORD RmEndSession(DWORD session);

} // namespace platform::win32::late
