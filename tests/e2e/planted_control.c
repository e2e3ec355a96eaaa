// The planted-DLL run's control: a careless program that loads a DLL by bare name with the default search
// order, which looks in the program's own folder first. Run from the folder holding the planted DLLs it
// must pick up the planted copy; if it does not, the run could not have seen the installer load one
// either. Prints the path the DLL was loaded from; exits 1 when the load fails.
//   planted_control [dll-name]      default: version.dll
#include <windows.h>
#include <stdio.h>

int main(int argc, char** argv) {
    const char* name = argc > 1 ? argv[1] : "version.dll";
    HMODULE module = LoadLibraryA(name);
    if (!module) {
        fprintf(stderr, "planted_control: LoadLibraryA(\"%s\") failed: error %lu\n", name, GetLastError());
        return 1;
    }
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    printf("loaded %s from %s\n", name, path);
    return 0;
}
