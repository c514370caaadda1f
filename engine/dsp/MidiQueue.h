// Time-ordered queue of incoming MIDI messages waiting for the control tick
// that hands them to the engine. Offsets are in samples; what they count from
// is the owner's clock (the engine keeps them relative to the start of the
// next control period). Owned by Synth; used on the audio thread under the
// instance lock, so it has no lock of its own.
//
// Bounded and allocation-free after Reset: intake appends to an unsorted
// batch; the batch is sorted (in place) and merged into the ordered part when
// it is full or when the front is asked for, so a flood in any order costs
// O(log n) per message, never a shift of the whole queue. When more messages
// wait than the capacity holds, those with the latest offsets are dropped
// (among equal offsets the last to arrive), so a flood of far-future events
// never pushes out an earlier one.
#pragma once

#include <cstdint>
#include <memory>

#include "core/MidiMessage.h"

class MidiQueue {
public:
    // Capacity before the first Reset, in messages.
    static constexpr int kInitialCapacity = 4096;
    // Reset gives the queue this many messages per frame of the largest
    // block, within kMinCapacity..kMaxCapacity.
    static constexpr int kMessagesPerFrame = 8;
    static constexpr int kMinCapacity = 4096;
    static constexpr int kMaxCapacity = 1 << 16;

    MidiQueue();

    // Queues message. Never allocates. Equal offsets keep their arrival
    // order. False when the message was dropped at once (the queue is full
    // of messages that are all due no later than it).
    bool Insert(const MidiMessage& message);

    // Sizes the queue for blocks of up to maxBlockSize frames (see the
    // constants), keeping the waiting messages (the latest dropped if they
    // no longer fit). Allocates; not on the audio thread.
    void Reset(int maxBlockSize);

    // Waiting messages.
    int Count() const { return m_count - m_read + m_incoming; }
    bool Empty() const { return Count() == 0; }
    int Capacity() const { return m_capacity; }
    // The earliest waiting message, offset on the owner's clock; only when
    // not Empty().
    MidiMessage Front();
    // Waiting message i in time order (0 is the front).
    MidiMessage At(int i);
    // Forgets the front message.
    void Pop();
    // Adds delta samples to the offset of every waiting message; O(1).
    void ShiftOffsets(std::int32_t delta) { m_origin -= delta; }
    // Forgets every message.
    void Clear() { m_read = m_count = m_incoming = 0; }

private:
    struct Entry {
        std::int64_t time;  // offset + origin
        std::uint32_t sequence;
        std::uint8_t status;
        std::uint8_t data1;
        std::uint8_t data2;
    };
    // Sorts the batch and merges it into the ordered part, keeping the
    // earliest capacity messages.
    void Settle();
    MidiMessage ToMessage(const Entry& entry) const;
    bool Allocate(int capacity);

    std::unique_ptr<Entry[]> m_ordered;  // [m_read, m_count) in time order
    std::unique_ptr<Entry[]> m_batch;    // [0, m_incoming) in arrival order
    std::unique_ptr<Entry[]> m_scratch;  // merge target, swapped with m_ordered
    int m_capacity = 0;
    int m_read = 0;
    int m_count = 0;
    int m_incoming = 0;
    std::int64_t m_origin = 0;
};
