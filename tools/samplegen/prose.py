"""Explanations that open the example files, as a tutorial's author would write them. Each text is a
list of paragraphs; the generator takes whole sentences until the file reaches its size."""

BUTTON_ASM = [
    "Button example. This program opens one ordinary window and places a push button in it; "
    "pressing the button shows a message box. It is the smallest useful Windows program that "
    "reacts to the user, and the other examples build on it.",
    "A Windows program does not run from top to bottom and stop. It registers a window class, which "
    "tells Windows which procedure handles the messages of windows of that class, creates a window "
    "of the class and then waits in a message loop. Every click, key press and repaint arrives as a "
    "message; GetMessage fetches the next one, TranslateMessage turns key strokes into characters "
    "and DispatchMessage hands the message to the window procedure.",
    "The button is itself a window, a child of the main window, of the predefined class BUTTON. It is "
    "created while the main window handles WM_CREATE, so it exists before the window is first shown. "
    "When it is pressed it sends WM_COMMAND to its parent: the low word of wParam holds the "
    "identifier given to the button when it was created and the high word holds the notification, "
    "BN_CLICKED for a click.",
    "Every message the procedure does not handle goes to DefWindowProc, which gives the window its "
    "usual behaviour: moving, sizing, the system menu and closing. When the window is destroyed the "
    "procedure posts WM_QUIT, GetMessage returns zero and the loop ends.",
    "The button's identifier, IDC_BUTTON, is passed where a top-level window would take a menu "
    "handle: for a child window that parameter is its identifier.",
    "To try changes, alter the button's text or position in the WM_CREATE branch, then build and "
    "run it again.",
    "Windows sends many more messages than this procedure handles: WM_PAINT when part of the window "
    "must be drawn again, WM_SIZE when its size changes, WM_CLOSE before it is closed. Handling "
    "WM_CLOSE, for example, lets a program ask whether unsaved work should be kept before it calls "
    "DestroyWindow.",
]

MENU_ASM = [
    "Menu example. This program opens a window with a menu bar whose File menu offers New, Open and "
    "Exit and whose Help menu offers About. The menu is not built in code: it is described in the "
    "resource script menu.rc, compiled into WorkModules\\menu.RES and linked into the program, "
    "where LoadMenu finds it by its identifier.",
    "Keeping menus, dialogs, icons and strings in resources separates what the user sees from what "
    "the program does. The texts can be changed, or translated, without touching the code, and the "
    "same menu can be used by several windows.",
    "The window class is registered without a menu; instead the menu handle from LoadMenu is passed "
    "to CreateWindowEx. Either way works. Passing the handle makes it easy to give different windows "
    "different menus, and it shows that a menu is an object of its own that exists apart from the "
    "window that displays it.",
    "Choosing a menu item sends WM_COMMAND to the window. The low word of wParam is the item's "
    "identifier, the one written after the item's text in menu.rc; the high word is zero for a menu "
    "and one for an accelerator key, and lParam is zero because no control sent the message. "
    "OnCommand compares the identifier with the IDM_ constants from menu.inc, which must keep the "
    "same values as the defines in menu.rc.",
    "New and Open only report that they were chosen; a real program would clear its document or "
    "show the Open dialog here. About shows a message box with an information icon. Exit destroys "
    "the window, which ends the program through WM_DESTROY exactly as closing the window does.",
    "The string table in menu.rc holds one line of help for every item. A program with a status "
    "bar would load these strings with LoadString while the user moves through the menu, in answer "
    "to WM_MENUSELECT, and show them at the bottom of the window.",
    "To add an item, give it a new identifier in menu.rc and menu.inc, add a MENUITEM line and a "
    "string, compile the resource script again so that menu.RES is up to date, and add a branch for "
    "the identifier to OnCommand. Forgetting to compile the resource script is the usual reason why "
    "a new item does not appear.",
    "Menus can also be changed while the program runs: EnableMenuItem greys an item out, "
    "CheckMenuItem puts a tick beside it and ModifyMenu changes its text. Each takes the menu handle "
    "that LoadMenu returned and the identifier of the item.",
    "Keyboard users reach the menu with Alt and the underlined letters; the ampersand in front of a "
    "letter in menu.rc marks which letter is underlined.",
    "Accelerators are the other half of a good menu. An ACCELERATORS table in the resource script "
    "maps key combinations such as Ctrl+N to the same identifiers as the menu items; the program "
    "loads it with LoadAccelerators and passes every message through TranslateAccelerator in the "
    "message loop, before TranslateMessage. The window then receives the same WM_COMMAND whether the "
    "user chose the item with the mouse or pressed the keys.",
    "A menu that opens where the user clicks the right mouse button is built the same way. Give it "
    "its own MENU resource, load it, take its first popup with GetSubMenu and show that with "
    "TrackPopupMenu in answer to WM_CONTEXTMENU. Destroy a menu loaded for this when it is no longer "
    "needed; a menu attached to a window goes away together with the window.",
    "The resource compiler turns menu.rc into menu.RES, a binary file that holds the menu and the "
    "string table in the form Windows reads at run time. The linker copies it into the program's "
    "resources, which is why the program needs no separate file beside it when it runs.",
    "When something does not work, check the identifiers first, then whether menu.RES is newer than "
    "menu.rc, and finally whether the linker was given menu.RES at all.",
]

INCLUDE_FILE = [
    "This include file holds everything the example's source shares with the outside world: the "
    "processor and memory model, the libraries to link with, the prototypes of the procedures, the "
    "constants and the program's data. Keeping them here leaves the source file with nothing but "
    "code.",
    "The .data section holds initialised data, such as the window class name and the texts shown to "
    "the user. The .data? section holds data that starts as zero; it takes no room in the program "
    "file, only in memory.",
    "Names declared with equ are constants: the assembler replaces them with their value wherever "
    "they appear, so they cost nothing at run time. Give every magic number a name here rather than "
    "writing it into the code.",
    "Prototypes let the assembler check the number of arguments of every call. Without them a "
    "missing argument is only noticed when the program crashes. A procedure that takes its "
    "arguments from the stack removes as many bytes as it expects, not as many as were pushed.",
    "MASM needs a procedure's prototype before the first invoke of it. The include file is read at "
    "the very start of the source, so every prototype is known wherever the code calls a procedure.",
    "includelib writes the library's name into the object file, so the linker finds Kernel32.lib and "
    "User32.lib without being told on its command line. The libraries themselves are in the "
    "WorkModules folder of the project.",
    "option casemap:none makes names case-sensitive, as the Windows functions are: MessageBoxA and "
    "messageboxa are different names to the linker.",
]

TASM_INCLUDE_FILE = [
    "This include file declares, for the TASM version of the example, the functions the program "
    "imports and the constants it uses. Import32.lib in the WorkModules folder provides every one "
    "of the imported functions.",
    "TASM's extended call syntax, call Function, arguments, pushes the arguments from right to left "
    "as the Windows functions expect, so the code reads like the function's documentation. The "
    "locals directive allows labels starting with @@ that are private to a procedure, and jumps lets "
    "the assembler lengthen a conditional jump when its target is too far away.",
    "Constants are written out here instead of coming from a large include file, which keeps the "
    "example short. Their values are the ones Windows defines; take them from the Windows "
    "documentation when you add more.",
    "Names declared with equ are constants and cost nothing at run time. Give every magic number a "
    "name here rather than writing it into the code.",
    "Import32.lib covers the functions of every system DLL the examples use, so one library is "
    "enough; the linker takes only the entries the program refers to.",
    "extrn declares a name that is defined elsewhere, and proc tells TASM that the name is code, so "
    "a call to it assembles to a near call that the linker connects with the import.",
]

RESOURCE_SCRIPT = [
    "Resource script of the menu example. The compiled form, menu.RES in the WorkModules folder, is "
    "what the linker uses; compile this file again after changing it.",
    "The identifiers must match the IDM_ constants in menu.inc.",
]

CONSOLE_TEMPLATE = [
    "Template for a new console program. Everything between start and end start is yours.",
    "The output goes to the console through the standard output handle.",
]

TASM_TEMPLATE = ["New TASM program."]

PROJECT = ["Torvek Pellum project file."]
