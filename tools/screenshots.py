#!/usr/bin/env python3
"""Draws the README's pictures from the demo's screen: runs the demo under wine with a key
script and --dump, and renders the dumped screen (its characters and colours) as an SVG of a
console, the double frames drawn as lines. The same screen always gives the same bytes.

Usage: tools/screenshots.py [--demo EXE] [--plugin DLL] [--out DIR] [--check]
  --check  draw the pictures again and fail when they differ from those in DIR
Wine's variables (WINEPREFIX and the others) come from the environment; tools/screenshots.sh
builds the demo and sets them. The demo's options are reset to their defaults first."""

import argparse
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
REDRAW_COMMAND = "tools/screenshots.sh"

# Each picture: its file name, the keys typed into the demo on its sample text, and its title.
SHOTS = (
    ("menu.svg", "<C-End>comp<C-Space>", "The completion menu in the demo editor"),
    ("dialog.svg", "<F11><Enter>", "The options dialog in the demo editor"),
)

CELL_WIDTH = 10  # pixels
CELL_HEIGHT = 20
BASELINE = 15  # from a cell's top
FONT_SIZE = 16
LINE_GAP = 3  # from a cell's centre to each line of a double frame
LINE_WIDTH = 1.5
DEMO_REGISTRY_KEY = r"HKCU\Software\LexamundDemo"

# The console's 16 colours, by the number in an attribute's nibble.
PALETTE = ("#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000",
           "#c0c0c0", "#808080", "#0000ff", "#00ff00", "#00ffff", "#ff0000", "#ff00ff",
           "#ffff00", "#ffffff")

# The double frame's characters: a straight line across the cell ("h" or "v"), or a corner
# with the directions its arms leave the cell's centre, as x and y steps.
FRAME_PARTS = {"═": "h", "║": "v", "╔": (1, 1), "╗": (-1, 1), "╚": (1, -1), "╝": (-1, -1)}


def run_demo(demo, plugin, keys):
    """The demo's screen after typing keys: rows of (character, attribute) cells."""
    command = ["wine", str(demo), "--plugin", str(plugin), "--dump", "--keys", keys]
    output = subprocess.run(command, check=True, capture_output=True).stdout
    sections, name = {}, None
    for line in output.split(b"\n"):
        if line.startswith(b"---- ") and line.endswith(b" ----"):
            name = line[5:-5].decode()
            sections[name] = []
        elif name is not None:
            sections[name].append(line)
    colours = [bytes.fromhex(row.decode()) for row in sections["colours"] if row]
    width = len(colours[0])
    texts = [row.decode("cp866").ljust(width) for row in sections["screen"][:len(colours)]]
    return [list(zip(text, attrs)) for text, attrs in zip(texts, colours)]


def xml_text(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def runs(row, key):
    """The row's runs of cells alike by key(cell): (first column, cells) pairs."""
    found, start = [], 0
    for column in range(1, len(row) + 1):
        if column == len(row) or key(row[column]) != key(row[start]):
            found.append((start, row[start:column]))
            start = column
    return found


def backgrounds(screen):
    """A rectangle for each run of cells of one background."""
    shapes = []
    for y, row in enumerate(screen):
        for x, cells in runs(row, lambda cell: cell[1] >> 4):
            shapes.append(f'<rect x="{x * CELL_WIDTH}" y="{y * CELL_HEIGHT}" '
                          f'width="{len(cells) * CELL_WIDTH}" height="{CELL_HEIGHT}" '
                          f'fill="{PALETTE[cells[0][1] >> 4]}"/>')
    return shapes


def texts(screen):
    """A text for each run of printed characters of one colour, stretched over its cells."""
    shapes = []
    for y, row in enumerate(screen):
        for x, cells in runs(row, lambda cell: (cell[0] in FRAME_PARTS, cell[1] & 15)):
            text = "".join(cell[0] for cell in cells)
            if cells[0][0] in FRAME_PARTS or not text.strip():
                continue
            x += len(text) - len(text.lstrip(" "))
            text = text.strip(" ")
            shapes.append(f'<text x="{x * CELL_WIDTH}" y="{y * CELL_HEIGHT + BASELINE}" '
                          f'textLength="{len(text) * CELL_WIDTH}" '
                          f'lengthAdjust="spacingAndGlyphs" '
                          f'fill="{PALETTE[cells[0][1] & 15]}">{xml_text(text)}</text>')
    return shapes


def frame_lines(x, y, part):
    """The path of a frame character's two lines in the cell at column x, row y."""
    left, top = x * CELL_WIDTH, y * CELL_HEIGHT
    centre_x, centre_y = left + CELL_WIDTH / 2, top + CELL_HEIGHT / 2
    lines = []
    for side in (-1, 1):
        if part == "h":
            points = [(left, centre_y + side * LINE_GAP),
                      (left + CELL_WIDTH, centre_y + side * LINE_GAP)]
        elif part == "v":
            points = [(centre_x + side * LINE_GAP, top),
                      (centre_x + side * LINE_GAP, top + CELL_HEIGHT)]
        else:
            # The outer line turns outside the centre, the inner one inside it.
            step_x, step_y = part
            corner_x = centre_x + side * step_x * LINE_GAP
            corner_y = centre_y + side * step_y * LINE_GAP
            points = [(centre_x + step_x * CELL_WIDTH / 2, corner_y), (corner_x, corner_y),
                      (corner_x, centre_y + step_y * CELL_HEIGHT / 2)]
        lines.append("M" + " L".join(f"{px:g} {py:g}" for px, py in points))
    return " ".join(lines)


def frames(screen):
    """The double frames, a path for each colour."""
    paths = {}
    for y, row in enumerate(screen):
        for x, (char, attr) in enumerate(row):
            if char in FRAME_PARTS:
                paths.setdefault(attr & 15, []).append(frame_lines(x, y, FRAME_PARTS[char]))
    return [f'<path d="{" ".join(parts)}" stroke="{PALETTE[colour]}" fill="none" '
            f'stroke-width="{LINE_WIDTH}"/>' for colour, parts in sorted(paths.items())]


def render_svg(screen, title):
    """The screen as an SVG document."""
    width, height = len(screen[0]) * CELL_WIDTH, len(screen) * CELL_HEIGHT
    lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
             f'viewBox="0 0 {width} {height}" xml:space="preserve" '
             f'font-family="DejaVu Sans Mono, Consolas, Menlo, monospace" '
             f'font-size="{FONT_SIZE}">',
             f"<title>{xml_text(title)}</title>"]
    lines += backgrounds(screen) + frames(screen) + texts(screen)
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--demo", default=ROOT / "build/win32/demo/lexamund-demo.exe")
    parser.add_argument("--plugin", default=ROOT / "dist/Lexamund/Lexamund.dll")
    parser.add_argument("--out", type=Path, default=ROOT / "docs")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    subprocess.run(["wine", "reg", "delete", DEMO_REGISTRY_KEY, "/f"], capture_output=True)
    stale = []
    for name, keys, title in SHOTS:
        svg = render_svg(run_demo(args.demo, args.plugin, keys), title).encode()
        path = args.out / name
        if not args.check:
            path.write_bytes(svg)
            print(f"Drew {path} (keys {keys})")
        elif not path.is_file() or path.read_bytes() != svg:
            stale.append(f"{path} (keys {keys})")
    for picture in stale:
        print(f"{picture} no longer matches the demo's screen", file=sys.stderr)
    if stale:
        print(f"Redraw the pictures with {REDRAW_COMMAND} and commit them.", file=sys.stderr)
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main())
