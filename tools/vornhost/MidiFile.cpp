#include "tools/vornhost/MidiFile.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

constexpr std::uint32_t kDefaultMicrosecondsPerQuarter = 500000;  // 120 beats per minute

struct TempoChange {
    std::uint64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = kDefaultMicrosecondsPerQuarter;
};

// A tempo segment: from tick on, time runs at secondsPerTick.
struct TempoSegment {
    std::uint64_t tick = 0;
    double seconds = 0.0;
    double secondsPerTick = 0.0;
};

std::string Format(const char* format, auto... args)
{
    char text[160];
    std::snprintf(text, sizeof(text), format, args...);
    return text;
}

std::uint32_t ReadBigEndian(std::span<const unsigned char> bytes, std::size_t position, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = (value << 8) | bytes[position + static_cast<std::size_t>(i)];
    }
    return value;
}

// Variable-length quantity of at most four bytes (28 bits) ending before end.
bool ReadVarint(std::span<const unsigned char> bytes, std::size_t& position, std::size_t end,
                std::uint32_t& value)
{
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (position >= end) {
            return false;
        }
        const unsigned char byte = bytes[position++];
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80u) == 0) {
            return true;
        }
    }
    return false;
}

class TrackParser {
public:
    TrackParser(std::span<const unsigned char> bytes, int track, std::vector<MidiFileEvent>& events,
                std::vector<TempoChange>& tempos)
        : m_bytes(bytes), m_track(track), m_events(events), m_tempos(tempos)
    {
    }

    // Parses the track's data from begin to end; endTick receives the track's length.
    bool Parse(std::size_t begin, std::size_t end, std::uint64_t& endTick, std::string& error)
    {
        std::size_t position = begin;
        std::uint64_t tick = 0;
        unsigned char runningStatus = 0;  // none at the start of every track
        while (position < end) {
            const std::size_t eventStart = position;
            std::uint32_t delta = 0;
            if (!ReadVarint(m_bytes, position, end, delta)) {
                return Fail(error, eventStart, "bad or truncated delta time");
            }
            tick += delta;
            if (position >= end) {
                return Fail(error, eventStart, "event missing after its delta time");
            }
            unsigned char status = m_bytes[position];
            if (status & 0x80u) {
                ++position;
            } else if (runningStatus != 0) {
                status = runningStatus;
            } else {
                return Fail(error, position, "data byte without a running status");
            }

            if (status < 0xF0) {
                runningStatus = status;
                if (!ReadChannelMessage(status, position, end, tick, error)) {
                    return false;
                }
            } else if (status == 0xFF) {
                // Meta and system-exclusive events cancel running status.
                runningStatus = 0;
                bool endOfTrack = false;
                if (!ReadMetaEvent(position, end, tick, endOfTrack, error)) {
                    return false;
                }
                if (endOfTrack) {
                    break;  // bytes after the end-of-track event are ignored
                }
            } else if (status == 0xF0 || status == 0xF7) {
                runningStatus = 0;
                std::uint32_t length = 0;
                if (!ReadVarint(m_bytes, position, end, length) || length > end - position) {
                    return Fail(error, eventStart, "truncated system-exclusive event");
                }
                position += length;
            } else {
                return Fail(error, position - 1,
                            Format("status byte 0x%02X does not belong in a file", status).c_str());
            }
        }
        endTick = tick;
        return true;
    }

private:
    bool Fail(std::string& error, std::size_t position, const char* what) const
    {
        error = Format("track %d, byte %zu: %s", m_track, position, what);
        return false;
    }

    bool ReadChannelMessage(unsigned char status, std::size_t& position, std::size_t end, std::uint64_t tick,
                            std::string& error)
    {
        const unsigned char kind = status & 0xF0u;
        const int dataCount = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        MidiFileEvent event;
        event.tick = tick;
        event.track = m_track;
        event.size = 1 + dataCount;
        event.bytes[0] = status;
        for (int i = 0; i < dataCount; ++i) {
            if (position >= end) {
                return Fail(error, position, "truncated channel message");
            }
            const unsigned char data = m_bytes[position];
            if (data & 0x80u) {
                return Fail(error, position, "status byte where a data byte belongs");
            }
            event.bytes[static_cast<std::size_t>(1 + i)] = data;
            ++position;
        }
        if (kind == 0x90 && event.bytes[2] == 0) {
            event.bytes[0] = static_cast<unsigned char>(0x80u | (status & 0x0Fu));
        }
        if (m_events.size() >= kMaxMidiFileEvents) {
            return Fail(error, position, "too many events");
        }
        m_events.push_back(event);
        return true;
    }

    bool ReadMetaEvent(std::size_t& position, std::size_t end, std::uint64_t tick, bool& endOfTrack,
                       std::string& error)
    {
        const std::size_t start = position;
        if (position >= end) {
            return Fail(error, start, "truncated meta event");
        }
        const unsigned char type = m_bytes[position++];
        std::uint32_t length = 0;
        if (!ReadVarint(m_bytes, position, end, length) || length > end - position) {
            return Fail(error, start, "truncated meta event");
        }
        if (type == 0x51) {
            if (length != 3) {
                return Fail(error, start, "tempo event without three data bytes");
            }
            const std::uint32_t microseconds = ReadBigEndian(m_bytes, position, 3);
            if (microseconds == 0) {
                return Fail(error, start, "tempo of 0 microseconds per quarter note");
            }
            if (m_tempos.size() >= kMaxMidiFileEvents) {
                return Fail(error, start, "too many tempo changes");
            }
            m_tempos.push_back({tick, microseconds});
        } else if (type == 0x2F) {
            endOfTrack = true;
        }
        position += length;
        return true;
    }

    std::span<const unsigned char> m_bytes;
    int m_track;
    std::vector<MidiFileEvent>& m_events;
    std::vector<TempoChange>& m_tempos;
};

// Tick to seconds, for files that count in quarter notes (tempo map) or in SMPTE frames.
class TimeMap {
public:
    TimeMap(std::uint16_t division, std::vector<TempoChange> tempos)
    {
        if (division & 0x8000u) {
            // High byte: minus the frame rate (29 stands for 30000/1001); low byte: ticks per frame.
            const int framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
            const double rate = framesPerSecond == 29 ? 30000.0 / 1001.0 : framesPerSecond;
            m_segments.push_back({0, 0.0, 1.0 / (rate * static_cast<double>(division & 0xFFu))});
            return;
        }
        const double ticksPerQuarter = division;
        std::stable_sort(tempos.begin(), tempos.end(),
                         [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
        m_segments.push_back({0, 0.0, kDefaultMicrosecondsPerQuarter * 1e-6 / ticksPerQuarter});
        for (const TempoChange& change : tempos) {
            const double secondsPerTick = change.microsecondsPerQuarter * 1e-6 / ticksPerQuarter;
            TempoSegment& last = m_segments.back();
            if (change.tick == last.tick) {
                last.secondsPerTick = secondsPerTick;  // the later of equal-time changes wins
            } else {
                m_segments.push_back({change.tick, Seconds(change.tick), secondsPerTick});
            }
        }
    }

    double Seconds(std::uint64_t tick) const
    {
        auto segment = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                                        [](std::uint64_t t, const TempoSegment& s) { return t < s.tick; });
        --segment;  // the first segment starts at tick 0
        return segment->seconds + static_cast<double>(tick - segment->tick) * segment->secondsPerTick;
    }

private:
    std::vector<TempoSegment> m_segments;
};

// True when division names a usable time base.
bool ValidDivision(std::uint16_t division)
{
    if ((division & 0x8000u) == 0) {
        return division != 0;
    }
    const int framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
    const bool knownRate =
        framesPerSecond == 24 || framesPerSecond == 25 || framesPerSecond == 29 || framesPerSecond == 30;
    return knownRate && (division & 0xFFu) != 0;
}

}  // namespace

bool ParseMidiFile(std::span<const unsigned char> bytes, MidiSequence& sequence, std::string& error)
{
    sequence = MidiSequence{};
    constexpr std::size_t kChunkHeader = 8;
    if (bytes.size() < kChunkHeader + 6 || !std::equal(bytes.begin(), bytes.begin() + 4, "MThd")) {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    const std::uint32_t headerLength = ReadBigEndian(bytes, 4, 4);
    if (headerLength < 6 || headerLength > bytes.size() - kChunkHeader) {
        error = Format("header chunk length %u is invalid", headerLength);
        return false;
    }
    const auto format = static_cast<int>(ReadBigEndian(bytes, 8, 2));
    const auto declaredTracks = static_cast<int>(ReadBigEndian(bytes, 10, 2));
    const auto division = static_cast<std::uint16_t>(ReadBigEndian(bytes, 12, 2));
    if (format == 2) {
        error = "format 2 (independent sequences) is not supported";
        return false;
    }
    if (format > 2) {
        error = Format("unknown format %d", format);
        return false;
    }
    if (declaredTracks == 0 || (format == 0 && declaredTracks != 1)) {
        error = Format("format %d with %d tracks", format, declaredTracks);
        return false;
    }
    if (!ValidDivision(division)) {
        error = Format("invalid time division 0x%04X", static_cast<unsigned>(division));
        return false;
    }

    std::vector<MidiFileEvent> events;
    std::vector<TempoChange> tempos;
    std::uint64_t lengthTicks = 0;
    int tracks = 0;
    std::size_t position = kChunkHeader + headerLength;
    // Anything after the declared tracks is ignored.
    while (tracks < declaredTracks) {
        if (bytes.size() - position < kChunkHeader) {
            error = Format("truncated: %d of %d tracks present", tracks, declaredTracks);
            return false;
        }
        const std::uint32_t length = ReadBigEndian(bytes, position + 4, 4);
        const std::size_t begin = position + kChunkHeader;
        if (length > bytes.size() - begin) {
            error = Format("chunk at byte %zu claims %u bytes, %zu remain", position, length,
                           bytes.size() - begin);
            return false;
        }
        const bool isTrack = std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                                        bytes.begin() + static_cast<std::ptrdiff_t>(position + 4), "MTrk");
        if (isTrack) {
            std::uint64_t endTick = 0;
            TrackParser parser(bytes, tracks, events, tempos);
            if (!parser.Parse(begin, begin + length, endTick, error)) {
                return false;
            }
            lengthTicks = std::max(lengthTicks, endTick);
            ++tracks;
        }
        position = begin + length;
    }

    // Tracks were appended in order, so equal ticks keep track order, then file order.
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
    const TimeMap timeMap(division, std::move(tempos));
    for (MidiFileEvent& event : events) {
        event.seconds = timeMap.Seconds(event.tick);
    }
    sequence.format = format;
    sequence.trackCount = tracks;
    sequence.events = std::move(events);
    sequence.lengthTicks = lengthTicks;
    sequence.lengthSeconds = timeMap.Seconds(lengthTicks);
    return true;
}

bool ReadMidiFile(const std::string& path, MidiSequence& sequence, std::string& error)
{
    sequence = MidiSequence{};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    std::size_t count = 0;
    bool tooBig = false;
    while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        if (bytes.size() + count > kMaxMidiFileBytes) {
            tooBig = true;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (tooBig) {
        error = path + " is larger than " + std::to_string(kMaxMidiFileBytes >> 20) + " MiB";
        return false;
    }
    if (readError) {
        error = "cannot read " + path;
        return false;
    }
    if (!ParseMidiFile(bytes, sequence, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}
