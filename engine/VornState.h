// The product's state format, written by VORN::WriteState and read by
// VORN::ReadState (all values little-endian):
//   "VORN_1.0.2" (10 characters), int32 current preset index, int32 name
//   length n and the current preset's name (n characters), 71 doubles (the
//   parameter values in their own units), 58 doubles (the tweak snapshot),
//   int32 5, int32 1003: 1058 + n bytes.
// The tag-less form (71 + 58 doubles, int32 5, int32 1000: 1040 bytes; the
// factory bank's presets) is read, never written. The index and name are
// those of the current preset at writing time; readers skip them.
//
// Both run under the instance lock (taken again inside), from the state hooks.
#pragma once

#include "core/IPluginBase.h"
#include "core/StateChunk.h"
#include "engine/ParameterTable.h"

inline constexpr char kVornStateTag[] = "VORN_1.0.2";
inline constexpr int kVornStateTagLength = 10;
// Bytes of a tagged state whose current preset name is empty, and of the
// tag-less form.
inline constexpr int kVornStateBaseSize = 1058;
inline constexpr int kVornTaglessStateSize = 1040;

// Appends the tagged state. Sets the reserved parameters (62..70) to 0
// first, without OnParameterChanged. True when the chunk is not empty
// afterwards; false (nothing written) when plugin has fewer than 71
// parameters.
bool WriteVornState(IPluginBase& plugin, const TweakSnapshot& snapshot, StateChunk& chunk);

// Reads a state of either form at position: the parameters are SetClamped
// in index order, the snapshot entries taken (limited to 0..1), then
// OnParameterChanged for all 71 parameters. Returns the position after the
// state, or -1 when it cannot be read completely:
// - a tag whose index or name does not fit, a tag-less state without even
//   its first value, or any value present that is not finite: nothing is
//   applied;
// - values cut off (valuesCut, when given, becomes true): the parameters read
//   before the cut stay applied, the one at the cut becomes 0 and the later
//   ones keep their values; the snapshot entries from the cut on become 0.
// A chunk that does not start with the tag is read as the tag-less form.
int ReadVornState(IPluginBase& plugin, TweakSnapshot& snapshot, const StateChunk& chunk, int position,
                  bool* valuesCut = nullptr);
