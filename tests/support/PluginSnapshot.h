// Everything a load may change, for "nothing changed" checks: every slot's
// name, flag and state, the live values and the current index.
#pragma once

#include <string>
#include <vector>

#include "core/IPluginBase.h"

struct PluginSnapshot {
    std::vector<std::string> names;
    std::vector<bool> flags;
    std::vector<StateChunk> states;
    std::vector<double> values;
    int current = 0;

    explicit PluginSnapshot(const IPluginBase& plugin) : current(plugin.CurrentPresetIndex())
    {
        for (const Preset& preset : plugin.Presets()) {
            names.emplace_back(preset.name);
            flags.push_back(preset.initialised);
            states.push_back(preset.state);
        }
        for (const Parameter& parameter : plugin.Parameters()) {
            values.push_back(parameter.Value());
        }
    }
    bool operator==(const PluginSnapshot&) const = default;
    // The programs and the current one, whatever the live values.
    bool SlotsEqual(const PluginSnapshot& other) const
    {
        return names == other.names && flags == other.flags && states == other.states &&
               current == other.current;
    }
};
