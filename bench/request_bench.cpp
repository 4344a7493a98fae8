// One full completion request per workload, timed against a memchr pass over the same bytes.
//
// Run as is for the Google Benchmark table. "--one-request=NAME" builds the workload and
// makes exactly one request and one pass of each baseline, for instruction counts under
// callgrind (bench/callgrind.sh).
#include "bench/workloads.h"
#include "platform/platform.h"
#include "testhost/plugin_loader.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// ---- Node accounting ----

struct NodeCount {
    std::size_t made = 0;
    std::size_t live = 0;
    std::size_t peak = 0;
};
NodeCount gNodes;

void* CountingAllocate(std::size_t size) {
    ++gNodes.made;
    gNodes.peak = std::max(gNodes.peak, ++gNodes.live);
    return std::malloc(size);
}

void CountingRelease(void* block) {
    --gNodes.live;
    std::free(block);
}

// ---- The host for one workload ----

// Loads the workload into a quiet test host and starts the linked plug-in.
void Prepare(TestHost& host, const Workload& w) {
    host.recordCalls = false;
    host.menuChoice = 0;
    host.lines = w.lines;
    host.Start(LinkedPlugin());
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

using BaselinePass = std::size_t (*)(const Workload*);

// Nanoseconds of one baseline pass: the best of several averaged rounds.
double BaselineNanoseconds(const Workload& w, BaselinePass pass) {
    using Clock = std::chrono::steady_clock;
    double best = 1e300;
    for (int round = 0; round < 7; ++round) {
        constexpr int kPasses = 20;
        const auto start = Clock::now();
        for (int i = 0; i < kPasses; ++i)
            benchmark::DoNotOptimize(pass(&w));
        const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
        best = std::min(best, spent.count() / kPasses);
    }
    return best;
}

// ---- Benchmarks ----

void BM_Request(benchmark::State& state, const std::string& name) {
    static Workload w; // large; built once per workload
    if (w.name != name) w = MakeWorkload(name);
    TestHost host;
    Prepare(host, w);
    if (Request(host, w) != 1 || host.lines[w.cursorLine] == w.cursorText) {
        state.SkipWithError("the request completed nothing");
        return;
    }
    const double baseline = BaselineNanoseconds(w, MemchrBaseline);
    const double scan = BaselineNanoseconds(w, ScanBaseline);
    gNodes = {};
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(Request(host, w));
    const std::chrono::duration<double, std::nano> spent = Clock::now() - start;
    const auto iterations = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.scannedBytes));
    state.counters["scanned_bytes"] = static_cast<double>(w.scannedBytes);
    state.counters["baseline_us"] = baseline / 1000.0;
    state.counters["ratio"] = spent.count() / iterations / baseline;
    state.counters["ratio_scan"] = spent.count() / iterations / scan;
    state.counters["nodes"] = static_cast<double>(gNodes.made) / iterations;
    state.counters["peak_nodes"] = static_cast<double>(gNodes.peak);
    state.counters["leaked"] = static_cast<double>(gNodes.live);
    gPlatform = kDefaultPlatform;
}

void BM_Baseline(benchmark::State& state, const std::string& name, BaselinePass pass) {
    static Workload w;
    if (w.name != name) w = MakeWorkload(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(pass(&w));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.scannedBytes));
}

// One request and one pass of each baseline, nothing timed: for bench/callgrind.sh and
// tools/test.sh. Fails unless the request ran and released every node.
int OneRequest(const std::string& name) {
    const Workload w = MakeWorkload(name);
    if (w.lines.empty()) {
        std::fprintf(stderr, "unknown workload %s\n", name.c_str());
        return 2;
    }
    TestHost host;
    Prepare(host, w);
    const std::int32_t result = Request(host, w);
    const std::size_t hits = MemchrBaseline(&w);
    const std::size_t zeros = ScanBaseline(&w);
    std::printf("%s scanned_bytes=%zu result=%d nodes=%zu hits=%zu zeros=%zu\n", name.c_str(),
                w.scannedBytes, result, gNodes.made, hits, zeros);
    return result == 1 && gNodes.live == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    constexpr const char* kOneRequest = "--one-request=";
    if (argc == 2 && std::strncmp(argv[1], kOneRequest, std::strlen(kOneRequest)) == 0) {
        return OneRequest(argv[1] + std::strlen(kOneRequest));
    }
    for (const std::string& name : WorkloadNames()) {
        benchmark::RegisterBenchmark(("request/" + name).c_str(), BM_Request, name)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("memchr/" + name).c_str(), BM_Baseline, name, MemchrBaseline)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("scan/" + name).c_str(), BM_Baseline, name, ScanBaseline)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
