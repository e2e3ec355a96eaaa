"""Hand-written text of the sample example projects: assembler sources, include files, resource
scripts and project files, in a MASM and a TASM flavour. Padding to the catalogue size is added by
the caller as a comment block in front.
"""

MENU_IDS = [("IDM_NEW", 1001), ("IDM_OPEN", 1002), ("IDM_EXIT", 1003), ("IDM_ABOUT", 1101)]

MASM_BUTTON_INC = """\
; Button.inc - declarations for the button example
.386
.model flat, stdcall
option casemap:none

include Windows.inc
includelib Kernel32.lib
includelib User32.lib

WinMain proto :DWORD, :DWORD, :DWORD, :DWORD
WndProc proto :DWORD, :DWORD, :DWORD, :DWORD

IDC_BUTTON      equ 100

.data
ClassName       db "KelButtonClass", 0
AppName         db "Button example", 0
ButtonClass     db "BUTTON", 0
ButtonText      db "Press me", 0
MsgText         db "The button was pressed.", 0

.data?
hInstance       HINSTANCE ?
CommandLine     LPSTR ?
hButton         HWND ?
"""

MASM_BUTTON_ASM = """\
; Button.asm - a window with one push button that answers with a message box
include Button.inc

.code
start:
        invoke  GetModuleHandleA, NULL
        mov     hInstance, eax
        invoke  GetCommandLineA
        mov     CommandLine, eax
        invoke  WinMain, hInstance, NULL, CommandLine, SW_SHOWDEFAULT
        invoke  ExitProcess, eax

WinMain proc hInst:HINSTANCE, hPrevInst:HINSTANCE, CmdLine:LPSTR, CmdShow:DWORD
        LOCAL   wc:WNDCLASSEX
        LOCAL   msg:MSG
        LOCAL   hwnd:HWND

        mov     wc.cbSize, sizeof WNDCLASSEX
        mov     wc.style, CS_HREDRAW or CS_VREDRAW
        mov     wc.lpfnWndProc, offset WndProc
        mov     wc.cbClsExtra, NULL
        mov     wc.cbWndExtra, NULL
        push    hInst
        pop     wc.hInstance
        mov     wc.hbrBackground, COLOR_BTNFACE + 1
        mov     wc.lpszMenuName, NULL
        mov     wc.lpszClassName, offset ClassName
        invoke  LoadIconA, NULL, IDI_APPLICATION
        mov     wc.hIcon, eax
        mov     wc.hIconSm, eax
        invoke  LoadCursorA, NULL, IDC_ARROW
        mov     wc.hCursor, eax
        invoke  RegisterClassExA, addr wc

        invoke  CreateWindowExA, NULL, addr ClassName, addr AppName,
                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200,
                NULL, NULL, hInst, NULL
        mov     hwnd, eax
        invoke  ShowWindow, hwnd, CmdShow
        invoke  UpdateWindow, hwnd

    .while TRUE
        invoke  GetMessageA, addr msg, NULL, 0, 0
        .break .if (!eax)
        invoke  TranslateMessage, addr msg
        invoke  DispatchMessageA, addr msg
    .endw
        mov     eax, msg.wParam
        ret
WinMain endp

WndProc proc hWnd:HWND, uMsg:UINT, wParam:WPARAM, lParam:LPARAM
    .if uMsg == WM_CREATE
        invoke  CreateWindowExA, NULL, addr ButtonClass, addr ButtonText,
                WS_CHILD or WS_VISIBLE or BS_DEFPUSHBUTTON, 100, 60, 110, 30,
                hWnd, IDC_BUTTON, hInstance, NULL
        mov     hButton, eax
    .elseif uMsg == WM_COMMAND
        mov     eax, wParam
        .if ax == IDC_BUTTON
            shr     eax, 16
            .if ax == BN_CLICKED
                invoke  MessageBoxA, hWnd, addr MsgText, addr AppName, MB_OK
            .endif
        .endif
    .elseif uMsg == WM_DESTROY
        invoke  PostQuitMessage, NULL
    .else
        invoke  DefWindowProcA, hWnd, uMsg, wParam, lParam
        ret
    .endif
        xor     eax, eax
        ret
WndProc endp

end start
"""

MASM_MENU_INC = MASM_BUTTON_INC.replace("Button.inc - declarations for the button example",
                                        "menu.inc - declarations for the menu example").replace(
    """IDC_BUTTON      equ 100

.data
ClassName       db "KelButtonClass", 0
AppName         db "Button example", 0
ButtonClass     db "BUTTON", 0
ButtonText      db "Press me", 0
MsgText         db "The button was pressed.", 0
""", """IDR_MAINMENU    equ 100
IDM_NEW         equ 1001
IDM_OPEN        equ 1002
IDM_EXIT        equ 1003
IDM_ABOUT       equ 1101

.data
ClassName       db "KelMenuClass", 0
AppName         db "Menu example", 0
NewText         db "File > New was chosen.", 0
OpenText        db "File > Open was chosen.", 0
AboutText       db "Menu example for Torvek Pellum.", 13, 10
                db "The menu comes from menu.rc.", 0
""").replace("hButton         HWND ?\n", "hMenu           HMENU ?\n")

MASM_MENU_ASM = """\
; menu.asm - a window whose menu is loaded from the compiled resource file
include menu.inc

.code
start:
        invoke  GetModuleHandleA, NULL
        mov     hInstance, eax
        invoke  GetCommandLineA
        mov     CommandLine, eax
        invoke  WinMain, hInstance, NULL, CommandLine, SW_SHOWDEFAULT
        invoke  ExitProcess, eax

WinMain proc hInst:HINSTANCE, hPrevInst:HINSTANCE, CmdLine:LPSTR, CmdShow:DWORD
        LOCAL   wc:WNDCLASSEX
        LOCAL   msg:MSG
        LOCAL   hwnd:HWND

        mov     wc.cbSize, sizeof WNDCLASSEX
        mov     wc.style, CS_HREDRAW or CS_VREDRAW
        mov     wc.lpfnWndProc, offset WndProc
        mov     wc.cbClsExtra, NULL
        mov     wc.cbWndExtra, NULL
        push    hInst
        pop     wc.hInstance
        mov     wc.hbrBackground, COLOR_WINDOW + 1
        mov     wc.lpszMenuName, NULL
        mov     wc.lpszClassName, offset ClassName
        invoke  LoadIconA, NULL, IDI_APPLICATION
        mov     wc.hIcon, eax
        mov     wc.hIconSm, eax
        invoke  LoadCursorA, NULL, IDC_ARROW
        mov     wc.hCursor, eax
        invoke  RegisterClassExA, addr wc

        ; the menu lives in the resources linked from WorkModules\\menu.RES
        invoke  LoadMenuA, hInst, IDR_MAINMENU
        mov     hMenu, eax

        invoke  CreateWindowExA, NULL, addr ClassName, addr AppName,
                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 260,
                NULL, hMenu, hInst, NULL
        mov     hwnd, eax
        invoke  ShowWindow, hwnd, CmdShow
        invoke  UpdateWindow, hwnd

    .while TRUE
        invoke  GetMessageA, addr msg, NULL, 0, 0
        .break .if (!eax)
        invoke  TranslateMessage, addr msg
        invoke  DispatchMessageA, addr msg
    .endw
        mov     eax, msg.wParam
        ret
WinMain endp

; WM_COMMAND carries the menu item's identifier in the low word of wParam.
OnCommand proc hWnd:HWND, wParam:WPARAM
        mov     eax, wParam
        and     eax, 0FFFFh
    .if eax == IDM_NEW
        invoke  MessageBoxA, hWnd, addr NewText, addr AppName, MB_OK
    .elseif eax == IDM_OPEN
        invoke  MessageBoxA, hWnd, addr OpenText, addr AppName, MB_OK
    .elseif eax == IDM_ABOUT
        invoke  MessageBoxA, hWnd, addr AboutText, addr AppName, MB_OK or MB_ICONINFORMATION
    .elseif eax == IDM_EXIT
        invoke  DestroyWindow, hWnd
    .endif
        ret
OnCommand endp

WndProc proc hWnd:HWND, uMsg:UINT, wParam:WPARAM, lParam:LPARAM
    .if uMsg == WM_COMMAND
        invoke  OnCommand, hWnd, wParam
    .elseif uMsg == WM_DESTROY
        invoke  PostQuitMessage, NULL
    .else
        invoke  DefWindowProcA, hWnd, uMsg, wParam, lParam
        ret
    .endif
        xor     eax, eax
        ret
WndProc endp

end start
"""

TASM_BUTTON_INC = """\
; Button.inc - declarations for the button example (TASM)
        .386
        .model flat, stdcall
        locals
        jumps

        extrn   GetModuleHandleA:proc, GetCommandLineA:proc, ExitProcess:proc
        extrn   RegisterClassExA:proc, CreateWindowExA:proc, DefWindowProcA:proc
        extrn   ShowWindow:proc, UpdateWindow:proc, GetMessageA:proc
        extrn   TranslateMessage:proc, DispatchMessageA:proc, PostQuitMessage:proc
        extrn   LoadIconA:proc, LoadCursorA:proc, MessageBoxA:proc

WM_CREATE       equ 0001h
WM_DESTROY      equ 0002h
WM_COMMAND      equ 0111h
WS_OVERLAPPEDWINDOW equ 00CF0000h
WS_CHILD        equ 40000000h
WS_VISIBLE      equ 10000000h
BS_DEFPUSHBUTTON equ 00000001h
CW_USEDEFAULT   equ 80000000h
IDC_BUTTON      equ 100
"""

TASM_BUTTON_ASM = """\
; Button.asm - a window with one push button (TASM, Import32.lib)
        include Button.inc

        .data
wc      dd 48, 3, offset WndProc, 0, 0, 0, 0, 0, 16, 0, offset ClassName, 0
msg     dd 7 dup (0)
hInst   dd 0
hWnd    dd 0
ClassName db "KelTasmButton", 0
AppName   db "Button example", 0
BtnClass  db "BUTTON", 0
BtnText   db "Press me", 0
MsgText   db "The button was pressed.", 0

        .code
start:
        call    GetModuleHandleA, 0
        mov     [hInst], eax
        mov     [wc + 20], eax
        call    LoadIconA, 0, 32512
        mov     [wc + 24], eax
        mov     [wc + 44], eax
        call    LoadCursorA, 0, 32512
        mov     [wc + 28], eax
        call    RegisterClassExA, offset wc

        call    CreateWindowExA, 0, offset ClassName, offset AppName, \\
                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320, 200, \\
                0, 0, [hInst], 0
        mov     [hWnd], eax
        call    ShowWindow, eax, 10
        call    UpdateWindow, [hWnd]

@@loop: call    GetMessageA, offset msg, 0, 0, 0
        or      eax, eax
        jz      @@done
        call    TranslateMessage, offset msg
        call    DispatchMessageA, offset msg
        jmp     @@loop
@@done: call    ExitProcess, [msg + 8]

WndProc proc uses ebx esi edi, @@hwnd:dword, @@msg:dword, @@wparam:dword, @@lparam:dword
        cmp     [@@msg], WM_CREATE
        je      @@create
        cmp     [@@msg], WM_COMMAND
        je      @@command
        cmp     [@@msg], WM_DESTROY
        je      @@destroy
        call    DefWindowProcA, [@@hwnd], [@@msg], [@@wparam], [@@lparam]
        ret
@@create:
        call    CreateWindowExA, 0, offset BtnClass, offset BtnText, \\
                WS_CHILD or WS_VISIBLE or BS_DEFPUSHBUTTON, 100, 60, 110, 30, \\
                [@@hwnd], IDC_BUTTON, [hInst], 0
        jmp     @@handled
@@command:
        cmp     word ptr [@@wparam], IDC_BUTTON
        jne     @@handled
        call    MessageBoxA, [@@hwnd], offset MsgText, offset AppName, 0
        jmp     @@handled
@@destroy:
        call    PostQuitMessage, 0
@@handled:
        xor     eax, eax
        ret
WndProc endp

        end start
"""

TASM_MENU_INC = TASM_BUTTON_INC.replace("Button.inc - declarations for the button example",
                                        "menu.inc - declarations for the menu example").replace(
    "LoadCursorA:proc, MessageBoxA:proc\n",
    "LoadCursorA:proc, MessageBoxA:proc\n        extrn   LoadMenuA:proc, DestroyWindow:proc\n").replace(
    "BS_DEFPUSHBUTTON equ 00000001h\n", "MB_ICONINFORMATION equ 00000040h\n").replace(
    "IDC_BUTTON      equ 100\n", "IDR_MAINMENU    equ 100\n" + "".join(
        "%-15s equ %d\n" % (name, value) for name, value in MENU_IDS))

TASM_MENU_ASM = """\
; menu.asm - a window whose menu is loaded from the compiled resources (TASM, Import32.lib)
        include menu.inc

        .data
wc      dd 48, 3, offset WndProc, 0, 0, 0, 0, 0, 6, 0, offset ClassName, 0
msg     dd 7 dup (0)
hInst   dd 0
hWnd    dd 0
hMenu   dd 0
ClassName db "KelTasmMenu", 0
AppName   db "Menu example", 0
NewText   db "File > New was chosen.", 0
OpenText  db "File > Open was chosen.", 0
AboutText db "Menu example for Torvek Pellum.", 13, 10
          db "The menu comes from menu.rc.", 0

        .code
start:
        call    GetModuleHandleA, 0
        mov     [hInst], eax
        mov     [wc + 20], eax
        call    LoadIconA, 0, 32512
        mov     [wc + 24], eax
        mov     [wc + 44], eax
        call    LoadCursorA, 0, 32512
        mov     [wc + 28], eax
        call    RegisterClassExA, offset wc

        ; the menu comes from WorkModules\\menu.RES, linked into the program
        call    LoadMenuA, [hInst], IDR_MAINMENU
        mov     [hMenu], eax

        call    CreateWindowExA, 0, offset ClassName, offset AppName, \\
                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 400, 260, \\
                0, [hMenu], [hInst], 0
        mov     [hWnd], eax
        call    ShowWindow, eax, 10
        call    UpdateWindow, [hWnd]

@@loop: call    GetMessageA, offset msg, 0, 0, 0
        or      eax, eax
        jz      @@done
        call    TranslateMessage, offset msg
        call    DispatchMessageA, offset msg
        jmp     @@loop
@@done: call    ExitProcess, [msg + 8]

; WM_COMMAND carries the menu item's identifier in the low word of wParam.
OnCommand proc @@hwnd:dword, @@wparam:dword
        movzx   eax, word ptr [@@wparam]
        cmp     eax, IDM_NEW
        je      @@new
        cmp     eax, IDM_OPEN
        je      @@open
        cmp     eax, IDM_ABOUT
        je      @@about
        cmp     eax, IDM_EXIT
        je      @@exit
        ret
@@new:  call    MessageBoxA, [@@hwnd], offset NewText, offset AppName, 0
        ret
@@open: call    MessageBoxA, [@@hwnd], offset OpenText, offset AppName, 0
        ret
@@about:
        call    MessageBoxA, [@@hwnd], offset AboutText, offset AppName, MB_ICONINFORMATION
        ret
@@exit: call    DestroyWindow, [@@hwnd]
        ret
OnCommand endp

WndProc proc uses ebx esi edi, @@hwnd:dword, @@msg:dword, @@wparam:dword, @@lparam:dword
        cmp     [@@msg], WM_COMMAND
        je      @@command
        cmp     [@@msg], WM_DESTROY
        je      @@destroy
        call    DefWindowProcA, [@@hwnd], [@@msg], [@@wparam], [@@lparam]
        ret
@@command:
        call    OnCommand, [@@hwnd], [@@wparam]
        jmp     @@handled
@@destroy:
        call    PostQuitMessage, 0
@@handled:
        xor     eax, eax
        ret
WndProc endp

        end start
"""

TASM_CLI_TEMPLATE = """\
.386
.model flat, stdcall
extrn ExitProcess:proc
.code
start:
 call ExitProcess, 0
end start
"""

MASM_CLI_TEMPLATE = """\
.386
.model flat, stdcall
option casemap:none

include Windows.inc
includelib Kernel32.lib

GetStdHandle    proto :DWORD
WriteFile       proto :DWORD, :DWORD, :DWORD, :DWORD, :DWORD
ExitProcess     proto :DWORD

STD_OUTPUT_HANDLE equ -11

.data
Greeting        db "Hello from Torvek Pellum.", 13, 10
GreetingLength  equ $ - Greeting

.data?
Written         dd ?

.code
start:
        invoke  GetStdHandle, STD_OUTPUT_HANDLE
        invoke  WriteFile, eax, addr Greeting, GreetingLength, addr Written, 0
        invoke  ExitProcess, 0
end start
"""

ASM_PROSE = ("This file is part of the examples installed with Torvek Pellum 3.9.8.7. Open the project "
             "file in the same folder, then choose Build to assemble and link it; the import libraries it "
             "needs are in the WorkModules folder next to it. The example is kept short on purpose: it "
             "shows one idea at a time, so that it can be read from top to bottom in a few minutes. Feel "
             "free to change it, break it and build it again; the installer can always put back the "
             "original copy.")

MENU_RC_PROSE = ("Resource script of the menu example. The compiled form, menu.RES in the WorkModules "
                 "folder, is what the linker uses; compile this file again after changing it.")

PROJECT_PROSE = "Torvek Pellum project"


def menu_rc(strings) -> str:
    """The resource script whose compiled form is menu.RES; strings are the status-line texts."""
    defines = "".join("#define %-12s %d\n" % (name, value) for name, value in MENU_IDS)
    table = "".join('    %-12s "%s"\n' % (name, text) for (name, _), text in zip(MENU_IDS, strings))
    return ("#define IDR_MAINMENU 100\n" + defines + "\n"
            "IDR_MAINMENU MENU\n"
            "BEGIN\n"
            '    POPUP "&File"\n'
            "    BEGIN\n"
            '        MENUITEM "&New",      IDM_NEW\n'
            '        MENUITEM "&Open...",  IDM_OPEN\n'
            "        MENUITEM SEPARATOR\n"
            '        MENUITEM "E&xit",     IDM_EXIT\n'
            "    END\n"
            '    POPUP "&Help"\n'
            "    BEGIN\n"
            '        MENUITEM "&About...", IDM_ABOUT\n'
            "    END\n"
            "END\n\n"
            "STRINGTABLE\n"
            "BEGIN\n" + table + "END\n")


def project_file(name: str, assembler: str, sources, resources) -> str:
    lines = ["[Project]", "Name=%s" % name, "Assembler=%s" % assembler, "Files=%s" % ",".join(sources)]
    if resources:
        lines.append("Res=%s" % ",".join(resources))
    return "\n".join(lines) + "\n"
