#!/usr/bin/env python3
"""Draws the request benchmark's table as an SVG bar chart.

Usage: bench/chart.py TABLE.tsv OUT.svg

TABLE.tsv holds the tab-separated rows that lexamund_request_bench writes with --tsv (both
builds in one file, as bench/table.sh leaves them). Per workload run with the default
options the chart shows the engine's time and the floor (one pass over the same bytes) for
each build, on a logarithmic scale, with each build's target marked over its engine bar.
Where the file holds several line search paths, each build's first is drawn.
"""
import csv
import math
import sys
from xml.sax.saxutils import escape

BUILDS = [  # build column value, legend name, engine colour, floor colour
    ("native", "native x86-64", "#1f4e9c", "#9dbbe8"),
    ("windows-i686", "Windows i686 under Wine", "#c2571a", "#f2c09e"),
]
WIDTH, HEIGHT = 1100, 500
LEFT, RIGHT, TOP, BOTTOM = 80, 20, 90, 84  # plot margins
BAR, GAP = 16, 2  # bar width and the gap between the bars of one workload
FONT = 'font-family="DejaVu Sans, Arial, sans-serif"'


def read_rows(path):
    """Rows keyed by (build, workload), and the workloads in the order first met: those of
    the default options ("+" marks an option in the name), the first path's of each build."""
    rows, order = {}, []
    with open(path, newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            key = (row["build"], row["workload"])
            if "+" in row["workload"] or key in rows:
                continue
            rows[key] = row
            if row["workload"] not in order:
                order.append(row["workload"])
    return rows, order


def number(row, column):
    """The column's value in microseconds, or None when it is empty or missing."""
    value = (row or {}).get(column) or ""
    return float(value) / 1000.0 if value else None


def scale(values):
    """The decades the axis spans and a function from microseconds to a y coordinate."""
    positive = [v for v in values if v and v > 0]
    low = math.floor(math.log10(min(positive))) if positive else 0
    high = math.ceil(math.log10(max(positive))) if positive else 1
    high = max(high, low + 1)

    def y(value):
        value = max(value, 10.0**low)
        fraction = (math.log10(value) - low) / (high - low)
        return TOP + (HEIGHT - TOP - BOTTOM) * (1 - fraction)

    return low, high, y


def axis(out, low, high, y):
    """Horizontal grid lines at each decade, their labels, and the axis title."""
    for decade in range(low, high + 1):
        value = 10.0**decade
        label = f"{value:g}" if value < 1e6 else f"{value:.0e}"
        out.append(f'<line x1="{LEFT}" x2="{WIDTH - RIGHT}" y1="{y(value):.1f}" '
                   f'y2="{y(value):.1f}" stroke="#ccc"/>')
        out.append(f'<text x="{LEFT - 6}" y="{y(value) + 4:.1f}" text-anchor="end" '
                   f'font-size="12" {FONT}>{label}</text>')
    middle = (TOP + HEIGHT - BOTTOM) / 2
    out.append(f'<text transform="translate(20,{middle}) rotate(-90)" text-anchor="middle" '
               f'font-size="13" {FONT}>time per request, µs (log scale)</text>')


def bar(out, x, top, bottom, colour, title):
    """One bar from the axis's bottom up to top, with a tooltip."""
    out.append(f'<rect x="{x:.1f}" y="{top:.1f}" width="{BAR}" height="{bottom - top:.1f}" '
               f'fill="{colour}"><title>{escape(title)}</title></rect>')


def group(out, x, workload, rows, y):
    """The bars of one workload: engine and floor for each build, targets marked."""
    bottom = HEIGHT - BOTTOM
    for build, name, engine_colour, floor_colour in BUILDS:
        row = rows.get((build, workload))
        engine, floor, target = (number(row, c) for c in ("engine_ns", "floor_ns", "target_ns"))
        if engine is not None:
            bar(out, x, y(engine), bottom, engine_colour, f"{name}, engine: {engine:.1f} µs")
            if engine <= 0:  # below what the host-only run could resolve
                out.append(f'<text x="{x + BAR / 2:.1f}" y="{bottom - 4}" font-size="9" '
                           f'text-anchor="middle" {FONT}>~0</text>')
        if target is not None:
            out.append(f'<line x1="{x - 2:.1f}" x2="{x + BAR + 2:.1f}" y1="{y(target):.1f}" '
                       f'y2="{y(target):.1f}" stroke="#000" stroke-width="2">'
                       f'<title>{escape(name)}, target: {target:.1f} µs</title></line>')
        x += BAR + GAP
        if floor is not None:
            bar(out, x, y(floor), bottom, floor_colour, f"{name}, floor: {floor:.1f} µs")
        x += BAR + GAP * 4


def legend(out):
    """The key to the colours and the target mark, one row per build, above the plot."""
    for i, (_, name, engine_colour, floor_colour) in enumerate(BUILDS):
        y = TOP - 40 + 18 * i
        x = LEFT
        for colour, text in ((engine_colour, f"{name}: engine"), (floor_colour, f"{name}: floor")):
            out.append(f'<rect x="{x}" y="{y - 10}" width="12" height="12" fill="{colour}"/>')
            out.append(f'<text x="{x + 16}" y="{y}" font-size="12" {FONT}>{escape(text)}</text>')
            x += 250
    x = LEFT + 520
    out.append(f'<line x1="{x}" x2="{x + 16}" y1="{TOP - 35}" y2="{TOP - 35}" stroke="#000" '
               f'stroke-width="2"/>')
    out.append(f'<text x="{x + 20}" y="{TOP - 31}" font-size="12" {FONT}>target of the '
               f'build, over its engine bar</text>')


def chart(rows, order):
    """The whole SVG document as a string."""
    values = []
    for (_, _), row in rows.items():
        values += [number(row, c) for c in ("engine_ns", "floor_ns", "target_ns")]
    low, high, y = scale(values)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'viewBox="0 0 {WIDTH} {HEIGHT}">',
           f'<rect width="{WIDTH}" height="{HEIGHT}" fill="#fff"/>',
           f'<text x="{LEFT}" y="20" font-size="16" font-weight="bold" {FONT}>Engine time of '
           f'one completion request against the floor (one pass over the same bytes)</text>']
    axis(out, low, high, y)
    legend(out)
    step = (WIDTH - LEFT - RIGHT) / max(len(order), 1)
    width = len(BUILDS) * (2 * BAR + 5 * GAP) - 3 * GAP
    for i, workload in enumerate(order):
        x = LEFT + i * step + (step - width) / 2
        group(out, x, workload, rows, y)
        out.append(f'<text x="{LEFT + (i + 0.5) * step:.1f}" y="{HEIGHT - BOTTOM + 18}" '
                   f'text-anchor="middle" font-size="12" {FONT}>{escape(workload)}</text>')
    out.append(f'<text x="{(LEFT + WIDTH - RIGHT) / 2}" y="{HEIGHT - BOTTOM + 44}" '
               f'text-anchor="middle" font-size="13" {FONT}>workload (2001-line window; '
               f'engine = request time minus the same request with a line search that '
               f'takes nothing)</text>')
    out.append(f'<text x="{(LEFT + WIDTH - RIGHT) / 2}" y="{HEIGHT - BOTTOM + 64}" '
               f'text-anchor="middle" font-size="12" fill="#555" {FONT}>target: 6 x floor + '
               f'5 ns (native) or 10 ns (Windows) per word start carrying the prefix\'s first '
               f'byte</text>')
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: bench/chart.py TABLE.tsv OUT.svg")
    rows, order = read_rows(sys.argv[1])
    with open(sys.argv[2], "w") as f:
        f.write(chart(rows, order))


if __name__ == "__main__":
    main()
