"""The sample manual: a small PDF 1.5 document with a title page and a few pages of text.

The file is brought to its exact size through the XMP metadata packet, whose trailing whitespace is
the padding XMP provides for just this purpose; every object, the cross-reference table and the
trailer stay exact because the padding sits inside a stream with a correct /Length.
"""
import hashlib
from typing import List, Tuple

from . import stamp
from .fit import FitError, wrap_words

TITLE = "Torvek Pellum 3.9.8.7 manual"
DEFAULT_TIME = 1709294400  # 2024-03-01 12:00:00 UTC, when no SOURCE_DATE_EPOCH is set

CHAPTERS: List[Tuple[str, List[str]]] = [
    ("1. Installing", [
        "Run Setup.exe and follow the wizard. It asks for a folder, shows the licence agreement and "
        "copies the program, its help and the example projects into the folder you chose.",
        "The installer offers to open assembler source files with Torvek Pellum and can add "
        "shortcuts to the Start menu and the desktop."]),
    ("2. The first project", [
        "Choose File, New Project, give the project a name and pick MASM or TASM. A project is a "
        "small text file with the extension .kelp that lists its sources and resources.",
        "Build assembles every source, links the result with the import libraries from the "
        "WorkModules folder and starts the program when you ask it to."]),
    ("3. The examples", [
        "Four example projects are installed: two for MASM and two for TASM. The first of each pair "
        "shows a window with a button, the second a window with a menu loaded from resources.",
        "Open the .kelp file of an example to load it, then build and run it."]),
    ("4. Command-line modules", [
        "The CliModules folder holds the templates used when a new source file is created. Edit "
        "them to change what every new file starts with."]),
    ("5. Removing Torvek Pellum", [
        "Use Uninstall.exe in the program folder, or the entry the installer added to the list of "
        "installed programs. Your own projects are never removed."]),
]


def _escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


def _text_page(lines: List[Tuple[str, int, str]]) -> bytes:
    """lines: (font, size, text) placed top to bottom with a fixed left margin."""
    out, y = ["BT"], 760
    for font, size, text in lines:
        y -= size + 8
        out.append("/%s %d Tf 1 0 0 1 72 %d Tm (%s) Tj" % (font, size, y, _escape(text)))
    out.append("ET")
    return ("\n".join(out) + "\n").encode("latin-1")


def _pages() -> List[bytes]:
    pages = [_text_page([("F2", 28, "Torvek Pellum"), ("F1", 16, TITLE), ("F1", 11, ""),
                         ("F1", 11, "Assembler development environment for Windows"),
                         ("F1", 11, "Torvek")])]
    contents = [("F2", 18, "Contents")] + [("F1", 12, title) for title, _ in CHAPTERS]
    pages.append(_text_page(contents))
    for title, paragraphs in CHAPTERS:
        lines = [("F2", 18, title)]
        for paragraph in paragraphs:
            lines += [("F1", 11, line) for line in wrap_words(paragraph.split(), 88)] + [("F1", 6, "")]
        pages.append(_text_page(lines))
    return pages


def _xmp(padding: int) -> bytes:
    packet = ('<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?>\n'
              '<x:xmpmeta xmlns:x="adobe:ns:meta/">\n'
              '<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">\n'
              '<rdf:Description rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/">\n'
              '<dc:title><rdf:Alt><rdf:li xml:lang="x-default">%s</rdf:li></rdf:Alt></dc:title>\n'
              '<dc:creator><rdf:Seq><rdf:li>Torvek</rdf:li></rdf:Seq></dc:creator>\n'
              '</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n' % TITLE).encode("utf-8")
    lines, left = [], padding
    while left > 0:
        take = min(100, left)
        lines.append(b" " * (take - 1) + b"\n" if take > 1 else b"\n")
        left -= take
    return packet + b"".join(lines) + b'<?xpacket end="w"?>'


def _stream(dictionary: str, data: bytes) -> bytes:
    return ("<< %s /Length %d >>\nstream\n" % (dictionary, len(data))).encode("ascii") + data + b"\nendstream"


def _document(padding: int) -> bytes:
    pages = _pages()
    first_page = 7
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R /Metadata 6 0 R /PageMode /UseNone >>",
        ("<< /Type /Pages /Kids [%s] /Count %d >>" % (
            " ".join("%d 0 R" % (first_page + 2 * i) for i in range(len(pages))), len(pages))).encode("ascii"),
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
        ("<< /Title (%s) /Author (Torvek) /Subject (User manual) /Creator (Torvek Pellum) "
         "/CreationDate (%s) /ModDate (%s) >>" % (TITLE, stamp.pdf_date(DEFAULT_TIME), stamp.pdf_date(DEFAULT_TIME))).encode("ascii"),
        _stream("/Type /Metadata /Subtype /XML", _xmp(padding)),
    ]
    for index, content in enumerate(pages):
        objects.append(("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << "
                        "/F1 3 0 R /F2 4 0 R >> >> /Contents %d 0 R >>" % (first_page + 2 * index + 1))
                       .encode("ascii"))
        objects.append(_stream("", content))
    return _assemble(objects)


def _assemble(objects: List[bytes]) -> bytes:
    out = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref_at = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    document_id = hashlib.md5(bytes(out)).hexdigest().encode("ascii")
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Info 5 0 R /ID [<%s> <%s>] >>\nstartxref\n%d\n%%%%EOF\n"
            % (len(objects) + 1, document_id, document_id, xref_at))
    return bytes(out)


def manual(size: int) -> bytes:
    padding = 0
    for _ in range(8):  # the /Length digits move with the padding; settles in two or three rounds
        data = _document(padding)
        if len(data) == size:
            return data
        padding += size - len(data)
        if padding < 0:
            break
    raise FitError("the sample manual needs at least %d bytes, the slot has %d" % (len(_document(0)), size))
