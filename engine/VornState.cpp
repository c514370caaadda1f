#include "engine/VornState.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::int32_t kStateTrailerCount = 5;
constexpr std::int32_t kStateTrailerVersion = 1003;

bool StartsWithTag(const StateChunk& chunk, int position)
{
    char tag[kVornStateTagLength] = {};
    return chunk.Get(tag, kVornStateTagLength, position) >= 0 &&
           std::memcmp(tag, kVornStateTag, kVornStateTagLength) == 0;
}

}  // namespace

bool WriteVornState(IPluginBase& plugin, const TweakSnapshot& snapshot, StateChunk& chunk)
{
    InstanceLock lock(plugin.InstanceMutex());
    if (plugin.NumParameters() < kParameterCount) {
        return false;
    }
    const std::span<Parameter> params = plugin.Parameters();
    const std::int32_t current = plugin.CurrentPresetIndex();
    chunk.Put(kVornStateTag, kVornStateTagLength);
    chunk.PutValue(current);
    chunk.PutString(plugin.PresetName(current));
    for (int i = kReserved1; i <= kReserved9; ++i) {
        params[static_cast<std::size_t>(i)].SetClamped(0.0);
    }
    for (int i = 0; i < kParameterCount; ++i) {
        chunk.PutValue(params[static_cast<std::size_t>(i)].Value());
    }
    for (double value : snapshot) {
        chunk.PutValue(value);
    }
    chunk.PutValue(kStateTrailerCount);
    chunk.PutValue(kStateTrailerVersion);
    return !chunk.Empty();
}

int ReadVornState(IPluginBase& plugin, TweakSnapshot& snapshot, const StateChunk& chunk, int position)
{
    InstanceLock lock(plugin.InstanceMutex());
    if (plugin.NumParameters() < kParameterCount) {
        return -1;
    }
    if (StartsWithTag(chunk, position)) {
        // Skip the tag and the preset index, then the name.
        std::int32_t nameLength = 0;
        const int afterLength = chunk.GetValue(nameLength, position + kVornStateTagLength + 4);
        if (afterLength < 0 || nameLength < 0 ||
            static_cast<std::int64_t>(afterLength) + nameLength > chunk.Size()) {
            position = -1;
        } else {
            position = afterLength + nameLength;
        }
    }

    const std::span<Parameter> params = plugin.Parameters();
    for (int i = 0; i < kParameterCount && position >= 0; ++i) {
        double value = 0.0;
        position = chunk.GetValue(value, position);
        params[static_cast<std::size_t>(i)].SetClamped(position < 0 ? 0.0 : value);
    }
    for (double& entry : snapshot) {
        double value = 0.0;
        position = chunk.GetValue(value, position);
        entry = position < 0 || !std::isfinite(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    }
    for (int i = 0; i < kParameterCount; ++i) {
        plugin.OnParameterChanged(i);
    }

    std::int32_t trailerCount = 0;
    position = chunk.GetValue(trailerCount, position);
    if (position >= 0 && trailerCount > 0) {
        std::int32_t trailerVersion = 0;
        position = chunk.GetValue(trailerVersion, position);
    }
    return position;
}
