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
    // Every controller unassigned.
    void Clear();

private:
    std::array<std::atomic<int>, kControllerCount> m_target;
};
