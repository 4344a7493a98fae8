#!/usr/bin/env python3
"""Sets the cost of each option against the default's, per build and line search path.

Usage: bench/compare.py TABLE.tsv

TABLE.tsv holds the rows that lexamund_request_bench writes with --tsv (bench/table.sh
joins every build's and path's). For each document with a default row, it prints the
engine time with the default options, with IgnoreCase ("+case": its time, its ratio to the
default's, whether it meets the target) and with NearestFirst ("+near": its engine and
request time against the default's, and the host's GetLine calls of both).
"""
import csv
import sys


def read_groups(path):
    """Rows keyed by workload, per (build, path) group, the groups in the order first met."""
    groups = {}
    with open(path, newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            groups.setdefault((row["build"], row["path"]), {})[row["workload"]] = row
    return groups


def micro(row, column):
    """The column in microseconds, or None when the row or its value is missing."""
    value = (row or {}).get(column) or ""
    return float(value) / 1000.0 if value else None


def cell(value, form="{:.1f}"):
    return "-" if value is None else form.format(value)


def ratio(a, b):
    return None if a is None or b is None or b <= 0 else a / b


def table(build, path, rows):
    """The comparison for one build and path, one line per document."""
    print(f"{build}, path {path}: engine and request times in microseconds")
    header = ("document", "engine", "+case", "case/def", "target", "+near", "request",
              "+near", "near/def", "gets", "+near")
    print("{:<12} {:>9} {:>9} {:>8} {:>6} {:>9} {:>9} {:>9} {:>8} {:>6} {:>6}".format(*header))
    for name, base in rows.items():
        if "+" in name:  # an option's row, set beside its document's
            continue
        case, near = rows.get(name + "+case"), rows.get(name + "+near")
        engine = micro(base, "engine_ns")
        case_engine, near_engine = micro(case, "engine_ns"), micro(near, "engine_ns")
        request, near_request = micro(base, "request_ns"), micro(near, "request_ns")
        print("{:<12} {:>9} {:>9} {:>8} {:>6} {:>9} {:>9} {:>9} {:>8} {:>6} {:>6}".format(
            name, cell(engine), cell(case_engine), cell(ratio(case_engine, engine), "{:.2f}"),
            (case or {}).get("pass") or "-", cell(near_engine), cell(request),
            cell(near_request), cell(ratio(near_request, request), "{:.2f}"),
            base.get("line_fetches") or "-", (near or {}).get("line_fetches") or "-"))
    print()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: bench/compare.py TABLE.tsv")
    for (build, path), rows in read_groups(sys.argv[1]).items():
        table(build, path, rows)


if __name__ == "__main__":
    main()
