// Setup.exe: start-up order, the message loop and the exit code. The backdrop is created first and is
// the main window; the wizard comes next, and its FormCreate runs the start-up step. The backdrop is
// shown maximised once it has its titles, and the wizard is shown in front of it.
#include "platform/win32/Win32.h"

#include "platform/Shell.h"
#include "platform/win32/ScopedHandles.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"
#include "ui/Unit2.h"

namespace {

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

// Ends on WM_QUIT, or when a nested PumpMessages has already taken the quit request off the queue.
void RunMessageLoop(TForm2& wizard) {
    MSG message;
    while (!wizard.QuitRequested() && ::GetMessageA(&message, nullptr, 0, 0) > 0)
        wizard.HandleQueuedMessage(message);
}

void Run(HINSTANCE instance) {
    // The shell-link component needs an apartment-threaded COM: entered when first needed, kept for
    // the rest of the run.
    platform::win32::ComApartmentOnDemand com;
    TForm1 form1;
    form1.Create(instance);
    TForm2 form2(&form1);
    form1.SetCloseRequestHandler(TForm2::CloseRequest, &form2);
    form2.Create(instance); // shows the backdrop maximised, then the wizard in front of it
    form1.SetKeyboardWindow(form2.Handle());
    platform::SetShellOwner(form1.Handle());
    // The keyboard belongs to the wizard, in front of the backdrop.
    ::SetForegroundWindow(form2.Handle());
    RunMessageLoop(form2);
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
