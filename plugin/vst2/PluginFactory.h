// The one function each module defines to create its plug-in: the instrument shell for the real
// modules, a test plug-in for the test module.
#pragma once

#include "plugin/vst2/VstInterface.h"

class IPlugVST;

// Called by the entry point under the process-wide creation lock, with the host callback (which may
// be null). Returns the new instance, or null when it cannot be created. The instance is deleted by
// the host's effClose.
IPlugVST* CreatePluginInstance(VstHostCallback master);
