"""Headless Chromium from Debian, started from the command line: the DOM it builds from a page
and a screenshot of it, each in a new empty profile and without network use."""
import html.parser
import os
import re
import struct
import subprocess
import tempfile
import zlib

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def _chromium(*args):
    with tempfile.TemporaryDirectory(prefix="bristoke-chromium-") as profile:
        proc = subprocess.run(["chromium"] + FLAGS + ["--user-data-dir=" + profile] + list(args),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=180)
    if proc.returncode != 0:
        raise AssertionError("chromium failed (%d): %s" % (proc.returncode, proc.stderr[-2000:]))
    return proc.stdout.decode("utf-8")


def dump_dom(page):
    """The document as Chromium parsed it, serialised."""
    return _chromium("--dump-dom", "file://" + page)


def screenshot(page, png, width, height, anchor=None):
    """The page's first screen, or the screen a link to anchor (an id of the page) shows."""
    if anchor is None:
        _chromium("--screenshot=" + png, "--window-size=%d,%d" % (width, height), "file://" + page)
        return
    # Headless Chromium ignores a fragment of the address it is given; a frame follows one.
    with tempfile.TemporaryDirectory(prefix="bristoke-frame-", dir=os.path.dirname(page)) as d:
        frame = os.path.join(d, "frame.html")
        with open(frame, "w", encoding="utf-8") as f:
            f.write('<!DOCTYPE html><html><body style="margin:0"><iframe src="../%s#%s" '
                    'style="display:block;border:0;width:100vw;height:100vh"></iframe></body>'
                    '</html>' % (os.path.basename(page), anchor))
        screenshot(frame, png, width, height)


def page_height(page, width):
    """The page's height in pixels, laid out in a window width pixels wide."""
    with tempfile.TemporaryDirectory(prefix="bristoke-height-") as d:
        measured = os.path.join(d, "page.html")
        with open(page, "rb") as f, open(measured, "wb") as out:
            out.write(f.read() + b'<script>document.body.setAttribute("data-height", '
                      b'document.documentElement.scrollHeight)</script>')
        dom = _chromium("--dump-dom", "--window-size=%d,768" % width, "file://" + measured)
    return int(re.search(r'data-height="(\d+)"', dom).group(1))


class _Text(html.parser.HTMLParser):
    """The text a reader sees, and the cells of every table row."""

    def __init__(self):
        super().__init__()
        self.text, self.rows = [], []
        self._hidden = 0
        self._cell = None

    def handle_starttag(self, tag, attrs):
        if tag in ("style", "script", "head"):
            self._hidden += 1
        elif tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self._cell = []
        elif tag == "br" and self._cell is not None:
            self._cell.append("\n")

    def handle_endtag(self, tag):
        if tag in ("style", "script", "head"):
            self._hidden -= 1
        elif tag in ("td", "th") and self._cell is not None:
            self.rows[-1].append("".join(self._cell).strip())
            self._cell = None

    def handle_data(self, data):
        if not self._hidden:
            self.text.append(data)
            if self._cell is not None:
                self._cell.append(data)


def visible_text(dom):
    """(all the text outside head, style and script; the table rows as lists of cell texts)."""
    parser = _Text()
    parser.feed(dom)
    return "".join(parser.text), parser.rows


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def png_colours(path):
    """How many pixels of each RGB colour an 8-bit, non-interlaced RGB or RGBA PNG holds."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    position, chunks, header = 8, [], None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        position += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    assert depth == 8 and colour_type in (2, 6) and interlace == 0, header
    channels = 3 if colour_type == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    counts = {}
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b = previous[x]
            c = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + b) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xFF
            elif kind == 4:
                line[x] = (line[x] + _paeth(a, b, c)) & 0xFF
        for x in range(0, stride, channels):
            pixel = bytes(line[x:x + 3])
            counts[pixel] = counts.get(pixel, 0) + 1
        previous = line
    return counts
