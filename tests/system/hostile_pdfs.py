"""PDF files made to hurt a PDF viewer: pages that take minutes to draw,
page trees that loop, and a corpus of malformed files (truncated, looping
cross-reference tables, huge boxes, object and decompression bombs). Each is
small on disk; the system tests give them to the client as jobs.

Usage: python3 hostile_pdfs.py FOLDER   (writes the corpus into FOLDER)"""

import sys
import zlib
from pathlib import Path

from harness import serialize_pdf

CATALOG = b"<< /Type /Catalog /Pages 2 0 R >>"


def stream(data, entries=b""):
    return (b"<< /Length %d /Filter /FlateDecode %s>>\nstream\n" % (len(data), entries)
            + data + b"\nendstream")


def deflated(piece, times):
    """A zlib stream of `piece` repeated `times` times, made without
    compressing it all: after a full flush the compressor starts afresh, so
    every further copy compresses to the same block. Only the checksum at
    the end is reckoned over the whole."""
    compressor = zlib.compressobj(9)
    first = compressor.compress(piece) + compressor.flush(zlib.Z_FULL_FLUSH)
    block = compressor.compress(piece) + compressor.flush(zlib.Z_FULL_FLUSH)
    last_block = compressor.flush()[:-4]
    checksum = 1
    for _ in range(times):
        checksum = zlib.adler32(piece, checksum)
    return first + block * (times - 1) + last_block + checksum.to_bytes(4, "big")


def one_page(content, media_box=b"[0 0 595 842]", page_entries=b"", more=()):
    return serialize_pdf([
        CATALOG,
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox " + media_box + b" /Contents 4 0 R "
        + page_entries + b">>",
        stream(content),
        *more,
    ])


def heavy_page(millions=1.5):
    """One page of `millions` million rectangles filled over the whole page,
    two path operators each: about 100 KB compressed, minutes for the PDF
    engine."""
    per_block = 50_000
    return one_page(deflated(b"0 0 595 842 re f\n" * per_block,
                             int(millions * 1_000_000 / per_block)))


def page_tree_loop():
    """A page tree whose only kid has the root as its own kid: the PDF
    engine loads it for ever."""
    return serialize_pdf([
        CATALOG,
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Pages /Parent 2 0 R /Kids [2 0 R] /Count 1 >>",
    ])


def _self_looping_tree():
    return serialize_pdf([CATALOG, b"<< /Type /Pages /Kids [2 0 R] /Count 1 >>"])


def _truncated():
    whole = one_page(zlib.compress(b"BT /F1 12 Tf 72 720 Td (cut) Tj ET\n" * 200))
    return whole[: len(whole) // 2]


def _xref_loop():
    """A cross-reference table whose /Prev names itself."""
    body = bytearray(one_page(zlib.compress(b"0 0 m 10 10 l S")))
    start = body.rindex(b"startxref")
    xref = int(body[start:].split()[1])
    trailer = body.rindex(b"trailer")
    body[trailer:] = (b"trailer\n<< /Size 5 /Root 1 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n"
                      % (xref, xref))
    return bytes(body)


def _object_bomb():
    """Resources nested 100 000 arrays deep, and 200 000 objects that only
    refer to the next one."""
    nested = b"[" * 100_000 + b"]" * 100_000
    chain = [b"[%d 0 R]" % (number + 1) for number in range(6, 200_006)] + [b"null"]
    return one_page(zlib.compress(b"0 0 m 10 10 l S"), page_entries=b"/Resources 5 0 R ",
                    more=(b"<< /Deep " + nested + b" /Chain 6 0 R >>", *chain))


def _image_bomb():
    """An image of 32768 x 21846 pixels (2 GiB decoded) from 2 MB of zeros."""
    pixels = deflated(bytes(1 << 20), 2048)
    image = stream(pixels, b"/Type /XObject /Subtype /Image /Width 32768 /Height 21846 "
                           b"/ColorSpace /DeviceRGB /BitsPerComponent 8 ")
    return one_page(zlib.compress(b"q 595 0 0 842 0 0 cm /Im Do Q"),
                    page_entries=b"/Resources << /XObject << /Im 5 0 R >> >> ", more=(image,))


def _many_pages(count=100_000):
    kids = b" ".join(b"%d 0 R" % number for number in range(3, count + 3))
    pages = [b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>"] * count
    return serialize_pdf([CATALOG, b"<< /Type /Pages /Kids [" + kids + b"] /Count %d >>" % count,
                          *pages])


CORPUS = {
    "truncated": _truncated,
    "xref-loop": _xref_loop,
    "page-tree-loop": page_tree_loop,
    "page-tree-self": _self_looping_tree,
    "huge-media-box": lambda: one_page(zlib.compress(b"0 0 m 1000 1000 l S"),
                                       b"[0 0 200000 200000]"),
    "huger-media-box": lambda: one_page(zlib.compress(b"0 0 m 1000 1000 l S"),
                                        b"[0 0 300000 300000]"),
    "absurd-boxes": lambda: one_page(zlib.compress(b"0 0 m 1 1 l S"), b"[0 0 -1e40 1e40]",
                                     page_entries=b"/CropBox [5 5 5 5] /Rotate 1e30 "),
    "inflate-bomb": lambda: one_page(deflated(b" " * (1 << 20), 1536)),
    "image-bomb": _image_bomb,
    "object-bomb": _object_bomb,
    "many-pages": _many_pages,
    "not-a-pdf": lambda: bytes(range(256)) * 64,
    "empty": lambda: b"",
}


def write_corpus(folder):
    """Writes every file of the corpus into folder as NAME.pdf; returns the
    names."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    for name, make in CORPUS.items():
        (folder / f"{name}.pdf").write_bytes(make())
    return list(CORPUS)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for written in write_corpus(sys.argv[1]):
        print(written)
