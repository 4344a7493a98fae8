// The line search path the loaded DLL runs: the fastest the processor runs, capped by
// LEXAMUND_SIMD (avx2, sse2 or anything else for the plain path; unset for no cap). A run
// of the scenario suite "on the SSE2 path" proves something only when this holds.
//
// The DLL's global gLineSearchPath is read in the loaded module, and compared with the
// addresses of the three search functions, taken from nm's listing of the build copy
// (LEXAMUND_SYMBOLS, else the build tree's shell/Lexamund.symbols), made relative to the
// image base. The listing must match the DLL: the exported ProcessEditorInput is checked.
#include "tests/scenario/dll_runner.h"
#include "tests/scenario/scenario_fixture.h"
#include "tests/support/dll_listing.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <windows.h>

namespace {

enum class Path { Plain, Sse2, Avx2 };
constexpr const char* kPathNames[] = {"SearchLinePlain", "SearchLineSse2", "SearchLineAvx2"};
constexpr std::size_t kPaths = std::size(kPathNames);

// The offsets from the image base that the check needs; 0 where a symbol is missing.
struct Symbols {
    std::uint32_t pathVariable = 0;
    std::uint32_t processEditorInput = 0;
    std::uint32_t paths[kPaths] = {};
};

// Whether name is the mangled name of the free function plain ("__Z14SearchLineSse2...").
bool IsFunction(const std::string& name, const char* plain) {
    const std::string start = "__Z" + std::to_string(std::strlen(plain)) + plain;
    return name.rfind(start, 0) == 0;
}

bool ReadSymbols(const std::string& path, Symbols* symbols) {
    std::vector<ListedSymbol> listed;
    if (!ReadDllListing(path, &listed)) return false;
    symbols->pathVariable = ListedRva(listed, "_gLineSearchPath");
    symbols->processEditorInput = ListedRva(listed, "_ProcessEditorInput@4");
    for (const ListedSymbol& symbol : listed) {
        for (std::size_t i = 0; i < kPaths; ++i) {
            if (IsFunction(symbol.name, kPathNames[i])) symbols->paths[i] = symbol.rva;
        }
    }
    return true;
}

// The fastest path this processor (and, for AVX2, the system) runs, as the compiler's own
// run-time finds it.
Path ProcessorPath() {
    if (__builtin_cpu_supports("avx2")) return Path::Avx2;
    return __builtin_cpu_supports("sse2") ? Path::Sse2 : Path::Plain;
}

// The path LEXAMUND_SIMD allows at most: unset (or empty, which Windows does not keep)
// allows all, an unknown value only the plain.
Path CapPath(const char* simd) {
    if (simd == nullptr || *simd == 0 || _stricmp(simd, "avx2") == 0) return Path::Avx2;
    return _stricmp(simd, "sse2") == 0 ? Path::Sse2 : Path::Plain;
}

// The listing's symbols, read and checked against the loaded DLL; fails the test when it
// cannot be read, lacks one of them, or belongs to another build.
void LoadListing(Symbols* symbols) {
    const char* listing = std::getenv("LEXAMUND_SYMBOLS");
    const std::string path = listing != nullptr ? listing : LEXAMUND_SYMBOLS_FILE;
    ASSERT_TRUE(ReadSymbols(path, symbols)) << "cannot read " << path << ", or no image base";
    ASSERT_NE(symbols->pathVariable, 0u) << path << " lacks gLineSearchPath";
    for (std::size_t i = 0; i < kPaths; ++i)
        ASSERT_NE(symbols->paths[i], 0u) << path << " lacks " << kPathNames[i];
    const auto* base = static_cast<const unsigned char*>(PluginModule());
    const auto* exported = reinterpret_cast<const unsigned char*>(
        GetProcAddress(static_cast<HMODULE>(PluginModule()), "ProcessEditorInput"));
    ASSERT_EQ(exported - base, symbols->processEditorInput)
        << path << " is not the listing of the DLL under test";
}

// The name of the path whose function is at address in the loaded DLL.
std::string PathAt(const Symbols& symbols, std::uintptr_t address) {
    const auto base = reinterpret_cast<std::uintptr_t>(PluginModule());
    for (std::size_t i = 0; i < kPaths; ++i) {
        if (address == base + symbols.paths[i]) return kPathNames[i];
    }
    return "an unknown address, RVA " + std::to_string(address - base);
}

using LineSearchCap = Scenario;

// Read after a request that ran a search: the path is picked at the first one.
TEST_F(LineSearchCap, TheDllRunsTheFastestPathTheCapAllows) {
    ASSERT_EQ(CompleteAtEnd({"completion", "comp"}, 1), 1);
    ASSERT_EQ(host.lines[1], "completion") << "no request reached the line search";
    Symbols symbols;
    ASSERT_NO_FATAL_FAILURE(LoadListing(&symbols));

    const auto* base = static_cast<const unsigned char*>(PluginModule());
    std::uintptr_t inForce = 0;
    std::memcpy(&inForce, base + symbols.pathVariable, sizeof inForce);
    const char* simd = std::getenv("LEXAMUND_SIMD");
    const Path processor = ProcessorPath();
    const Path expected = std::min(processor, CapPath(simd));
    EXPECT_EQ(PathAt(symbols, inForce), kPathNames[static_cast<int>(expected)])
        << "the path in force, with LEXAMUND_SIMD " << (simd == nullptr ? "unset" : simd)
        << " on a processor whose fastest is " << kPathNames[static_cast<int>(processor)];
}

} // namespace
