// The menu: framed at the asked place, scrolling, chosen by arrows, Enter or hot key.
#include "demo/demo.h"

#include <algorithm>

namespace {

// One more column of margin on each side of the items, inside the frame.
constexpr int kMenuMargin = 2;

struct MenuView {
    int x, y, width, rows; // frame's corner and width; visible item rows
    int selected = 0;
    int top = 0; // first visible item
};

// Sizes the menu for its widest text and keeps it inside the screen.
MenuView PlaceMenu(const MenuShown& menu) {
    int widest =
        std::max(static_cast<int>(menu.title.size()), static_cast<int>(menu.bottom.size()));
    for (const std::string& label : menu.labels)
        widest = std::max(widest, LabelWidth(label));
    const int count = static_cast<int>(menu.labels.size());
    const int asked = menu.maxHeight > 0 ? menu.maxHeight : count;
    MenuView view = {};
    view.rows = std::max(std::min({count, asked, gScreen.height - 2}), 1);
    view.width = std::min(widest + 2 * kMenuMargin + 2, gScreen.width);
    view.x = std::clamp(menu.x, 0, gScreen.width - view.width);
    view.y = std::clamp(menu.y, 0, std::max(gScreen.height - view.rows - 2, 0));
    return view;
}

void DrawMenu(const MenuShown& menu, const MenuView& view) {
    ScreenFrame(view.x, view.y, view.width, view.rows + 2, kAttrMenu, menu.title, menu.bottom);
    const int count = static_cast<int>(menu.labels.size());
    for (int row = 0; row < view.rows && view.top + row < count; ++row) {
        const int item = view.top + row;
        const bool chosen = item == view.selected;
        const std::uint16_t attr = chosen ? kAttrMenuChosen : kAttrMenu;
        ScreenFill(view.x + 1, view.y + 1 + row, view.width - 2, 1, attr);
        ScreenPutLabel(view.x + 1 + kMenuMargin, view.y + 1 + row,
                       menu.labels[static_cast<std::size_t>(item)], attr,
                       chosen ? kAttrMenuChosenHot : kAttrMenuHot);
    }
    if (count <= view.rows) return;
    // A scroll bar on the right edge: track and thumb.
    const int thumb = view.selected * (view.rows - 1) / std::max(count - 1, 1);
    for (int row = 0; row < view.rows; ++row) {
        ScreenPut(view.x + view.width - 1, view.y + 1 + row, row == thumb ? "\xDB" : "\xB1",
                  kAttrMenu);
    }
}

// The item whose hot key is c, or -1.
int FindHotKey(const MenuShown& menu, unsigned char c) {
    if (c == 0) return -1;
    for (std::size_t i = 0; i < menu.labels.size(); ++i) {
        const unsigned char hot = LabelHotKey(menu.labels[i]);
        if (hot != 0 && FoldCase(hot) == FoldCase(c)) return static_cast<int>(i);
    }
    return -1;
}

// Moves the selection for a navigation key; false when the key is not one.
bool Navigate(std::uint16_t key, int count, MenuView* view) {
    switch (key) {
    case kVkUp:
        view->selected = std::max(view->selected - 1, 0);
        break;
    case kVkDown:
        view->selected = std::min(view->selected + 1, count - 1);
        break;
    case kVkPrior:
        view->selected = std::max(view->selected - view->rows, 0);
        break;
    case kVkNext:
        view->selected = std::min(view->selected + view->rows, count - 1);
        break;
    case kVkHome:
        view->selected = 0;
        break;
    case kVkEnd:
        view->selected = count - 1;
        break;
    default:
        return false;
    }
    view->top = std::clamp(view->top, view->selected - view->rows + 1, view->selected);
    return true;
}

} // namespace

std::int32_t RunMenu(const MenuShown& menu) {
    const int count = static_cast<int>(menu.labels.size());
    if (count == 0) return -1;
    const std::vector<Cell> below = gScreen.cells;
    const bool cursorWasVisible = gScreen.cursorVisible;
    gScreen.cursorVisible = false;
    MenuView view = PlaceMenu(menu);
    std::int32_t choice = -2;
    while (choice == -2) {
        DrawMenu(menu, view);
        ScreenShow();
        const InputRecord event = NextInput();
        if (!IsKeyDown(event) || Navigate(KeyCode(event), count, &view)) continue;
        if (KeyCode(event) == kVkEscape)
            choice = -1;
        else if (KeyCode(event) == kVkReturn)
            choice = view.selected;
        else if (const int hot = FindHotKey(menu, KeyChar(event)); hot >= 0)
            choice = hot;
    }
    gScreen.cells = below;
    gScreen.cursorVisible = cursorWasVisible;
    ScreenShow();
    return choice;
}
