// Fuzzes the word rules and the search of one line against a plain model of both: random
// line bytes (every value, or word text: long words and the bytes the word rules set apart),
// a random prefix (up to a full buffer), Numbers on or off, and some of the user's own word
// characters or none.
#include "engine/engine.h"
#include "fuzz/fuzz_input.h"
#include "tests/support/harvest_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- The checks ----

void CheckWordRules(bool numbers, const std::string& own) {
    for (unsigned b = 0; b < 256; ++b) {
        FUZZ_CHECK(IsWordChar(b) ==
                   (ModelWordChar(static_cast<unsigned char>(b), numbers, own) ? 1 : 0));
        FUZZ_CHECK(IsWordChar(b + 0x100) == IsWordChar(b));
        FUZZ_CHECK(IsExtractionChar(b) ==
                   (ModelExtractionChar(static_cast<unsigned char>(b), numbers, own) ? 1 : 0));
    }
}

// The prefix is the run of word characters ending at the column, at most a full buffer of it.
void CheckExtractPrefix(const char* copy, std::size_t length, std::size_t column,
                        const ModelOptions& options) {
    if (column < 1 || column > length) return;
    if (!ModelWordChar(static_cast<unsigned char>(copy[column - 1]), options.numbers, options.own))
        return;
    const std::string expected =
        ModelPrefix(std::string(copy, length), column, options.numbers, options.own);
    char prefix[kPrefixSize] = {};
    ExtractPrefix(copy, static_cast<std::int32_t>(column), prefix, sizeof prefix);
    FUZZ_CHECK(std::memcmp(prefix, expected.data(), expected.size()) == 0);
    for (std::size_t i = expected.size(); i < kPrefixSize; ++i)
        FUZZ_CHECK(prefix[i] == 0);
    FUZZ_CHECK(PrefixLength(prefix) == expected.size());
}

void CheckHarvest(const char* copy, const char* prefixBuffer, const ModelOptions& options) {
    const std::string prefix(prefixBuffer, PrefixLength(prefixBuffer));
    if (prefix.empty()) return; // a request always has at least one prefix character
    CandidateList = nullptr;
    HarvestLine(copy, prefixBuffer);
    ModelList model;
    ModelHarvest(copy, prefix, options, &model);
    const std::vector<std::string>& expected = model.words;
    std::size_t i = 0;
    for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode, ++i) {
        FUZZ_CHECK(i < expected.size());
        FUZZ_CHECK(strnlen(node->word, kMaxWordLength + 1) <= kMaxWordLength);
        FUZZ_CHECK(expected[i] == node->word);
    }
    FUZZ_CHECK(i == expected.size());
    FreeCandidates();
    CandidateList = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::uint8_t flags = in.Byte();
    const std::uint8_t numbers = flags & 0x81;
    const bool wordText = (flags & 2) != 0; // the prefix and the line drawn as word text
    gSettings.numbers = numbers;
    // With flag 4, the user's own word characters, drawn before the rest.
    const std::string ownText = (flags & 4) != 0 ? in.OwnWordText(24) : std::string();
    SetOwnWordChars(ownText.data(), ownText.size());
    UseWordRules(numbers != 0);
    ModelOptions options;
    options.numbers = numbers != 0;
    options.own = ModelOwnWordChars(ownText.data(), ownText.size());
    const auto draw = [&in, wordText](std::size_t length) {
        return wordText ? in.WordText(length) : in.Bytes(length);
    };
    char prefix[kPrefixSize] = {};
    const std::string prefixText = draw(in.Below(kPrefixSize + 1));
    std::copy(prefixText.begin(), prefixText.end(), prefix);
    const std::size_t column = in.Byte() | (in.Byte() & 0x07u) << 8;
    // The working copy of a line: at most 1024 bytes and a terminator.
    char copy[kLineCopySize + 1] = {};
    const std::string line = draw(kLineCopySize);
    std::copy(line.begin(), line.end(), copy);

    CheckWordRules(options.numbers, options.own);
    CheckExtractPrefix(copy, std::strlen(copy), column, options);
    CheckHarvest(copy, prefix, options);
    return 0;
}
