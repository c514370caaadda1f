// The eight ensemble buttons (Pipe Organ 1/2, Chorus 1/2, Brass 1/2,
// Strings 1/2) and tweak mode. Lighting buttons writes a fixed recipe into
// about forty parameters; the first button lit from tweak mode first takes a
// snapshot of parameters 13..70 (normalized), which the Tweak Mode button
// gives back, so the user's own sound survives a visit to the ensembles.
//
// The lit buttons are the value of "Button State" (index 0), one bit each.
// Only a press applies a recipe: host automation, program loads and the
// press's own write of index 0 reach OnParameterChanged(0), which merely
// stores the bits (StoreButtonState) and refreshes the status controls.
//
// Threads: Press and TakeSnapshot run on the editor thread with the instance
// lock held for the whole operation, so the audio thread never renders a
// half-written recipe; StoreButtonState runs inside OnParameterChanged.
#pragma once

#include <functional>
#include <span>

#include "core/IPluginBase.h"
#include "core/Parameter.h"
#include "engine/ParameterTable.h"

// Bits of "Button State", one per ensemble button.
enum EnsembleBit : int {
    kPipeOrgan1Bit = 0,
    kPipeOrgan2Bit,
    kChorus1Bit,
    kChorus2Bit,
    kBrass1Bit,
    kBrass2Bit,
    kStrings1Bit,
    kStrings2Bit,
    kEnsembleButtonCount  // 8
};

// The mask a button control carries: its bit, or 0 for the Tweak Mode button.
constexpr int EnsembleMask(EnsembleBit bit)
{
    return 1 << bit;
}
inline constexpr int kTweakModeMask = 0;
inline constexpr int kAllEnsembleBits = (1 << kEnsembleButtonCount) - 1;

// The recipe values that depend on which buttons are lit, in each target
// parameter's own unit. The default member values are the recipe with no
// button's override.
struct EnsembleRecipe {
    double bankATranspose = 0.0;           // 16, semitones
    double bankBTranspose = 0.0;           // 22, semitones
    double vibratoACDepth = 0.2;           // 18 and 31
    double vibratoBDepth = 0.2;            // 24
    double preFilter1Level = 0.0;          // 33, also the chorus filter level 38
    double preFilter1Shift = -0.55;        // 40
    double preFilter2Level = 0.0;          // 34
    double preFilter2Shift = 0.5;          // 42
    double vcfLevel = 0.0;                 // 35
    double organStringsFrequency = 780.0;  // 43, Hz
    double organStringsLevel = 0.0;        // 37
    double chorusFrequency = 570.0;        // 44, Hz
    double directLevel = 0.0;              // 39
    double vcaDecay = 0.0;                 // 55
    double vcaSustain = 1.0;               // 56
};

// The recipe of a set of lit buttons: each lit button overrides the values
// in bit order 0..7, so a later button wins. The vibrato B depth and the
// pre-filter 2 level start from the vibrato A/C depth and the organ+strings
// level as they stand after the pipe organs (bits 0 and 1).
EnsembleRecipe ComputeEnsembleRecipe(int bits);

// The normalized form (0..1, through the parameter's shape) of value in the
// parameter's unit, after limiting it to the parameter's range.
double NormalizedForValue(const Parameter& param, double value);

class EnsembleButtons {
public:
    // What the ensemble logic reads and writes on the plug-in.
    class Target {
    public:
        // The plug-in's live parameter list (71 records).
        virtual std::span<const Parameter> ParameterList() const = 0;
        // Moves the editor control of index to normalized, then hands it to
        // SetParameterFromEditor (value set, host told, OnParameterChanged).
        virtual void WriteNormalized(int index, double normalized) = 0;
        // Starts a UI click when the vintage-vibe flag is set and the UI
        // sound player is idle.
        virtual void ClickIfVintageVibe() = 0;
        // Brings the button, tweak and status controls in line with the
        // stored bits.
        virtual void UpdateStatusControls() = 0;

    protected:
        ~Target() = default;
    };

    // A click on a button with mask (EnsembleMask, or kTweakModeMask for the
    // Tweak Mode button). toggle (right button, or Shift, Ctrl or Alt held)
    // flips that button among the lit ones; otherwise an unlit button lights
    // alone with a click, and a lit one re-applies the recipe, undoing tweaks
    // made since. Toggling off the last lit button changes nothing.
    void Press(int mask, bool toggle, Target& target);

    // Lights exactly the buttons of bits: takes the snapshot when leaving
    // tweak mode, gives it back when entering it, writes "Button State" and,
    // unless bits is 0, the recipe.
    void Apply(int bits, Target& target);

    // Takes the snapshot now: the normalized current value of each parameter
    // 13..70 (the tweak switch's "Overwrite with Preset Data" does this).
    void TakeSnapshot(std::span<const Parameter> params);

    // From OnParameterChanged(0): stores the value of "Button State"
    // truncated to an integer (limited to 0..255; NaN counts as 0). Applies
    // nothing; the caller then runs UpdateStatusControls.
    void StoreButtonState(double value);

    // The stored bits; 0 is tweak mode.
    int Bits() const { return m_bits; }
    // The tweak snapshot, also written by the program initialisation and
    // saved and loaded with the state; entry i is parameter
    // kFirstTweakParameter + i.
    TweakSnapshot& Snapshot() { return m_snapshot; }
    const TweakSnapshot& Snapshot() const { return m_snapshot; }

private:
    void WriteRecipe(int bits, Target& target);

    int m_bits = 0;
    TweakSnapshot m_snapshot{};
};

// The ensemble target of a real plug-in: every write first moves the
// editor's controls (SetParameterFromPlug, normalized), when an editor is
// attached, then calls SetParameterFromEditor. The caller holds the
// instance lock.
class PluginEnsembleTarget final : public EnsembleButtons::Target {
public:
    // vintageVibe: the product's flag at the time of the press.
    // updateStatusControls: the product's status update (may be empty).
    PluginEnsembleTarget(IPluginBase& plugin, bool vintageVibe, std::function<void()> updateStatusControls);

    std::span<const Parameter> ParameterList() const override;
    void WriteNormalized(int index, double normalized) override;
    // Triggers the process-wide UiSoundPlayer at the plug-in's sample rate;
    // the player refuses the start while a sound plays.
    void ClickIfVintageVibe() override;
    void UpdateStatusControls() override;

private:
    IPluginBase& m_plugin;
    bool m_vintageVibe;
    std::function<void()> m_updateStatusControls;
};
