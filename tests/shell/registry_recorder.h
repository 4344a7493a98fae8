// Records every registry call the plug-in makes through gPlatform, as readable lines.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

// The calls since the recorder was installed, e.g.
//   "Open 80000001 Software\Host\Lexamund options 0 access 1"
//   "Query Space size 4"   "Create 80000001 Software\Host\Lexamund access 20006"
//   "Set Space type 4 size 4 data 07000000"   "Close"
extern std::vector<std::string> gRegistryCalls;

// Resets gPlatform to the build's table and puts recorders in front of the five registry
// operations; each forwards to the build's operation unless a fault is set below.
void InstallRegistryRecorder();

// Status codes the recorders return instead of forwarding; 0 forwards.
struct RegistryFaults {
    std::int32_t open = 0;
    std::int32_t query = 0;
    std::int32_t create = 0;
    std::int32_t set = 0;
};
extern RegistryFaults gRegistryFaults;
