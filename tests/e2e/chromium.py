"""Headless Chromium from Debian, started from the command line: the DOM it builds from a page
and a screenshot of it, each in a new empty profile and without network use."""
import html
import html.parser
import json
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


# Read at the end of the page, after it is parsed: reading its sizes lays it out, so the time
# then is the time to load it and lay it out. Lines are counted on the screen given (as a
# screenshot of that size shows it) and in the window's own viewport, which the browser's frame
# makes smaller, as on a real screen of that size.
_LAYOUT = """<script>(function () {
  var root = document.documentElement;
  var height = root.scrollHeight;
  var counts = document.querySelector("ul.counts");
  var below = counts ? counts.getBoundingClientRect().bottom : 0;
  var lines = document.querySelectorAll(".action details > summary");
  var shown = function (bottom) {
    var count = 0;
    for (var i = 0; i < lines.length; i++) {
      var box = lines[i].getBoundingClientRect();
      if (box.top >= below && box.bottom <= bottom) count++;
    }
    return count;
  };
  document.body.setAttribute("data-layout", JSON.stringify({
    loaded_ms: performance.now(), height: height, scroll_width: root.scrollWidth,
    window_width: window.innerWidth, window_height: window.innerHeight,
    client_width: root.clientWidth, counts_bottom: below,
    lines_on_screen: shown(%d), lines_in_window: shown(window.innerHeight)}));
})();</script>"""


def layout(page, width, height=768, opened=False):
    """The page laid out in a window of that size: its height, its scroll width and the
    window's, the milliseconds from the start of loading until it was laid out, and how many
    lines of its action list the first screen shows below the counts. opened: every <details>
    open."""
    with tempfile.TemporaryDirectory(prefix="bristoke-layout-") as d:
        measured = os.path.join(d, "page.html")
        with open(page, "rb") as f, open(measured, "wb") as out:
            content = f.read()
            if opened:
                content = content.replace(b"<details ", b"<details open ")
            out.write(content + (_LAYOUT % height).encode("ascii"))
        dom = _chromium("--dump-dom", "--window-size=%d,%d" % (width, height),
                        "file://" + measured)
    found = re.search(r'data-layout="([^"]*)"', dom).group(1)
    return json.loads(html.unescape(found))


def page_height(page, width):
    """The page's height in pixels, laid out in a window width pixels wide."""
    return layout(page, width)["height"]


def _summary_cells(dom):
    """The action list's lines: (id, the text of each of its summary's cells)."""
    parser = _Lines()
    parser.feed(dom)
    return parser.lines


class _Lines(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.lines = []
        self._id = None
        self._depth = 0  # of spans inside a summary; 1 is a cell

    def handle_starttag(self, tag, attrs):
        if tag == "details":
            self._id = dict(attrs).get("id")
        elif tag == "summary" and self._id and self._id.startswith("m-"):
            self.lines.append((self._id, []))
            self._depth = 0
        elif tag == "span" and self._id and self._id.startswith("m-") and self.lines and \
                self._depth >= 0:
            self._depth += 1
            if self._depth == 1:
                self.lines[-1][1].append("")

    def handle_endtag(self, tag):
        if tag == "summary":
            self._id = None
            self._depth = -1
        elif tag == "span" and self._depth > 0:
            self._depth -= 1

    def handle_data(self, data):
        if self._id and self._depth > 0:
            self.lines[-1][1][-1] += data


def action_lines(dom):
    """The lines of the page's action list, worst first: (id, [machine, site, why, failed, not
    cleaned, latest run])."""
    return [(ident, [cell.strip() for cell in cells]) for ident, cells in _summary_cells(dom)]


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
