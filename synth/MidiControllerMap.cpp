#include "synth/MidiControllerMap.h"

MidiControllerMap::MidiControllerMap()
{
    Clear();
}

void MidiControllerMap::Assign(int controller, int parameter)
{
    if (controller < 0 || controller >= kControllerCount) {
        return;
    }
    m_target[static_cast<std::size_t>(controller)].store(parameter < 0 ? kUnassigned : parameter,
                                                         std::memory_order_relaxed);
}

void MidiControllerMap::Store(int controller, int value)
{
    if (controller < 0 || controller >= kControllerCount) {
        return;
    }
    m_target[static_cast<std::size_t>(controller)].store(value, std::memory_order_relaxed);
}

void MidiControllerMap::Unassign(int parameter)
{
    for (std::atomic<int>& target : m_target) {
        if (target.load(std::memory_order_relaxed) == parameter) {
            target.store(kUnassigned, std::memory_order_relaxed);
        }
    }
}

void MidiControllerMap::Clear()
{
    for (std::atomic<int>& target : m_target) {
        target.store(kUnassigned, std::memory_order_relaxed);
    }
}
