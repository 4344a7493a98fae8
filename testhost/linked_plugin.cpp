// The entry points of the plug-in linked into this program.
#include "testhost/plugin_loader.h"

PluginEntries LinkedPlugin() {
    return {&SetStartupInfo, &GetPluginInfo, &OpenPlugin, &ProcessEditorInput};
}
