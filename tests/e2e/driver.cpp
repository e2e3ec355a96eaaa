// e2e_driver: drives the installer's windows from outside, as a person would, for scripts/e2e.
// Every subcommand prints its findings on stdout and exits 0, or prints why on stderr and exits 1.
// Windows are found by caption with EnumWindows + GetWindowText, which never blocks on a busy process;
// clicks are posted, so a click that opens a modal dialog does not hold the driver.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kDefaultTimeout = 10000;
constexpr DWORD kPollInterval = 50;

int Fail(const std::string& message) {
    std::fprintf(stderr, "e2e_driver: %s\n", message.c_str());
    return 1;
}

// Large enough for a message box that lists every payload file.
std::string WindowText(HWND window) {
    char buffer[8192] = {};
    ::GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string ClassOf(HWND window) {
    char buffer[256] = {};
    ::GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

// "class:NAME" selects a top-level window by its class (the backdrop has no caption); anything else is
// the exact caption of a visible top-level window.
HWND FindTopLevel(const std::string& key) {
    struct Search {
        std::string key;
        HWND found;
    } search{key, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (!::IsWindowVisible(window)) return TRUE;
            bool match = s->key.rfind("class:", 0) == 0 ? ClassOf(window) == s->key.substr(6)
                                                        : WindowText(window) == s->key;
            if (!match) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> all;
    ::EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) CALLBACK -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

bool SameClass(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A visible child BUTTON (push, radio or check) with this exact text; hidden pages are stacked in the
// same place, so visible controls win over hidden ones with the same text.
HWND FindButton(HWND top, const std::string& text) {
    HWND hidden = nullptr;
    for (HWND child : Descendants(top)) {
        if (!SameClass(ClassOf(child), "Button") || WindowText(child) != text) continue;
        if (::IsWindowVisible(child)) return child;
        if (!hidden) hidden = child;
    }
    return hidden;
}

HWND FindNth(HWND top, const std::string& className, int index) {
    int seen = 0;
    for (HWND child : Descendants(top))
        if (SameClass(ClassOf(child), className) && seen++ == index) return child;
    return nullptr;
}

DWORD TimeoutArg(int argc, char** argv, int at) {
    return argc > at ? static_cast<DWORD>(std::strtoul(argv[at], nullptr, 10)) : kDefaultTimeout;
}

HWND WaitWindow(const std::string& key, DWORD timeout) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND window = FindTopLevel(key)) return window;
        if (::GetTickCount() - start >= timeout) return nullptr;
        ::Sleep(kPollInterval);
    }
}

HWND NeedWindow(const std::string& key) {
    HWND window = WaitWindow(key, kDefaultTimeout);
    if (!window) std::fprintf(stderr, "e2e_driver: no window \"%s\"\n", key.c_str());
    return window;
}

int WaitWindowCommand(int argc, char** argv) {
    if (!WaitWindow(argv[2], TimeoutArg(argc, argv, 3)))
        return Fail("timed out waiting for \"" + std::string(argv[2]) + "\"");
    std::printf("found %s\n", argv[2]);
    return 0;
}

int WaitGoneCommand(int argc, char** argv) {
    DWORD start = ::GetTickCount(), timeout = TimeoutArg(argc, argv, 3);
    while (FindTopLevel(argv[2])) {
        if (::GetTickCount() - start >= timeout) return Fail("still there: \"" + std::string(argv[2]) + "\"");
        ::Sleep(kPollInterval);
    }
    std::printf("gone %s\n", argv[2]);
    return 0;
}

// Waits until the button is there, visible and enabled (a page switch may still be running), then
// posts the click.
int ClickCommand(int argc, char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    DWORD start = ::GetTickCount(), timeout = TimeoutArg(argc, argv, 4);
    for (;;) {
        HWND button = FindButton(top, argv[3]);
        if (button && ::IsWindowVisible(button) && ::IsWindowEnabled(button)) {
            ::PostMessageA(button, BM_CLICK, 0, 0);
            std::printf("clicked %s\n", argv[3]);
            return 0;
        }
        if (::GetTickCount() - start >= timeout)
            return Fail(std::string("no visible enabled button \"") + argv[3] + "\" in \"" + argv[2] + "\"");
        ::Sleep(kPollInterval);
    }
}

// Posts two clicks back to back, so the second is queued before the first one's handler runs: the
// way to press a button while a long step (copying) is under way.
int ClickThenCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    HWND first = FindButton(top, argv[3]), second = FindButton(top, argv[4]);
    if (!first || !second) return Fail("both buttons must exist in \"" + std::string(argv[2]) + "\"");
    ::PostMessageA(first, BM_CLICK, 0, 0);
    ::PostMessageA(second, BM_CLICK, 0, 0);
    std::printf("clicked %s then %s\n", argv[3], argv[4]);
    return 0;
}

int StateCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    HWND button = FindButton(top, argv[3]);
    if (!button) return Fail(std::string("no button \"") + argv[3] + "\"");
    // BM_GETCHECK returns an int, so asking another process is safe.
    LRESULT checked = ::SendMessageA(button, BM_GETCHECK, 0, 0);
    std::printf("visible=%d enabled=%d checked=%d\n", ::IsWindowVisible(button) ? 1 : 0,
                ::IsWindowEnabled(button) ? 1 : 0, checked == BST_CHECKED ? 1 : 0);
    return 0;
}

int TextCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    HWND child = FindNth(top, argv[3], std::atoi(argv[4]));
    if (!child) return Fail(std::string("no ") + argv[3] + " number " + argv[4]);
    // An edit control keeps its text to itself, so it has to be asked; the timeout keeps a busy
    // installer from holding the driver.
    char buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutA(child, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                               SMTO_ABORTIFHUNG, 2000, &copied))
        return Fail("the window did not answer WM_GETTEXT");
    std::printf("%s\n", buffer);
    return 0;
}

// WM_SETTEXT as Unicode, as typing sends characters, marshalled across processes; the edit control then
// tells its parent EN_CHANGE, as typing would.
int SetTextCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    HWND child = FindNth(top, argv[3], std::atoi(argv[4]));
    if (!child) return Fail(std::string("no ") + argv[3] + " number " + argv[4]);
    std::vector<wchar_t> text(std::strlen(argv[5]) + 1);
    ::MultiByteToWideChar(CP_ACP, 0, argv[5], -1, text.data(), static_cast<int>(text.size()));
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                               2000, &result))
        return Fail("the window did not answer WM_SETTEXT");
    std::printf("set %s\n", argv[5]);
    return 0;
}

int AnswerCommand(int argc, char** argv) {
    HWND dialog = WaitWindow(argv[2], TimeoutArg(argc, argv, 4));
    if (!dialog) return Fail("no dialog \"" + std::string(argv[2]) + "\"");
    HWND button = FindButton(dialog, argv[3]);
    if (!button) return Fail(std::string("no button \"") + argv[3] + "\" in \"" + argv[2] + "\"");
    std::string message;
    for (HWND child : Descendants(dialog))
        if (SameClass(ClassOf(child), "Static") && !WindowText(child).empty()) message = WindowText(child);
    ::PostMessageA(button, BM_CLICK, 0, 0);
    // Done once the dialog has closed: the next command must not find it still up (a box that comes
    // again with the same caption, Retry after Retry, is another window).
    DWORD start = ::GetTickCount();
    while (::IsWindow(dialog) && ::IsWindowVisible(dialog)) {
        if (::GetTickCount() - start >= kDefaultTimeout)
            return Fail(std::string("\"") + argv[2] + "\" still open after " + argv[3]);
        ::Sleep(kPollInterval);
    }
    std::printf("%s\n", message.c_str());
    return 0;
}

int CloseCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    ::PostMessageA(top, WM_CLOSE, 0, 0);
    std::printf("close posted to %s\n", argv[2]);
    return 0;
}

HWND FindListView(const std::string& caption) {
    HWND top = NeedWindow(caption);
    return top ? FindNth(top, WC_LISTVIEWA, 0) : nullptr;
}

int ListItemsCommand(char** argv) {
    HWND list = FindListView(argv[2]);
    if (!list) return Fail("no list view");
    int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::printf("count=%d checked=", count);
    for (int i = 0; i < count; ++i) {
        UINT state = static_cast<UINT>(::SendMessageA(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
        std::printf("%d", (state >> 12) == 2 ? 1 : 0);
    }
    std::printf("\n");
    return 0;
}

// LVM_SETITEMSTATE takes a pointer, so the LVITEM is written into the list's own process.
int CheckItemCommand(char** argv) {
    HWND list = FindListView(argv[2]);
    if (!list) return Fail("no list view");
    DWORD pid = 0;
    ::GetWindowThreadProcessId(list, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ, FALSE, pid);
    if (!process) return Fail("cannot open the list's process");
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(std::atoi(argv[4]) ? 2 : 1);
    void* remote = ::VirtualAllocEx(process, nullptr, sizeof item, MEM_COMMIT, PAGE_READWRITE);
    SIZE_T written = 0;
    bool ok = remote && ::WriteProcessMemory(process, remote, &item, sizeof item, &written) &&
              ::SendMessageA(list, LVM_SETITEMSTATE, std::atoi(argv[3]), reinterpret_cast<LPARAM>(remote));
    if (remote) ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    ::CloseHandle(process);
    if (!ok) return Fail("LVM_SETITEMSTATE failed");
    std::printf("item %s set to %s\n", argv[3], argv[4]);
    return 0;
}

int ReadLinkCommand(char** argv) {
    ::CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    int status = 1;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, argv[2], -1, wide, MAX_PATH);
        char target[MAX_PATH] = {}, directory[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetWorkingDirectory(directory, MAX_PATH))) {
            std::printf("target=%s\ndir=%s\n", target, directory);
            status = 0;
        }
    }
    if (file) file->Release();
    if (link) link->Release();
    ::CoUninitialize();
    return status ? Fail(std::string("cannot read link ") + argv[2]) : 0;
}

template <typename Visit> void ForEachProcess(Visit visit) {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry))
        visit(entry);
    ::CloseHandle(snapshot);
}

int ProcessesCommand() {
    ForEachProcess([](const PROCESSENTRY32& entry) { std::printf("%s\n", entry.szExeFile); });
    return 0;
}

int KillCommand(char** argv) {
    int killed = 0;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (::lstrcmpiA(entry.szExeFile, argv[2]) != 0) return;
        HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process && ::TerminateProcess(process, 0)) ++killed;
        if (process) ::CloseHandle(process);
    });
    std::printf("killed %d\n", killed);
    return killed ? 0 : Fail(std::string("no process ") + argv[2]);
}

// The shell's "open" of a document, as Explorer does on a double click; waits for nothing.
int OpenCommand(char** argv) {
    HINSTANCE result = ::ShellExecuteA(nullptr, "open", argv[2], nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        return Fail("ShellExecute failed: " + std::to_string(reinterpret_cast<INT_PTR>(result)));
    std::printf("opened %s\n", argv[2]);
    return 0;
}

// Another program holding a file open without sharing, as an editor or a virus scanner may: opens the
// existing file, says so, keeps it for the given time, then lets it go.
int HoldCommand(char** argv) {
    HANDLE file = ::CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(std::string("cannot open ") + argv[2]);
    std::printf("holding %s\n", argv[2]);
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    ::CloseHandle(file);
    return 0;
}

// Stores a value exactly as given, without the terminating NUL that reg.exe always adds: the way a
// careless program may leave a string in the registry. The key is HKLM\... or HKCU\....
int RegSetCommand(char** argv) {
    std::string path = argv[2];
    HKEY root = path.rfind("HKCU\\", 0) == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, path.substr(5).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
        return Fail("cannot create " + path);
    const std::string data = argv[5];
    LONG result =
        ::RegSetValueExA(key, argv[3], 0, std::strtoul(argv[4], nullptr, 10),
                         reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    ::RegCloseKey(key);
    if (result) return Fail("cannot set " + std::string(argv[3]));
    std::printf("set %s (%u bytes, no terminator)\n", argv[3], static_cast<unsigned>(data.size()));
    return 0;
}

HKEY RootOf(const std::string& path) {
    if (path.rfind("HKCU\\", 0) == 0) return HKEY_CURRENT_USER;
    if (path.rfind("HKCR\\", 0) == 0) return HKEY_CLASSES_ROOT;
    return HKEY_LOCAL_MACHINE;
}

std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size())));
    if (!wide.empty()) wide.pop_back();
    return wide;
}

std::string Utf8(const std::wstring& wide) {
    std::string text(wide.size() * 3 + 1, '\0');
    text.resize(::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], static_cast<int>(text.size()),
                                      nullptr, nullptr));
    if (!text.empty()) text.pop_back();
    return text;
}

// A key (HKLM\..., HKCU\... or HKCR\...) read through the wide API: exits 0 when it exists; with a value
// name ("/ve": the default value) prints that value, a string in UTF-8 (any script, where reg query
// would print "?"), a DWORD as 0x.. (as reg query does), anything else as hex bytes.
int RegGetCommand(int argc, char** argv) {
    const std::string path = argv[2];
    HKEY key = nullptr;
    if (::RegOpenKeyExW(RootOf(path), Wide(path.substr(5)).c_str(), 0, KEY_QUERY_VALUE, &key))
        return Fail("no key " + path);
    std::vector<BYTE> data;
    DWORD type = 0, size = 0;
    LONG result = ERROR_SUCCESS;
    std::wstring name = argc > 3 && std::string(argv[3]) != "/ve" ? Wide(argv[3]) : L"";
    if (argc > 3) {
        result = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        data.resize(size + sizeof(wchar_t));
        if (!result) result = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    ::RegCloseKey(key);
    if (argc <= 3) return 0;
    if (result) return Fail("no value " + std::string(argv[3]) + " in " + path);
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        std::printf("%s\n", Utf8(text.substr(0, text.find(L'\0'))).c_str());
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
        std::printf("0x%lx\n", *reinterpret_cast<const DWORD*>(data.data()));
    } else {
        for (DWORD i = 0; i < size; ++i)
            std::printf("%02x", data[i]);
        std::printf("\n");
    }
    return 0;
}

bool EnablePrivilege(const char* name) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = ::LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid) &&
              ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              ::GetLastError() == ERROR_SUCCESS;
    ::CloseHandle(token);
    return ok;
}

// HKLM and HKCU saved whole to two files, one request to Wine's server each (reg export walks the tree
// through the API and takes seconds). Wine writes its own hive format, as in system.reg and user.reg.
int RegSaveCommand(char** argv) {
    if (!EnablePrivilege(SE_BACKUP_NAME)) return Fail("cannot enable the backup privilege");
    const std::pair<HKEY, const char*> roots[] = {{HKEY_LOCAL_MACHINE, argv[2]},
                                                  {HKEY_CURRENT_USER, argv[3]}};
    for (const auto& [root, file] : roots) {
        ::DeleteFileA(file);
        if (LONG result = ::RegSaveKeyA(root, file, nullptr))
            return Fail(std::string("cannot save to ") + file + ": error " + std::to_string(result));
    }
    std::printf("saved %s %s\n", argv[2], argv[3]);
    return 0;
}

// The control that has the keyboard focus in the thread that owns the window (GetGUIThreadInfo reads
// another thread's state without asking it), and the thread's active window.
int FocusCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &info)) return Fail("GetGUIThreadInfo failed");
    std::string text = info.hwndFocus ? WindowText(info.hwndFocus) : "";
    // An edit control keeps its text to itself: it has to be asked, with a timeout for a busy installer.
    char buffer[256] = {};
    DWORD_PTR copied = 0;
    if (info.hwndFocus && SameClass(ClassOf(info.hwndFocus), "Edit") &&
        ::SendMessageTimeoutA(info.hwndFocus, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                              SMTO_ABORTIFHUNG, 2000, &copied))
        text = buffer;
    text = text.substr(0, text.find_first_of("\r\n")).substr(0, 60);
    std::printf("focus=%s:%s\nactive=%s\n", info.hwndFocus ? ClassOf(info.hwndFocus).c_str() : "none",
                text.c_str(), info.hwndActive ? WindowText(info.hwndActive).c_str() : "none");
    return 0;
}

struct KeyName {
    const char* name;
    WORD key;
};
constexpr KeyName kKeys[] = {{"tab", VK_TAB},       {"enter", VK_RETURN}, {"escape", VK_ESCAPE},
                             {"space", VK_SPACE},   {"up", VK_UP},        {"down", VK_DOWN},
                             {"left", VK_LEFT},     {"right", VK_RIGHT},  {"pagedown", VK_NEXT},
                             {"pageup", VK_PRIOR}};

INPUT KeyInput(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Real key presses through the system's input queue, to whatever window has the keyboard, as a
// person types them: "tab", "shift+tab", "enter", ... Keys whose effect the next key depends on (one
// that opens a dialog) are best sent one call at a time, waiting for that effect in between.
int KeysCommand(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        std::string name = argv[i];
        const bool shift = name.rfind("shift+", 0) == 0;
        if (shift) name = name.substr(6);
        WORD key = 0;
        for (const KeyName& known : kKeys)
            if (name == known.name) key = known.key;
        if (!key) return Fail("unknown key " + std::string(argv[i]));
        std::vector<INPUT> inputs;
        if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
        inputs.push_back(KeyInput(key, false));
        inputs.push_back(KeyInput(key, true));
        if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
        if (::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
            return Fail("SendInput failed");
    }
    std::printf("typed %d keys\n", argc - 2);
    return 0;
}

// A real mouse click at a point of the window's client area, through the system's input queue.
int ClickAtCommand(char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    POINT point = {std::atoi(argv[3]), std::atoi(argv[4])};
    ::ClientToScreen(top, &point);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = point.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = point.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    if (::SendInput(3, inputs, sizeof(INPUT)) != 3) return Fail("SendInput failed");
    std::printf("clicked at %ld,%ld\n", point.x, point.y);
    return 0;
}

// The window's client size and, for a button named by its text, the button's rectangle in the
// window's client area.
int RectCommand(int argc, char** argv) {
    HWND top = NeedWindow(argv[2]);
    if (!top) return 1;
    RECT client;
    ::GetClientRect(top, &client);
    std::printf("client=%ldx%ld\n", client.right, client.bottom);
    if (argc < 4) return 0;
    HWND button = FindButton(top, argv[3]);
    if (!button) return Fail(std::string("no button \"") + argv[3] + "\"");
    RECT r;
    ::GetWindowRect(button, &r);
    ::MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    std::printf("rect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

struct Command {
    const char* name;
    int minArgs;
    const char* usage;
};

constexpr Command kCommands[] = {
    {"wait-window", 1, "<caption> [timeout-ms]"},
    {"wait-gone", 1, "<caption> [timeout-ms]"},
    {"click", 2, "<caption> <button-text> [timeout-ms]"},
    {"click-then", 3, "<caption> <first-button> <second-button>"},
    {"state", 2, "<caption> <button-text>"},
    {"set-text", 4, "<caption> <class> <index> <text>"},
    {"hold", 2, "<path> <milliseconds>"},
    {"reg-set", 4, "<HKLM|HKCU\\key> <name> <type> <text>"},
    {"reg-get", 1, "<HKLM|HKCU|HKCR\\key> [name|/ve]"},
    {"reg-save", 2, "<hklm-file> <hkcu-file>"},
    {"text", 3, "<caption> <class> <index>"},
    {"answer", 2, "<dialog-caption> <button-text> [timeout-ms]"},
    {"close", 1, "<caption>"},
    {"list-items", 1, "<caption>"},
    {"check-item", 3, "<caption> <index> <0|1>"},
    {"read-link", 1, "<path.lnk>"},
    {"processes", 0, ""},
    {"kill", 1, "<exe-name>"},
    {"open", 1, "<path>"},
    {"focus", 1, "<caption>"},
    {"keys", 1, "<key>... (tab shift+tab enter escape space up down left right pageup pagedown)"},
    {"click-at", 3, "<caption> <client-x> <client-y>"},
    {"rect", 1, "<caption> [button-text]"},
};

int Usage() {
    std::fprintf(stderr, "usage: e2e_driver <command> [args]  (a caption may be class:NAME)\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  %s %s\n", c.name, c.usage);
    std::fprintf(stderr, "  serve  (the commands from stdin, one a line, arguments separated by tabs)\n");
    return 2;
}

// One command, argv[1] its name, as on the command line.
int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string name = argv[1];
    bool known = false;
    for (const Command& c : kCommands)
        if (name == c.name) {
            if (argc - 2 < c.minArgs) return Usage();
            known = true;
        }
    if (!known) return Usage();
    if (name == "wait-window") return WaitWindowCommand(argc, argv);
    if (name == "wait-gone") return WaitGoneCommand(argc, argv);
    if (name == "click") return ClickCommand(argc, argv);
    if (name == "click-then") return ClickThenCommand(argv);
    if (name == "state") return StateCommand(argv);
    if (name == "set-text") return SetTextCommand(argv);
    if (name == "hold") return HoldCommand(argv);
    if (name == "reg-set") return RegSetCommand(argv);
    if (name == "reg-get") return RegGetCommand(argc, argv);
    if (name == "reg-save") return RegSaveCommand(argv);
    if (name == "text") return TextCommand(argv);
    if (name == "answer") return AnswerCommand(argc, argv);
    if (name == "close") return CloseCommand(argv);
    if (name == "list-items") return ListItemsCommand(argv);
    if (name == "check-item") return CheckItemCommand(argv);
    if (name == "read-link") return ReadLinkCommand(argv);
    if (name == "processes") return ProcessesCommand();
    if (name == "kill") return KillCommand(argv);
    if (name == "focus") return FocusCommand(argv);
    if (name == "keys") return KeysCommand(argc, argv);
    if (name == "click-at") return ClickAtCommand(argv);
    if (name == "rect") return RectCommand(argc, argv);
    return OpenCommand(argv);
}

// Serving: one command a line on stdin, its arguments separated by tabs, each answered by its output
// and a line "\x1e<exit code>"; the caller merges stderr into the same pipe. Spares the caller a Wine
// process start per command. Ends at the end of its input.
int Serve() {
    std::setvbuf(stdout, nullptr, _IONBF, 0); // in order with stderr, and out before the terminator
    std::string line;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, stdin)) {
        line += chunk;
        if (line.back() != '\n') continue;
        line.erase(line.find_last_not_of("\r\n") + 1);
        std::vector<std::string> args{"e2e_driver"};
        for (size_t start = 0;;) {
            size_t tab = line.find('\t', start);
            args.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        std::printf("\x1e%d\n", Run(static_cast<int>(args.size()), argv.data()));
        line.clear();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "serve") return Serve();
    return Run(argc, argv);
}
