#include "engine/dsp/VoiceEventFifo.h"

#include <algorithm>
#include <new>

bool VoiceEventFifo::Reserve(int capacity)
{
    if (capacity <= m_capacity) {
        return true;
    }
    std::unique_ptr<MidiMessage[]> events(new (std::nothrow) MidiMessage[static_cast<std::size_t>(capacity)]);
    if (!events) {
        return false;
    }
    std::copy(m_events.get() + m_head, m_events.get() + m_count, events.get());
    m_count -= m_head;
    m_head = 0;
    m_events = std::move(events);
    m_capacity = capacity;
    return true;
}

bool VoiceEventFifo::Insert(const MidiMessage& message)
{
    if (m_count == m_capacity) {
        if (m_head == 0) {
            return false;
        }
        Compact();
    }
    int position = m_count;
    while (position > m_head && m_events[position - 1].frameOffset > message.frameOffset) {
        m_events[position] = m_events[position - 1];
        --position;
    }
    m_events[position] = message;
    ++m_count;
    return true;
}

void VoiceEventFifo::Pop()
{
    ++m_head;
    if (m_head == m_count) {
        m_head = m_count = 0;
    }
}

void VoiceEventFifo::ShiftOffsets(int delta)
{
    for (int i = m_head; i < m_count; ++i) {
        m_events[i].frameOffset = std::max(0, m_events[i].frameOffset + delta);
    }
}

void VoiceEventFifo::Compact()
{
    std::copy(m_events.get() + m_head, m_events.get() + m_count, m_events.get());
    m_count -= m_head;
    m_head = 0;
}
