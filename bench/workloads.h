// Deterministic editor windows for the request benchmarks and the instruction counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kWindowLines = 2001; // the cursor's line and the 2000 above it
inline constexpr int kFarLines = 100001;  // the cursor's line and the 100,000 AllAbove reads
inline constexpr std::size_t kLineBytes = 1023;
inline constexpr std::size_t kLongLineBytes = 100000;
inline constexpr std::size_t kReadBytes = 1024; // what a request reads of a line

// A document whose last line holds the cursor, right after the prefix, and the options the
// request runs with.
struct Workload {
    std::string name;          // "source/get", "distinct", "distinct+case", ...
    std::string prefix;        // as the plug-in sees it: code page 866
    bool win1251 = false;      // lines (and the prefix in the cursor's line) stored in Windows-1251
    bool ignoreCase = false;   // the name ends in "+case" (before any "+all" and "+near")
    bool allAbove = false;     // the name ends in "+all" (before any "+near")
    bool nearestFirst = false; // the name ends in "+near"
    bool numbers = false;      // Numbers on: digits and '_' make words (the identifiers document)
    std::string own; // the user's own word characters: four ("+own4") or sixteen ("+own16")
    std::vector<std::string> lines; // as the host keeps them
    std::int32_t cursorLine = 0;
    std::int32_t cursorColumn = 0;
    std::string cursorText;       // the cursor's line, to restore after an insertion
    std::size_t scannedBytes = 0; // bytes a request reads: the first 1024 of each line,
                                  // the cursor's line up to the cursor
};

// The names reported by default: each document, then with IgnoreCase ("+case"), with
// NearestFirst ("+near") and with four or sixteen of the user's own word characters ("+own4",
// "+own16"); the kebab-case document with a set only, since its prefix ends on one; last, the
// 100,000 lines of far-source with AllAbove ("+all"). MakeWorkload takes
// "+own4+case+all+near" and its parts too.
const std::vector<std::string>& WorkloadNames();

// Builds the named workload; an unknown name gives an empty one.
Workload MakeWorkload(const std::string& name);

// The part of a workload that a request reading only its last `lines` lines (the cursor's
// among them) sees: those lines, the cursor's line last, and the same options.
Workload LastLines(const Workload& workload, std::size_t lines);

// The number of word starts (under the workload's Numbers setting) in the bytes a request
// reads, after conversion, whose byte is the prefix's first (in either case under
// IgnoreCase): the places where the line search has work to do.
std::size_t CountWordStarts(const Workload& workload);

// The baseline: reads the same bytes as a request once, with memchr for the prefix's first
// byte (as stored), and returns the number of hits.
extern "C" std::size_t MemchrBaseline(const Workload* workload);

// The floor: reads the same bytes once with one memchr per line, for a byte that never
// occurs, so that it costs the same however often the prefix's first byte occurs.
extern "C" std::size_t ScanBaseline(const Workload* workload);
