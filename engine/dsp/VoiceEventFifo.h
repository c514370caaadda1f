// The note events (note on, note off, controller 64) of the current control
// period, handed from the control tick (or, for events that arrive after the
// period's tick, from MIDI intake) to the sample loop. Offsets count samples
// from the start of the control period; the sample loop takes an event when
// it reaches that position. Kept in offset order, equal offsets in arrival
// order.
//
// Capacity policy: the owner reserves room at reset (outside rendering) for
// at least as many events as the MIDI queue can hold, so that the control
// tick's transfers always fit. Insert never allocates: a flood arriving for
// the current period itself beyond the capacity is dropped, the newest
// first.
#pragma once

#include <memory>

#include "core/MidiMessage.h"

class VoiceEventFifo {
public:
    VoiceEventFifo() = default;

    // Makes room for at least capacity events without further allocation.
    // Returns false when the allocation failed (the old storage stays).
    bool Reserve(int capacity);

    // Inserts after every event whose offset is not above its own; false
    // (dropped) when the storage is full.
    bool Insert(const MidiMessage& message);

    bool Empty() const { return m_head == m_count; }
    int Count() const { return m_count - m_head; }
    int Capacity() const { return m_capacity; }
    // Only when not Empty().
    const MidiMessage& Front() const { return m_events[m_head]; }
    void Pop();
    // Adds delta to every offset, limiting the results to 0 and above.
    void ShiftOffsets(int delta);
    void Clear() { m_head = m_count = 0; }

private:
    void Compact();

    std::unique_ptr<MidiMessage[]> m_events;
    int m_capacity = 0;
    int m_head = 0;
    int m_count = 0;
};
