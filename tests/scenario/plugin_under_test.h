// What a scenario test needs from its runner: the plug-in, and its beeps routed to the host.
#pragma once

#include "testhost/testhost.h"

// The plug-in under test: linked in natively, the loaded DLL in the Windows build.
const PluginEntries& PluginUnderTest();

// Routes the plug-in's MessageBeep calls to TestHost::RecordBeep.
void RouteBeeps();

// Empties the settings store below the host plug-in key used by the tests, so that each
// test starts as on a first run.
void ResetSettings(const std::string& hostPluginKey);
