// Time-ordered queue of incoming MIDI messages waiting for the control tick
// that hands them to the engine. Offsets are in samples; what they count from
// is the owner's clock (the engine keeps them relative to the start of the
// next control period). Owned by Synth; used on the audio thread under the
// instance lock, so it has no lock of its own.
#pragma once

#include <cstdint>
#include <memory>

#include "core/MidiMessage.h"

class MidiQueue {
public:
    // Capacity and growth step before the first Reset, in messages.
    static constexpr int kInitialCapacity = 1024;
    // Reset rounds the capacity and the growth step up to a multiple of this.
    static constexpr int kCapacityUnit = 512;
    // Upper bound on the capacity: a flood beyond it is dropped, like a
    // message whose growth allocation fails, so neither memory nor the cost
    // of an out-of-order insertion can grow without bound.
    static constexpr int kMaxCapacity = 1 << 16;

    MidiQueue();

    // Inserts message after every unread message whose offset is not above
    // its own (equal offsets keep their arrival order). When the array is
    // full, the unread messages move to the front if some were read,
    // otherwise the capacity grows by the growth step. Returns false when
    // the message was dropped (growth impossible). May allocate.
    bool Insert(const MidiMessage& message);

    // Moves the unread messages to the front, then sets the growth step and
    // the capacity to maxBlockSize frames rounded up to a multiple of 512
    // (never below the unread count, rounded likewise; at least 512).
    // Allocates; not on the audio thread.
    void Reset(int maxBlockSize);

    // Unread messages.
    int Count() const { return m_count - m_read; }
    bool Empty() const { return m_read == m_count; }
    int Capacity() const { return m_capacity; }
    int GrowthStep() const { return m_growthStep; }
    // The first unread message; only when not Empty().
    const MidiMessage& Front() const { return m_messages[m_read]; }
    // Unread message i (0 is the front).
    const MidiMessage& At(int i) const { return m_messages[m_read + i]; }
    // Marks the front message read.
    void Pop() { ++m_read; }
    // Adds delta samples to the offset of every unread message.
    void ShiftOffsets(std::int32_t delta);
    // Forgets every message.
    void Clear() { m_read = m_count = 0; }

private:
    void Compact();
    bool Reallocate(int capacity);

    std::unique_ptr<MidiMessage[]> m_messages;
    int m_capacity = 0;
    int m_growthStep = kInitialCapacity;
    int m_count = 0;  // messages stored, read or not
    int m_read = 0;   // read position
};
