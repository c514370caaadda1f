// One-shot user-interface sounds (button clicks, the knob scratch), shared by
// every plug-in instance of the process. The editor thread starts a sound; the
// audio thread plays it into the master section's output buffers.
//
// The tables come from three module resources of type "WAVE" holding signed
// 8-bit mono samples recorded at 32 kHz. They are stored divided by 128 and in
// reverse order (table[length - 1 - k] = sample k / 128) and read downwards
// from a start position, so a sound plays forwards; starting below the end
// plays only the sound's last part.
//
// Handing a start to the audio thread: one atomic state word, without locks.
//   Idle    --editor: compare-exchange-->  Claimed  (only one starter wins)
//   Claimed --editor: writes the request (sound, position, step), then a
//                     release store-->    Pending
//   Pending --audio: acquire load, copies the request-->  Playing
//   Playing --audio: position reached 0, release store-->  Idle
// The request fields are plain values written only between a successful claim
// and the release store of Pending, and read only by the audio thread after
// its acquire load of Pending and before its release store of Idle; the
// editor's next claim acquires that store. Every access to them is thus
// ordered by happens-before, so there is no data race. The tables are written
// once before a release store of the "tables ready" word, which every start
// acquires before publishing its request, so the audio thread sees them
// complete. Playback state (current sound, position, step) belongs to the
// audio thread; when two instances render on different threads at the same
// time, a non-blocking guard lets one of them play the block and the other
// skip it, so that state is never touched by two threads at once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

class UiSoundPlayer {
public:
    enum class Sound : std::uint8_t { Click1, Click2, Scratch };
    static constexpr int kSoundCount = 3;

    // Resource type and names, in Sound order, and the lengths in samples the
    // tables hold at most (longer resources are cut to these).
    static constexpr const char* kResourceType = "WAVE";
    static constexpr const char* kResourceNames[kSoundCount] = {"click1.bin", "click2.bin", "scratch.bin"};
    static constexpr int kClickLength = 2048;
    static constexpr int kScratchLength = 16384;
    // Sample rate of the recordings, Hz.
    static constexpr double kRecordedRate = 32000.0;

    // Idle, with empty tables. Tests make their own players; the product uses
    // Instance().
    constexpr UiSoundPlayer() = default;
    UiSoundPlayer(const UiSoundPlayer&) = delete;
    UiSoundPlayer& operator=(const UiSoundPlayer&) = delete;

    // The process-wide player (constant-initialised: usable from any thread
    // at any time).
    static UiSoundPlayer& Instance();

    // Builds the tables from the raw bytes of the three resources (signed
    // 8-bit samples; an empty span leaves that sound silent). Only the first
    // call has an effect; it returns true, later calls false. Not for the
    // audio thread (it writes 160 KB); any other thread, e.g. at plug-in
    // construction.
    bool LoadTables(std::span<const std::uint8_t> click1, std::span<const std::uint8_t> click2,
                    std::span<const std::uint8_t> scratch);

    // Samples in a sound's table: 0 before LoadTables or when its resource
    // was missing.
    int TableLength(Sound sound) const;

    // True when no sound plays and none waits to start.
    bool IsIdle() const;

    // Editor thread (any thread but the audio thread). Each start is accepted
    // only while the player is idle, never disturbing a running sound, and
    // returns whether it was accepted.
    //
    // A click at a host sample rate in Hz: step 32000 / sample rate; click1
    // or click2 by the parity of a random number (even: click1); from the
    // table's last position. A sample rate that is not positive and finite
    // is refused.
    bool TriggerClick(double sampleRate);
    // The knob scratch: step 32000 / sample rate, from position
    // (random number modulo 8192) - 1.
    bool StartScratch(double sampleRate);
    // Any sound from a table position (samples; above the table's last
    // position counts as the last; 0 or below ends the sound at its first
    // read) with a step in table samples per output sample (positive and
    // finite). Refused as well for a NaN position, a sound whose table is
    // empty, or before LoadTables.
    bool Start(Sound sound, double position, double step);

    // Audio thread, from the master section after the phaser: adds `frames`
    // samples of the current sound to both buffers (the same value to left
    // and right), advancing the position by the step per frame. When the
    // position has reached 0 the player becomes idle and adds nothing more.
    // A start made since the last call begins here. Null buffers or
    // frames <= 0 do nothing. No allocation, lock or I/O.
    void AddTo(double* left, double* right, int frames);

    // Process-wide pseudo-random numbers for the click choice and the scratch
    // start; lock-free and safe from any thread.
    static std::uint32_t Random();

private:
    enum State : std::uint32_t { kIdle, kClaimed, kPending, kPlaying };
    enum TablesState : std::uint32_t { kTablesEmpty, kTablesBuilding, kTablesReady };
    static constexpr int kOffsets[kSoundCount] = {0, kClickLength, 2 * kClickLength};
    static constexpr int kCapacities[kSoundCount] = {kClickLength, kClickLength, kScratchLength};

    const double* Table(Sound sound) const { return m_samples.data() + kOffsets[static_cast<int>(sound)]; }

    std::array<double, 2 * kClickLength + kScratchLength> m_samples{};
    std::array<int, kSoundCount> m_lengths{};
    std::atomic<std::uint32_t> m_tablesState{kTablesEmpty};

    std::atomic<std::uint32_t> m_state{kIdle};
    // The request: written by the starter in Claimed, read by the audio thread in Pending.
    Sound m_requestSound = Sound::Click1;
    double m_requestPosition = 0.0;
    double m_requestStep = 0.0;

    // Set while one audio thread is inside AddTo.
    std::atomic_flag m_reading;
    // Playback state, owned by whichever audio thread holds m_reading.
    Sound m_sound = Sound::Click1;
    double m_position = 0.0;  // table samples
    double m_step = 0.0;      // table samples per output sample
};
