// Sample stand-in for the main program: a window that shows how it was started.
//
// When TORVEK_SAMPLE_REPORT names a file, two lines are appended to it at start, each ending in
// CRLF: the raw command line (GetCommandLineA) and the current directory. Tests read them to see
// how the installer or the shell started the program.
#include <windows.h>

#include <string>

namespace {

constexpr char kTitle[] = "Torvek Pellum 3.9.8.7";
constexpr char kClassName[] = "TorvekPellumSample";

std::string CurrentDirectory() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

void AppendReport(const std::string& commandLine, const std::string& directory) {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableA("TORVEK_SAMPLE_REPORT", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string lines = commandLine + "\r\n" + directory + "\r\n";
    DWORD written = 0;
    WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND AddLabel(HWND parent, const std::string& text, int top, int height) {
    HWND label = CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12,
                                 top, 560, height, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return label;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    const std::string commandLine = GetCommandLineA();
    const std::string directory = CurrentDirectory();
    AppendReport(commandLine, directory);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) return 1;

    HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  600, 220, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    AddLabel(window, "Command line:", 12, 16);
    AddLabel(window, commandLine, 30, 48);
    AddLabel(window, "Current directory:", 86, 16);
    AddLabel(window, directory, 104, 32);
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
