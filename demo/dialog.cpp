// The dialog: frame, check boxes and a row of buttons, with focus moved by Tab.
#include "demo/demo.h"

#include <algorithm>
#include <cstring>

namespace {

// A line of plain text: an item type of the demo's own dialogs, never focused.
constexpr std::int32_t kDialogText = 0;
constexpr int kButtonGap = 1;          // blank columns between the buttons of a row
constexpr std::int32_t kFar = 1 << 14; // coordinates beyond this are off any screen

// Keeps a coordinate the plug-in gave within a range where sums cannot overflow.
std::int32_t Clip(std::int32_t value) {
    return std::clamp(value, -kFar, kFar);
}

struct DialogView {
    int left, top, width, height;
    std::vector<int> columns; // each item's column inside the dialog
    int focus = -1;
};

// The item's text, cut at the end of its field should the terminator be missing.
std::string ItemText(const DialogItemRecord& item) {
    return std::string(item.data, strnlen(item.data, sizeof item.data));
}

bool Focusable(const DialogItemRecord& item) {
    return item.type == kDialogCheckBox || item.type == kDialogButton;
}

// A button as drawn: the default one in braces, the others in brackets.
std::string ButtonText(const DialogItemRecord& item) {
    return (item.defaultButton != 0 ? "{ " : "[ ") + ItemText(item) +
           (item.defaultButton != 0 ? " }" : " ]");
}

// Places the flagged buttons of each row side by side, centred in the dialog's width.
void PlaceButtonRows(const DialogItemRecord* items, int count, DialogView* view) {
    for (int i = 0; i < count; ++i) {
        view->columns.push_back(Clip(items[i].x1));
    }
    std::vector<bool> placed(static_cast<std::size_t>(count), false);
    for (int i = 0; i < count; ++i) {
        if (placed[i] || (items[i].flags & kDialogButtonRow) == 0) continue;
        std::vector<int> row;
        int total = -kButtonGap;
        for (int j = i; j < count; ++j) {
            if ((items[j].flags & kDialogButtonRow) == 0 || items[j].y1 != items[i].y1) continue;
            row.push_back(j);
            placed[j] = true;
            total += LabelWidth(ButtonText(items[j])) + kButtonGap;
        }
        int column = std::max((view->width - total) / 2, 0);
        for (const int j : row) {
            view->columns[j] = column;
            column += LabelWidth(ButtonText(items[j])) + kButtonGap;
        }
    }
}

// The dialog's box on screen: -1 centres it, with x2 or y2 then its size.
DialogView PlaceDialog(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    x1 = Clip(x1);
    y1 = Clip(y1);
    DialogView view = {};
    view.width = std::clamp(x1 == -1 ? Clip(x2) : Clip(x2) - x1 + 1, 1, gScreen.width);
    view.height = std::clamp(y1 == -1 ? Clip(y2) : Clip(y2) - y1 + 1, 1, gScreen.height);
    view.left = x1 == -1 ? (gScreen.width - view.width) / 2 : x1;
    view.top = y1 == -1 ? (gScreen.height - view.height) / 2 : y1;
    view.left = std::clamp(view.left, 0, gScreen.width - view.width);
    view.top = std::clamp(view.top, 0, gScreen.height - view.height);
    return view;
}

void DrawItem(const DialogItemRecord& item, int column, bool focused) {
    const int x = column;
    const std::uint16_t attr = focused ? kAttrDialogFocus : kAttrDialog;
    const std::uint16_t hot = focused ? kAttrDialogFocusHot : kAttrDialogHot;
    switch (item.type) {
    case kDialogFrameBox:
        ScreenFrame(x, item.y1, item.x2 - item.x1 + 1, item.y2 - item.y1 + 1, kAttrDialog,
                    ItemText(item), "");
        break;
    case kDialogCheckBox:
        ScreenPut(x, item.y1, item.selected != 0 ? "[x] " : "[ ] ", attr);
        ScreenPutLabel(x + 4, item.y1, ItemText(item), attr, hot);
        break;
    case kDialogButton:
        ScreenPutLabel(x, item.y1, ButtonText(item), attr, hot);
        break;
    default:
        ScreenPutLabel(x, item.y1, ItemText(item), kAttrDialog, kAttrDialogHot);
        break;
    }
}

void DrawDialog(const DialogItemRecord* items, int count, const DialogView& view) {
    ScreenFill(view.left, view.top, view.width, view.height, kAttrDialog);
    for (int i = 0; i < count; ++i) {
        DialogItemRecord item = items[i];
        item.x1 = Clip(item.x1);
        item.x2 = Clip(item.x2);
        item.y1 = Clip(item.y1) + view.top;
        item.y2 = Clip(item.y2) + view.top;
        DrawItem(item, view.left + view.columns[i], i == view.focus);
    }
    const DialogItemRecord* focused = view.focus >= 0 ? &items[view.focus] : nullptr;
    gScreen.cursorVisible = focused != nullptr && focused->type == kDialogCheckBox;
    if (!gScreen.cursorVisible) return;
    gScreen.cursorX = view.left + view.columns[view.focus] + 1;
    gScreen.cursorY = view.top + focused->y1;
}

// The next focusable item after (step 1) or before (step -1) the focus, going round.
int NextFocus(const DialogItemRecord* items, int count, int from, int step) {
    for (int n = 1; n <= count; ++n) {
        const int i = ((from + step * n) % count + count) % count;
        if (Focusable(items[i])) return i;
    }
    return from;
}

int FirstFocus(const DialogItemRecord* items, int count) {
    for (int i = 0; i < count; ++i) {
        if (Focusable(items[i]) && items[i].focus != 0) return i;
    }
    return NextFocus(items, count, count - 1, 1);
}

int DefaultButton(const DialogItemRecord* items, int count) {
    for (int i = 0; i < count; ++i) {
        if (items[i].type == kDialogButton && items[i].defaultButton != 0) return i;
    }
    return -1;
}

int FindHotKey(const DialogItemRecord* items, int count, unsigned char c) {
    for (int i = 0; c != 0 && i < count; ++i) {
        const unsigned char hot = LabelHotKey(ItemText(items[i]));
        if (Focusable(items[i]) && hot != 0 && FoldCase(hot) == FoldCase(c)) return i;
    }
    return -1;
}

// Presses item i (toggle or choose); returns the closing index, or -2 to go on.
std::int32_t Activate(DialogItemRecord* items, int i) {
    if (items[i].type == kDialogButton) return i;
    items[i].selected = items[i].selected != 0 ? 0 : 1;
    return -2;
}

// Acts on one key; returns the closing index, -1 for Esc, or -2 to go on.
std::int32_t DialogKey(const InputRecord& event, DialogItemRecord* items, int count,
                       DialogView* view) {
    const std::uint16_t key = KeyCode(event);
    const bool back = (key == kVkTab && KeyShift(event)) || key == kVkUp;
    if (key == kVkEscape) return -1;
    if (key == kVkTab || key == kVkUp || key == kVkDown) {
        view->focus = NextFocus(items, count, view->focus, back ? -1 : 1);
        return -2;
    }
    if (view->focus < 0) return key == kVkReturn ? DefaultButton(items, count) : -2;
    if (key == kVkReturn) {
        if (items[view->focus].type == kDialogButton) return view->focus;
        const int chosen = DefaultButton(items, count);
        return chosen >= 0 ? chosen : -2;
    }
    if (key == kConsoleVkSpace || KeyChar(event) == ' ') return Activate(items, view->focus);
    const int hot = FindHotKey(items, count, KeyChar(event));
    if (hot < 0) return -2;
    view->focus = hot;
    return Activate(items, hot);
}

} // namespace

std::int32_t RunDialogBox(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                          DialogItemRecord* items, std::int32_t count) {
    if (items == nullptr || count <= 0) return -1;
    const Screen saved = gScreen;
    DialogView view = PlaceDialog(x1, y1, x2, y2);
    PlaceButtonRows(items, count, &view);
    view.focus = FirstFocus(items, count);
    std::int32_t result = -2;
    while (result == -2) {
        DrawDialog(items, count, view);
        ScreenShow();
        const InputRecord event = NextInput();
        if (IsKeyDown(event)) result = DialogKey(event, items, count, &view);
    }
    gScreen = saved;
    ScreenShow();
    return result;
}

namespace {

DialogItemRecord Item(std::int32_t type, int x1, int y1, int x2, int y2, const std::string& text) {
    DialogItemRecord item = {};
    item.type = type;
    item.x1 = x1;
    item.y1 = y1;
    item.x2 = x2;
    item.y2 = y2;
    std::strncpy(item.data, text.c_str(), sizeof item.data - 1);
    return item;
}

} // namespace

std::int32_t AskSaveChanges(const std::string& fileName) {
    const std::string question = "Save the changes to " + fileName + "?";
    const int width = std::max(static_cast<int>(question.size()) + 8, 40);
    std::vector<DialogItemRecord> items = {
        Item(kDialogFrameBox, 1, 1, width - 2, 5, "Leave the editor"),
        Item(kDialogText, 3, 2, 0, 0, question),
        Item(kDialogButton, 0, 4, 0, 0, "&Save"),
        Item(kDialogButton, 0, 4, 0, 0, "&Don't save"),
        Item(kDialogButton, 0, 4, 0, 0, "&Cancel"),
    };
    for (int i = 2; i <= 4; ++i)
        items[static_cast<std::size_t>(i)].flags = kDialogButtonRow;
    items[2].defaultButton = 1;
    items[2].focus = 1;
    const std::int32_t answer = RunDialogBox(-1, -1, width, 7, items.data(), 5);
    return answer == 2 ? 0 : answer == 3 ? 1 : -1;
}

void ShowTextBox(const std::string& title, const std::vector<std::string>& lines) {
    int widest = static_cast<int>(title.size());
    for (const std::string& line : lines)
        widest = std::max(widest, LabelWidth(line));
    const int height = static_cast<int>(lines.size()) + 6;
    std::vector<DialogItemRecord> items = {
        Item(kDialogFrameBox, 1, 1, widest + 4, height - 2, title)};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        items.push_back(Item(kDialogText, 3, 2 + static_cast<int>(i), 0, 0, lines[i]));
    }
    items.push_back(Item(kDialogButton, 0, height - 3, 0, 0, "&OK"));
    items.back().flags = kDialogButtonRow;
    items.back().defaultButton = 1;
    RunDialogBox(-1, -1, widest + 6, height, items.data(), static_cast<std::int32_t>(items.size()));
}
