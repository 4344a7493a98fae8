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
        gSettings = {0, 0, 1, 0, 0, 0, 0};
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
using namespace std::string_literals;

// ---- HarvestLine ----

TEST_F(Candidates, OrderOfDiscoveryAcrossLines) {
    CandidateList = nullptr;
    const char prefix[kPrefixSize] = "ab";
    for (const char* line : {"abx aby", "", "aby abz abx", "abw"})
        HarvestLine(line, prefix);
    EXPECT_EQ(List(), (Words{"abx", "aby", "abz", "abw"}));
}

// ---- The list ----

TEST_F(Candidates, DuplicatesAreFoundAmongManyWords) {
    Words lines(2), words;
    for (int i = 0; i < 149; ++i)
        lines[i % 2] += "w" + std::to_string(i * 7919) + " ";
    for (int i = 0; i < 149; i += 2)
        words.push_back("w" + std::to_string(i * 7919));
    for (int i = 1; i < 149; i += 2)
        words.push_back("w" + std::to_string(i * 7919));
    words.push_back("wlast");
    CandidateList = nullptr;
    const char prefix[kPrefixSize] = "w";
    for (const std::string& line : {lines[0], lines[1], lines[1], lines[0], "wlast w0"s})
        HarvestLine(line.c_str(), prefix);
    EXPECT_EQ(List(), words);
}

// A failed allocation costs its word and two beeps; the words after it are listed as usual.
TEST_F(Candidates, FailedAllocationCostsTheWordAndTwoBeeps) {
    const struct {
        int failing;
        const char* line;
        Words list;
    } cases[] = {
        {1, "abc abd abe abd", {"abc", "abe", "abd"}},
        {0, "abc abd", {"abd"}},
    };
    for (const auto& c : cases) {
        gFailAllocation = c.failing;
        gAllocations = 0;
        gBeeps.clear();
        EXPECT_EQ(Harvest(c.line, "ab"), c.list) << c.line;
        EXPECT_EQ(gBeeps, (std::vector<std::uint32_t>{0x10, 0x10})) << c.line;
    }
}

TEST_F(Candidates, FreeCandidatesReleasesEveryNodeButNotTheHead) {
    EXPECT_EQ(Harvest("abc abd abe", "ab").size(), 3u);
    const CandidateNode* head = CandidateList;
    FreeCandidates();
    EXPECT_EQ(gReleases, 3);
    EXPECT_EQ(CandidateList, head);
    CandidateList = nullptr;
    // A fresh list after the release starts empty, whatever addresses it gets.
    EXPECT_EQ(Harvest("abe abc", "ab"), (Words{"abe", "abc"}));
}

} // namespace
