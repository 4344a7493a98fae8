// A short scripted completion in the test host: prints the line before and after.
#include "testhost/plugin_loader.h"

#include <cstdio>

int main() {
    TestHost host;
    host.Start(LinkedPlugin());
    host.SetText({"compile the complete component", "Completion completes comp"}, 1, 0);
    host.CursorAtEnd(1);
    host.menuAnswer = [](const MenuShown& menu) {
        std::printf("menu \"%s\" at column %d, row %d (%s):\n", menu.title.c_str(), menu.x, menu.y,
                    menu.bottom.c_str());
        for (const std::string& label : menu.labels)
            std::printf("  %s\n", label.c_str());
        std::printf("choosing item 2\n");
        return 1;
    };
    std::printf("before: %s\n", host.lines[1].c_str());
    host.PressCtrlSpace();
    std::printf("after:  %s\n", host.lines[1].c_str());
    return 0;
}
