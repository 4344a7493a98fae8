// Holds every line search path the processor runs to the plain model: random line bytes
// (every value, lines of any length up to 4 KB, ending exactly at the buffer's end or
// followed by the zero padding the harvest gives them), random prefixes of 1 to 32
// bytes, Numbers on or off.
#include "engine/candidates.h"
#include "engine/line_search.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/harvest_model.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxLine = 4096;

// A heap block of exactly the line's bytes, and of the line, its terminator and word bytes
// that the search must not take.
struct LineBlocks {
    unsigned char* exact;
    unsigned char* padded;

    explicit LineBlocks(const std::string& line)
        : exact(static_cast<unsigned char*>(std::malloc(line.size() + 1))),
          padded(static_cast<unsigned char*>(std::calloc(line.size() + kLinePadding, 1))) {
        FUZZ_CHECK(exact != nullptr && padded != nullptr);
        // The exact block starts one byte in, so that its last byte is the block's last.
        exact += 1;
        std::memcpy(exact, line.data(), line.size());
        std::memset(padded + line.size() + 1, 'q', kLinePadding - 1);
        std::memcpy(padded, line.data(), line.size());
    }
    ~LineBlocks() {
        std::free(exact - 1);
        std::free(padded);
    }
    LineBlocks(const LineBlocks&) = delete;
    LineBlocks& operator=(const LineBlocks&) = delete;
};

// True when a path offers for the line exactly the model's words, in the model's order.
bool FindsTheWords(LineSearchPath path, const LineSearch& search, const unsigned char* text,
                   std::size_t length, bool padded, const std::vector<std::string>& expected) {
    CandidateList = nullptr;
    SyncCandidateIndex();
    path(search, text, length, padded);
    std::size_t i = 0;
    bool same = true;
    for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode, ++i) {
        FUZZ_CHECK(std::memchr(node->word, 0, sizeof node->word) != nullptr);
        same = same && i < expected.size() && expected[i] == node->word;
    }
    FreeCandidates();
    CandidateList = nullptr;
    return same && i == expected.size();
}

std::vector<LineSearchPath> Paths() {
    std::vector<LineSearchPath> paths = {SearchLinePlain};
#if LEXAMUND_HAVE_SSE2_PATH
    if (FastestLineSearchPath(SimdCap::Sse2) == SearchLineSse2) paths.push_back(SearchLineSse2);
    if (FastestLineSearchPath() == SearchLineAvx2) paths.push_back(SearchLineAvx2);
#endif
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<LineSearchPath> paths = Paths();
    FuzzInput in{data, size};
    const std::uint8_t flags = in.Byte();
    const bool numbers = (flags & 1) != 0;
    const bool prefixFromLine = (flags & 2) != 0; // a prefix that the line holds
    const std::size_t prefixLength = 1 + in.Below(kPrefixSize);
    const std::size_t prefixAt = in.Byte() | (in.Byte() & 0x0Fu) << 8;
    std::string prefix = prefixFromLine ? std::string() : in.Bytes(prefixLength);
    const std::string line = in.Bytes(kMaxLine);
    if (prefixFromLine && prefixAt < line.size()) prefix = line.substr(prefixAt, prefixLength);
    if (prefix.empty()) return 0;

    gSettings.numbers = numbers ? 1 : 0;
    char buffer[kPrefixSize] = {};
    prefix.copy(buffer, sizeof buffer);
    LineSearch search;
    PrepareLineSearch(search, buffer);
    ModelList model;
    const std::string effective(buffer, PrefixLength(buffer));
    if (!effective.empty()) ModelHarvest(std::string(line.c_str()), effective, numbers, &model);
    const LineBlocks blocks(line);
    for (const LineSearchPath path : paths) {
        FUZZ_CHECK(FindsTheWords(path, search, blocks.exact, line.size(), false, model.words));
        if (path == SearchLinePlain) continue; // it reads the same either way
        FUZZ_CHECK(FindsTheWords(path, search, blocks.padded, line.size(), true, model.words));
    }
    return 0;
}
