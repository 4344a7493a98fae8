// Start-up and the plug-in's description of itself.
#include "engine/engine.h"
#include "host/host.h"

#include <cstring>

// Copies the host's services and empties the candidate list. Nothing is released: the
// list is empty between requests.
extern "C" void HOSTCALL SetStartupInfo(const StartupRecord* info) {
    if (info == nullptr) return;
    std::memcpy(&gStartup, info, sizeof gStartup);
    CandidateList = nullptr;
}

constexpr HostWord kPluginInfoSize = 40; // the record's size as the host counts it

extern "C" void HOSTCALL GetPluginInfo(PluginInfoRecord* info) {
    static const char* menuEntries[1];
    if (info == nullptr) return;
    info->structSize = kPluginInfoSize;
    info->flags = 6;
    info->word4 = 0;
    info->word8 = 0;
    menuEntries[0] = MessageText(kMsgPluginName);
    info->menuEntries = menuEntries;
    info->menuEntryCount = 1;
}

extern "C" std::int32_t HOSTCALL OpenPlugin(std::int32_t, HostWord) { return -1; }
