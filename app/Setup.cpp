// Setup.exe: start-up order, the message loop and the exit code. The backdrop is created first and is
// the main window; the wizard comes next, and its OnCreate runs the start-up step. The backdrop is
// shown maximised once it has its titles, and the wizard is shown in front of it.
#include "platform/win32/Win32.h"

#include "platform/Shell.h"
#include "platform/win32/LateBound.h"
#include "platform/win32/ScopedHandles.h"
#include "ui/ErrorReport.h"
#include "ui/Backdrop.h"
#include "ui/Wizard.h"

namespace {

// Later DLL loads (COM, the shell) then come from System32 only, never from the folder Setup.exe was
// started from, where a planted DLL could be waiting. Systems without the loader update lack the
// call; the program must still start there.
void RestrictDllSearch() {
    platform::win32::late::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Ends on WM_QUIT, or when a nested PumpMessages has already taken the quit request off the queue.
void RunMessageLoop(Wizard& wizard) {
    MSG message;
    while (!wizard.QuitRequested() && ::GetMessageA(&message, nullptr, 0, 0) > 0)
        wizard.HandleQueuedMessage(message);
}

void Run(HINSTANCE instance) {
    // The shell-link component needs an apartment-threaded COM: entered when first needed, kept for
    // the rest of the run.
    platform::win32::ComApartmentOnDemand com;
    Backdrop backdrop;
    backdrop.Create(instance);
    Wizard wizard(&backdrop);
    backdrop.SetCloseRequestHandler(Wizard::CloseRequest, &wizard);
    wizard.Create(instance); // shows the backdrop maximised, then the wizard in front of it
    backdrop.SetKeyboardWindow(wizard.Handle());
    platform::SetShellOwner(backdrop.Handle());
    // The keyboard belongs to the wizard, in front of the backdrop.
    ::SetForegroundWindow(wizard.Handle());
    RunMessageLoop(wizard);
    // The windows go in reverse order of creation, before COM is released.
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        RestrictDllSearch();
        Run(instance);
    } catch (...) {
        ReportUnhandledError();
    }
    return 0;
}
