// launch_timer <program.exe> <caption> [timeout-ms]: starts the program and prints, in milliseconds from
// just before CreateProcess, when a visible top-level window of that process with that caption appeared
// (visible_ms) and when every visible window of the process had been painted (painted_ms). Then it ends
// the program. Exit 1 when the window does not appear or paint in time, or the program dies first.
//
// "Painted" is decided from outside without touching the program: its thread answers a sent WM_NULL
// (so it is back in its message loop, no handler running) and no visible window of the process, child
// controls included, still has an update region. Asked twice, because BeginPaint empties the region
// before the handler draws: the second answer proves that handler has returned.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kDefaultTimeout = 30000;

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

double MillisecondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(Now().QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

bool OwnedBy(HWND window, DWORD processId) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    return owner == processId;
}

HWND FindVisible(const char* caption, DWORD processId) {
    for (HWND window = ::FindWindowExA(nullptr, nullptr, nullptr, caption); window;
         window = ::FindWindowExA(nullptr, window, nullptr, caption))
        if (OwnedBy(window, processId) && ::IsWindowVisible(window)) return window;
    return nullptr;
}

bool NeedsPaint(HWND window) {
    return ::IsWindowVisible(window) && ::GetUpdateRect(window, nullptr, FALSE);
}

BOOL CALLBACK FindUnpaintedChild(HWND child, LPARAM found) {
    if (!NeedsPaint(child)) return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

struct PaintScan {
    DWORD processId;
    bool pending;
};

BOOL CALLBACK FindUnpaintedTopLevel(HWND window, LPARAM data) {
    auto* scan = reinterpret_cast<PaintScan*>(data);
    if (!OwnedBy(window, scan->processId) || !::IsWindowVisible(window)) return TRUE;
    if (NeedsPaint(window))
        scan->pending = true;
    else
        ::EnumChildWindows(window, FindUnpaintedChild, reinterpret_cast<LPARAM>(&scan->pending));
    return !scan->pending;
}

bool PaintPending(DWORD processId) {
    PaintScan scan{processId, false};
    ::EnumWindows(FindUnpaintedTopLevel, reinterpret_cast<LPARAM>(&scan));
    return scan.pending;
}

// True once the window's thread has taken a sent message, i.e. is waiting in its message loop.
bool Answers(HWND window, DWORD timeout) {
    DWORD_PTR result;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &result) != 0;
}

bool Alive(HANDLE process) {
    return ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

int Fail(const char* what, HANDLE process) {
    std::fprintf(stderr, "launch_timer: %s\n", what);
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, 5000);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: launch_timer <program.exe> <caption> [timeout-ms]\n");
        return 2;
    }
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : kDefaultTimeout;
    std::string commandLine = "\"" + std::string(argv[1]) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};

    const LARGE_INTEGER start = Now();
    if (!::CreateProcessA(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started)) {
        std::fprintf(stderr, "launch_timer: cannot start %s (error %lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    ::CloseHandle(started.hThread);
    const HANDLE process = started.hProcess;

    HWND window = nullptr;
    while (!(window = FindVisible(argv[2], started.dwProcessId))) {
        if (!Alive(process)) return Fail("the program ended before its window appeared", process);
        if (MillisecondsSince(start) > timeout) return Fail("no window appeared in time", process);
        ::Sleep(1);
    }
    const double visible = MillisecondsSince(start);

    for (;;) {
        if (!Answers(window, timeout)) return Fail("the program stopped answering", process);
        if (!PaintPending(started.dwProcessId)) {
            if (!Answers(window, timeout)) return Fail("the program stopped answering", process);
            if (!PaintPending(started.dwProcessId)) break;
        }
        if (MillisecondsSince(start) > timeout) return Fail("the window was not painted in time", process);
        ::Sleep(1);
    }
    const double painted = MillisecondsSince(start);

    std::printf("visible_ms=%.3f\npainted_ms=%.3f\n", visible, painted);
    std::fflush(stdout);
    ::TerminateProcess(process, 0);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
    return 0;
}
