// The module's entry point: VSTPluginMain (and main, the same function).
#include <memory>
#include <mutex>

#include "core/IPluginVST.h"
#include "core/ModuleExport.h"
#include "core/PluginFactory.h"
#include "core/VstAbi.h"

namespace {

// Instances are created one at a time; hosts scanning plug-ins may create
// several at once from different threads.
std::mutex& CreationMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

// Called by the host, on whatever thread it loads plug-ins from; blocks while
// another instance is being created. Returns the new instance's effect record,
// or null when the instance cannot be made.
extern "C" VORN_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback)
{
    try {
        std::lock_guard<std::mutex> creationLock(CreationMutex());
        std::unique_ptr<IPluginVST> plugin(CreatePluginInstance(hostCallback));
        if (!plugin) {
            return nullptr;
        }
        plugin->FillEmptyPresets(plugin->NumPresets());
        AEffect* effect = plugin->Effect();
        if (effect->numPrograms <= 0) {
            effect->numPrograms = 1;
        }
        plugin.release();
        return effect;
    } catch (...) {
        return nullptr;
    }
}

VORN_DEFINE_MAIN_ALIAS(VSTPluginMain);
