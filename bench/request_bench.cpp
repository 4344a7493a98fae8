// Times one completion request per workload, splits it into host and engine time, and
// sets the engine's time against one pass over the same bytes; the same program natively
// and in the Windows build. A workload's name picks its options: "+case" IgnoreCase,
// "+all" AllAbove, "+near" NearestFirst, "+own4" and "+own16" four or sixteen of the user's
// own word characters; its document may turn Numbers on (the identifiers). The line search
// path is the fastest within LEXAMUND_SIMD's cap.
//
// Usage: lexamund_request_bench [--tsv=FILE] [--rounds=N] [WORKLOAD...]
//   prints the table (all workloads by default), and with --tsv the same rows as
//   tab-separated lines in FILE.
// lexamund_request_bench --list
//   prints the workloads' names, one a line.
// lexamund_request_bench --one-request=NAME
//   builds the workload and makes exactly one request and one pass of each baseline, for
//   instruction counts under callgrind (bench/callgrind.sh) and tools/test.sh.
#include "bench/workloads.h"
#include "platform/platform.h"
#include "testhost/plugin_loader.h"

#if __has_include("engine/line_search.h")
#include "engine/line_search.h"
#define LEXAMUND_BENCH_HOST_ONLY 1 // the line search can be swapped for one that takes nothing
#else
#define LEXAMUND_BENCH_HOST_ONLY 0
#endif

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h> // under callgrind --instr-atstart=no, the set-up runs uninstrumented
#else
#define CALLGRIND_START_INSTRUMENTATION
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

#if defined(_WIN32)
constexpr const char* kBuild = "windows-i686";
constexpr double kTargetNsPerWordStart = 10.0;
#else
constexpr const char* kBuild = "native";
constexpr double kTargetNsPerWordStart = 5.0;
#endif
constexpr double kTargetFloors = 6.0; // engine time allowed: 6 floors + a little per start

constexpr int kDefaultRounds = 150;
constexpr double kRoundNanoseconds = 1e6; // each round repeats its work for about 1 ms

// ---- Node accounting ----

struct NodeCount {
    std::size_t made = 0;
    std::size_t live = 0;
};
NodeCount gNodes;

void* CountingAllocate(std::size_t size) {
    ++gNodes.made;
    ++gNodes.live;
    return std::malloc(size);
}

void CountingRelease(void* block) {
    --gNodes.live;
    std::free(block);
}

// ---- The host for one workload ----

// Loads the workload into a quiet test host, starts the linked plug-in and sets the
// workload's options (IgnoreCase, AllAbove, NearestFirst, Numbers, the user's own word
// characters).
void Prepare(TestHost& host, const Workload& w) {
    host.recordCalls = false;
    host.menuChoice = 0;
    host.lines = w.lines;
    host.table = w.win1251 ? CharTable::Win1251 : CharTable::Oem;
    host.Start(LinkedPlugin());
    gSettings.ignoreCase = w.ignoreCase ? 1 : 0;
    gSettings.nearestFirst = w.nearestFirst ? 1 : 0;
    gSettings.allAbove = w.allAbove ? 1 : 0;
    gSettings.numbers = w.numbers ? 1 : 0;
    SetOwnWordChars(w.own.data(), w.own.size());
    gPlatform.allocate = CountingAllocate;
    gPlatform.release = CountingRelease;
}

// One Ctrl+Space at the workload's cursor, after undoing the previous insertion.
std::int32_t Request(TestHost& host, const Workload& w) {
    host.lines[static_cast<std::size_t>(w.cursorLine)] = w.cursorText;
    host.cursorLine = w.cursorLine;
    host.cursorColumn = w.cursorColumn;
    return host.PressCtrlSpace();
}

// True when the last request inserted something at the cursor.
bool Completed(const TestHost& host, const Workload& w) {
    return host.lines[static_cast<std::size_t>(w.cursorLine)] != w.cursorText;
}

// One request, as Request, that counts the host's GetLine calls into fetches.
std::int32_t CountedRequest(TestHost& host, const Workload& w, std::size_t& fetches) {
    fetches = 0;
    host.beforeGetLine = [&fetches] { ++fetches; };
    const std::int32_t result = Request(host, w);
    host.beforeGetLine = nullptr;
    return result;
}

// The lines a request that made fetches GetLine calls read: the request reads the cursor's
// line once before the harvest fetches its window, the cursor's line first or last.
Workload ReadPart(const Workload& w, std::size_t fetches) {
    return LastLines(w, fetches > 0 ? fetches - 1 : 0);
}

// Whether the request read every line of the window, so that its read part is the whole.
bool ReadsWhole(const Workload& w, std::size_t fetches) {
    return fetches > static_cast<std::size_t>(w.cursorLine) + 1;
}

#if LEXAMUND_BENCH_HOST_ONLY
// A line search that takes nothing: what remains of a request is the host's part. It
// takes whatever arguments the engine's search paths take.
constexpr LineSearchPath kSearchNothing = [](auto...) {};

// The line search path in force, named as LEXAMUND_SIMD names the caps.
const char* PathInForce() {
    if (gLineSearchPath == SearchLinePlain) return "none";
#if LEXAMUND_HAVE_SSE2_PATH
    if (gLineSearchPath == SearchLineSse2) return "sse2";
    if (gLineSearchPath == SearchLineAvx2) return "avx2";
#endif
    return "?";
}
#else
const char* PathInForce() {
    return "-";
}
#endif

// ---- Timing ----

using Clock = std::chrono::steady_clock;
volatile std::size_t gSink; // keeps the baselines' results alive

// Nanoseconds of one call of work, averaged over a round of count calls.
template <typename Work> double RoundNanoseconds(Work work, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        work();
    const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
    return spent.count() / count;
}

// How many calls of work fill one round (at least one).
template <typename Work> int CallsPerRound(Work work) {
    const double once = RoundNanoseconds(work, 1);
    return static_cast<int>(std::clamp(kRoundNanoseconds / std::max(once, 1.0), 1.0, 1e6));
}

// One workload's figures, in nanoseconds; hostOnly is negative where it cannot be taken.
// The floor and the word starts count the lines the request read.
struct Row {
    std::string name;
    const char* path = "-";
    double request = 0, hostOnly = -1, floor = 0;
    std::size_t wordStarts = 0;
    std::size_t lineFetches = 0; // the host's GetLine calls in one request
    bool completed = false;
    bool hostOnlyFetchesDiffer = false; // the host-only request fetched other lines
};

// Times the request, the request that searches nothing, and the floor, in interleaved
// rounds so that a busy moment of the machine touches all three; keeps the best round.
// The request that searches nothing and the floor take the lines the request read: under
// NearestFirst a full list ends the harvest early, and a search that takes nothing never
// fills it.
Row Measure(const Workload& w, int rounds) {
    TestHost host;
    Prepare(host, w);
    Row row{w.name};
    row.completed = CountedRequest(host, w, row.lineFetches) == 1 && Completed(host, w);
    row.path = PathInForce();
    const bool whole = ReadsWhole(w, row.lineFetches);
    Workload part = whole ? Workload{} : ReadPart(w, row.lineFetches);
    const Workload& read = whole ? w : part;
    row.wordStarts = CountWordStarts(read);
    auto request = [&host, &w] { Request(host, w); };
    auto floor = [&read] { gSink = ScanBaseline(&read); };
    const int requests = CallsPerRound(request);
    const int floors = CallsPerRound(floor);
    row.request = row.floor = 1e300;
#if LEXAMUND_BENCH_HOST_ONLY
    const LineSearchPath path = gLineSearchPath;
    auto hostOnly = [&host, &read, path] {
        gLineSearchPath = kSearchNothing;
        Request(host, read);
        gLineSearchPath = path;
    };
    // The host holds the read part's lines while the request that searches nothing runs.
    auto swapLines = [&host, &part, whole] {
        if (!whole) host.lines.swap(part.lines);
    };
    swapLines();
    std::size_t fetches = 0;
    host.beforeGetLine = [&fetches] { ++fetches; };
    hostOnly();
    host.beforeGetLine = nullptr;
    row.hostOnlyFetchesDiffer = fetches != row.lineFetches;
    const int hostOnlys = CallsPerRound(hostOnly);
    swapLines();
#endif
    for (int round = 0; round < rounds; ++round) {
        row.request = std::min(row.request, RoundNanoseconds(request, requests));
        row.floor = std::min(row.floor, RoundNanoseconds(floor, floors));
#if LEXAMUND_BENCH_HOST_ONLY
        swapLines();
        const double time = RoundNanoseconds(hostOnly, hostOnlys);
        swapLines();
        row.hostOnly = round == 0 ? time : std::min(row.hostOnly, time);
#endif
    }
    gPlatform = kDefaultPlatform;
    return row;
}

// ---- The table ----

// The derived figures of a row.
struct Derived {
    double engine, perFloor, perWordStart, target;
    bool pass;
};

Derived Derive(const Row& r) {
    Derived d{};
    if (r.hostOnly < 0) return d;
    d.engine = r.request - r.hostOnly;
    d.perFloor = d.engine / r.floor;
    d.perWordStart = r.wordStarts == 0 ? 0 : d.engine / static_cast<double>(r.wordStarts);
    d.target = kTargetFloors * r.floor + kTargetNsPerWordStart * static_cast<double>(r.wordStarts);
    d.pass = d.engine <= d.target;
    return d;
}

constexpr int kNameWidth = 17; // the longest name, "mixed-latin+case", and a blank

void PrintHeader() {
    std::printf("%s: times in microseconds (best of the rounds); target = %.0f x floor + %.0f "
                "ns x W; floor and W over the lines read\n",
                kBuild, kTargetFloors, kTargetNsPerWordStart);
    std::printf("%-*s %4s %10s %10s %10s %9s %8s %8s %7s %10s %5s %6s\n", kNameWidth, "workload",
                "path", "request", "host-only", "engine", "floor", "eng/flr", "W", "ns/W", "target",
                "pass", "gets");
}

// What is wrong with a row's figures, if anything.
const char* RowNote(const Row& r) {
    if (!r.completed) return "  (the request completed nothing)";
    if (r.hostOnlyFetchesDiffer) return "  (the host-only request fetched other lines)";
    return "";
}

void PrintRow(const Row& r) {
    if (r.hostOnly < 0) {
        std::printf("%-*s %4s %10.1f %10s %10s %9.1f %8s %8zu %7s %10s %5s %6zu%s\n", kNameWidth,
                    r.name.c_str(), r.path, r.request / 1e3, "-", "-", r.floor / 1e3, "-",
                    r.wordStarts, "-", "-", "-", r.lineFetches, RowNote(r));
    } else {
        const Derived d = Derive(r);
        std::printf("%-*s %4s %10.1f %10.1f %10.1f %9.1f %8.1f %8zu %7.1f %10.1f %5s %6zu%s\n",
                    kNameWidth, r.name.c_str(), r.path, r.request / 1e3, r.hostOnly / 1e3,
                    d.engine / 1e3, r.floor / 1e3, d.perFloor, r.wordStarts, d.perWordStart,
                    d.target / 1e3, d.pass ? "yes" : "NO", r.lineFetches, RowNote(r));
    }
    std::fflush(stdout);
}

constexpr const char* kTsvHeader = "build\tpath\tworkload\trequest_ns\thost_only_ns\tengine_ns"
                                   "\tfloor_ns\tengine_per_floor\tword_starts\tns_per_word_start"
                                   "\ttarget_ns\tpass\tline_fetches\n";

// One tab-separated line per row; the derived columns are empty without a host-only time.
void WriteTsvRow(std::FILE* out, const Row& r) {
    std::fprintf(out, "%s\t%s\t%s\t%.0f\t", kBuild, r.path, r.name.c_str(), r.request);
    if (r.hostOnly < 0) {
        std::fprintf(out, "\t\t%.0f\t\t%zu\t\t\t\t%zu\n", r.floor, r.wordStarts, r.lineFetches);
        return;
    }
    const Derived d = Derive(r);
    std::fprintf(out, "%.0f\t%.0f\t%.0f\t%.2f\t%zu\t%.2f\t%.0f\t%s\t%zu\n", r.hostOnly, d.engine,
                 r.floor, d.perFloor, r.wordStarts, d.perWordStart, d.target, d.pass ? "yes" : "no",
                 r.lineFetches);
}

// ---- Modes ----

// One request and one pass of each baseline over the lines it read, nothing timed: for
// bench/callgrind.sh and tools/test.sh. Fails unless the request completed a word and
// released every node.
int OneRequest(const std::string& name) {
    const Workload w = MakeWorkload(name);
    if (w.lines.empty()) {
        std::fprintf(stderr, "unknown workload %s\n", name.c_str());
        return 2;
    }
    TestHost host;
    Prepare(host, w);
    std::size_t fetches = 0;
    CALLGRIND_START_INSTRUMENTATION; // a no-op outside valgrind, and when already instrumenting
    const std::int32_t result = CountedRequest(host, w, fetches);
    const bool completed = Completed(host, w);
    const bool whole = ReadsWhole(w, fetches);
    const Workload part = whole ? Workload{} : ReadPart(w, fetches);
    const Workload& read = whole ? w : part;
    const std::size_t hits = MemchrBaseline(&read);
    const std::size_t zeros = ScanBaseline(&read);
    std::printf("%s %s path=%s scanned_bytes=%zu result=%d completed=%d nodes=%zu live=%zu "
                "hits=%zu zeros=%zu word_starts=%zu line_fetches=%zu\n",
                kBuild, name.c_str(), PathInForce(), read.scannedBytes, result, completed ? 1 : 0,
                gNodes.made, gNodes.live, hits, zeros, CountWordStarts(read), fetches);
    gPlatform = kDefaultPlatform;
    return result == 1 && completed && gNodes.live == 0 ? 0 : 1;
}

// Measures the named workloads (all when none are named) and prints the table.
int Table(const std::vector<std::string>& names, int rounds, const char* tsvPath) {
    std::FILE* tsv = nullptr;
    if (tsvPath != nullptr && (tsv = std::fopen(tsvPath, "wb")) == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", tsvPath);
        return 2;
    }
    if (tsv != nullptr) std::fputs(kTsvHeader, tsv);
    PrintHeader();
    int status = 0;
    for (const std::string& name : names.empty() ? WorkloadNames() : names) {
        const Workload w = MakeWorkload(name);
        if (w.lines.empty()) {
            std::fprintf(stderr, "unknown workload %s\n", name.c_str());
            status = 2;
            continue;
        }
        const Row row = Measure(w, rounds);
        PrintRow(row);
        if (tsv != nullptr) WriteTsvRow(tsv, row);
        if (!row.completed) status = 1;
    }
    if (tsv != nullptr) std::fclose(tsv);
    return status;
}

// The text after option in arg, or null when arg is not that option.
const char* OptionValue(const char* arg, const char* option) {
    const std::size_t length = std::strlen(option);
    return std::strncmp(arg, option, length) == 0 ? arg + length : nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names;
    const char* tsvPath = nullptr;
    int rounds = kDefaultRounds;
    for (int i = 1; i < argc; ++i) {
        if (const char* name = OptionValue(argv[i], "--one-request=")) return OneRequest(name);
        if (std::strcmp(argv[i], "--list") == 0) {
            for (const std::string& name : WorkloadNames())
                std::printf("%s\n", name.c_str());
            return 0;
        }
        if (const char* path = OptionValue(argv[i], "--tsv=")) {
            tsvPath = path;
        } else if (const char* count = OptionValue(argv[i], "--rounds=")) {
            rounds = std::max(1, std::atoi(count));
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr,
                         "usage: %s [--tsv=FILE] [--rounds=N] [WORKLOAD...] | --list | "
                         "--one-request=WORKLOAD\n",
                         argv[0]);
            return 2;
        } else {
            names.emplace_back(argv[i]);
        }
    }
    return Table(names, rounds, tsvPath);
}
