// The choice of line search path: the processor's cpuid and the system's XCR0, within the cap
// of the LEXAMUND_SIMD environment variable.
#include "engine/processor_choice.h"
#include "platform/platform.h"

#if LEXAMUND_HAVE_SSE2_PATH
#include <cpuid.h>
#endif

namespace {

constexpr std::uint32_t kSimdValueSize = 8; // the longest value taken, with room to spare

// Whether value is word in ASCII, ignoring case.
bool SameWord(const char* value, const char* word) {
    for (; *word != 0; ++value, ++word) {
        const char lower = *value >= 'A' && *value <= 'Z' ? static_cast<char>(*value + 32) : *value;
        if (lower != *word) return false;
    }
    return *value == 0;
}

// The cap that the environment variable sets, read through the platform table: "avx2",
// "sse2" or "none" in any case. Unset or empty (Windows keeps no empty variable) is Any; any
// other value is None, the safe reading of a diagnostic switch. A value too long for the
// buffer is not copied, so it reads as empty text, which is None too.
SimdCap SimdCapFromEnvironment() {
    char value[kSimdValueSize] = {};
    if (gPlatform.getEnvironmentVariable(kSimdVariable, value, kSimdValueSize) == 0) {
        return SimdCap::Any;
    }
    if (SameWord(value, "avx2")) return SimdCap::Avx2;
    if (SameWord(value, "sse2")) return SimdCap::Sse2;
    return SimdCap::None;
}

} // namespace

LineSearchPath ChosenLineSearchPath() {
    return FastestLineSearchPath(SimdCapFromEnvironment());
}

#if LEXAMUND_HAVE_SSE2_PATH

namespace {

constexpr std::uint32_t kHighestLeafWithAvx2 = 7;
constexpr std::uint32_t kXcr0SseAndAvx = 6; // bits 1 and 2: the system saves XMM and YMM

// Every processor the DLL runs on (a Pentium Pro or later) has cpuid, and answers any leaf.
void Cpuid(std::uint32_t leaf, std::uint32_t registers[4]) {
    __cpuid_count(leaf, 0, registers[0], registers[1], registers[2], registers[3]);
}

// Kept out of line: the one place where the DLL reads XCR0, which the release checks allow.
__attribute__((noinline)) std::uint32_t ReadXcr0() {
    std::uint32_t low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return low;
}

} // namespace

const ProcessorInstructions kProcessorInstructions = {Cpuid, ReadXcr0};

ProcessorReport ReadProcessorReport(const ProcessorInstructions& processor) {
    ProcessorReport report = {};
    std::uint32_t registers[4];
    processor.cpuid(0, registers);
    report.highestLeaf = registers[0];
    processor.cpuid(1, registers);
    report.leaf1Ecx = registers[2];
    report.leaf1Edx = registers[3];
    processor.cpuid(kHighestLeafWithAvx2, registers);
    report.leaf7Ebx = registers[1];
    if ((report.leaf1Ecx & bit_OSXSAVE) != 0) report.xcr0 = processor.readXcr0();
    return report;
}

LineSearchPath ChooseLineSearchPath(const ProcessorReport& report, SimdCap cap) {
    const bool avx2 = report.highestLeaf >= kHighestLeafWithAvx2 &&
                      (report.leaf1Ecx & bit_AVX) != 0 && (report.leaf7Ebx & bit_AVX2) != 0 &&
                      (report.xcr0 & kXcr0SseAndAvx) == kXcr0SseAndAvx;
    if (cap >= SimdCap::Avx2 && avx2) return SearchLineAvx2;
    if (cap >= SimdCap::Sse2 && (report.leaf1Edx & bit_SSE2) != 0) return SearchLineSse2;
    return SearchLinePlain;
}

#endif

LineSearchPath FastestLineSearchPath(SimdCap cap) {
#if LEXAMUND_HAVE_SSE2_PATH
    return ChooseLineSearchPath(ReadProcessorReport(kProcessorInstructions), cap);
#else
    (void)cap;
    return SearchLinePlain;
#endif
}
