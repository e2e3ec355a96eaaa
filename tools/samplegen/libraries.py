"""Sample import libraries in the two formats the example projects use.

COFF archive (MASM examples): "!<arch>\\n", the two linker members, then one small i386 COFF object
per function holding the usual jump stub and import-table pieces, each member named after its DLL.

OMF library (TASM examples): a library header record (0xF0), one module per function carrying an
import definition comment, the library end record (0xF1) and the hashed symbol dictionary that
librarians and linkers use to find a module by symbol name.
"""
import struct
from typing import List, Sequence

from . import stamp
from .api import Function
from .fit import FitError, pick_exact

DEFAULT_TIME = 0x5F5E1000  # when no SOURCE_DATE_EPOCH is set: fixed, so every run writes the same bytes


# ---- COFF archive ---------------------------------------------------------------------------------

def _member_header(name: str, size: int) -> bytes:
    header = "%-16s%-12d%-6s%-6s%-8s%-10d`\n" % (name, stamp.build_time(DEFAULT_TIME), "", "", "0", size)
    return header.encode("ascii")


def _member(name: str, data: bytes) -> bytes:
    return _member_header(name, len(data)) + data + (b"\n" if len(data) % 2 else b"")


def _coff_symbol(name_field: bytes, value: int, section: int, type_: int, storage: int) -> bytes:
    return struct.pack("<8sIhHBB", name_field, value, section, type_, storage, 0)


def import_object(function: Function) -> bytes:
    """An i386 COFF object: jmp [__imp__F@n] in .text, IAT and lookup slots, hint and name."""
    code_symbol = "_%s@%d" % (function.name, function.stack_bytes)
    import_symbol = "__imp_" + code_symbol
    strings = bytearray(b"\0\0\0\0")

    def name_field(name: str) -> bytes:
        if len(name) <= 8:
            return name.encode("ascii")
        offset = len(strings)
        strings.extend(name.encode("ascii") + b"\0")
        return struct.pack("<II", 0, offset)

    hint_name = struct.pack("<H", 0) + function.name.encode("ascii") + b"\0"
    hint_name += b"\0" * (len(hint_name) % 2)
    sections = [  # name, data, relocations (offset, symbol index, type), characteristics
        (b".text", b"\xff\x25\0\0\0\0", [(2, 1, 6)], 0x60200020),
        (b".idata$5", b"\0" * 4, [(0, 2, 7)], 0xC0300040),
        (b".idata$4", b"\0" * 4, [(0, 2, 7)], 0xC0300040),
        (b".idata$6", hint_name, [], 0xC0200040),
    ]
    position = 20 + 40 * len(sections)
    headers, body = b"", b""
    for name, data, relocations, flags in sections:
        data_at = position
        reloc_at = data_at + len(data) if relocations else 0
        headers += struct.pack("<8sIIIIIIHHI", name, 0, 0, len(data), data_at, reloc_at, 0,
                               len(relocations), 0, flags)
        body += data + b"".join(struct.pack("<IIH", *r) for r in relocations)
        position += len(data) + 10 * len(relocations)
    symbols = (_coff_symbol(name_field(code_symbol), 0, 1, 0x20, 2)
               + _coff_symbol(name_field(import_symbol), 0, 2, 0, 2)
               + _coff_symbol(b".idata$6", 0, 4, 0, 3))
    struct.pack_into("<I", strings, 0, len(strings))
    file_header = struct.pack("<HHIIIHH", 0x14C, len(sections), stamp.build_time(DEFAULT_TIME), position, 3, 0, 0x100)
    return file_header + headers + body + symbols + bytes(strings)


def _public_names(function: Function) -> List[str]:
    code_symbol = "_%s@%d" % (function.name, function.stack_bytes)
    return ["__imp_" + code_symbol, code_symbol]


def _coff_archive(functions: Sequence[Function], dll: str) -> bytes:
    members = [_member(dll + "/", import_object(f)) for f in functions]
    names = [_public_names(f) for f in functions]
    symbol_count = 2 * len(functions)
    first_size = 4 + 4 * symbol_count + sum(len(n) + 1 for pair in names for n in pair)
    second_size = 4 + 4 * len(members) + 4 + 2 * symbol_count + sum(len(n) + 1 for pair in names for n in pair)
    offset = 8 + 60 + first_size + first_size % 2 + 60 + second_size + second_size % 2
    member_offsets = []
    for member in members:
        member_offsets.append(offset)
        offset += len(member)

    first = struct.pack(">I", symbol_count)
    first += b"".join(struct.pack(">I", member_offsets[i]) for i, pair in enumerate(names) for _ in pair)
    first += b"".join(n.encode("ascii") + b"\0" for pair in names for n in pair)
    # The second linker member lists members once and symbols sorted, so a linker can binary-search.
    by_name = sorted((n.encode("ascii"), i + 1) for i, pair in enumerate(names) for n in pair)
    second = struct.pack("<I", len(members)) + b"".join(struct.pack("<I", o) for o in member_offsets)
    second += struct.pack("<I", symbol_count) + b"".join(struct.pack("<H", i) for _, i in by_name)
    second += b"".join(n + b"\0" for n, _ in by_name)
    return b"!<arch>\n" + _member("/", first) + _member("/", second) + b"".join(members)


def coff_import_library(functions: Sequence[Function], dll: str, size: int) -> bytes:
    """A COFF import library for dll of exactly size bytes, taking functions in order."""
    objects = [import_object(f) for f in functions]
    costs = []
    for function, obj in zip(functions, objects):
        name_bytes = sum(len(n) + 1 for n in _public_names(function))
        # member with header and pad, plus its share of both linker members
        costs.append(60 + len(obj) + len(obj) % 2 + 8 + 4 + 4 + 2 * name_bytes)
    fixed = 8 + 60 + 4 + 60 + 4 + 4
    for linker_padding in range(3):
        try:
            chosen = pick_exact(costs, size - fixed - linker_padding)
        except FitError:
            continue
        data = _coff_archive([functions[i] for i in chosen], dll)
        if len(data) == size:
            return data
    raise FitError("cannot build a %d-byte COFF library for %s" % (size, dll))


# ---- OMF library ----------------------------------------------------------------------------------

PAGE_SIZE = 16
DICTIONARY_BLOCK = 512
BUCKETS = 37


def omf_record(kind: int, payload: bytes) -> bytes:
    body = bytes([kind]) + struct.pack("<H", len(payload) + 1) + payload
    return body + bytes([(-sum(body)) & 0xFF])


def _counted(text: str) -> bytes:
    raw = text.encode("ascii")
    return bytes([len(raw)]) + raw


def omf_import_module(function: Function) -> bytes:
    module = function.dll.split(".")[0].upper()
    impdef = b"\x00\xa0\x01\x00" + _counted(function.name) + _counted(module) + b"\x00"
    return (omf_record(0x80, _counted(function.name))  # THEADR
            + omf_record(0x88, impdef)                 # COMENT, import definition
            + omf_record(0x8A, b"\x00"))               # MODEND


def _rotl(value: int, bits: int) -> int:
    return ((value << bits) | (value >> (16 - bits))) & 0xFFFF


def _rotr(value: int, bits: int) -> int:
    return ((value >> bits) | (value << (16 - bits))) & 0xFFFF


def dictionary_hash(name: bytes, block_count: int):
    """Starting block, block step, starting bucket and bucket step for a symbol (case-blind)."""
    length = len(name)
    block_x, block_d = length | 0x20, 0
    bucket_x, bucket_d = 0, length | 0x20
    for i in range(length):
        front = name[i] | 0x20
        back = name[length - 1 - i] | 0x20
        block_x = _rotl(block_x, 2) ^ front
        block_d = _rotl(block_d, 2) ^ back
        bucket_x = _rotr(bucket_x, 2) ^ back
        bucket_d = _rotr(bucket_d, 2) ^ front
    return (block_x % block_count, max(block_d % block_count, 1),
            bucket_x % BUCKETS, max(bucket_d % BUCKETS, 1))


def build_dictionary(symbols, block_count: int):
    """symbols: (name bytes, page number). None when they do not all fit in block_count blocks."""
    blocks = [bytearray(DICTIONARY_BLOCK) for _ in range(block_count)]
    for block in blocks:
        block[BUCKETS] = (BUCKETS + 1 + 1) // 2  # first free word, just past the bucket table
    for name, page in symbols:
        if not _insert(blocks, name, page):
            return None
    return b"".join(bytes(b) for b in blocks)


def _insert(blocks, name: bytes, page: int) -> bool:
    block, block_step, bucket, bucket_step = dictionary_hash(name, len(blocks))
    entry = bytes([len(name)]) + name + struct.pack("<H", page)
    for _ in range(len(blocks)):
        data = blocks[block]
        free = data[BUCKETS] * 2
        if data[BUCKETS] != 0xFF and free + len(entry) <= DICTIONARY_BLOCK:
            slot = bucket
            for _ in range(BUCKETS):
                if data[slot] == 0:
                    data[free:free + len(entry)] = entry
                    data[slot] = free // 2
                    next_free = (free + len(entry) + 1) // 2
                    data[BUCKETS] = next_free if next_free * 2 < DICTIONARY_BLOCK else 0xFF
                    return True
                slot = (slot + bucket_step) % BUCKETS
        block = (block + block_step) % len(blocks)
    return False


def _omf_layout(functions: Sequence[Function], size: int):
    """The library bytes for functions if they fit in size, else None."""
    header_size = PAGE_SIZE
    modules, symbols, position = [], [], header_size
    for function in functions:
        module = omf_import_module(function)
        symbols.append((function.name.encode("ascii"), position // PAGE_SIZE))
        padded = module + b"\0" * (-len(module) % PAGE_SIZE)
        modules.append(padded)
        position += len(padded)
    dictionary_at = -(-(position + 3) // DICTIONARY_BLOCK) * DICTIONARY_BLOCK
    block_count = (size - dictionary_at) // DICTIONARY_BLOCK
    if block_count < 1 or position // PAGE_SIZE > 0xFFFF:
        return None
    dictionary = build_dictionary(symbols, block_count)
    if dictionary is None:
        return None
    header = struct.pack("<BHIHB", 0xF0, PAGE_SIZE - 3, dictionary_at, block_count, 0x01)
    header += b"\0" * (PAGE_SIZE - len(header))
    end_length = dictionary_at - position - 3
    end = struct.pack("<BH", 0xF1, end_length) + b"\0" * end_length
    return header + b"".join(modules) + end + dictionary


def omf_import_library(functions: Sequence[Function], size: int) -> bytes:
    """An OMF import library of exactly size bytes (a whole number of dictionary blocks)."""
    if size % DICTIONARY_BLOCK:
        raise FitError("an OMF library ends with whole %d-byte dictionary blocks; %d is not a multiple"
                       % (DICTIONARY_BLOCK, size))
    low, high = 0, len(functions)
    while low < high:  # the most functions whose modules and dictionary still fit
        middle = (low + high + 1) // 2
        if _omf_layout(functions[:middle], size) is not None:
            low = middle
        else:
            high = middle - 1
    data = _omf_layout(functions[:low], size)
    if not low or data is None or len(data) != size:
        raise FitError("cannot build a %d-byte OMF library" % size)
    return data
