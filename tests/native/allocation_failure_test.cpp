// A candidate node that cannot be allocated costs its word and two beeps, nothing else.
//
// Runs on the linked plug-in only: the node allocation is reached through the platform
// table, which these tests make fail on the k-th call while they track every block.
#include "platform/platform.h"
#include "testhost/plugin_loader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

// ---- A heap that fails on one chosen call ----

struct FailingHeap {
    int calls = 0;
    int failAt = 0; // 1-based call that returns null; 0 for none
    std::set<void*> live;
};
FailingHeap gHeap;

void* FailingAllocate(std::size_t size) {
    if (++gHeap.calls == gHeap.failAt) return nullptr;
    void* block = std::malloc(size);
    gHeap.live.insert(block);
    return block;
}

void TrackedRelease(void* block) {
    EXPECT_EQ(gHeap.live.erase(block), 1u) << "released a block it did not allocate";
    std::free(block);
}

// ---- The document ----

// count distinct words "ab" + three letters, several per line, each met once.
std::vector<std::string> DistinctWords(int count) {
    std::vector<std::string> words;
    words.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        words.push_back(std::string("ab") + static_cast<char>('a' + i / 26 % 26) +
                        static_cast<char>('a' + i % 26) + static_cast<char>('a' + i / 676));
    }
    return words;
}

// Lines holding the words in order, four to a line, with the cursor's line "ab" last.
std::vector<std::string> Document(const std::vector<std::string>& words) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < words.size(); i += 4) {
        std::string line;
        for (std::size_t j = i; j < words.size() && j < i + 4; ++j)
            line += words[j] + " + ";
        lines.push_back(line);
    }
    lines.push_back("x = ab");
    return lines;
}

class AllocationFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        gHeap = {};
        host.Start(LinkedPlugin());
        gPlatform.messageBeep = &TestHost::RecordBeep;
        gPlatform.allocate = FailingAllocate;
        gPlatform.release = TrackedRelease;
        host.menuAnswer = [](const MenuShown& menu) {
            return static_cast<std::int32_t>(menu.labels.size()) - 1;
        };
    }
    void TearDown() override { gPlatform = kDefaultPlatform; }

    // Runs one request on the document with the k-th allocation failing.
    void RequestFailingAt(const std::vector<std::string>& lines, int k) {
        gHeap = {};
        gHeap.failAt = k;
        host.ClearRecord();
        host.SetText(lines, static_cast<std::int32_t>(lines.size()) - 1, 0);
        host.CursorAtEnd(host.cursorLine);
        ASSERT_EQ(host.PressCtrlSpace(), 1);
    }

    // The words of the menu's labels, lead-in dropped.
    std::vector<std::string> MenuWords() const {
        std::vector<std::string> words;
        if (host.menus.size() != 1) return words;
        for (const std::string& label : host.menus[0].labels) {
            words.push_back(label.substr(label[0] == '&' ? 3 : 2));
        }
        return words;
    }

    TestHost host;
};

// Every k: the k-th word is missing, the others keep their order, the last menu item is
// still inserted, two beeps of 0x10, and every node made is released.
TEST_F(AllocationFailure, EachFailedWordCostsExactlyThatWordAndTwoBeeps) {
    const std::vector<std::string> words = DistinctWords(40);
    const std::vector<std::string> lines = Document(words);
    for (int k = 1; k <= static_cast<int>(words.size()); ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k) + " fails");
        RequestFailingAt(lines, k);
        std::vector<std::string> expected = words;
        expected.erase(expected.begin() + (k - 1));
        EXPECT_EQ(MenuWords(), expected);
        EXPECT_EQ(host.beeps, (std::vector<std::uint32_t>{0x10, 0x10}));
        EXPECT_EQ(host.lines.back(), "x = " + expected.back());
        EXPECT_EQ(gHeap.calls, static_cast<int>(words.size()));
        EXPECT_TRUE(gHeap.live.empty());
    }
}

// The beeps come while the harvest runs, before any menu.
TEST_F(AllocationFailure, BeepsComeDuringTheHarvest) {
    RequestFailingAt(Document(DistinctWords(3)), 2);
    const auto beeps = host.CallsOf(CallKind::Beep);
    const auto menus = host.CallsOf(CallKind::ShowMenu);
    ASSERT_EQ(beeps.size(), 2u);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_LT(beeps[1], menus[0]);
    EXPECT_LT(beeps[0], host.CallsOf(CallKind::SetPosition).back());
}

// A dropped word that is met again later is listed where it is met again.
TEST_F(AllocationFailure, ADroppedWordMetAgainIsListedAtItsLaterPlace) {
    std::vector<std::string> lines = {"abc abd", "abe abc", "x = ab"};
    RequestFailingAt(lines, 1);
    EXPECT_EQ(MenuWords(), (std::vector<std::string>{"abd", "abe", "abc"}));
    EXPECT_EQ(host.beeps, (std::vector<std::uint32_t>{0x10, 0x10}));
    EXPECT_TRUE(gHeap.live.empty());
}

// The only word fails: the list is empty, so the request ends like one that found nothing.
TEST_F(AllocationFailure, TheOnlyWordFailingEndsLikeNothingFound) {
    RequestFailingAt({"abc", "x = ab"}, 1);
    EXPECT_EQ(host.beeps, (std::vector<std::uint32_t>{0x10, 0x10, 0x40}));
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.CountOf(CallKind::InsertText), 0u);
    EXPECT_EQ(host.lines.back(), "x = ab");
}

// A single word left after a failure is inserted without a menu.
TEST_F(AllocationFailure, OneWordLeftIsInsertedWithoutAMenu) {
    RequestFailingAt({"abc abd", "x = ab"}, 1);
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.lines.back(), "x = abd");
    EXPECT_EQ(host.beeps, (std::vector<std::uint32_t>{0x10, 0x10}));
    EXPECT_TRUE(gHeap.live.empty());
}

// More words than the menu shows: a failure among the first 150 lets the 151st word in;
// words past the menu's reach are never allocated, so they cannot fail. Every node made
// is released either way.
TEST_F(AllocationFailure, MoreWordsThanTheMenuShows) {
    const std::vector<std::string> words = DistinctWords(160);
    const std::vector<std::string> lines = Document(words);
    for (int k = 1; k <= static_cast<int>(words.size()); ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k) + " fails");
        RequestFailingAt(lines, k);
        std::vector<std::string> expected = words;
        if (k <= 150) expected.erase(expected.begin() + (k - 1));
        expected.resize(150);
        EXPECT_EQ(MenuWords(), expected);
        EXPECT_EQ(host.beeps.size(), k <= 150 ? 2u : 0u);
        EXPECT_EQ(host.lines.back(), "x = " + expected.back());
        EXPECT_TRUE(gHeap.live.empty());
    }
}

} // namespace
