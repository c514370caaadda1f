// The product's parameter table and the "initialise program" operation.
#pragma once

#include <array>
#include <functional>
#include <span>

#include "core/Parameter.h"
#include "engine/dsp/ParameterIds.h"

// The tweak snapshot keeps the normalized values of parameters 13..70 (Bank A
// Wave Mix to the last "reserved"), which tweak mode gives back; entry i
// belongs to parameter kFirstTweakParameter + i.
inline constexpr int kFirstTweakParameter = kBankAWaveMix;
inline constexpr int kTweakSnapshotSize = kParameterCount - kFirstTweakParameter;  // 58
using TweakSnapshot = std::array<double, kTweakSnapshotSize>;

// Defines every parameter: name, kind, range, default (also the value), step,
// shape, display texts and display formatter. Called once while the product
// is constructed, on records in their construction state; params must hold
// kParameterCount records (nothing is defined otherwise).
void DefineVornParameters(std::span<Parameter> params);

// The normalized form (0..1, through the parameter's shape) of the parameter's
// default.
double NormalizedDefault(const Parameter& param);

// Writes one normalized value to parameter index. The product passes a function
// that moves the editor control (normalized) and calls SetParameterFromEditor,
// which sets the value, tells the host and runs OnParameterChanged.
using NormalizedWriter = std::function<void(int index, double normalized)>;

// "Initialise program": for every index 0..70 in ascending order, takes the
// normalized default, hands it to write (or, when write is empty, sets it with
// SetFromNormalized) and stores it in the snapshot for indices 13..70. The
// caller then names the current preset "Init", pushes all parameters to the
// editor and notifies the host of all of them. Editor thread, under the
// instance lock.
void InitialiseProgram(std::span<Parameter> params, TweakSnapshot& snapshot,
                       const NormalizedWriter& write = {});
