// Reader of Standard MIDI Files (format 0 and 1) into one time-ordered list of
// channel messages with their times in seconds.
//
// The tempo map is global: tempo changes in any track apply to every track.
// Running status is honoured within a track; meta and system-exclusive events
// are skipped (they cancel running status), note-on with velocity 0 becomes a
// note-off. Unknown chunks are skipped. Every malformed input ends in false and
// an error message; memory use is bounded by the input size and by
// kMaxMidiFileEvents.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Files above this size are refused before they are read.
inline constexpr std::size_t kMaxMidiFileBytes = 16u << 20;
// Bound on the channel messages (and, separately, tempo changes) of one file.
inline constexpr std::size_t kMaxMidiFileEvents = 1u << 21;

struct MidiFileEvent {
    std::uint64_t tick = 0;  // absolute, in the file's division
    double seconds = 0.0;    // absolute, through the tempo map
    int track = 0;           // index among the file's track chunks
    int size = 0;            // 1..3 bytes used
    std::array<unsigned char, 3> bytes{};
};

struct MidiSequence {
    int format = 0;
    int trackCount = 0;
    // Channel messages in time order; equal ticks keep track order, then file order.
    std::vector<MidiFileEvent> events;
    // The end of the longest track (its end-of-track event, or its last event).
    std::uint64_t lengthTicks = 0;
    double lengthSeconds = 0.0;
};

// Parses a whole file held in memory. On failure sequence is left empty.
bool ParseMidiFile(std::span<const unsigned char> bytes, MidiSequence& sequence, std::string& error);
// Reads and parses the file at path; refuses files above kMaxMidiFileBytes.
bool ReadMidiFile(const std::string& path, MidiSequence& sequence, std::string& error);
