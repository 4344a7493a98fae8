// Entry points called before SetStartupInfo, in a process of their own: the plug-in is
// still as loaded, with no host services to call.
#include "tests/scenario/plugin_under_test.h"

#include <gtest/gtest.h>

namespace {

// One test only: the state it checks exists once per process, before the first start-up.
TEST(BeforeStartup, EntryPointsDoNoHarmAndStartUpStillWorks) {
    TestHost host;
    RouteBeeps();
    host.plugin = PluginUnderTest();
    host.SetText({"abc", "ab"}, 1, 2);

    EXPECT_EQ(host.PressCtrlSpace(), 0);
    EXPECT_EQ(host.Send(KeyEvent(true, 'A', 0, 'a')), 0);
    PluginInfoRecord info = {};
    host.plugin.getPluginInfo(&info);
    EXPECT_EQ(info.structSize, 40u);
    EXPECT_EQ(host.plugin.openPlugin(0, 0), -1);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(host.beeps.empty());
    EXPECT_EQ(host.lines[1], "ab");

    host.Start(PluginUnderTest());
    EXPECT_EQ(host.PressCtrlSpace(), 1);
    EXPECT_EQ(host.lines[1], "abc");
}

} // namespace
