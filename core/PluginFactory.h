// The product's constructor as the module entry point sees it. Defined by the
// product (engine/VORN.cpp); the entry point calls it under the process-wide
// creation lock.
#pragma once

#include "core/VstAbi.h"

class IPluginVST;

// A new, fully constructed plug-in instance talking to hostCallback, or null
// when it cannot be made. The caller owns the result (the host releases it
// with effClose).
IPluginVST* CreatePluginInstance(audioMasterCallback hostCallback);
