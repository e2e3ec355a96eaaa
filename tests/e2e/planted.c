// A stand-in for a DLL that an attacker drops beside a downloaded Setup.exe. The build gives it the names
// of system DLLs that programs load by bare name (version.dll, uxtheme.dll, ...); the planted-DLL run
// (tests/e2e/test_hardening.py) puts the copies next to the installer. When any process maps one, it
// leaves a marker file "<dll name>.loaded" holding the path of the program that loaded it, in the folder
// named by PLANTED_MARKERS or, without that variable, beside the DLL itself. Nothing else: it must stay
// harmless for the program that loads it by mistake.
#include <windows.h>

// So the linker emits an export table, as a real DLL of the same name would have one.
__declspec(dllexport) int PlantedDllMarker(void) {
    return 1;
}

static void LeaveMarker(HINSTANCE self) {
    char dll[MAX_PATH], folder[MAX_PATH], marker[MAX_PATH + 16], program[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, dll, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const char* name = dll;
    for (const char* p = dll; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;

    DWORD got = GetEnvironmentVariableA("PLANTED_MARKERS", folder, MAX_PATH);
    if (got == 0 || got >= MAX_PATH - 1) {
        lstrcpynA(folder, dll, (int)(name - dll) + 1);
    } else if (folder[got - 1] != '\\') {
        lstrcatA(folder, "\\");
    }
    if (lstrlenA(folder) + lstrlenA(name) + 8 > (int)sizeof marker) return;
    lstrcpyA(marker, folder);
    lstrcatA(marker, name);
    lstrcatA(marker, ".loaded");

    // Appended, not replaced: two programs may load the same DLL, and each one should show.
    HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    length = GetModuleFileNameA(NULL, program, MAX_PATH - 2);
    if (length >= MAX_PATH - 2) length = 0;
    program[length++] = '\r';
    program[length++] = '\n';
    DWORD written;
    WriteFile(file, program, length, &written, NULL);
    CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}
