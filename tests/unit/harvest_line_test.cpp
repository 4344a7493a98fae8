// The line search and the list of distinct candidate words.
#include "engine/engine.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::uint32_t> gBeeps;
int gAllocations = 0;
int gFailAllocation = -1; // the allocation (counted from 0) that fails; -1 for none
int gReleases = 0;

std::int32_t RecordBeep(std::uint32_t type) {
    gBeeps.push_back(type);
    return 1;
}

void* CountedAllocate(std::size_t size) {
    return gAllocations++ == gFailAllocation ? nullptr : kDefaultPlatform.allocate(size);
}

void CountedRelease(void* block) {
    ++gReleases;
    kDefaultPlatform.release(block);
}

class Candidates : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = gSettings;
        gSettings = {0, 0, 1, 0};
        gPlatform.messageBeep = RecordBeep;
        gPlatform.allocate = CountedAllocate;
        gPlatform.release = CountedRelease;
        gBeeps.clear();
        gAllocations = gReleases = 0;
        gFailAllocation = -1;
        CandidateList = nullptr;
    }

    void TearDown() override {
        FreeCandidates();
        CandidateList = nullptr;
        gPlatform = kDefaultPlatform;
        gSettings = saved_;
    }

    // The words of the list, in order.
    static std::vector<std::string> List() {
        std::vector<std::string> words;
        for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode) {
            words.emplace_back(node->word, strnlen(node->word, sizeof node->word));
        }
        return words;
    }

    // The words one line yields for prefix, on an empty list.
    static std::vector<std::string> Harvest(const std::string& line, const std::string& prefix) {
        FreeCandidates();
        CandidateList = nullptr;
        char buffer[kPrefixSize] = {};
        prefix.copy(buffer, sizeof buffer);
        HarvestLine(line.c_str(), buffer);
        return List();
    }

  private:
    CompletionSettings saved_{};
};

using Words = std::vector<std::string>;

// ---- HarvestLine ----

TEST_F(Candidates, WordStartsWithNumbersOff) {
    EXPECT_EQ(Harvest("print pri", "pri"), Words{"print"});
    EXPECT_EQ(Harvest("x1abc", "ab"), Words{"abc"});
    EXPECT_EQ(Harvest("ab1ab2", "ab"), (Words{"ab1ab2", "ab2"}));
    EXPECT_EQ(Harvest("ab12", "ab"), Words{"ab12"});
    EXPECT_EQ(Harvest("get_value", "ge"), Words{"get"});
    EXPECT_EQ(Harvest("get_value", "va"), Words{"value"});
    EXPECT_EQ(Harvest("subtotal", "tot"), Words{});
    EXPECT_EQ(Harvest("aaaa", "aa"), Words{"aaaa"});
    EXPECT_EQ(Harvest("About ABC aBout", "ab"), Words{});
    EXPECT_EQ(Harvest("abc", "abc"), Words{});
    EXPECT_EQ(Harvest("", "ab"), Words{});
    EXPECT_EQ(Harvest("a", "ab"), Words{});
}

TEST_F(Candidates, WordStartsWithNumbersOn) {
    gSettings.numbers = 1;
    EXPECT_EQ(Harvest("x1abc", "ab"), Words{});
    EXPECT_EQ(Harvest("ab1ab2", "ab"), Words{"ab1ab2"});
    EXPECT_EQ(Harvest("ab12", "ab"), Words{"ab12"});
    EXPECT_EQ(Harvest("get_value", "ge"), Words{"get"});
    EXPECT_EQ(Harvest("get_value", "va"), Words{});
    EXPECT_EQ(Harvest("_ab _abc", "_ab"), Words{}); // '_' is never part of a taken word
    EXPECT_EQ(Harvest("9ab 9abc", "9ab"), Words{"9abc"});
}

TEST_F(Candidates, HighBytesBeforeAnOccurrenceAreWordCharacters) {
    for (unsigned b = 0x80; b < 0x100; ++b) {
        const std::string line = std::string(1, static_cast<char>(b)) + "abc";
        EXPECT_EQ(Harvest(line, "ab"), Words{}) << "byte " << b;
    }
    EXPECT_EQ(Harvest("\x01"
                      "abc\x7F"
                      "abd",
                      "ab"),
              (Words{"abc", "abd"}));
}

TEST_F(Candidates, TheWordTakenIsARunOfLettersDigitsAndCyrillic) {
    // Cyrillic in code page 866: 0x80-0xAF and 0xE0-0xEF belong; 0xB0-0xDF, 0xF0-0xFF end.
    EXPECT_EQ(Harvest("ab\x80\x9F\xA0\xAF\xE0\xEF", "ab"), Words{"ab\x80\x9F\xA0\xAF\xE0\xEF"});
    EXPECT_EQ(Harvest("abc\xB0x abd\xDFx abe\xF0x abf\xFFx", "ab"),
              (Words{"abc", "abd", "abe", "abf"}));
    EXPECT_EQ(Harvest("abZ9z_q abY-", "ab"), (Words{"abZ9z", "abY"}));
    // A prefix holding a byte outside the run never yields a word.
    EXPECT_EQ(Harvest("a\xB0xyz a\xB0", "a\xB0"), Words{});
    EXPECT_EQ(Harvest("\xF1\xA0\xA1", "\xF1"), Words{});
}

TEST_F(Candidates, LongWordsAreCutTo31Characters) {
    const std::string forty = "ab" + std::string(38, 'q');
    EXPECT_EQ(Harvest(forty, "ab"), Words{forty.substr(0, 31)});
    // Two words alike in their first 31 characters are one candidate.
    EXPECT_EQ(Harvest(forty + " " + forty.substr(0, 31) + "xyz", "ab"), Words{forty.substr(0, 31)});
    // A 31-character prefix can have no longer word, nor can a full 32-byte one.
    EXPECT_EQ(Harvest(forty, forty.substr(0, 31)), Words{});
    EXPECT_EQ(Harvest(forty, forty.substr(0, 32)), Words{});
    EXPECT_EQ(Harvest(forty, forty.substr(0, 30)), Words{forty.substr(0, 31)});
}

TEST_F(Candidates, OrderOfDiscoveryAcrossLines) {
    CandidateList = nullptr;
    const char prefix[kPrefixSize] = "ab";
    for (const char* line : {"abx aby", "", "aby abz abx", "abw"})
        HarvestLine(line, prefix);
    EXPECT_EQ(List(), (Words{"abx", "aby", "abz", "abw"}));
}

// ---- AddCandidate ----

TEST_F(Candidates, AddCandidateKeepsLongerDistinctWordsWithThePrefix) {
    const char prefix[kPrefixSize] = "ab";
    for (const char* word : {"abc", "ab", "a", "abc", "Abd", "xabd", "abd", "abcd", "abd"}) {
        AddCandidate(word, prefix);
    }
    EXPECT_EQ(List(), (Words{"abc", "abd", "abcd"}));
    EXPECT_EQ(gAllocations, 3);
}

// A list the candidate index has not seen (its head set from outside) is indexed as it
// stands: its words count as listed, and new ones go behind its last node.
TEST_F(Candidates, AddCandidateTakesUpAListBuiltElsewhere) {
    const char prefix[kPrefixSize] = "ab";
    CandidateNode* tail = nullptr;
    for (const char* word : {"abc", "abd", "abc"}) {
        auto* node = static_cast<CandidateNode*>(CountedAllocate(sizeof(CandidateNode)));
        std::memset(node, 0, sizeof *node);
        std::strcpy(node->word, word);
        (tail == nullptr ? CandidateList : tail->nextNode) = node;
        tail = node;
    }
    for (const char* word : {"abd", "abe", "abc", "abe"}) {
        AddCandidate(word, prefix);
    }
    EXPECT_EQ(List(), (Words{"abc", "abd", "abc", "abe"}));
    EXPECT_EQ(gAllocations, 4);
}

TEST_F(Candidates, AddCandidateNeverStoresAWordLongerThan31) {
    const char prefix[kPrefixSize] = "ab";
    const std::string forty = "ab" + std::string(38, 'q');
    AddCandidate(forty.c_str(), prefix);
    for (const std::string& word : List())
        EXPECT_LE(word.size(), 31u);
    for (const CandidateNode* node = CandidateList; node != nullptr; node = node->nextNode) {
        EXPECT_EQ(node->word[kMaxWordLength], 0);
    }
}

TEST_F(Candidates, DuplicatesAreFoundAmongManyWords) {
    const char prefix[kPrefixSize] = "w";
    std::vector<std::string> words;
    words.reserve(150);
    for (int i = 0; i < 149; ++i)
        words.push_back("w" + std::to_string(i * 7919));
    for (const std::string& word : words)
        AddCandidate(word.c_str(), prefix);
    for (const std::string& word : words)
        AddCandidate(word.c_str(), prefix);
    EXPECT_EQ(List(), words);
    AddCandidate("wlast", prefix);
    AddCandidate(words[0].c_str(), prefix);
    words.push_back("wlast");
    EXPECT_EQ(List(), words);
}

TEST_F(Candidates, TheFirst150WordsStayInOrderHoweverManyFollow) {
    const char prefix[kPrefixSize] = "w";
    std::vector<std::string> words;
    words.reserve(400);
    for (int i = 0; i < 400; ++i)
        words.push_back("w" + std::to_string(i));
    for (const std::string& word : words)
        AddCandidate(word.c_str(), prefix);
    const Words list = List();
    ASSERT_GE(list.size(), 150u);
    EXPECT_EQ(Words(list.begin(), list.begin() + 150), Words(words.begin(), words.begin() + 150));
}

TEST_F(Candidates, FailedAllocationCostsTheWordAndTwoBeeps) {
    const char prefix[kPrefixSize] = "ab";
    gFailAllocation = 1;
    for (const char* word : {"abc", "abd", "abe", "abd"})
        AddCandidate(word, prefix);
    EXPECT_EQ(List(), (Words{"abc", "abe", "abd"}));
    EXPECT_EQ(gBeeps, (std::vector<std::uint32_t>{0x10, 0x10}));
}

TEST_F(Candidates, FailedFirstAllocationLeavesTheListEmpty) {
    const char prefix[kPrefixSize] = "ab";
    gFailAllocation = 0;
    AddCandidate("abc", prefix);
    EXPECT_EQ(CandidateList, nullptr);
    AddCandidate("abd", prefix);
    EXPECT_EQ(List(), Words{"abd"});
}

TEST_F(Candidates, FreeCandidatesReleasesEveryNodeButNotTheHead) {
    const char prefix[kPrefixSize] = "ab";
    for (const char* word : {"abc", "abd", "abe"})
        AddCandidate(word, prefix);
    const CandidateNode* head = CandidateList;
    FreeCandidates();
    EXPECT_EQ(gReleases, 3);
    EXPECT_EQ(CandidateList, head);
    CandidateList = nullptr;
    // A fresh list after the release starts empty, whatever addresses it gets.
    for (const char* word : {"abe", "abc"})
        AddCandidate(word, prefix);
    EXPECT_EQ(List(), (Words{"abe", "abc"}));
}

} // namespace
