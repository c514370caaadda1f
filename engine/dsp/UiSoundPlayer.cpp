#include "engine/dsp/UiSoundPlayer.h"

#include <algorithm>
#include <cmath>

namespace {
constinit UiSoundPlayer g_player;
constinit std::atomic<std::uint32_t> g_randomCounter{0x6D2B79F5u};

constexpr int kScratchStartModulus = 8192;
}  // namespace

UiSoundPlayer& UiSoundPlayer::Instance()
{
    return g_player;
}

std::uint32_t UiSoundPlayer::Random()
{
    // A Weyl sequence through an integer hash (lowbias32): each call gets a
    // distinct counter value, so concurrent callers never share state.
    std::uint32_t x = g_randomCounter.fetch_add(0x9E3779B9u, std::memory_order_relaxed);
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

bool UiSoundPlayer::LoadTables(std::span<const std::uint8_t> click1, std::span<const std::uint8_t> click2,
                               std::span<const std::uint8_t> scratch)
{
    std::uint32_t expected = kTablesEmpty;
    if (!m_tablesState.compare_exchange_strong(expected, kTablesBuilding, std::memory_order_acquire)) {
        return false;
    }
    const std::span<const std::uint8_t> sources[kSoundCount] = {click1, click2, scratch};
    for (int s = 0; s < kSoundCount; ++s) {
        const int length = static_cast<int>(std::min<std::size_t>(sources[s].size(), kCapacities[s]));
        double* table = m_samples.data() + kOffsets[s];
        for (int k = 0; k < length; ++k) {
            const auto sample = static_cast<std::int8_t>(sources[s][static_cast<std::size_t>(k)]);
            table[length - 1 - k] = sample / 128.0;
        }
        m_lengths[static_cast<std::size_t>(s)] = length;
    }
    m_tablesState.store(kTablesReady, std::memory_order_release);
    return true;
}

int UiSoundPlayer::TableLength(Sound sound) const
{
    if (m_tablesState.load(std::memory_order_acquire) != kTablesReady) {
        return 0;
    }
    return m_lengths[static_cast<std::size_t>(sound)];
}

bool UiSoundPlayer::IsIdle() const
{
    return m_state.load(std::memory_order_acquire) == kIdle;
}

bool UiSoundPlayer::TriggerClick(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) {
        return false;
    }
    const Sound sound = Random() % 2 == 0 ? Sound::Click1 : Sound::Click2;
    return Start(sound, TableLength(sound) - 1, kRecordedRate / sampleRate);
}

bool UiSoundPlayer::StartScratch(double sampleRate)
{
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) {
        return false;
    }
    const double position = static_cast<double>(Random() % kScratchStartModulus) - 1.0;
    return Start(Sound::Scratch, position, kRecordedRate / sampleRate);
}

bool UiSoundPlayer::Start(Sound sound, double position, double step)
{
    const int index = static_cast<int>(sound);
    if (index < 0 || index >= kSoundCount || std::isnan(position) || !(step > 0.0) || !std::isfinite(step)) {
        return false;
    }
    const int length = TableLength(sound);  // acquires the tables
    if (length <= 0) {
        return false;
    }
    std::uint32_t expected = kIdle;
    if (!m_state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire,
                                         std::memory_order_relaxed)) {
        return false;
    }
    m_requestSound = sound;
    m_requestPosition = std::min(position, static_cast<double>(length - 1));
    m_requestStep = step;
    m_state.store(kPending, std::memory_order_release);
    return true;
}

void UiSoundPlayer::AddTo(double* left, double* right, int frames)
{
    if (!left || !right || frames <= 0) {
        return;
    }
    if (m_reading.test_and_set(std::memory_order_acquire)) {
        return;  // another instance's audio thread is playing this moment
    }
    std::uint32_t state = m_state.load(std::memory_order_acquire);
    if (state == kPending) {
        m_sound = m_requestSound;
        m_position = m_requestPosition;
        m_step = m_requestStep;
        m_state.store(kPlaying, std::memory_order_relaxed);
        state = kPlaying;
    }
    if (state == kPlaying) {
        // Start() keeps the position at most length - 1, and it only falls,
        // so every index read lies inside the table.
        const double* table = Table(m_sound);
        for (int i = 0; i < frames; ++i) {
            if (m_position <= 0.0) {
                m_state.store(kIdle, std::memory_order_release);
                break;
            }
            const double sample = table[static_cast<int>(m_position)];
            m_position -= m_step;
            left[i] += sample;
            right[i] += sample;
        }
    }
    m_reading.clear(std::memory_order_release);
}
