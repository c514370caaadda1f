#include "synth/MidiQueue.h"

#include <algorithm>
#include <new>

MidiQueue::MidiQueue()
{
    Reallocate(kInitialCapacity);
}

bool MidiQueue::Insert(const MidiMessage& message)
{
    if (m_count == m_capacity) {
        if (m_read > 0) {
            Compact();
        } else {
            const long long step = std::max(m_growthStep, kCapacityUnit);
            const long long grown = (static_cast<long long>(m_capacity) / step + 1) * step;
            if (grown > kMaxCapacity || !Reallocate(static_cast<int>(grown))) {
                return false;
            }
        }
    }
    // Messages arrive mostly in order: search backwards from the end.
    int position = m_count;
    if (position > m_read && m_messages[position - 1].frameOffset > message.frameOffset) {
        const MidiMessage* begin = m_messages.get() + m_read;
        const MidiMessage* end = m_messages.get() + m_count;
        const MidiMessage* after = std::upper_bound(
            begin, end, message.frameOffset,
            [](std::int32_t offset, const MidiMessage& queued) { return offset < queued.frameOffset; });
        position = static_cast<int>(after - m_messages.get());
        std::move_backward(m_messages.get() + position, m_messages.get() + m_count,
                           m_messages.get() + m_count + 1);
    }
    m_messages[position] = message;
    ++m_count;
    return true;
}

void MidiQueue::Reset(int maxBlockSize)
{
    Compact();
    const auto roundUp = [](long long n) {
        return std::max<long long>(kCapacityUnit, (n + kCapacityUnit - 1) / kCapacityUnit * kCapacityUnit);
    };
    const long long step = std::min<long long>(roundUp(maxBlockSize), kMaxCapacity);
    const long long capacity = std::max(step, roundUp(m_count));
    m_growthStep = static_cast<int>(step);
    if (capacity != m_capacity) {
        // On failure the old array (large enough for the unread messages) stays.
        Reallocate(static_cast<int>(capacity));
    }
}

void MidiQueue::ShiftOffsets(std::int32_t delta)
{
    for (int i = m_read; i < m_count; ++i) {
        m_messages[i].frameOffset += delta;
    }
}

void MidiQueue::Compact()
{
    if (m_read == 0) {
        return;
    }
    std::move(m_messages.get() + m_read, m_messages.get() + m_count, m_messages.get());
    m_count -= m_read;
    m_read = 0;
}

bool MidiQueue::Reallocate(int capacity)
{
    std::unique_ptr<MidiMessage[]> messages(new (std::nothrow)
                                                MidiMessage[static_cast<std::size_t>(capacity)]);
    if (!messages) {
        return false;
    }
    Compact();
    std::copy(m_messages.get(), m_messages.get() + m_count, messages.get());
    m_messages = std::move(messages);
    m_capacity = capacity;
    return true;
}
