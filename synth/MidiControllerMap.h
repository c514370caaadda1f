// Which parameter each MIDI controller number moves. The editor thread
// assigns entries (configuration, MIDI learn) while the audio thread reads
// them, so every entry is an atomic; a reader sees either the old or the new
// target, never a torn value.
#pragma once

#include <array>
#include <atomic>

class MidiControllerMap {
public:
    static constexpr int kControllerCount = 128;
    // Controllers 0..119 can be mapped; 120..127 are channel mode messages.
    static constexpr int kMappableControllers = 120;
    static constexpr int kUnassigned = -1;

    // Every controller unassigned.
    MidiControllerMap();

    // Parameter index mapped to controller 0..127, or kUnassigned (also for a
    // controller number outside 0..127).
    int ParameterFor(int controller) const
    {
        if (controller < 0 || controller >= kControllerCount) {
            return kUnassigned;
        }
        return m_target[static_cast<std::size_t>(controller)].load(std::memory_order_relaxed);
    }

    // Maps controller 0..127 to parameter (kUnassigned or any negative value
    // removes the mapping). Controllers outside 0..127 are ignored.
    void Assign(int controller, int parameter);
    // Stores value for controller 0..127 as it is, negative values included,
    // so that an entry read from the configuration file is written back
    // unchanged; only kUnassigned counts as no entry. Controllers outside
    // 0..127 are ignored.
    void Store(int controller, int value);
    // Every controller whose entry is parameter becomes unassigned.
    void Unassign(int parameter);
    // Every controller unassigned.
    void Clear();

private:
    std::array<std::atomic<int>, kControllerCount> m_target;
};
