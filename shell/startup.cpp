// Start-up and the plug-in's description of itself.
#include "engine/engine.h"
#include "host/host.h"
#include "shell/settings.h"

#include <cstring>

namespace {

constexpr HostWord kPluginInfoSize = 40; // the record's size as the host counts it
constexpr HostWord kPluginInfoFlags = 6; // the host's flag bits of value 2 and 4

// The plug-in's one menu entry; the host reads it after GetPluginInfo has returned.
const char* gMenuEntries[1];

} // namespace

// Copies the host's services, empties the candidate list (nothing is released: it is
// empty between requests), builds the settings key path from the host's own record and
// loads the four settings. A repeated call does all of it afresh.
extern "C" void HOSTENTRY SetStartupInfo(const StartupRecord* info) {
    if (info == nullptr) return;
    std::memcpy(&gStartup, info, sizeof gStartup);
    CandidateList = nullptr;
    SetUpSettingsKeyPath(info->pluginKey);
    LoadSettings();
}

// Fills words 0, 1, 4, 5, 6 and 8 of the host's record; the others keep what the host
// put there. Message 1 is looked up afresh on every call.
extern "C" void HOSTENTRY GetPluginInfo(PluginInfoRecord* info) {
    if (info == nullptr) return;
    info->structSize = kPluginInfoSize;
    info->flags = kPluginInfoFlags;
    info->word4 = 0;
    info->word8 = 0;
    gMenuEntries[0] = MessageText(kMsgPluginName);
    info->menuEntries = gMenuEntries;
    info->menuEntryCount = 1;
}
