#include "engine/dsp/Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "engine/dsp/ParameterIds.h"

namespace {

// Status nibbles.
constexpr int kNoteOff = 0x8;
constexpr int kNoteOn = 0x9;
constexpr int kPolyPressure = 0xA;
constexpr int kController = 0xB;
constexpr int kProgramChange = 0xC;
constexpr int kPitchBend = 0xE;

constexpr int kModulationWheel = 1;
constexpr int kSustainPedal = 64;
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;
constexpr int kFirstModeController = 120;

// Below this, the chain's states and silent output are left alone while no
// voice sounds (the denormal guard adds +-1e-13 to the filter states).
constexpr double kIdleLevel = 1e-12;

}  // namespace

Engine::Engine()
{
    m_eventFifo.Reserve(m_queue.Capacity());
    for (int index = 0; index < kParameterCount; ++index) {
        SetParameter(index, kParameterDefaults[static_cast<std::size_t>(index)]);
    }
}

// ---- Reset ---------------------------------------------------------------------

void Engine::Reset(double sampleRate, int maxBlockSize)
{
    if (m_countdown > 0) {
        // The current period is cut short: the next frame starts a new one.
        // Queue offsets counted from the end of the old period, FIFO offsets
        // from its start.
        m_queue.ShiftOffsets(m_countdown);
        m_eventFifo.ShiftOffsets(-PeriodPosition());
    }
    m_countdown = 0;
    m_idle = false;
    // Silent until every buffer is in place.
    m_controlPeriod = 0;
    m_queue.Reset(maxBlockSize);
    // Room for everything the queue can hand over at one tick.
    m_eventFifo.Reserve(m_queue.Capacity());

    // Every reset (a rate or block-size change, a suspend) restarts the
    // engine as a fresh instance at this rate starts, so that a host that
    // renders a song twice after resuming gets the same audio twice.
    m_chain.SetSampleRate(sampleRate);
    const int controlPeriod = m_chain.ControlPeriod();
    m_busFrames.assign(static_cast<std::size_t>(controlPeriod), BusFrame{});
    m_dirtyBusFrames = 0;
    m_banks.SetSampleRate(sampleRate);
    if (sampleRate != m_sampleRate) {
        m_cutoffTable.Build(sampleRate);
    }
    m_voices.Reset(sampleRate, controlPeriod);
    m_modulationWheel = 0.0;
    m_sampleRate = sampleRate;
    m_controlPeriod = controlPeriod;
    // Nothing is kept more than a second ahead.
    m_horizon = std::max<std::int64_t>(std::int64_t(sampleRate), controlPeriod);
}

// ---- MIDI intake -------------------------------------------------------------------

bool Engine::Accepts(const MidiMessage& message)
{
    const int kind = message.status >> 4;
    return kind >= kNoteOff && kind <= kPitchBend && message.data1 <= 127 && message.data2 <= 127;
}

void Engine::Intake(const MidiMessage& message)
{
    if (!Accepts(message)) {
        return;
    }
    // Position on the period clock; an offset before the block counts as
    // its first frame.
    const std::int64_t x = std::int64_t{std::max(message.frameOffset, 0)} + PeriodPosition();
    // Controllers beyond the first period act half a period later, at the
    // tick nearest to their sample.
    const std::int64_t atTick = x > m_controlPeriod ? x + m_controlPeriod / 2 : x;
    MidiMessage queued = message;
    switch (message.status >> 4) {
        case kNoteOff:
            Enqueue(queued, x, true);
            break;
        case kNoteOn:
            if (queued.data2 == 0) {
                queued.status = kNoteOff << 4;
            }
            Enqueue(queued, x, true);
            break;
        case kPolyPressure:
        case kProgramChange:
            break;
        case kController:
            if (message.data1 == kSustainPedal) {
                Enqueue(queued, x, true);
            } else if (message.data1 < kFirstModeController) {
                Enqueue(queued, atTick, false);
            } else if (message.data1 == kAllSoundOff || message.data1 == kAllNotesOff) {
                AllNotesOff();
            }
            break;
        default:
            // Channel pressure and pitch bend: queued like controllers, and
            // dropped by the control tick.
            Enqueue(queued, atTick, false);
            break;
    }
}

void Engine::Enqueue(MidiMessage message, std::int64_t x, bool noteEvent)
{
    // Nothing is kept more than a second ahead: a host's far-future offsets
    // wait at that horizon, in arrival order.
    x = std::min(x, m_horizon);
    if (noteEvent && m_countdown > 0 && x < m_controlPeriod) {
        // The current period's tick has run: straight to the sample loop.
        message.frameOffset = static_cast<std::int32_t>(x);
        m_eventFifo.Insert(message);
        return;
    }
    if (m_countdown > 0) {
        x -= m_controlPeriod;  // the queue counts from the next period's start
    }
    message.frameOffset = static_cast<std::int32_t>(x);
    m_queue.Insert(message);
}

void Engine::AllNotesOff()
{
    m_eventFifo.Clear();
    m_voices.AllNotesOff();
}

// ---- Rendering ---------------------------------------------------------------------

void Engine::TakeQueuedMidi()
{
    MidiQueue& queue = m_queue;
    while (!queue.Empty() && queue.Front().frameOffset < m_controlPeriod) {
        MidiMessage message = queue.Front();
        queue.Pop();
        message.frameOffset = std::max(message.frameOffset, 0);
        switch (message.status >> 4) {
            case kController:
                if (message.data1 == kModulationWheel) {
                    m_modulationWheel = message.data2 / 127.0;
                } else if (message.data1 == kSustainPedal) {
                    m_eventFifo.Insert(message);
                } else if (m_controllerSink != nullptr) {
                    m_controllerSink->OnController(message.data1, message.data2);
                }
                break;
            case kNoteOff:
            case kNoteOn:
                m_eventFifo.Insert(message);
                break;
            default:
                break;
        }
    }
    queue.ShiftOffsets(-m_controlPeriod);
}

bool Engine::CanIdle(int frames)
{
    if (m_referenceRendering || !m_idleRendering || !m_eventFifo.Empty() ||
        (!m_idle && m_voices.AnyActive())) {
        return false;
    }
    MidiQueue& queue = m_queue;
    if (!queue.Empty() && queue.Front().frameOffset < frames) {
        return false;
    }
    // After an idle period nothing but an event (checked above) starts a
    // voice, and the chain's states have not moved: only a change of its
    // settings ends the idle continuation.
    if (m_idle) {
        return m_chain.SilentCycleStillHolds();
    }
    return m_chain.CanSkipSilentPeriod(kIdleLevel);
}

void Engine::IdleTick()
{
    TakeQueuedMidi();  // nothing is due; the queue's clock moves on
    m_chain.SkipControlTick(m_modulationWheel);
    m_banks.UpdateAtControlTick();
    ++m_controlTicks;
    ++m_idlePeriods;
}

void Engine::ControlTick()
{
    TakeQueuedMidi();
    m_chain.UpdateModulation(m_modulationWheel);
    m_banks.UpdateAtControlTick();
    m_voices.ControlTick(m_chain.VcfModulationOffset());
    m_chain.UpdatePhaser();
    ++m_controlTicks;
}

void Engine::DispatchEvent(const MidiMessage& event)
{
    switch (event.status >> 4) {
        case kController:
            m_voices.SetSustainPedal(event.data2 != 0);
            break;
        case kNoteOff:
            m_voices.NoteOff(event.data1);
            break;
        case kNoteOn:
            m_voices.NoteOn(event.data1, event.data2);
            break;
        default:
            break;
    }
}

void Engine::RenderChunk(int start, int frames, double* left, double* right)
{
    BusFrame* buses = m_busFrames.data();
    // Only frames a voice wrote to since they were last cleared need
    // clearing: all bits 0 is +0.0 in every bus, and one fill of the frames
    // stores in the widest units the library has.
    static_assert(std::is_trivially_copyable_v<BusFrame>);
    const int dirty = std::min(frames, m_dirtyBusFrames);
    if (dirty > 0) {
        std::memset(static_cast<void*>(buses), 0, static_cast<std::size_t>(dirty) * sizeof(BusFrame));
    }
    if (m_dirtyBusFrames <= frames) {
        m_dirtyBusFrames = 0;
    }
    bool sounding = false;
    int i = 0;
    while (i < frames) {
        // Events are taken by their position in the control period, so a
        // chunk that starts inside the period finds them at the right frame.
        while (!m_eventFifo.Empty() && m_eventFifo.Front().frameOffset <= start + i) {
            const MidiMessage event = m_eventFifo.Front();
            m_eventFifo.Pop();
            DispatchEvent(event);
        }
        int end = frames;
        if (!m_eventFifo.Empty()) {
            end = std::clamp(m_eventFifo.Front().frameOffset - start, i + 1, frames);
        }
        if (m_referenceRendering) {
            sounding = true;
            for (int j = i; j < end; ++j) {
                m_voices.RenderFrameReference(buses[j]);
                m_chain.MixFrame(buses[j], j);
                m_banks.AdvancePhases();
            }
        } else {
            sounding = m_voices.Render(i, end, buses) || sounding;
        }
        i = end;
    }
    if (sounding) {
        m_dirtyBusFrames = std::max(m_dirtyBusFrames, frames);
    }
    if (m_referenceRendering) {
        m_chain.RenderChunk(frames, left, right);
        return;
    }
    m_banks.AdvancePhases(frames);
    if (sounding) {
        m_chain.MixChunk(buses, frames);
        m_chain.RenderChunk(frames, left, right);
    } else {
        m_chain.RenderSilentChunk(buses, frames, left, right);
    }
}

bool Engine::Render(double* left, double* right, int frames, bool writeSilence)
{
    if (frames <= 0) {
        return true;
    }
    // The outputs are zeroed once, when the first computed stretch comes;
    // idle continuations write nothing.
    bool zeroed = false;
    bool computed = false;
    auto zero = [&] {
        if (!zeroed) {
            std::fill_n(left, frames, 0.0);
            std::fill_n(right, frames, 0.0);
            zeroed = true;
        }
    };
    if (m_controlPeriod < 1) {
        zero();
        return true;
    }
    int position = 0;
    while (position < frames) {
        const int remaining = frames - position;
        int start;
        int n;
        if (m_countdown < 1) {
            m_idle = CanIdle(remaining);
            if (m_idle) {
                IdleTick();
            }
        } else if (m_idle && !m_eventFifo.Empty()) {
            // A note for this period arrived after its tick was skipped: the
            // period is computed from here on, as after a full tick.
            m_chain.CompleteSkippedTick();
            m_voices.ControlTick(m_chain.VcfModulationOffset());
            m_idle = false;
        }
        if (m_idle) {
            // Silence; only the oscillators move on.
            n = std::min(remaining, m_countdown < 1 ? m_controlPeriod : m_countdown);
            m_countdown = (m_countdown < 1 ? m_controlPeriod : m_countdown) - n;
            m_banks.AdvancePhases(n);
            position += n;
            continue;
        }
        zero();
        computed = true;
        if (m_countdown < 1) {
            ControlTick();
            start = 0;
            n = std::min(remaining, m_controlPeriod);
            m_countdown = m_controlPeriod - n;
        } else {
            start = m_controlPeriod - m_countdown;
            n = std::min(remaining, m_countdown);
            m_countdown -= n;
        }
        RenderChunk(start, n, left + position, right + position);
        position += n;
    }
    if (writeSilence) {
        zero();
    }
    return !computed;
}
