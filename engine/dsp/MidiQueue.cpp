#include "engine/dsp/MidiQueue.h"

#include <algorithm>
#include <limits>
#include <new>

MidiQueue::MidiQueue()
{
    Allocate(kInitialCapacity);
}

bool MidiQueue::Insert(const MidiMessage& message)
{
    if (m_capacity == 0) {
        return false;
    }
    if (m_incoming == m_capacity) {
        Settle();
    }
    const std::int64_t time = m_origin + message.frameOffset;
    if (m_count - m_read == m_capacity && time >= m_ordered[m_count - 1].time) {
        return false;  // a full queue of messages due no later than this one
    }
    m_batch[m_incoming] = {time, static_cast<std::uint32_t>(m_incoming), message.status, message.data1,
                           message.data2};
    ++m_incoming;
    return true;
}

void MidiQueue::Reset(int maxBlockSize)
{
    Settle();
    const long long wanted = static_cast<long long>(std::max(maxBlockSize, 0)) * kMessagesPerFrame;
    const int capacity = static_cast<int>(std::clamp<long long>(wanted, kMinCapacity, kMaxCapacity));
    if (capacity == m_capacity) {
        return;
    }
    // On failure the old arrays stay.
    std::unique_ptr<Entry[]> ordered(new (std::nothrow) Entry[static_cast<std::size_t>(capacity)]);
    std::unique_ptr<Entry[]> batch(new (std::nothrow) Entry[static_cast<std::size_t>(capacity)]);
    std::unique_ptr<Entry[]> scratch(new (std::nothrow) Entry[static_cast<std::size_t>(capacity)]);
    if (!ordered || !batch || !scratch) {
        return;
    }
    const int kept = std::min(m_count - m_read, capacity);
    std::copy(m_ordered.get() + m_read, m_ordered.get() + m_read + kept, ordered.get());
    m_ordered = std::move(ordered);
    m_batch = std::move(batch);
    m_scratch = std::move(scratch);
    m_capacity = capacity;
    m_read = 0;
    m_count = kept;
}

MidiMessage MidiQueue::Front()
{
    Settle();
    return ToMessage(m_ordered[m_read]);
}

MidiMessage MidiQueue::At(int i)
{
    Settle();
    return ToMessage(m_ordered[m_read + i]);
}

void MidiQueue::Pop()
{
    Settle();
    if (m_read < m_count) {
        ++m_read;
    }
}

void MidiQueue::Settle()
{
    if (m_incoming == 0) {
        return;
    }
    Entry* batch = m_batch.get();
    std::sort(batch, batch + m_incoming, [](const Entry& a, const Entry& b) {
        return a.time != b.time ? a.time < b.time : a.sequence < b.sequence;
    });
    // Merge; on equal times the messages already ordered arrived first.
    const Entry* a = m_ordered.get() + m_read;
    const Entry* aEnd = m_ordered.get() + m_count;
    const Entry* b = batch;
    const Entry* bEnd = batch + m_incoming;
    Entry* out = m_scratch.get();
    Entry* outEnd = out + m_capacity;
    while (out < outEnd && (a < aEnd || b < bEnd)) {
        *out++ = (b == bEnd || (a < aEnd && a->time <= b->time)) ? *a++ : *b++;
    }
    m_count = static_cast<int>(out - m_scratch.get());
    m_read = 0;
    m_incoming = 0;
    std::swap(m_ordered, m_scratch);
}

MidiMessage MidiQueue::ToMessage(const Entry& entry) const
{
    const std::int64_t offset = entry.time - m_origin;
    MidiMessage message;
    message.frameOffset = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        offset, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    message.status = entry.status;
    message.data1 = entry.data1;
    message.data2 = entry.data2;
    return message;
}

bool MidiQueue::Allocate(int capacity)
{
    m_ordered.reset(new (std::nothrow) Entry[static_cast<std::size_t>(capacity)]);
    m_batch.reset(new (std::nothrow) Entry[static_cast<std::size_t>(capacity)]);
    m_scratch.reset(new (std::nothrow) Entry[static_cast<std::size_t>(capacity)]);
    m_capacity = m_ordered && m_batch && m_scratch ? capacity : 0;
    return m_capacity > 0;
}
