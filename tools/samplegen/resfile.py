"""A compiled resource file (.RES) holding the menu example's menu and its status-line strings.

Layout: the 32-byte empty entry every .RES file starts with, then one entry per resource, each a
header (sizes, type, name, flags, language) and its data, both padded to four bytes.
"""
import struct
from typing import List, Sequence, Tuple

from .fit import FitError
from .sources import MENU_IDS

RT_MENU = 4
RT_STRING = 6
LANGUAGE = 0x0409
MEMORY_FLAGS = 0x1030  # moveable, pure, discardable: what resource compilers write by default

EMPTY_ENTRY = struct.pack("<II", 0, 32) + b"\xff\xff\0\0\xff\xff\0\0" + b"\0" * 16

STATUS_TEXTS = ["Starts a new document.", "Opens a document.", "Closes the example.",
                "Shows who made this example."]

# (flags, id or None for a popup, text); MF_POPUP = 0x10, MF_END = 0x80 on the last item of a level
MENU = [(0x10, None, "&File"), (0x00, 1001, "&New"), (0x00, 1002, "&Open..."), (0x00, 0, ""),
        (0x80, 1003, "E&xit"), (0x90, None, "&Help"), (0x80, 1101, "&About...")]


def _pad4(data: bytes) -> bytes:
    return data + b"\0" * (-len(data) % 4)


def _utf16z(text: str) -> bytes:
    return text.encode("utf-16-le") + b"\0\0"


def entry(type_id: int, name_id: int, data: bytes) -> bytes:
    header = struct.pack("<II", len(data), 32) + struct.pack("<HHHH", 0xFFFF, type_id, 0xFFFF, name_id)
    header += struct.pack("<IHHII", 0, MEMORY_FLAGS, LANGUAGE, 0, 0)
    return header + _pad4(data)


def menu_data() -> bytes:
    data = struct.pack("<HH", 0, 0)
    for flags, item_id, text in MENU:
        data += struct.pack("<H", flags)
        if item_id is not None:
            data += struct.pack("<H", item_id)
        data += _utf16z(text)
    return data


def string_tables(strings: Sequence[Tuple[int, str]]) -> List[bytes]:
    """String tables come in blocks of sixteen; block b holds ids (b - 1) * 16 .. b * 16 - 1."""
    blocks = {}
    for string_id, text in strings:
        blocks.setdefault(string_id // 16 + 1, {})[string_id % 16] = text
    out = []
    for block_id in sorted(blocks):
        data = b"".join(struct.pack("<H", len(blocks[block_id].get(i, ""))) +
                        blocks[block_id].get(i, "").encode("utf-16-le") for i in range(16))
        out.append(entry(RT_STRING, block_id, data))
    return out


def fitted_status_texts(size: int) -> List[str]:
    """The status texts, the last one lengthened with spaces when the file must be bigger."""
    texts = list(STATUS_TEXTS)
    while len(res_file(texts)) < size and len(texts[-1]) < 4096:
        texts[-1] += " "
    return texts


def res_file(texts: Sequence[str]) -> bytes:
    strings = [(value, text) for (_, value), text in zip(MENU_IDS, texts)]
    return EMPTY_ENTRY + entry(RT_MENU, 100, menu_data()) + b"".join(string_tables(strings))


def menu_res(size: int) -> bytes:
    data = res_file(fitted_status_texts(size))
    if len(data) != size:
        raise FitError("the menu example's .RES is %d bytes; it cannot be made %d" % (len(data), size))
    return data
