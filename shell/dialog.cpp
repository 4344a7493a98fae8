// The settings dialog: the seven options as check boxes, saved on the default button.
#include "engine/engine.h"
#include "host/host.h"
#include "shell/settings.h"

#include <cstring>

namespace {

constexpr int kDialogItems = 10;
constexpr std::int32_t kDialogWidth = 40;
constexpr std::int32_t kDialogHeight = 14;
constexpr std::int32_t kConfirmItem = 8; // RunDialog's result for the default button

// The dialog as constant data: each item's message number, then the items with empty
// texts and clear check boxes. Each call works on a fresh copy.
struct DialogTemplate {
    std::int32_t messages[kDialogItems];
    DialogItemRecord items[kDialogItems];
};

constexpr DialogTemplate kSettingsDialog = {
    {kMsgPluginName, kMsgSpaceLabel, kMsgMenu1Label, kMsgSoundLabel, kMsgNumbersLabel,
     kMsgIgnoreCaseLabel, kMsgNearestFirstLabel, kMsgAllAboveLabel, kMsgConfirmButton,
     kMsgSecondButton},
    {
        {kDialogFrameBox, 1, 1, 38, 12, 0, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 3, 0, 0, 1, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 4, 0, 0, 0, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 5, 0, 0, 0, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 6, 0, 0, 0, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 7, 0, 0, 0, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 8, 0, 0, 0, 0, 0, 0, {}},
        {kDialogCheckBox, 3, 9, 0, 0, 0, 0, 0, 0, {}},
        {kDialogButton, 0, 11, 0, 0, 0, 0, kDialogButtonRow, 1, {}},
        {kDialogButton, 0, 11, 0, 0, 0, 0, kDialogButtonRow, 0, {}},
    }};

// The check box items of Space, Menu1, Sound, Numbers, IgnoreCase, NearestFirst and
// AllAbove, in that order.
constexpr int kFirstCheckBox = 1;
constexpr int kLastCheckBox = 7;

// Copies a host text into an item, cut to kDialogItemTextSize - 1 characters; a null
// text leaves the item empty.
void FillItemText(DialogItemRecord* item, const char* text) {
    if (text == nullptr) return;
    const std::size_t length = strnlen(text, kDialogItemTextSize - 1);
    std::memcpy(item->data, text, length);
    item->data[length] = '\0';
}

// The setting that check box item shows and sets.
std::uint32_t* SettingOfItem(int item) {
    std::uint32_t* fields[] = {&gSettings.space,   &gSettings.menu1,      &gSettings.sound,
                               &gSettings.numbers, &gSettings.ignoreCase, &gSettings.nearestFirst,
                               &gSettings.allAbove};
    return fields[item - kFirstCheckBox];
}

} // namespace

// Shows the settings dialog. On the default button the seven check box states, exactly as
// the host left them, become the settings and are written; any other outcome changes
// nothing. Neither argument is read; the result is always -1.
extern "C" std::int32_t HOSTENTRY OpenPlugin(std::int32_t, HostWord) {
    if (gStartup.runDialog == nullptr) return -1;
    DialogTemplate dialog = kSettingsDialog;
    for (int i = kFirstCheckBox; i <= kLastCheckBox; ++i) {
        dialog.items[i].selected = static_cast<std::int32_t>(*SettingOfItem(i));
    }
    for (int i = 0; i < kDialogItems; ++i) {
        FillItemText(&dialog.items[i], MessageText(dialog.messages[i]));
    }
    const std::int32_t result =
        gStartup.runDialog(static_cast<std::int32_t>(gStartup.moduleNumber), -1, -1, kDialogWidth,
                           kDialogHeight, 0, dialog.items, kDialogItems);
    if (result != kConfirmItem) return -1;
    for (int i = kFirstCheckBox; i <= kLastCheckBox; ++i) {
        *SettingOfItem(i) = static_cast<std::uint32_t>(dialog.items[i].selected);
    }
    SaveSettings();
    return -1;
}
