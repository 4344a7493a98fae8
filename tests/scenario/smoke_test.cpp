// The plug-in completes a word end to end through the host interface.
#include "tests/scenario/scenario_fixture.h"

namespace {

TEST_F(Scenario, SingleCandidateIsInsertedWithoutMenu) {
    EXPECT_EQ(CompleteAtEnd({"hello world", "he"}, 1), 1);
    EXPECT_EQ(host.lines[1], "hello");
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(host.CountOf(CallKind::Redraw), 1u);
}

TEST_F(Scenario, NothingFoundBeepsOnce) {
    EXPECT_EQ(CompleteAtEnd({"xyz", "ab"}, 1), 1);
    EXPECT_EQ(host.beeps, std::vector<std::uint32_t>{0x40});
}

} // namespace
