// Every line search path the processor runs, held to the plain model and to the tables.
#include "engine/candidates.h"
#include "engine/line_search.h"
#include "engine/processor_choice.h"
#include "platform/platform.h"
#include "testhost/random.h"
#include "tests/support/harvest_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

struct NamedPath {
    const char* name;
    LineSearchPath path;
};

// The paths this processor runs: the plain one always, the vector ones where it has them.
std::vector<NamedPath> Paths() {
    std::vector<NamedPath> paths = {{"plain", SearchLinePlain}};
#if LEXAMUND_HAVE_SSE2_PATH
    if (FastestLineSearchPath(SimdCap::Sse2) == SearchLineSse2)
        paths.push_back({"sse2", SearchLineSse2});
    if (FastestLineSearchPath() == SearchLineAvx2) paths.push_back({"avx2", SearchLineAvx2});
#endif
    return paths;
}

// Bytes that make word starts, runs and their ends likely: letters, digits, '_', Cyrillic
// in and out of the taken set, blanks, punctuation and the zero byte.
const char kAlphabet[] = "abqqqQQAZ09__  ,.--:\x80\xa0\x85\xa5\xaf\xb0\xdf\xe0\x9f\xef\xf0\xff";
// The user's own word characters a test draws from: some the alphabet holds, one it lacks.
const char kOwnAlphabet[] = "-:._,~";

std::string RandomLine(Random& random) {
    std::size_t length = random.Below(8) == 0 ? 900 + random.Below(300) : random.Below(140);
    std::string line;
    while (line.size() < length) {
        const bool run = random.Below(3) == 0; // long runs of one byte reach past blocks
        const char byte = kAlphabet[random.Below(sizeof kAlphabet - 1)];
        line.append(run ? 1 + random.Below(80) : 1, byte);
    }
    if (random.Below(20) == 0) line[random.Below(line.size() + 1) % (line.size() + 1)] = 0;
    return line;
}

// A prefix: usually a piece of the line, so that there is something to find.
std::string RandomPrefix(Random& random, const std::string& line) {
    const std::size_t length = 1 + random.Below(random.Below(4) == 0 ? kPrefixSize : 3);
    if (!line.empty() && random.Below(4) != 0) {
        const std::size_t at = random.Below(line.size());
        return line.substr(at, length);
    }
    std::string prefix;
    for (std::size_t i = 0; i < length; ++i)
        prefix += kAlphabet[random.Below(sizeof kAlphabet - 1)];
    return prefix;
}

// The words one path offers for line, through the search PrepareLineSearch compiles for the
// settings on it, read from the list it leaves: the line, its
// terminator and word bytes that the search must not take, in a buffer that ends where the
// padding does, so that the sanitizers see any read past it.
std::vector<std::string> Found(LineSearchPath path, const std::string& line,
                               const std::string& prefix) {
    char buffer[kPrefixSize] = {};
    prefix.copy(buffer, sizeof buffer);
    LineSearch search;
    std::memset(&search, 'q', sizeof search); // what an earlier search left, which must not count
    const LineSearchPath inForce = gLineSearchPath;
    gLineSearchPath = path; // as the first search picks it: the search compiled for the settings
    PrepareLineSearch(search, buffer);
    gLineSearchPath = inForce;
    // The search in force is the one compiled for the settings, never the path's public
    // one, which would choose it again at every line.
    EXPECT_NE(search.path, path);
    const std::size_t size = line.size() + kLinePadding;
    std::unique_ptr<unsigned char[]> text(new unsigned char[size]());
    std::memset(text.get() + line.size() + 1, 'q', kLinePadding - 1);
    std::memcpy(text.get(), line.data(), line.size());
    CandidateList = nullptr;
    SearchLine(search, text.get(), line.size());
    std::vector<std::string> words;
    for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode) {
        words.emplace_back(node->word, strnlen(node->word, sizeof node->word));
    }
    FreeCandidates();
    CandidateList = nullptr;
    return words;
}

// A path of the tests' or the benchmarks' own (one that searches nothing, say) is the search
// in force as it is, whatever the settings.
TEST(LineSearchPath, APathOfOurOwnIsKeptAsItIs) {
    const LineSearchPath inForce = gLineSearchPath;
    gLineSearchPath = [](const LineSearch&, const unsigned char*, std::size_t) {};
    LineSearch search;
    char buffer[kPrefixSize] = "ab";
    PrepareLineSearch(search, buffer);
    EXPECT_EQ(search.path, gLineSearchPath);
    gLineSearchPath = inForce;
}

class LineSearchPaths : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = gSettings; }
    void TearDown() override {
        gSettings = saved_;
        SetOwnWordChars("", 0);
    }

  private:
    CompletionSettings saved_{};
};

#if LEXAMUND_HAVE_SSE2_PATH

// Word-character and word-byte masks of 32 bytes, 16 at a time and 32 at a time.
struct Masks {
    std::uint32_t word, taken;
};

LEXAMUND_SSE2 Masks Classes16(const unsigned char* bytes, bool numbers) {
    const ByteClasses16 c = LoadByteClasses16();
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16));
    const ByteMasks first = ClassifyBytes(low, numbers, c);
    const ByteMasks second = ClassifyBytes(high, numbers, c);
    return {first.word | second.word << 16, first.taken | second.taken << 16};
}

LEXAMUND_AVX2 Masks Classes32(const unsigned char* bytes, bool numbers) {
    const ByteClasses32 c = LoadByteClasses32();
    const __m256i all = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
    const ByteMasks masks = ClassifyBytes(all, numbers, c);
    return {masks.word, masks.taken};
}

#endif

// The vector classes must agree with the byte tables on every byte, in every lane.
TEST_F(LineSearchPaths, VectorClassesMatchTheTables) {
#if LEXAMUND_HAVE_SSE2_PATH
    for (const bool numbers : {false, true}) {
        for (unsigned first = 0; first < 256; first += 32) {
            unsigned char bytes[32];
            Masks expected = {0, 0};
            for (unsigned k = 0; k < 32; ++k) {
                bytes[k] = static_cast<unsigned char>(first + k);
                expected.word |= std::uint32_t{WordCharTable(numbers)[bytes[k]]} << k;
                expected.taken |= std::uint32_t{TakenTable(numbers)[bytes[k]]} << k;
            }
            std::vector<std::pair<const char*, Masks>> found;
            for (const NamedPath& path : Paths()) {
                if (path.path == SearchLineSse2)
                    found.emplace_back("sse2", Classes16(bytes, numbers));
                if (path.path == SearchLineAvx2)
                    found.emplace_back("avx2", Classes32(bytes, numbers));
            }
            for (const auto& [name, masks] : found) {
                EXPECT_EQ(masks.word, expected.word)
                    << name << " word characters from byte " << first << ", numbers " << numbers;
                EXPECT_EQ(masks.taken, expected.taken) << name << " word bytes from " << first;
            }
        }
    }
#else
    GTEST_SKIP() << "no vector paths on this processor family";
#endif
}

// Thousands of lines of likely bytes, every path, every setting that changes the words.
TEST_F(LineSearchPaths, EveryPathFindsTheModelsWords) {
    Random random{2026};
    for (int i = 0; i < 3000; ++i) {
        const std::string line = RandomLine(random);
        const std::string prefix = RandomPrefix(random, line);
        ModelOptions options;
        options.numbers = random.Below(2) == 0;
        options.ignoreCase = random.Below(2) == 0;
        // Nearest first holds a line copy's words at most: longer lines are the tests' own.
        options.nearestFirst = random.Below(4) == 0 && line.size() <= kLineCopySize;
        options.own.clear();
        for (std::size_t n = random.Below(3) == 0 ? 1 + random.Below(4) : 0; n != 0; --n)
            options.own += kOwnAlphabet[random.Below(sizeof kOwnAlphabet - 1)];
        SetOwnWordChars(options.own.data(), options.own.size());
        gSettings.numbers = options.numbers ? 1 : 0;
        gSettings.ignoreCase = options.ignoreCase ? 1 : 0;
        gSettings.nearestFirst = options.nearestFirst ? 1 : 0;
        // What the engine reads: the line up to a zero byte, the prefix up to one or its buffer.
        const std::string text = line.substr(0, std::strlen(line.c_str()));
        const std::string effective =
            prefix.substr(0, std::min<std::size_t>(kPrefixSize, std::strlen(prefix.c_str())));
        ModelList model;
        if (!effective.empty()) ModelHarvest(text, effective, options, &model);
        for (const NamedPath& path : Paths()) {
            ASSERT_EQ(Found(path.path, line, prefix), model.words)
                << path.name << ", line " << i << ", prefix '" << prefix << "', numbers "
                << options.numbers << ", case " << options.ignoreCase << ", nearest "
                << options.nearestFirst << ", own '" << options.own << "'";
        }
    }
}

// The user's own word characters on every path and setting: words run through them, a word
// that follows one starts none, a word of them alone is none, a prefix may be made of them,
// and they have no case. Each row's words are the model's, checked with the options off.
TEST_F(LineSearchPaths, OwnWordCharsRunThroughWordsOnEveryPath) {
    const std::string dashed = [] {
        std::string text;
        while (text.size() < 62)
            text += "a-";
        return text;
    }();
    const struct {
        std::string line, prefix;
        std::vector<std::string> words; // with the options off
    } rows[] = {
        {"--verbose --version -- --- x--verb --VERBOSE", "--ver", {"--verbose", "--version"}},
        {"----- == --a ----- -----b -", "--", {"--a", "-----b"}},
        {"background-color background-image color", "background-c", {"background-color"}},
        {"background-color colour x-col", "col", {"colour"}},
        {"Foo::Bar Foo::Baz x::Foo::Bq Foo:Bo", "Foo::B", {"Foo::Bar", "Foo::Baz"}},
        {"my_value my_v_ my_", "my_", {"my_value", "my_v_"}},
        {std::string(40, ' ') + "abc-def-ghi-jkl-mno-pqr-stu-vwx-yz-abc-def-ghi",
         "abc-d",
         {"abc-def-ghi-jkl-mno-pqr-stu-vwx-yz-abc-def-ghi"}},
        {dashed + "b " + dashed + "- " + dashed, dashed, {dashed + "b", dashed + "-"}},
    };
    SetOwnWordChars("-:_", 3);
    for (const auto& row : rows) {
        for (unsigned settings = 0; settings < 8; ++settings) {
            ModelOptions options;
            options.numbers = (settings & 1) != 0;
            options.ignoreCase = (settings & 2) != 0;
            options.nearestFirst = (settings & 4) != 0;
            options.own = "-:_";
            gSettings = {0, 0, 1, settings & 1, settings >> 1 & 1, settings >> 2 & 1, 0};
            ModelList model;
            ModelHarvest(row.line, row.prefix, options, &model);
            if (settings == 0) {
                EXPECT_EQ(model.words, row.words) << row.prefix;
            }
            for (const NamedPath& path : Paths()) {
                EXPECT_EQ(Found(path.path, row.line, row.prefix), model.words)
                    << path.name << ", prefix '" << row.prefix << "', settings " << settings;
            }
        }
    }
}

// Words placed where the vector paths change gear: a block's last byte, the end of the
// 64 bytes a block reads, a stretch's end, and a line's last byte; no prefix finds none.
TEST_F(LineSearchPaths, WordsAtBlockAndStretchEdges) {
    gSettings.numbers = 0;
    const std::string word31 = "q" + std::string(30, 'w');
    for (const std::size_t at : {0u, 1u, 31u, 32u, 33u, 63u, 64u, 1000u, 1023u, 1024u, 1060u}) {
        for (const std::size_t tail : {0u, 1u, 5u, 40u}) {
            const std::string line = std::string(at, ' ') + word31 + std::string(tail, 'x');
            ModelList model;
            ModelHarvest(line, "q", false, &model);
            for (const NamedPath& path : Paths()) {
                EXPECT_EQ(Found(path.path, line, "q"), model.words)
                    << path.name << " at " << at << ", tail " << tail;
                EXPECT_TRUE(Found(path.path, line, "").empty()) << path.name;
            }
        }
    }
}

// A line of 160 distinct words fills the list in its middle: the first 150, in order.
TEST_F(LineSearchPaths, AListThatFillsMidLine) {
    gSettings.numbers = 0;
    std::string line;
    for (int i = 0; i < 160; ++i)
        line += std::string{'q', static_cast<char>('a' + i / 26), static_cast<char>('a' + i % 26)} +
                ' ';
    ModelList model;
    ModelHarvest(line, "q", false, &model);
    ASSERT_EQ(model.words.size(), 150u);
    for (const NamedPath& path : Paths())
        EXPECT_EQ(Found(path.path, line, "q"), model.words) << path.name;
}

// The first pass matches a prefix's first two bytes: where case matters, a prefix of one or
// two bytes costs the second pass no comparison, so the search never reads the prefix past
// them (the sanitizer reports any read of the poisoned rest). Under IgnoreCase a word of 17
// to 31 bytes met in another case reads the prefix, its other case and the keep mask 16
// bytes at a time, and not their second 16 bytes when the prefix ends in the first.
TEST_F(LineSearchPaths, AShortPrefixIsNotComparedAgain) {
#if defined(__SANITIZE_ADDRESS__)
    const struct {
        std::uint32_t ignoreCase;
        const char* text;
        std::size_t readable; // bytes of the prefix and of its other case the search may read
    } rows[] = {{0, "ab abc abd a abe xab ab", 2},
                {1, "ABCDEFGHIJKLMNOPQRSTU Abcdefghijklmnopqrst abcdefghijklmnopqrstuvw", 16}};
    for (const auto& row : rows) {
        gSettings = {0, 0, 1, 0, row.ignoreCase, 0, 0};
        const std::string text = row.text;
        const std::string line = text + std::string(kLinePadding, '\0');
        for (const char* prefix : {"a", "ab"}) {
            ModelOptions options;
            options.ignoreCase = row.ignoreCase != 0;
            ModelList model;
            ModelHarvest(text, prefix, options, &model);
            for (const NamedPath& path : Paths()) {
                LineSearch search;
                PrepareLineSearch(search, prefix);
                search.path = path.path;
                ASAN_POISON_MEMORY_REGION(search.prefix + row.readable, kPrefixSize - row.readable);
                ASAN_POISON_MEMORY_REGION(search.other + row.readable, kPrefixSize - row.readable);
                ASAN_POISON_MEMORY_REGION(search.prefixKeep + 16, 16);
                CandidateList = nullptr;
                SearchLine(search, reinterpret_cast<const unsigned char*>(line.data()),
                           text.size());
                ASAN_UNPOISON_MEMORY_REGION(&search, sizeof search);
                EXPECT_EQ(gCandidateIndex.count, model.words.size()) << path.name << prefix;
                FreeCandidates();
                CandidateList = nullptr;
            }
        }
    }
#else
    GTEST_SKIP() << "needs the address sanitizer";
#endif
}

// Without Numbers a digit is no word character, so a word may start at every other byte,
// or at every byte for a prefix that starts with a digit: nearest first keeps them all.
TEST_F(LineSearchPaths, NearestFirstHoldsAWordAtEveryByteOfALineCopy) {
    gSettings = {0, 0, 1, 0, 0, 1, 0};
    ModelOptions options;
    options.nearestFirst = true;
    for (const auto& [prefix, unit] :
         {std::pair<std::string, std::string>{"a", "a3"}, {"4", "4"}}) {
        std::string line;
        while (line.size() < kLineCopySize)
            line += unit;
        ModelList model;
        ModelHarvest(line, prefix, options, &model);
        for (const NamedPath& path : Paths())
            EXPECT_EQ(Found(path.path, line, prefix), model.words) << path.name << prefix;
    }
}

// ---- Work nobody asked for, found by the address sanitizer ----
#if defined(__SANITIZE_ADDRESS__)

// A line in a heap block that ends where its padding does, so that the sanitizer can be told
// that no search may read it.
struct PaddedLine {
    explicit PaddedLine(const std::string& line)
        : size(line.size() + kLinePadding), bytes(new unsigned char[size]()) {
        std::memcpy(bytes.get(), line.data(), line.size());
    }
    void Poison() const { ASAN_POISON_MEMORY_REGION(bytes.get(), size); }
    void Unpoison() const { ASAN_UNPOISON_MEMORY_REGION(bytes.get(), size); }
    std::size_t size;
    std::unique_ptr<unsigned char[]> bytes;
};

// The line that the allocation of the list's last word poisons, with the words still held
// back: once the list is full, a search has nothing more to read.
const PaddedLine* gLineToPoisonWhenFull = nullptr;
int gAllocations = 0;

void* AllocatePoisoningWhenFull(std::size_t size) {
    if (++gAllocations == kMaxMenuItems) {
        gLineToPoisonWhenFull->Poison();
        ASAN_POISON_MEMORY_REGION(gLineWords.words, gLineWords.count * sizeof(PaddedWord));
    }
    return kDefaultPlatform.allocate(size);
}

// Searches line with path (or the one PrepareLineSearch picks, when null) for prefix under
// the settings in force, with what it must not read poisoned; the words it lists.
std::vector<std::string> SearchPoisoned(LineSearchPath path, const PaddedLine& line,
                                        std::size_t length, const char* prefix) {
    char buffer[kPrefixSize] = {};
    std::strncpy(buffer, prefix, sizeof buffer);
    LineSearch search;
    PrepareLineSearch(search, buffer);
    if (path != nullptr) search.path = path;
    CandidateList = nullptr;
    SearchLine(search, line.bytes.get(), length);
    line.Unpoison();
    ASAN_UNPOISON_MEMORY_REGION(&gLineWords, sizeof gLineWords);
    std::vector<std::string> words;
    for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode)
        words.emplace_back(node->word);
    FreeCandidates();
    CandidateList = nullptr;
    return words;
}

// Once the list holds 150 words, no search reads another byte of its line, another held
// word or another line: under every setting, with and without a character of the user's own,
// on every path, with short and long words (the long ones over several stretches of a line),
// and with short ones each followed by its twin with a capital first, so that under
// IgnoreCase every block holds both cases.
TEST_F(LineSearchPaths, NothingIsReadOnceTheListIsFull) {
    const struct {
        std::size_t stem;
        bool twins;
    } rows[] = {{0, false}, {40, false}, {0, true}};
    for (const auto& [stem, twins] : rows) {
        std::string text;
        for (int i = 0; i < 160; ++i) {
            const std::string rest = std::string(stem, 'w') + static_cast<char>('a' + i / 26) +
                                     static_cast<char>('a' + i % 26) + ' ';
            text += 'q' + rest + (twins ? 'Q' + rest : std::string());
        }
        const PaddedLine line(text);
        gLineToPoisonWhenFull = &line;
        for (unsigned settings = 0; settings < 16; ++settings) {
            gSettings = {0, 0, 1, settings & 1, settings >> 1 & 1, settings >> 2 & 1, 0};
            SetOwnWordChars("-", settings >> 3);
            for (const NamedPath& path : Paths()) {
                gAllocations = 0;
                gPlatform.allocate = AllocatePoisoningWhenFull;
                char buffer[kPrefixSize] = "q";
                LineSearch search;
                PrepareLineSearch(search, buffer);
                search.path = path.path;
                CandidateList = nullptr;
                gMixedCaseBlocks = 0;
                SearchLine(search, line.bytes.get(), text.size());
                EXPECT_EQ(gCandidateIndex.count, kMaxMenuItems) << path.name << settings;
                // Only blocks that hold both cases are taken apart: the others cost what
                // they would with case mattering.
                EXPECT_EQ(gMixedCaseBlocks != 0,
                          twins && gSettings.ignoreCase != 0 && path.path != SearchLinePlain)
                    << path.name << settings;
                SearchLine(search, line.bytes.get(), text.size()); // the line is poisoned still
                line.Unpoison();
                ASAN_UNPOISON_MEMORY_REGION(&gLineWords, sizeof gLineWords);
                gPlatform = kDefaultPlatform;
                FreeCandidates();
                CandidateList = nullptr;
            }
        }
    }
}

// A prefix with a byte no word holds (a box-drawing byte, a sign from 0xF8, '_' without
// Numbers) finds nothing without reading the line, whichever path searches.
TEST_F(LineSearchPaths, AnImpossiblePrefixReadsNoLine) {
    gSettings = {0, 0, 1, 0, 0, 0, 0};
    const std::string text = "ab\xB0"
                             "c ab\xF8"
                             "c a_bc _ab " +
                             std::string(40, 'a');
    const PaddedLine line(text);
    for (const char* prefix : {"ab\xB0", "\xF8", "a_", "_"}) {
        std::vector<LineSearchPath> paths = {nullptr};
        for (const NamedPath& path : Paths())
            paths.push_back(path.path);
        for (const LineSearchPath path : paths) {
            line.Poison();
            EXPECT_TRUE(SearchPoisoned(path, line, text.size(), prefix).empty()) << prefix;
        }
    }
}

// With the options off, the search reads nothing only the options need. Under IgnoreCase, a
// line whose words all carry the prefix as typed reads nothing only the case path needs
// (the prefix's other case past the two bytes the first pass splats, the case rule, the
// typed prefix's mask): such words cost what they would with case mattering.
TEST_F(LineSearchPaths, TheOptionsOffSearchReadsNothingOnlyTheyNeed) {
    struct Setting {
        std::uint32_t ignoreCase;
        const char* text;
        std::size_t otherFrom; // the first byte of LineSearch::other the search must not read
    };
    const Setting settings[] = {
        {0, "abc ABC Abd aBe abcdefghijklmnopqrstuvwxyzabcdefghijk abcdefghijklmnopqrsT ab", 0},
        {1, "abcdefghijklmnopqrsx Xbc abcdefghijklmnopqrstuvwxyzabcdefghijk abcdefghijklmnopqrsT",
         2}};
    for (const Setting& setting : settings) {
        const std::string text = setting.text;
        const PaddedLine line(text);
        for (const std::uint32_t numbers : {0u, 1u}) {
            gSettings = {0, 0, 1, numbers, setting.ignoreCase, 0, 0};
            for (const char* prefix : {"a", "ab", "abc", "abcdefghijklmnopqrs"}) {
                ModelOptions options;
                options.numbers = numbers != 0;
                options.ignoreCase = setting.ignoreCase != 0;
                ModelList model;
                ModelHarvest(text, prefix, options, &model);
                for (const NamedPath& path : Paths()) {
                    char buffer[kPrefixSize] = {};
                    std::strncpy(buffer, prefix, sizeof buffer);
                    LineSearch search;
                    PrepareLineSearch(search, buffer);
                    search.path = path.path;
                    // The sanitizer sees no direct use of the global's count: a value no hold
                    // leaves behind shows whether the search emptied it.
                    gLineWords.count = kMaxLineWords;
                    ASAN_POISON_MEMORY_REGION(search.other + setting.otherFrom,
                                              sizeof search.other - setting.otherFrom);
                    ASAN_POISON_MEMORY_REGION(search.caseRule, sizeof search.caseRule);
                    ASAN_POISON_MEMORY_REGION(search.prefixKeep, sizeof search.prefixKeep);
                    ASAN_POISON_MEMORY_REGION(&gLineWords, sizeof gLineWords);
                    CandidateList = nullptr;
                    SearchLine(search, line.bytes.get(), text.size());
                    ASAN_UNPOISON_MEMORY_REGION(&search, sizeof search);
                    ASAN_UNPOISON_MEMORY_REGION(&gLineWords, sizeof gLineWords);
                    EXPECT_EQ(gLineWords.count, kMaxLineWords) << path.name << " " << prefix;
                    gLineWords.count = 0;
                    std::vector<std::string> words;
                    for (const CandidateNode* node = CandidateList; node != nullptr;
                         node = node->nextNode) {
                        words.emplace_back(node->word);
                    }
                    FreeCandidates();
                    CandidateList = nullptr;
                    EXPECT_EQ(words, model.words) << path.name << " " << prefix;
                }
            }
        }
    }
}

#endif

// Under NearestFirst a line longer than a line copy (searched only by tests) holds no more
// words than a copy can: the rest are dropped, short or long, on every path.
TEST_F(LineSearchPaths, NearestFirstHoldsNoMoreWordsThanALineCopyHas) {
    gSettings = {0, 0, 1, 0, 0, 1, 0};
    const std::string longWord = "a" + std::string(40, 'b');
    for (const std::string& word : {std::string("ab"), longWord}) {
        std::string line;
        for (std::size_t i = 0; i < kMaxLineWords + 500; ++i)
            line += word + ' ';
        for (const NamedPath& path : Paths())
            EXPECT_EQ(Found(path.path, line, "a"), std::vector<std::string>{word}) << path.name;
    }
}

// Under NearestFirst a line holds only the words it finds that the list lacks: one that an
// earlier line listed is neither held nor offered again, which would find the same words at
// twice the work. Each held word is offered (and probed) once more, so the hold's high-water
// mark, the first entry a search left as the test filled it, counts that work.
TEST_F(LineSearchPaths, NearestFirstHoldsOnlyTheWordsTheListLacks) {
    gSettings = {0, 0, 1, 0, 0, 1, 0};
    const std::string longWord = "q" + std::string(40, 'x');
    const struct {
        std::string line;
        std::size_t held; // at most: each find of a word not listed before the line
    } lines[] = {{"qa qb qa " + longWord, 4},
                 {"qb " + longWord + " qa qb " + longWord, 0},
                 {"qc qa " + longWord + "y qb", 2}};
    const std::vector<std::string> listed = {longWord, "qa", "qb", longWord + "y", "qc"};
    for (const NamedPath& path : Paths()) {
        char prefix[kPrefixSize] = "q";
        LineSearch search;
        PrepareLineSearch(search, prefix);
        search.path = path.path;
        CandidateList = nullptr;
        for (const auto& [line, held] : lines) {
            std::memset(gLineWords.words, 0xFF, sizeof gLineWords.words);
            const std::string padded = line + std::string(kLinePadding, '\0');
            SearchLine(search, reinterpret_cast<const unsigned char*>(padded.data()), line.size());
            std::size_t used = 0;
            while (used < kMaxLineWords && gLineWords.words[used].bytes[0] != 0xFF)
                ++used;
            EXPECT_LE(used, held) << path.name << ": " << line;
        }
        std::vector<std::string> words;
        for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode)
            words.emplace_back(node->word);
        FreeCandidates();
        CandidateList = nullptr;
        EXPECT_EQ(words, listed) << path.name;
    }
}

// ---- What the candidate index costs ----

// Words that share their first `shared` bytes ('q' and a fixed stem) and differ in the
// `tail` letters after them, drawn from `letters`; each met twice, on lines of words.
struct WordFamily {
    std::size_t shared, tail;
    int distinct;
    std::string letters = "abcdefghijklmnopqrstuvwxyz";
};

std::vector<std::string> FamilyLines(const WordFamily& family) {
    const std::string letters = "qwertyuiopasdfghjklzxcvbnm";
    const std::string stem = (letters + letters + letters).substr(0, family.shared);
    const std::size_t base = family.letters.size();
    std::vector<std::string> lines(1);
    for (int k = 0; k < 2 * family.distinct; ++k) {
        std::string word = stem;
        for (std::size_t i = 0, n = k % family.distinct; i < family.tail; ++i, n /= base)
            word += family.letters[n % base];
        if (lines.back().size() + word.size() >= 1000) lines.emplace_back();
        lines.back() += word + ' ';
    }
    return lines;
}

// What the index does for one listed word, each time the word is offered: the slots it
// visits past the word's home slot, and the full-word comparisons (every slot on the way
// whose hash equals the word's, and the word's own). The index only grows, so every offer
// of a word walks the same slots.
struct IndexCost {
    int words = 0, probes = 0, maxProbes = 0, comparisons = 0;
};

IndexCost CostOfListedWords() {
    IndexCost cost;
    for (std::size_t at = 0; at < kIndexSlots; ++at) {
        const IndexSlot& slot = gCandidateIndex.slots[at];
        if (slot.node == nullptr) continue;
        const std::size_t home = std::uint64_t{slot.hash} * kIndexSlots >> 32; // its share
        const int probes = static_cast<int>((at - home) & (kIndexSlots - 1));
        for (std::size_t k = home; k != at; k = (k + 1) & (kIndexSlots - 1))
            cost.comparisons += gCandidateIndex.slots[k].hash == slot.hash;
        ++cost.words;
        cost.probes += probes;
        cost.comparisons += 1;
        cost.maxProbes = std::max(cost.maxProbes, probes);
    }
    return cost;
}

#if LEXAMUND_HAVE_SSE2_PATH
// The hash of a short word's 32 padded bytes as the vector paths take it, in two registers.
LEXAMUND_SSE2 std::uint32_t HashOfRegisters(const unsigned char* padded) {
    return HashPaddedWord(_mm_load_si128(reinterpret_cast<const __m128i*>(padded)),
                          _mm_load_si128(reinterpret_cast<const __m128i*>(padded + 16)));
}

// A short word's hash is the same from its bytes and from its two registers: under
// NearestFirst the vector paths look a word up with one and the held words are listed
// with the other, so a word that reads differently would be held and probed again.
TEST_F(LineSearchPaths, AShortWordsHashIsTheSameFromBytesAndRegisters) {
    const std::vector<NamedPath> paths = Paths();
    if (std::none_of(paths.begin(), paths.end(),
                     [](const NamedPath& path) { return path.path == SearchLineSse2; })) {
        GTEST_SKIP() << "no SSE2 on this processor";
    }
    Random random{29};
    for (std::size_t length = 1; length <= kMaxShortWordLength; ++length) {
        alignas(16) unsigned char padded[kShortPaddedSize] = {};
        for (std::size_t k = 0; k < length; ++k)
            padded[k] = static_cast<unsigned char>(1 + random.Below(255));
        EXPECT_EQ(HashPaddedWord(padded), HashOfRegisters(padded)) << length;
    }
}
#endif

// Per listed word, the index visits at most 0.47 slots past home on average and 4 at most,
// and compares one word: bounds with room, which a hash that collides (a constant, one
// that ignores some of the word's bytes, or one whose factor drops its top bits) exceeds on
// some family, as does a table of half the slots.
constexpr int kMaxProbesPastHome = 8;
constexpr double kMeanProbesPastHome = 0.6;
constexpr double kMeanComparisons = 1.1;

TEST_F(LineSearchPaths, IndexCostPerWordStaysFlatOnEveryPath) {
    gSettings.numbers = 0;
    // Distinct words that fill the list; 31-letter words that differ in the last; words
    // alike but in three letters at every place up to the 63rd (and at one, Latin letters of
    // either case and Cyrillic ones, which differ from some of them in one bit alone); words
    // short and long that differ only in the case of eight letters, Latin and Cyrillic;
    // words that differ in all four of bytes 4-7, 12-15, 20-23 or 28-31 alone, the high half
    // of the 64-bit fold the hash multiplies (a hash of its low half alone shares their slot).
    std::vector<WordFamily> families = {
        {1, 5, 400},
        {30, 1, 26},
        {7, 3, 149,
         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
         "\xE0\xE1\xE2\xE3\xE4\xE5\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF"},
        {1, 8, 149, "aA"},
        {20, 8, 149, "\xE5\x95"},
        {40, 8, 149, "aA"},
        {52, 8, 149, "\xF0\xF1"},
        {4, 4, 149, "agmt"},
        {12, 4, 149, "agmt"},
        {20, 4, 149, "agmt"},
        {28, 4, 149, "agmt"}};
    for (std::size_t shared = 1; shared + 3 <= kMaxWordLength; ++shared)
        families.push_back({shared, 3, 149});
    // Case as it matters, and ignored with the prefix typed as a capital, so that every
    // word's text is made in the typed case (the capital, then the rest as found).
    const struct {
        std::uint32_t ignoreCase;
        char prefix[kPrefixSize];
    } settings[] = {{0, "q"}, {1, "Q"}};
    LineSearch search;
    for (const auto& setting : settings) {
        gSettings.ignoreCase = setting.ignoreCase;
        for (const WordFamily& family : families) {
            for (const NamedPath& path : Paths()) {
                CandidateList = nullptr;
                SyncCandidateIndex();
                PrepareLineSearch(search, setting.prefix);
                for (const std::string& line : FamilyLines(family)) {
                    const std::string padded = line + std::string(kLinePadding, '\0');
                    path.path(search, reinterpret_cast<const unsigned char*>(padded.data()),
                              line.size());
                }
                const IndexCost cost = CostOfListedWords();
                const char first = CandidateList == nullptr ? 0 : CandidateList->word[0];
                FreeCandidates();
                CandidateList = nullptr;
                const std::string where = std::to_string(family.shared) + " bytes alike, " +
                                          family.letters.substr(0, 3) + "..., " + path.name +
                                          ", prefix " + setting.prefix;
                ASSERT_EQ(cost.words, std::min(family.distinct, kMaxMenuItems)) << where;
                EXPECT_EQ(first, setting.prefix[0]) << where;
                EXPECT_LE(cost.maxProbes, kMaxProbesPastHome) << where;
                EXPECT_LE(cost.probes, kMeanProbesPastHome * cost.words) << where;
                EXPECT_LE(cost.comparisons, kMeanComparisons * cost.words) << where;
            }
        }
    }
}

// The index's hash of a word, short or long, as its padded bytes give it.
std::uint32_t HashOfWord(const std::string& word) {
    PaddedWord padded = {};
    word.copy(reinterpret_cast<char*>(padded.bytes), kMaxWordLength);
    return IsLongWord(padded.bytes) ? HashLongWord(padded.bytes) : HashPaddedWord(padded.bytes);
}

// Two different words of the same hash are both listed, in order, on every path, as found and
// held back: a comparison that skips a part of the word takes the second for the first. The
// pairs come from a birthday search: a fixed stem and seven random letters, hashed until two
// hashes met (a few hundred thousand words); they differ in the first 16 bytes, the second
// 16, the first 32 and the second 32.
TEST_F(LineSearchPaths, WordsOfOneHashAreBothListed) {
    const std::string stem16 = "qwertyuiopasdfgh", w39(39, 'w'), w40(40, 'w');
    const std::pair<std::string, std::string> pairs[] = {
        {"qvrlggkt", "qbmqgkqq"},
        {stem16 + "cpbhhme", stem16 + "cpcyhmx"},
        {"qkqrdobf" + w40, "qdakxjfb" + w40},
        {"q" + w39 + "rqdmexo", "q" + w39 + "afgenca"}};
    for (const auto& [first, second] : pairs) {
        ASSERT_EQ(HashOfWord(first), HashOfWord(second)) << first << ": the hash has changed";
        std::string line;
        for (int twice = 0; twice < 2; ++twice)
            line.append(first).append(" ").append(second).append(" ");
        for (const std::uint32_t nearest : {0u, 1u}) {
            gSettings = {0, 0, 1, 0, 0, nearest, 0};
            const std::vector<std::string> expected = nearest != 0
                                                          ? std::vector<std::string>{second, first}
                                                          : std::vector<std::string>{first, second};
            for (const NamedPath& path : Paths())
                EXPECT_EQ(Found(path.path, line, "q"), expected) << path.name << ", " << first;
        }
    }
}

// ---- The cap on the path: LEXAMUND_SIMD ----

// Sets the variable in this process's environment, or removes it (value null).
void SetSimdVariable(const char* value) {
#ifdef _WIN32
    SetEnvironmentVariableA(kSimdVariable, value);
#else
    if (value == nullptr) unsetenv(kSimdVariable);
    if (value != nullptr) setenv(kSimdVariable, value, 1);
#endif
}

// The path the first search of a process picks with the variable set to value.
LineSearchPath PathPickedWith(const char* value) {
    SetSimdVariable(value);
    gLineSearchPath = nullptr;
    LineSearch search;
    PrepareLineSearch(search, "a");
    const LineSearchPath picked = gLineSearchPath;
    gLineSearchPath = nullptr;
    return picked;
}

// The values a user may type, and what anything else means, read by the first search
// from the environment through the platform table; the processor still decides what runs
// within the cap. Values longer than the plug-in reads are not copied: they mean None.
TEST(LineSearchCap, FirstSearchPicksWithinTheCap) {
    const char* inherited = std::getenv(kSimdVariable);
    const std::string kept = inherited == nullptr ? "" : inherited;
    const std::pair<const char*, SimdCap> values[] = {
        {nullptr, SimdCap::Any},  {"", SimdCap::Any},
        {"avx2", SimdCap::Avx2},  {"AVX2", SimdCap::Avx2},
        {"Avx2", SimdCap::Avx2},  {"sse2", SimdCap::Sse2},
        {"SSE2", SimdCap::Sse2},  {"none", SimdCap::None},
        {"NONE", SimdCap::None},  {"avx", SimdCap::None},
        {"avx2 ", SimdCap::None}, {"sse22", SimdCap::None},
        {"1", SimdCap::None},     {"avx2-and-more", SimdCap::None}};
    for (const auto& [value, cap] : values) {
        EXPECT_EQ(PathPickedWith(value), FastestLineSearchPath(cap))
            << (value == nullptr ? "unset" : value);
    }
    SetSimdVariable(inherited == nullptr ? nullptr : kept.c_str());
    EXPECT_EQ(FastestLineSearchPath(SimdCap::None), SearchLinePlain);
}

#if LEXAMUND_HAVE_SSE2_PATH

// ---- The processor's report and the path it allows ----

constexpr std::uint32_t kFaults = 0xFFFFFFFF; // xgetbv is an illegal instruction here

// A processor and system as cpuid and xgetbv answer there. leaf7Ebx is what cpuid answers
// for leaf 7, also where that is above the highest leaf (Intel then answers with the highest
// leaf's data, AMD with zeros).
struct ProcessorRow {
    const char* name;
    std::uint32_t highestLeaf, leaf1Ecx, leaf1Edx, leaf7Ebx, xcr0;
    SimdCap fastest; // the fastest path it runs, as a cap
};

const ProcessorRow kProcessors[] = {
    {"Pentium III", 2, 0x00000000, 0x0383FBFF, 0x00000000, kFaults, SimdCap::None},
    {"Pentium 4 (Prescott)", 5, 0x0000441D, 0xBFEBFBFF, 0x00000040, kFaults, SimdCap::Sse2},
    {"Core 2 Duo, firmware's cpuid limit (highest leaf 2)", 2, 0x0000E3BD, 0xBFEBFBFF, 0x005657F0,
     kFaults, SimdCap::Sse2},
    {"Core i7-2600 (Sandy Bridge: AVX, no AVX2)", 0xD, 0x1FBAE3FF, 0xBFEBFBFF, 0x00000000, 7,
     SimdCap::Sse2},
    {"Sandy Bridge, firmware's cpuid limit (leaf 2's data for leaf 7)", 2, 0x1FBAE3FF, 0xBFEBFBFF,
     0x00F0B0FF, 7, SimdCap::Sse2},
    {"Core i7-4770 (Haswell)", 0xD, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 7, SimdCap::Avx2},
    {"Haswell, hypervisor answering leaves up to 7", 7, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 7,
     SimdCap::Avx2},
    {"Ryzen 7 1700 (Zen)", 0xD, 0x7ED8320B, 0x178BFBFF, 0x209C01A9, 7, SimdCap::Avx2},
    {"Haswell under Windows XP, or 7 before SP1 (no OSXSAVE)", 0xD, 0x77FAFBFF, 0xBFEBFBFF,
     0x000027AB, kFaults, SimdCap::Sse2},
    {"Haswell, system saving SSE state only (XCR0 = 3)", 0xD, 0x7FFAFBFF, 0xBFEBFBFF, 0x000027AB, 3,
     SimdCap::Sse2},
    {"Haswell, hypervisor hiding AVX", 0xD, 0x6FFAFBFF, 0xBFEBFBFF, 0x000027AB, 7, SimdCap::Sse2},
};

const ProcessorRow* gProcessor = nullptr; // the row the stand-in instructions answer for
bool gXgetbvFaulted = false;

void StandInCpuid(std::uint32_t leaf, std::uint32_t registers[4]) {
    const ProcessorRow& row = *gProcessor;
    const std::uint32_t answers[][4] = {{row.highestLeaf, 0, 0, 0},
                                        {0, 0, row.leaf1Ecx, row.leaf1Edx},
                                        {0, row.leaf7Ebx, 0, 0},
                                        {0, 0, 0, 0}};
    const std::size_t which = leaf == 0 ? 0 : leaf == 1 ? 1 : leaf == 7 ? 2 : 3;
    std::memcpy(registers, answers[which], sizeof answers[which]);
}

std::uint32_t StandInXcr0() {
    gXgetbvFaulted = gXgetbvFaulted || gProcessor->xcr0 == kFaults;
    return gProcessor->xcr0;
}

const char* PathName(LineSearchPath path) {
    return path == SearchLineAvx2 ? "avx2" : path == SearchLineSse2 ? "sse2" : "plain";
}

// Each system under each cap: the fastest path it runs, no further than the cap, and never
// an xgetbv where the system has not enabled it.
TEST(ProcessorChoice, RealSystemsUnderEveryCap) {
    const ProcessorInstructions standIn = {StandInCpuid, StandInXcr0};
    const LineSearchPath byCap[] = {SearchLinePlain, SearchLineSse2, SearchLineAvx2};
    for (const ProcessorRow& row : kProcessors) {
        gProcessor = &row;
        gXgetbvFaulted = false;
        const ProcessorReport report = ReadProcessorReport(standIn);
        EXPECT_FALSE(gXgetbvFaulted) << row.name << ": xgetbv without OSXSAVE";
        for (const SimdCap cap : {SimdCap::None, SimdCap::Sse2, SimdCap::Avx2, SimdCap::Any}) {
            const SimdCap allowed = std::min(cap, row.fastest);
            EXPECT_STREQ(PathName(ChooseLineSearchPath(report, cap)),
                         PathName(byCap[static_cast<int>(allowed)]))
                << row.name << ", cap " << static_cast<int>(cap);
        }
    }
}

// Read with the real instructions, this machine's report allows what the compiler's own
// run-time says the processor and system run.
TEST(ProcessorChoice, ThisMachineAsTheCompilersRunTimeSeesIt) {
    EXPECT_EQ(FastestLineSearchPath() == SearchLineAvx2, __builtin_cpu_supports("avx2") != 0);
    EXPECT_EQ(FastestLineSearchPath(SimdCap::Sse2) == SearchLineSse2,
              __builtin_cpu_supports("sse2") != 0);
}

#endif

} // namespace
