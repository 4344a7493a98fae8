// The fixture every scenario test starts from: a fresh test host with the plug-in started.
#pragma once

#include "tests/scenario/plugin_under_test.h"

#include <gtest/gtest.h>

class Scenario : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSettings(host.pluginKey);
        RouteBeeps();
        host.Start(PluginUnderTest());
        host.ClearRecord();
    }

    // Sets the document, puts the cursor at the end of line `line`, and presses Ctrl+Space.
    std::int32_t CompleteAtEnd(const std::vector<std::string>& text, std::int32_t line) {
        host.SetText(text, line, 0);
        host.CursorAtEnd(line);
        return host.PressCtrlSpace();
    }

    TestHost host;
};
