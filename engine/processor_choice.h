// Which line search path this processor and system may take, within the user's cap.
//
// The line search asks one thing of it, once, at the first search: ChosenLineSearchPath. The
// rest is the seam its tests and the fuzzer use: the cap read from the environment, and the
// choice from a processor's report, read through instructions a test may stand in for.
#pragma once

#include "engine/line_search.h"

#include <cstdint>

// How far the user lets the choice of path go: the environment variable LEXAMUND_SIMD, a
// diagnostic switch for a processor or system that misbehaves on the vector paths.
enum class SimdCap { None, Sse2, Avx2, Any };
inline constexpr const char* kSimdVariable = "LEXAMUND_SIMD";

// The fastest path this processor runs within the cap that LEXAMUND_SIMD sets, read through
// the platform table: what the first search of a process takes.
LineSearchPath ChosenLineSearchPath();

// The fastest path this processor runs within the cap, by its own report.
LineSearchPath FastestLineSearchPath(SimdCap cap = SimdCap::Any);

#if LEXAMUND_HAVE_SSE2_PATH
// What the processor and the system say about the vector paths, read once at the first
// search: cpuid leaves 0, 1 and 7 (subleaf 0) and the extended state the system saves.
struct ProcessorReport {
    std::uint32_t highestLeaf; // leaf 0, eax: the highest basic leaf the processor answers
    std::uint32_t leaf1Ecx;    // leaf 1: feature bits (AVX, OSXSAVE)
    std::uint32_t leaf1Edx;    // leaf 1: feature bits (SSE2)
    std::uint32_t leaf7Ebx;    // leaf 7: feature bits (AVX2), as asked, whatever highestLeaf says
    std::uint32_t xcr0;        // XCR0's low half; 0 where leaf 1 lacks OSXSAVE (never read)
};

// The two instructions a report is read with. The product uses the processor's own;
// tests stand in processors and systems that this machine is not.
struct ProcessorInstructions {
    // cpuid for leaf, subleaf 0: eax, ebx, ecx, edx into registers.
    void (*cpuid)(std::uint32_t leaf, std::uint32_t registers[4]);
    // xgetbv for XCR0's low half: an illegal instruction where the system has not enabled
    // it, which leaf 1 reports as OSXSAVE.
    std::uint32_t (*readXcr0)();
};
extern const ProcessorInstructions kProcessorInstructions;

// Reads the report through processor: xgetbv only where leaf 1 reports OSXSAVE.
ProcessorReport ReadProcessorReport(const ProcessorInstructions& processor);

// The fastest path a processor and system that report report run within cap: AVX2 needs
// the AVX and AVX2 bits (leaf 7 counts only where the processor has it) and a system that
// saves the SSE and AVX registers; SSE2 its bit; the plain path runs everywhere.
LineSearchPath ChooseLineSearchPath(const ProcessorReport& report, SimdCap cap);
#endif
