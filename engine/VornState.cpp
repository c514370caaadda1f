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

int ReadVornState(IPluginBase& plugin, TweakSnapshot& snapshot, const StateChunk& chunk, int position,
                  bool* valuesCut)
{
    InstanceLock lock(plugin.InstanceMutex());
    if (valuesCut != nullptr) {
        *valuesCut = false;
    }
    if (plugin.NumParameters() < kParameterCount || position < 0) {
        return -1;
    }
    if (StartsWithTag(chunk, position)) {
        // Skip the tag and the preset index, then the name.
        std::int32_t nameLength = 0;
        const int afterLength = chunk.GetValue(nameLength, position + kVornStateTagLength + 4);
        if (afterLength < 0 || nameLength < 0 ||
            static_cast<std::int64_t>(afterLength) + nameLength > chunk.Size()) {
            return -1;
        }
        position = afterLength + nameLength;
    } else {
        // Fewer than 10 bytes that begin like the tag are a cut tag, not a
        // tag-less state.
        const int left = chunk.Size() - position;
        if (left > 0 && left < kVornStateTagLength &&
            std::memcmp(chunk.Data() + position, kVornStateTag, static_cast<std::size_t>(left)) == 0) {
            return -1;
        }
    }
    // Refuse the whole state before applying anything when a value that is
    // there is not finite; a tag-less state needs at least its first value.
    const int valueCount = kParameterCount + static_cast<int>(snapshot.size());
    int present = 0;
    for (; present < valueCount; ++present) {
        double value = 0.0;
        if (chunk.GetValue(value, position + 8 * present) < 0) {
            break;
        }
        if (!std::isfinite(value)) {
            return -1;
        }
    }
    if (present == 0) {
        return -1;
    }

    IPluginBase::BulkUpdate bulk(plugin);
    const std::span<Parameter> params = plugin.Parameters();
    for (int i = 0; i < kParameterCount && position >= 0; ++i) {
        double value = 0.0;
        position = chunk.GetValue(value, position);
        params[static_cast<std::size_t>(i)].SetClamped(position < 0 ? 0.0 : value);
    }
    for (double& entry : snapshot) {
        double value = 0.0;
        position = chunk.GetValue(value, position);
        entry = position < 0 ? 0.0 : FlushSubnormal(std::clamp(value, 0.0, 1.0));
    }
    plugin.ApplyAllParameters();

    std::int32_t trailerCount = 0;
    position = chunk.GetValue(trailerCount, position);
    if (position >= 0 && trailerCount > 0) {
        std::int32_t trailerVersion = 0;
        position = chunk.GetValue(trailerVersion, position);
    }
    if (position < 0 && valuesCut != nullptr) {
        *valuesCut = true;
    }
    return position;
}
