"""A made-up but Windows-like list of API functions, shared by the sample database and libraries.

The functions the example programs call come first with their real shapes, so the sample import
libraries export what the examples import; the rest is built from object kinds and the operations
usual for them. Everything is derived from fixed tables: the same list every run.
"""
from dataclasses import dataclass
from typing import List, Tuple


@dataclass(frozen=True)
class Function:
    name: str
    dll: str
    params: Tuple[str, ...]  # "TYPE name"
    returns: str

    @property
    def stack_bytes(self) -> int:
        return 4 * len(self.params)  # every parameter here is one 32-bit slot

    def record(self) -> str:
        return "%s|%s|%s|%s" % (self.name, self.dll, ",".join(self.params), self.returns)


_EXAMPLE_FUNCTIONS = [
    ("ExitProcess", "kernel32.dll", "UINT uExitCode", "VOID"),
    ("GetModuleHandleA", "kernel32.dll", "LPCSTR lpModuleName", "HMODULE"),
    ("GetCommandLineA", "kernel32.dll", "", "LPSTR"),
    ("GetLastError", "kernel32.dll", "", "DWORD"),
    ("lstrlenA", "kernel32.dll", "LPCSTR lpString", "int"),
    ("CreateWindowExA", "user32.dll", "DWORD dwExStyle,LPCSTR lpClassName,LPCSTR lpWindowName,DWORD dwStyle,"
     "int X,int Y,int nWidth,int nHeight,HWND hWndParent,HMENU hMenu,HINSTANCE hInstance,LPVOID lpParam", "HWND"),
    ("DefWindowProcA", "user32.dll", "HWND hWnd,UINT Msg,WPARAM wParam,LPARAM lParam", "LRESULT"),
    ("DestroyWindow", "user32.dll", "HWND hWnd", "BOOL"),
    ("DispatchMessageA", "user32.dll", "const MSG* lpMsg", "LRESULT"),
    ("GetMessageA", "user32.dll", "LPMSG lpMsg,HWND hWnd,UINT wMsgFilterMin,UINT wMsgFilterMax", "BOOL"),
    ("LoadCursorA", "user32.dll", "HINSTANCE hInstance,LPCSTR lpCursorName", "HCURSOR"),
    ("LoadIconA", "user32.dll", "HINSTANCE hInstance,LPCSTR lpIconName", "HICON"),
    ("LoadMenuA", "user32.dll", "HINSTANCE hInstance,LPCSTR lpMenuName", "HMENU"),
    ("MessageBoxA", "user32.dll", "HWND hWnd,LPCSTR lpText,LPCSTR lpCaption,UINT uType", "int"),
    ("PostQuitMessage", "user32.dll", "int nExitCode", "VOID"),
    ("RegisterClassExA", "user32.dll", "const WNDCLASSEXA* lpwcx", "ATOM"),
    ("SendMessageA", "user32.dll", "HWND hWnd,UINT Msg,WPARAM wParam,LPARAM lParam", "LRESULT"),
    ("SetWindowTextA", "user32.dll", "HWND hWnd,LPCSTR lpString", "BOOL"),
    ("ShowWindow", "user32.dll", "HWND hWnd,int nCmdShow", "BOOL"),
    ("TranslateMessage", "user32.dll", "const MSG* lpMsg", "BOOL"),
    ("UpdateWindow", "user32.dll", "HWND hWnd", "BOOL"),
]

# object kind, the DLL that manages it, its handle type
KINDS = [
    ("File", "kernel32.dll", "HANDLE"), ("Directory", "kernel32.dll", "HANDLE"),
    ("Process", "kernel32.dll", "HANDLE"), ("Thread", "kernel32.dll", "HANDLE"),
    ("Event", "kernel32.dll", "HANDLE"), ("Mutex", "kernel32.dll", "HANDLE"),
    ("Semaphore", "kernel32.dll", "HANDLE"), ("WaitableTimer", "kernel32.dll", "HANDLE"),
    ("Heap", "kernel32.dll", "HANDLE"), ("Module", "kernel32.dll", "HMODULE"),
    ("Resource", "kernel32.dll", "HRSRC"), ("Console", "kernel32.dll", "HANDLE"),
    ("NamedPipe", "kernel32.dll", "HANDLE"), ("Mailslot", "kernel32.dll", "HANDLE"),
    ("Volume", "kernel32.dll", "HANDLE"), ("FileMapping", "kernel32.dll", "HANDLE"),
    ("Fiber", "kernel32.dll", "LPVOID"), ("JobObject", "kernel32.dll", "HANDLE"),
    ("CommPort", "kernel32.dll", "HANDLE"), ("Tape", "kernel32.dll", "HANDLE"),
    ("ChangeNotification", "kernel32.dll", "HANDLE"), ("IoCompletionPort", "kernel32.dll", "HANDLE"),
    ("ConsoleScreenBuffer", "kernel32.dll", "HANDLE"), ("ActCtx", "kernel32.dll", "HANDLE"),
    ("Window", "user32.dll", "HWND"), ("Menu", "user32.dll", "HMENU"), ("Icon", "user32.dll", "HICON"),
    ("Cursor", "user32.dll", "HCURSOR"), ("Caret", "user32.dll", "HWND"),
    ("Clipboard", "user32.dll", "HWND"), ("Dialog", "user32.dll", "HWND"),
    ("AcceleratorTable", "user32.dll", "HACCEL"), ("WindowsHook", "user32.dll", "HHOOK"),
    ("WindowStation", "user32.dll", "HWINSTA"), ("Desktop", "user32.dll", "HDESK"),
    ("KeyboardLayout", "user32.dll", "HKL"), ("ClassInfo", "user32.dll", "HINSTANCE"),
    ("ScrollBar", "user32.dll", "HWND"), ("DisplayDevice", "user32.dll", "HANDLE"),
    ("MenuItem", "user32.dll", "HMENU"), ("HotKey", "user32.dll", "HWND"), ("Monitor", "user32.dll", "HMONITOR"),
    ("Bitmap", "gdi32.dll", "HBITMAP"), ("Brush", "gdi32.dll", "HBRUSH"), ("Pen", "gdi32.dll", "HPEN"),
    ("Font", "gdi32.dll", "HFONT"), ("Region", "gdi32.dll", "HRGN"), ("Palette", "gdi32.dll", "HPALETTE"),
    ("MetaFile", "gdi32.dll", "HMETAFILE"), ("EnhMetaFile", "gdi32.dll", "HENHMETAFILE"),
    ("Path", "gdi32.dll", "HDC"), ("DeviceContext", "gdi32.dll", "HDC"), ("ColorSpace", "gdi32.dll", "HCOLORSPACE"),
    ("DIBSection", "gdi32.dll", "HBITMAP"), ("Printer", "winspool.drv", "HANDLE"),
    ("PrintJob", "winspool.drv", "HANDLE"), ("PrinterDriver", "winspool.drv", "HANDLE"),
    ("RegistryKey", "advapi32.dll", "HKEY"), ("Service", "advapi32.dll", "SC_HANDLE"),
    ("ServiceManager", "advapi32.dll", "SC_HANDLE"), ("AccessToken", "advapi32.dll", "HANDLE"),
    ("EventLog", "advapi32.dll", "HANDLE"), ("CryptKey", "advapi32.dll", "HCRYPTKEY"),
    ("CryptHash", "advapi32.dll", "HCRYPTHASH"), ("SecurityDescriptor", "advapi32.dll", "PSECURITY_DESCRIPTOR"),
    ("ShellLink", "shell32.dll", "LPVOID"), ("ShellFolder", "shell32.dll", "LPVOID"),
    ("TrayIcon", "shell32.dll", "HWND"), ("ImageList", "comctl32.dll", "HIMAGELIST"),
    ("PropertySheet", "comctl32.dll", "HWND"), ("StatusBar", "comctl32.dll", "HWND"),
    ("ToolBar", "comctl32.dll", "HWND"), ("TreeView", "comctl32.dll", "HWND"),
    ("ListView", "comctl32.dll", "HWND"), ("ColorDialog", "comdlg32.dll", "HWND"),
    ("FontDialog", "comdlg32.dll", "HWND"), ("FileDialog", "comdlg32.dll", "HWND"),
    ("WaveOut", "winmm.dll", "HWAVEOUT"), ("WaveIn", "winmm.dll", "HWAVEIN"),
    ("MidiOut", "winmm.dll", "HMIDIOUT"), ("MixerControl", "winmm.dll", "HMIXER"),
    ("Socket", "ws2_32.dll", "SOCKET"), ("HostEntry", "ws2_32.dll", "HANDLE"),
]

_PROPERTIES = [("Info", "LPVOID"), ("Attributes", "DWORD"), ("Name", "LPSTR"), ("Size", "DWORD"),
               ("Count", "DWORD"), ("Data", "LPVOID"), ("State", "DWORD"), ("Flags", "DWORD"),
               ("Time", "LPFILETIME"), ("Owner", "HANDLE"), ("Security", "PSECURITY_DESCRIPTOR"),
               ("Version", "DWORD"), ("Text", "LPSTR"), ("Position", "LPPOINT"), ("Rect", "LPRECT"),
               ("Priority", "int"), ("Context", "LPVOID"), ("Limits", "LPVOID")]


def _ansi_and_wide(name: str, params: List[str]) -> List[Tuple[str, List[str]]]:
    if not any("STR" in p for p in params):
        return [(name, params)]
    wide = [p.replace("LPCSTR", "LPCWSTR").replace("LPSTR", "LPWSTR") for p in params]
    return [(name + "A", params), (name + "W", wide)]


def _handle_name(kind: str) -> str:
    return "h" + kind


def _operations(kind: str, handle: str):
    h = "%s %s" % (handle, _handle_name(kind))
    yield "Create" + kind, ["LPSECURITY_ATTRIBUTES lpAttributes", "DWORD dwFlags", "LPCSTR lpName"], handle
    yield "Open" + kind, ["DWORD dwDesiredAccess", "BOOL bInheritHandle", "LPCSTR lpName"], handle
    yield "Close" + kind, [h], "BOOL"
    yield "Delete" + kind, [h], "BOOL"
    yield "Enum" + kind + "s", [kind.upper() + "ENUMPROC lpEnumFunc", "LPARAM lParam"], "BOOL"
    yield "Find" + kind, ["LPCSTR lpName", "LP" + kind.upper() + "_DATA lpData"], handle
    yield "Copy" + kind, [h, "LPCSTR lpNewName", "DWORD dwFlags"], "BOOL"
    yield "Lock" + kind, [h, "DWORD dwTimeout"], "BOOL"
    yield "Unlock" + kind, [h], "BOOL"
    yield "Load" + kind, ["HINSTANCE hInstance", "LPCSTR lpName"], handle
    yield "Release" + kind, [h], "BOOL"
    yield "Wait" + kind, [h, "DWORD dwMilliseconds"], "DWORD"
    for prop, value_type in _PROPERTIES:
        yield "Get%s%s" % (kind, prop), [h, "%s lp%s" % (_pointer_to(value_type), prop)], "BOOL"
        yield "Set%s%s" % (kind, prop), [h, "%s %s" % (_const_of(value_type), _value_name(prop, value_type))], "BOOL"
        yield "Query%s%s" % (kind, prop), [h, "LPVOID lpBuffer", "DWORD cbBuffer", "LPDWORD lpcbNeeded"], "BOOL"


def _pointer_to(value_type: str) -> str:
    return value_type if value_type.startswith("LP") or value_type.startswith("P") else "LP" + value_type.upper()


def _const_of(value_type: str) -> str:
    return "LPCSTR" if value_type == "LPSTR" else value_type


def _value_name(prop: str, value_type: str) -> str:
    prefixes = {"DWORD": "dw", "int": "n", "HANDLE": "h", "LPSTR": "lpsz"}
    return prefixes.get(value_type, "lp") + prop


def _build() -> List[Function]:
    functions, seen = [], set()

    def add(name, dll, params, returns):
        if name.upper() not in seen:
            seen.add(name.upper())
            functions.append(Function(name, dll, tuple(params), returns))

    for name, dll, params, returns in _EXAMPLE_FUNCTIONS:
        add(name, dll, [p for p in params.split(",") if p], returns)
    for kind, dll, handle in KINDS:
        for base, params, returns in _operations(kind, handle):
            for name, typed in _ansi_and_wide(base, params):
                add(name, dll, typed, returns)
            if base.startswith(("Create", "Open", "Find", "Load")):
                for name, typed in _ansi_and_wide(base + "Ex", params + ["DWORD dwReserved"]):
                    add(name, dll, typed, returns)
    return functions


FUNCTIONS: List[Function] = _build()


def functions_of(dll: str) -> List[Function]:
    return [f for f in FUNCTIONS if f.dll == dll]
