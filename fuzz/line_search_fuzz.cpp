// Holds every line search path the processor runs to the plain model: random line bytes
// (every value, or word text: long words and the bytes the word rules set apart; lines of
// any length up to 4 KB, followed by the padding the harvest gives them and not a byte
// more), random prefixes up to a full buffer, Numbers, IgnoreCase and NearestFirst each on
// or off, and some of the user's own word characters or none.
#include "engine/candidates.h"
#include "engine/line_search.h"
#include "engine/processor_choice.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/harvest_model.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxLine = 4096;

// A heap block of the line, its terminator and word bytes that the search must not take,
// ending where the padding ends.
struct PaddedLine {
    unsigned char* text;

    explicit PaddedLine(const std::string& line)
        : text(static_cast<unsigned char*>(std::calloc(line.size() + kLinePadding, 1))) {
        FUZZ_CHECK(text != nullptr);
        std::memset(text + line.size() + 1, 'q', kLinePadding - 1);
        std::memcpy(text, line.data(), line.size());
    }
    ~PaddedLine() { std::free(text); }
    PaddedLine(const PaddedLine&) = delete;
    PaddedLine& operator=(const PaddedLine&) = delete;
};

// True when a path offers for the line exactly the model's words, in the model's order.
bool FindsTheWords(LineSearchPath path, LineSearch search, const unsigned char* text,
                   std::size_t length, const std::vector<std::string>& expected) {
    CandidateList = nullptr;
    search.path = path;
    SearchLine(search, text, length);
    std::size_t i = 0;
    bool same = true;
    for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode, ++i) {
        FUZZ_CHECK(strnlen(node->word, kMaxWordLength + 1) <= kMaxWordLength);
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
    ModelOptions options;
    options.numbers = (flags & 1) != 0;
    const bool prefixFromLine = (flags & 2) != 0; // a prefix that the line holds
    options.ignoreCase = (flags & 4) != 0;
    const bool nearestFirst = (flags & 8) != 0;
    const bool wordText = (flags & 16) != 0; // the prefix and the line drawn as word text
    // With flag 32, the user's own word characters, drawn before the rest.
    const std::string ownText = (flags & 32) != 0 ? in.OwnWordText(24) : std::string();
    SetOwnWordChars(ownText.data(), ownText.size());
    options.own = ModelOwnWordChars(ownText.data(), ownText.size());
    const std::size_t prefixLength = 1 + in.Below(kPrefixSize);
    const std::size_t prefixAt = in.Byte() | (in.Byte() & 0x0Fu) << 8;
    const auto draw = [&in, wordText](std::size_t length) {
        return wordText ? in.WordText(length) : in.Bytes(length);
    };
    std::string prefix = prefixFromLine ? std::string() : draw(prefixLength);
    const std::string line = draw(kMaxLine);
    if (prefixFromLine && prefixAt < line.size()) prefix = line.substr(prefixAt, prefixLength);
    if (prefix.empty()) return 0;

    gSettings.numbers = options.numbers ? 1 : 0;
    gSettings.ignoreCase = options.ignoreCase ? 1 : 0;
    // Nearest first holds a line copy's words at most: longer lines are the fuzzer's own.
    options.nearestFirst = nearestFirst && line.size() <= kLineCopySize;
    gSettings.nearestFirst = options.nearestFirst ? 1 : 0;
    char buffer[kPrefixSize] = {};
    prefix.copy(buffer, sizeof buffer);
    LineSearch search;
    PrepareLineSearch(search, buffer);
    ModelList model;
    const std::string effective(buffer, PrefixLength(buffer));
    if (!effective.empty()) ModelHarvest(std::string(line.c_str()), effective, options, &model);
    const PaddedLine padded(line);
    for (const LineSearchPath path : paths)
        FUZZ_CHECK(FindsTheWords(path, search, padded.text, line.size(), model.words));
    return 0;
}
