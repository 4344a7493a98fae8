// The StartupRecord copy and the two thin helpers through which the plug-in calls the host.
#include "host/host.h"

StartupRecord gStartup;

const char* MessageText(std::int32_t messageNumber) {
    if (gStartup.lookupMessage == nullptr) return nullptr;
    return gStartup.lookupMessage(static_cast<std::int32_t>(gStartup.moduleNumber), messageNumber);
}

void EditorCommand(std::int32_t command, void* param) {
    if (gStartup.editorCommand == nullptr) return;
    gStartup.editorCommand(command, param);
}
