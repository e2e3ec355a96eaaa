"""Generated text files of the sample payload: the API database, the instruction reference and the
large Windows include file. All of it CRLF text, sized exactly by choosing whole lines.
"""
import re
from typing import List

from .api import FUNCTIONS, KINDS
from .fit import pick_exact

EOL = "\r\n"


def _exact_lines(items: List[str], size: int) -> str:
    """Whole items (each already ending in EOL), in order, adding up to exactly size bytes."""
    chosen = pick_exact([len(item) for item in items], size)
    return "".join(items[i] for i in chosen)


def api_database(size: int) -> str:
    """One function per line: Name|dll|parameters|return type, sorted by name."""
    records = [f.record() + EOL for f in FUNCTIONS]
    chosen = pick_exact([len(r) for r in records], size)
    return "".join(sorted((records[i] for i in chosen), key=str.upper))


# mnemonic, operands, flags it changes, what it does
INSTRUCTIONS = [
    ("MOV", "dest, src", "-", "Copies src into dest."),
    ("MOVZX", "reg, r/m8 or r/m16", "-", "Copies with zero extension."),
    ("MOVSX", "reg, r/m8 or r/m16", "-", "Copies with sign extension."),
    ("LEA", "reg, mem", "-", "Loads the effective address of mem."),
    ("XCHG", "dest, src", "-", "Exchanges the two operands."),
    ("PUSH", "src", "-", "Decrements ESP and stores src at [ESP]."),
    ("POP", "dest", "-", "Loads dest from [ESP] and increments ESP."),
    ("PUSHAD", "", "-", "Pushes all eight general registers."),
    ("POPAD", "", "-", "Pops all eight general registers."),
    ("ADD", "dest, src", "OSZAPC", "Adds src to dest."),
    ("ADC", "dest, src", "OSZAPC", "Adds src and the carry flag to dest."),
    ("SUB", "dest, src", "OSZAPC", "Subtracts src from dest."),
    ("SBB", "dest, src", "OSZAPC", "Subtracts src and the carry flag from dest."),
    ("INC", "dest", "OSZAP", "Adds one; the carry flag is unchanged."),
    ("DEC", "dest", "OSZAP", "Subtracts one; the carry flag is unchanged."),
    ("NEG", "dest", "OSZAPC", "Replaces dest with its two's complement."),
    ("CMP", "left, right", "OSZAPC", "Subtracts right from left, setting flags only."),
    ("MUL", "src", "OC", "Unsigned multiply of EAX by src into EDX:EAX."),
    ("IMUL", "dest, src[, imm]", "OC", "Signed multiply."),
    ("DIV", "src", "-", "Unsigned divide of EDX:EAX by src; quotient EAX, remainder EDX."),
    ("IDIV", "src", "-", "Signed divide of EDX:EAX by src."),
    ("CDQ", "", "-", "Sign-extends EAX into EDX:EAX."),
    ("AND", "dest, src", "OSZPC", "Bitwise and; clears OF and CF."),
    ("OR", "dest, src", "OSZPC", "Bitwise or; clears OF and CF."),
    ("XOR", "dest, src", "OSZPC", "Bitwise exclusive or; clears OF and CF."),
    ("NOT", "dest", "-", "Inverts every bit of dest."),
    ("TEST", "left, right", "OSZPC", "Bitwise and, setting flags only."),
    ("SHL", "dest, count", "OSZPC", "Shifts left, filling with zeros."),
    ("SHR", "dest, count", "OSZPC", "Shifts right, filling with zeros."),
    ("SAR", "dest, count", "OSZPC", "Shifts right, keeping the sign."),
    ("ROL", "dest, count", "OC", "Rotates left."),
    ("ROR", "dest, count", "OC", "Rotates right."),
    ("BT", "base, bit", "C", "Copies the chosen bit into the carry flag."),
    ("BSF", "dest, src", "Z", "Finds the lowest set bit."),
    ("BSR", "dest, src", "Z", "Finds the highest set bit."),
    ("JMP", "target", "-", "Continues at target."),
    ("JE", "target", "-", "Jumps if equal (ZF set)."),
    ("JNE", "target", "-", "Jumps if not equal (ZF clear)."),
    ("JA", "target", "-", "Jumps if above, unsigned."),
    ("JB", "target", "-", "Jumps if below, unsigned (CF set)."),
    ("JG", "target", "-", "Jumps if greater, signed."),
    ("JL", "target", "-", "Jumps if less, signed."),
    ("LOOP", "target", "-", "Decrements ECX and jumps while it is not zero."),
    ("CALL", "target", "-", "Pushes the return address and jumps to target."),
    ("RET", "[imm16]", "-", "Returns, optionally releasing imm16 bytes of arguments."),
    ("ENTER", "size, level", "-", "Builds a stack frame."),
    ("LEAVE", "", "-", "Releases the stack frame built by ENTER."),
    ("REP MOVSB", "", "-", "Copies ECX bytes from [ESI] to [EDI]."),
    ("REP STOSD", "", "-", "Stores EAX into ECX dwords at [EDI]."),
    ("REPNE SCASB", "", "OSZAPC", "Scans [EDI] for AL, at most ECX bytes."),
    ("CLD", "", "D", "Clears the direction flag: string operations go upwards."),
    ("STD", "", "D", "Sets the direction flag: string operations go downwards."),
    ("SETcc", "r/m8", "-", "Sets a byte to 1 if the condition holds, else to 0."),
    ("CMOVcc", "reg, r/m", "-", "Copies if the condition holds."),
    ("NOP", "", "-", "Does nothing for one instruction."),
    ("INT 3", "", "-", "Breaks into the debugger."),
    ("JAE", "target", "-", "Jumps if above or equal, unsigned (CF clear)."),
    ("JBE", "target", "-", "Jumps if below or equal, unsigned."),
    ("JGE", "target", "-", "Jumps if greater or equal, signed."),
    ("JLE", "target", "-", "Jumps if less or equal, signed."),
    ("JS", "target", "-", "Jumps if the sign flag is set."),
    ("JNS", "target", "-", "Jumps if the sign flag is clear."),
    ("JO", "target", "-", "Jumps on overflow."),
    ("JECXZ", "target", "-", "Jumps if ECX is zero."),
    ("LODSB", "", "-", "Loads AL from [ESI] and steps ESI."),
    ("STOSB", "", "-", "Stores AL at [EDI] and steps EDI."),
    ("MOVSD", "", "-", "Copies a dword from [ESI] to [EDI] and steps both."),
    ("CMPSB", "", "OSZAPC", "Compares [ESI] with [EDI] and steps both."),
    ("PUSHFD", "", "-", "Pushes the flags register."),
    ("POPFD", "", "all", "Pops the flags register."),
    ("CLC", "", "C", "Clears the carry flag."),
    ("STC", "", "C", "Sets the carry flag."),
    ("CMC", "", "C", "Inverts the carry flag."),
    ("BSWAP", "reg32", "-", "Reverses the byte order of a register."),
    ("XADD", "dest, reg", "OSZAPC", "Exchanges, then stores the sum in dest."),
    ("CMPXCHG", "dest, reg", "OSZAPC", "Stores reg in dest if dest equals EAX, else loads EAX."),
    ("RCL", "dest, count", "OC", "Rotates left through the carry flag."),
    ("RCR", "dest, count", "OC", "Rotates right through the carry flag."),
    ("SHLD", "dest, src, count", "OSZPC", "Shifts dest left, filling from src."),
    ("SHRD", "dest, src, count", "OSZPC", "Shifts dest right, filling from src."),
    ("BTS", "base, bit", "C", "Tests a bit, then sets it."),
    ("BTR", "base, bit", "C", "Tests a bit, then clears it."),
    ("BTC", "base, bit", "C", "Tests a bit, then inverts it."),
    ("CBW", "", "-", "Sign-extends AL into AX."),
    ("CWDE", "", "-", "Sign-extends AX into EAX."),
    ("CWD", "", "-", "Sign-extends AX into DX:AX."),
    ("INT", "imm8", "-", "Calls an interrupt handler."),
    ("HLT", "", "-", "Stops the processor until an interrupt; privileged."),
    ("CPUID", "", "-", "Reports processor features selected by EAX."),
    ("RDTSC", "", "-", "Reads the time-stamp counter into EDX:EAX."),
    ("LAHF", "", "-", "Loads SF, ZF, AF, PF and CF into AH."),
    ("SAHF", "", "SZAPC", "Stores AH into SF, ZF, AF, PF and CF."),
    ("MOVSB", "", "-", "Copies a byte from [ESI] to [EDI] and steps both."),
    ("SCASD", "", "OSZAPC", "Compares EAX with [EDI] and steps EDI."),
    ("WAIT", "", "-", "Waits for the floating-point unit."),
    ("FLD", "src", "-", "Pushes a floating-point value."),
    ("FSTP", "dest", "-", "Stores and pops the top floating-point value."),
    ("FADD", "src", "-", "Adds to the top floating-point value."),
    ("FMUL", "src", "-", "Multiplies the top floating-point value."),
    ("FILD", "src", "-", "Pushes an integer as a floating-point value."),
    ("FISTP", "dest", "-", "Stores the top value as an integer and pops it."),
]

INSTRUCTION_HEADER = ("; Instruction reference for the editor's hints, one instruction per line:" + EOL
                      + "; mnemonic|operands|flags it changes|description" + EOL
                      + "; Flags: O overflow, S sign, Z zero, A auxiliary carry, P parity, C carry, "
                      + "D direction" + EOL)


def instruction_reference(size: int) -> str:
    records = ["%s|%s|%s|%s%s" % (m, o, f, d, EOL) for m, o, f, d in INSTRUCTIONS]
    return INSTRUCTION_HEADER + _exact_lines(records, size - len(INSTRUCTION_HEADER))


_CONSTANT_WORDS = ["READ", "WRITE", "EXECUTE", "ALL_ACCESS", "QUERY", "MODIFY", "SYNCHRONIZE", "DELETE"]
_FLAG_WORDS = ["DEFAULT", "NONE", "ASYNC", "BUFFERED", "SHARED", "EXCLUSIVE", "VISIBLE", "HIDDEN",
               "TEMPORARY", "PERSISTENT", "INHERIT", "NO_INHERIT", "OVERWRITE", "APPEND", "NOTIFY",
               "NO_WAIT", "RECURSIVE", "SORTED", "UNICODE", "ANSI", "LOCAL", "GLOBAL", "LOCKED", "MOVEABLE"]
_INFO_WORDS = ["BASIC", "STANDARD", "FULL", "NAME", "SIZE", "TIME", "SECURITY", "STATE", "LIMITS",
               "STATISTICS", "CAPABILITIES", "VERSION", "OWNER", "ATTRIBUTES", "POSITION", "EXTENDED"]
_STATE_WORDS = ["IDLE", "BUSY", "OPEN", "CLOSED", "READY", "PENDING", "FAILED", "SUSPENDED", "RUNNING",
                "STOPPED"]
_NOTIFY_WORDS = ["CREATED", "DELETED", "CHANGED", "RENAMED", "OPENED", "CLOSED", "MOVED", "RESIZED",
                 "ACTIVATED", "DEACTIVATED", "ENABLED", "DISABLED", "REFRESHED", "EXPIRED"]
_ATTRIBUTE_WORDS = ["READONLY", "HIDDEN", "SYSTEM", "ARCHIVE", "COMPRESSED", "ENCRYPTED", "OFFLINE",
                    "SPARSE", "TEMPORARY", "NORMAL", "CONTAINER", "DEVICE", "VIRTUAL", "PINNED", "INDEXED",
                    "INTEGRITY", "NO_SCRUB", "RECALL", "UNPINNED", "REPARSE"]
_ERROR_WORDS = ["NOT_FOUND", "INVALID", "BUSY", "EXISTS", "TOO_MANY", "NOT_SUPPORTED", "ACCESS_DENIED",
                "TIMEOUT", "LOCKED", "CORRUPT"]


def _upper_snake(kind: str) -> str:
    return re.sub(r"(?<=[a-z])(?=[A-Z])", "_", kind).upper()


def _equ(name: str, value: int) -> str:
    return "%-40s equ %09Xh%s" % (name, value, EOL)


def _kind_constants(index: int, kind: str) -> List[str]:
    prefix = _upper_snake(kind)
    lines = [_equ("%s_%s" % (prefix, w), 1 << (16 + i)) for i, w in enumerate(_CONSTANT_WORDS)]
    lines += [_equ("%s_FLAG_%s" % (prefix, w), 1 << i) for i, w in enumerate(_FLAG_WORDS)]
    lines += [_equ("%s_INFO_%s" % (prefix, w), i) for i, w in enumerate(_INFO_WORDS)]
    lines += [_equ("%s_STATE_%s" % (prefix, w), i) for i, w in enumerate(_STATE_WORDS)]
    lines += [_equ("%s_NOTIFY_%s" % (prefix, w), 0x8000 + i) for i, w in enumerate(_NOTIFY_WORDS)]
    lines += [_equ("%s_ATTRIBUTE_%s" % (prefix, w), 1 << i) for i, w in enumerate(_ATTRIBUTE_WORDS)]
    lines += [_equ("ERROR_%s_%s" % (prefix, w), 0x2000 + 16 * index + i) for i, w in enumerate(_ERROR_WORDS)]
    return lines


def _structures(kind: str) -> List[str]:
    prefix = _upper_snake(kind)
    blocks = []
    for suffix, fields in (("INFO", ["cbSize DWORD ?", "dwFlags DWORD ?", "dwState DWORD ?",
                                     "ftCreated FILETIME <>", "hOwner HANDLE ?", "lpName LPSTR ?"]),
                           ("DATA", ["cbSize DWORD ?", "dwAttributes DWORD ?", "nSize DWORD ?",
                                     "szName BYTE 260 dup(?)"])):
        lines = ["%s_%s STRUCT%s" % (prefix, suffix, EOL)]
        lines += ["    %-20s %s%s" % tuple(field.split(" ", 1) + [EOL]) for field in fields]
        lines.append("%s_%s ENDS%s%s" % (prefix, suffix, EOL, EOL))
        blocks.append("".join(lines))
    return blocks


def _prototypes(dll: str) -> List[str]:
    lines = []
    for f in FUNCTIONS:
        if f.dll == dll:
            lines.append("%-40s PROTO %s%s" % (f.name, ",".join(":DWORD" for _ in f.params), EOL)
                         if f.params else "%-40s PROTO%s" % (f.name, EOL))
    return lines


# What the examples use, with the values Windows gives them; the generated part follows.
_CORE = """\
; Windows.inc - types, constants, structures and prototypes for the MASM examples

HANDLE      TYPEDEF DWORD
HWND        TYPEDEF DWORD
HMENU       TYPEDEF DWORD
HINSTANCE   TYPEDEF DWORD
HICON       TYPEDEF DWORD
HCURSOR     TYPEDEF DWORD
HBRUSH      TYPEDEF DWORD
HMODULE     TYPEDEF DWORD
LPSTR       TYPEDEF DWORD
UINT        TYPEDEF DWORD
WPARAM      TYPEDEF DWORD
LPARAM      TYPEDEF DWORD
ATOM        TYPEDEF WORD

NULL                equ 0
FALSE               equ 0
TRUE                equ 1
WM_CREATE           equ 0001h
WM_DESTROY          equ 0002h
WM_COMMAND          equ 0111h
WS_OVERLAPPEDWINDOW equ 00CF0000h
WS_CHILD            equ 40000000h
WS_VISIBLE          equ 10000000h
BS_DEFPUSHBUTTON    equ 00000001h
BN_CLICKED          equ 0
CS_VREDRAW          equ 0001h
CS_HREDRAW          equ 0002h
COLOR_WINDOW        equ 5
COLOR_BTNFACE       equ 15
IDI_APPLICATION     equ 32512
IDC_ARROW           equ 32512
SW_SHOWDEFAULT      equ 10
CW_USEDEFAULT       equ 80000000h
MB_OK               equ 0
MB_ICONINFORMATION  equ 40h

POINT STRUCT
    x                    DWORD ?
    y                    DWORD ?
POINT ENDS

FILETIME STRUCT
    dwLowDateTime        DWORD ?
    dwHighDateTime       DWORD ?
FILETIME ENDS

MSG STRUCT
    hwnd                 DWORD ?
    message              DWORD ?
    wParam               DWORD ?
    lParam               DWORD ?
    time                 DWORD ?
    pt                   POINT <>
MSG ENDS

WNDCLASSEX STRUCT
    cbSize               DWORD ?
    style                DWORD ?
    lpfnWndProc          DWORD ?
    cbClsExtra           DWORD ?
    cbWndExtra           DWORD ?
    hInstance            DWORD ?
    hIcon                DWORD ?
    hCursor              DWORD ?
    hbrBackground        DWORD ?
    lpszMenuName         DWORD ?
    lpszClassName        DWORD ?
    hIconSm              DWORD ?
WNDCLASSEX ENDS
"""
WINDOWS_INC_HEADER = _CORE.replace("\n", EOL)


def _section(title: str, items: List[str]) -> List[str]:
    # The title travels with the first item so that a title never ends up on its own.
    return ["%s; %s%s%s" % (EOL, title, EOL, items[0])] + items[1:]


def windows_inc(size: int) -> str:
    items = []
    dlls = []
    for index, (kind, dll, _) in enumerate(KINDS):
        items += _section(kind, _kind_constants(index, kind) + _structures(kind))
        if dll not in dlls:
            dlls.append(dll)
    for dll in dlls:
        items += _section(dll, _prototypes(dll))
    return WINDOWS_INC_HEADER + _exact_lines(items, size - len(WINDOWS_INC_HEADER))
