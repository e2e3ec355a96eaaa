// Sample stand-in for the uninstaller: it says what it is and leaves everything in place.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr,
                "This is the sample uninstaller that comes with test builds of the installer.\n"
                "It removes nothing.",
                "Torvek Pellum 3.9.8.7", MB_OK | MB_ICONINFORMATION);
    return 0;
}
