"""Shared helpers of the generator tests: paths, tool runs and stand-in Windows programs."""
import os
import struct
import subprocess
import sys

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROOT = os.path.dirname(TOOLS)
CATALOGUE = os.path.join(ROOT, "resources", "payload.catalogue")
LICENCE = os.path.join(ROOT, "resources", "licence.txt")
DESTINATIONS = os.path.join(ROOT, "tests", "data", "destinations.txt")
if TOOLS not in sys.path:
    sys.path.insert(0, TOOLS)


def run_tool(script: str, *args: str) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-B", os.path.join(TOOLS, script), *args],
                          capture_output=True, text=True)


def write(path: str, data) -> str:
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("ascii") if isinstance(data, str) else data)
    return path


def read(path: str) -> bytes:
    with open(path, "rb") as f:
        return f.read()


def fake_program(size: int, tag: bytes) -> bytes:
    """Just enough of a PE image for the generator's checks: MZ header pointing at a PE signature."""
    data = bytearray(size)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, 0x80)
    data[0x80:0x84] = b"PE\0\0"
    data[0x100:0x100 + len(tag)] = tag
    return bytes(data)


def _unescape(field: str) -> str:
    out, i = [], 0
    while i < len(field):
        if field.startswith("\\\\", i):
            out.append("\\")
            i += 2
        elif field.startswith("\\x", i):
            out.append(chr(int(field[i + 2:i + 4], 16)))
            i += 4
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def destination_cases():
    """(verdict, destination) of every case in tests/data/destinations.txt, escapes resolved."""
    with open(DESTINATIONS, encoding="ascii") as f:
        for line in f.read().split("\n"):
            if not line or line.startswith("#"):
                continue
            verdict, destination = line.split("\t", 1)
            yield _unescape(verdict), _unescape(destination)
