// The fixture every scenario test starts from: a fresh test host with the plug-in started.
#pragma once

#include "tests/scenario/plugin_under_test.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// The seven options in the order of the settings dialog's check boxes, defaults first.
struct Options {
    std::uint32_t space = 0;
    std::uint32_t menu1 = 0;
    std::uint32_t sound = 1;
    std::uint32_t numbers = 0;
    std::uint32_t ignoreCase = 0;
    std::uint32_t nearestFirst = 0;
    std::uint32_t allAbove = 0;
};

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

    // Sets the document, puts the cursor at (line, column), and presses Ctrl+Space.
    std::int32_t CompleteAt(const std::vector<std::string>& text, std::int32_t line,
                            std::int32_t column) {
        host.SetText(text, line, column);
        return host.PressCtrlSpace();
    }

    // Sets the seven options as a user would: through the plug-in's settings dialog,
    // ticking the check boxes in their order and closing with the default button. False
    // when no dialog was shown.
    bool UseOptions(const Options& options) {
        host.dialogAnswer = [&options](DialogItemRecord* items, std::int32_t count) {
            const std::uint32_t values[] = {
                options.space,      options.menu1,        options.sound,   options.numbers,
                options.ignoreCase, options.nearestFirst, options.allAbove};
            std::int32_t confirm = -1;
            std::size_t boxes = 0;
            for (std::int32_t i = 0; i < count; ++i) {
                if (items[i].type == kDialogCheckBox && boxes < std::size(values)) {
                    items[i].selected = static_cast<std::int32_t>(values[boxes++]);
                }
                if (items[i].type == kDialogButton && items[i].defaultButton != 0) confirm = i;
            }
            return confirm;
        };
        host.plugin.openPlugin(0, 0);
        host.dialogAnswer = nullptr;
        const bool shown = !host.dialogs.empty();
        host.ClearRecord();
        return shown;
    }

    // The kinds of the recorded calls, in order.
    std::vector<CallKind> Kinds() const {
        std::vector<CallKind> kinds;
        for (const HostCall& call : host.calls)
            kinds.push_back(call.kind);
        return kinds;
    }

    // The arguments of every SetPosition call, in order.
    std::vector<std::vector<std::int64_t>> Positions() const {
        std::vector<std::vector<std::int64_t>> positions;
        for (const HostCall& call : host.calls) {
            if (call.kind == CallKind::SetPosition) positions.push_back(call.args);
        }
        return positions;
    }

    // The texts handed to InsertText, in order.
    std::vector<std::string> Inserted() const {
        std::vector<std::string> texts;
        for (const HostCall& call : host.calls) {
            if (call.kind == CallKind::InsertText) texts.push_back(call.text);
        }
        return texts;
    }

    // The labels of the only menu shown; fails the test when there was not exactly one.
    std::vector<std::string> OnlyMenuLabels() const {
        EXPECT_EQ(host.menus.size(), 1u);
        return host.menus.empty() ? std::vector<std::string>{} : host.menus[0].labels;
    }

    TestHost host;
};
