// The Standard MIDI File reader on hand-built files: formats 0 and 1, the
// tempo map shared by all tracks, running status, skipped meta and
// system-exclusive events, and malformed or hostile input.
#include "tools/vornhost/MidiFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes BigEndian(std::uint32_t value, int count)
{
    Bytes bytes;
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
    return bytes;
}

Bytes Varint(std::uint32_t value)
{
    Bytes bytes{static_cast<unsigned char>(value & 0x7F)};
    while ((value >>= 7) != 0) {
        bytes.insert(bytes.begin(), static_cast<unsigned char>(0x80 | (value & 0x7F)));
    }
    return bytes;
}

Bytes Header(int format, int tracks, int division)
{
    return Cat({{'M', 'T', 'h', 'd'},
                BigEndian(6, 4),
                BigEndian(static_cast<std::uint32_t>(format), 2),
                BigEndian(static_cast<std::uint32_t>(tracks), 2),
                BigEndian(static_cast<std::uint32_t>(division), 2)});
}

Bytes Chunk(const char (&type)[5], const Bytes& body)
{
    return Cat({{static_cast<unsigned char>(type[0]), static_cast<unsigned char>(type[1]),
                 static_cast<unsigned char>(type[2]), static_cast<unsigned char>(type[3])},
                BigEndian(static_cast<std::uint32_t>(body.size()), 4),
                body});
}

Bytes Track(const Bytes& body)
{
    return Chunk("MTrk", body);
}

Bytes Tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter)
{
    return Cat({Varint(delta), {0xFF, 0x51, 0x03}, BigEndian(microsecondsPerQuarter, 3)});
}

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

struct Expected {
    std::uint64_t tick;
    double seconds;
    unsigned char status, data1, data2;
};

void ExpectEvents(const MidiSequence& sequence, std::initializer_list<Expected> expected)
{
    ASSERT_EQ(sequence.events.size(), expected.size());
    std::size_t i = 0;
    for (const Expected& e : expected) {
        SCOPED_TRACE("event " + std::to_string(i));
        const MidiFileEvent& event = sequence.events[i++];
        EXPECT_EQ(event.tick, e.tick);
        EXPECT_NEAR(event.seconds, e.seconds, 1e-9);
        EXPECT_EQ(event.bytes[0], e.status);
        EXPECT_EQ(event.bytes[1], e.data1);
        if (event.size == 3) {
            EXPECT_EQ(event.bytes[2], e.data2);
        }
    }
}

bool Parse(const Bytes& bytes, MidiSequence& sequence, std::string& error)
{
    return ParseMidiFile(bytes, sequence, error);
}

// Format 0, 96 ticks per quarter at the default 120 beats per minute: a tick
// lasts 1/192 s. Running status, a velocity-0 note-on, a program change
// under running status, and meta and sysex events in between.
Bytes FormatZeroFile()
{
    const Bytes body = Cat({
        {0x00, 0xFF, 0x03, 0x04, 'D', 'e', 'm', 'o'},  // track name
        {0x00, 0x90, 60, 100},                         // note on
        {0x00, 64, 90},                                // running status: note on 64
        {0x60, 60, 0},                                 // running status, velocity 0: note off 60
        {0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7},          // sysex, skipped
        {0x30, 0x80, 64, 0},                           // note off (status again after sysex)
        {0x00, 0xC1, 5},                               // program change, one data byte
        {0x00, 7},                                     // running status with one data byte
        {0x00, 0xF7, 0x02, 0x01, 0x02},                // sysex continuation packet, skipped
        {0x00, 0xB0, 7, 100},
        {0x83, 0x00, 0xFF, 0x2F, 0x00},  // end of track at tick 144 + 384
        {0x90, 1, 1},                    // after the end: ignored
    });
    return Cat({Header(0, 1, 96), Track(body)});
}

}  // namespace

TEST(MidiFile, FormatZeroWithRunningStatusAndSkippedEvents)
{
    MidiSequence sequence;
    std::string error;
    ASSERT_TRUE(Parse(FormatZeroFile(), sequence, error)) << error;
    EXPECT_EQ(sequence.format, 0);
    EXPECT_EQ(sequence.trackCount, 1);
    ExpectEvents(sequence, {
                               {0, 0.0, 0x90, 60, 100},
                               {0, 0.0, 0x90, 64, 90},
                               {96, 0.5, 0x80, 60, 0},
                               {144, 0.75, 0x80, 64, 0},
                               {144, 0.75, 0xC1, 5, 0},
                               {144, 0.75, 0xC1, 7, 0},
                               {144, 0.75, 0xB0, 7, 100},
                           });
    EXPECT_EQ(sequence.events[4].size, 2);
    EXPECT_EQ(sequence.events[0].size, 3);
    EXPECT_EQ(sequence.lengthTicks, 144u + 384u);
    EXPECT_NEAR(sequence.lengthSeconds, 528.0 / 192.0, 1e-9);
}

TEST(MidiFile, TempoChangesInAnyTrackApplyToAllTracks)
{
    // Track 0 sets 60 bpm at tick 192; track 2 sets 240 bpm at tick 384; the
    // notes of track 1 follow both. Division 96: 192 ticks at 120 bpm = 1 s.
    const Bytes conductor = Cat({Tempo(192, 1000000), kEndOfTrack});
    const Bytes notes = Cat({{0x00, 0x91, 60, 100},
                             {0x81, 0x40, 0x81, 60, 0},  // tick 192
                             {0x60, 0x91, 62, 100},      // tick 288
                             {0x60, 0x81, 62, 0},        // tick 384
                             {0x60, 0x91, 64, 100},      // tick 480
                             kEndOfTrack});
    const Bytes other =
        Cat({Tempo(384, 250000), {0x00, 0x92, 67, 80}, {0x83, 0x00, 0x82, 67, 0}, kEndOfTrack});
    MidiSequence sequence;
    std::string error;
    ASSERT_TRUE(Parse(Cat({Header(1, 3, 96), Track(conductor), Track(notes), Track(other)}), sequence, error))
        << error;
    EXPECT_EQ(sequence.format, 1);
    EXPECT_EQ(sequence.trackCount, 3);
    // 0..192 at 0.5 s per quarter (1 s), 192..384 at 1 s per quarter (2 s), then 0.25 s per quarter.
    ExpectEvents(sequence, {
                               {0, 0.0, 0x91, 60, 100},
                               {192, 1.0, 0x81, 60, 0},
                               {288, 2.0, 0x91, 62, 100},
                               {384, 3.0, 0x81, 62, 0},
                               {384, 3.0, 0x92, 67, 80},  // equal ticks: track order
                               {480, 3.25, 0x91, 64, 100},
                               {768, 4.0, 0x82, 67, 0},
                           });
    EXPECT_EQ(sequence.events[3].track, 1);
    EXPECT_EQ(sequence.events[4].track, 2);
    EXPECT_EQ(sequence.lengthTicks, 768u);
    EXPECT_NEAR(sequence.lengthSeconds, 4.0, 1e-9);
}

TEST(MidiFile, TimeBasesAndLayoutVariants)
{
    MidiSequence sequence;
    std::string error;

    // Two tempo events at one tick: the later one wins.
    const Bytes twoTempos = Cat({Tempo(0, 1000000), Tempo(0, 2000000), {0x60, 0x90, 60, 1}, kEndOfTrack});
    ASSERT_TRUE(Parse(Cat({Header(0, 1, 96), Track(twoTempos)}), sequence, error)) << error;
    ExpectEvents(sequence, {{96, 2.0, 0x90, 60, 1}});

    // SMPTE: 25 frames per second, 40 ticks per frame = 1 ms per tick; tempo events do not matter.
    const Bytes smpte = Cat({Tempo(0, 1000000), {0x81, 0x70, 0x90, 60, 1}, kEndOfTrack});  // tick 240
    ASSERT_TRUE(Parse(Cat({Header(0, 1, 0xE728), Track(smpte)}), sequence, error)) << error;
    ExpectEvents(sequence, {{240, 0.240, 0x90, 60, 1}});
    // 29 stands for 30000/1001 frames per second.
    ASSERT_TRUE(Parse(Cat({Header(0, 1, 0xE301), Track(smpte)}), sequence, error)) << error;
    EXPECT_NEAR(sequence.events[0].seconds, 240.0 * 1001.0 / 30000.0, 1e-9);

    // Unknown chunks are skipped, a longer header is accepted, a track may
    // lack its end-of-track event, and bytes after the last track are ignored.
    Bytes longHeader = Header(1, 2, 96);
    longHeader[7] = 8;
    longHeader.insert(longHeader.end(), {0xAA, 0xBB});
    const Bytes file = Cat({longHeader,
                            Chunk("XFIH", {1, 2, 3}),
                            Track({0x00, 0x90, 60, 1}),
                            Chunk("MTrk", Cat({{0x10, 0x90, 62, 1}, kEndOfTrack})),
                            {0x00, 0x01}});
    ASSERT_TRUE(Parse(file, sequence, error)) << error;
    ExpectEvents(sequence, {{0, 0.0, 0x90, 60, 1}, {16, 16.0 / 192.0, 0x90, 62, 1}});
    EXPECT_EQ(sequence.lengthTicks, 16u);

    // The largest delta times add up without overflow.
    Bytes longTrack;
    for (int i = 0; i < 4; ++i) {
        longTrack = Cat({longTrack, {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1}});
    }
    ASSERT_TRUE(Parse(Cat({Header(0, 1, 1), Track(longTrack)}), sequence, error)) << error;
    EXPECT_EQ(sequence.lengthTicks, 4u * 0x0FFFFFFFu);
    EXPECT_NEAR(sequence.lengthSeconds, 4.0 * 0x0FFFFFFF * 0.5, 1.0);
}

TEST(MidiFile, MalformedFilesFailWithAMessage)
{
    const Bytes good = Cat({Header(0, 1, 96), Track(Cat({{0x00, 0x90, 60, 100}, kEndOfTrack}))});
    struct Case {
        const char* what;
        Bytes bytes;
    };
    Bytes hugeHeader = Header(0, 1, 96);
    hugeHeader[4] = 0x7F;
    Bytes shortHeader = Header(0, 1, 96);
    shortHeader[7] = 5;
    Bytes hugeTrack = good;
    hugeTrack[18] = 0xFF;  // track length's high byte
    const Case cases[] = {
        {"empty", {}},
        {"not a MIDI file", {'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}},
        {"header only partly there", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}},
        {"header length beyond the file", hugeHeader},
        {"header length below 6", shortHeader},
        {"format 2", Cat({Header(2, 1, 96), Track(kEndOfTrack)})},
        {"format 7", Cat({Header(7, 1, 96), Track(kEndOfTrack)})},
        {"format 0 with two tracks", Cat({Header(0, 2, 96), Track(kEndOfTrack), Track(kEndOfTrack)})},
        {"no tracks", Header(1, 0, 96)},
        {"division 0", Cat({Header(0, 1, 0), Track(kEndOfTrack)})},
        {"SMPTE rate 26", Cat({Header(0, 1, 0xE628), Track(kEndOfTrack)})},
        {"SMPTE with 0 ticks per frame", Cat({Header(0, 1, 0xE700), Track(kEndOfTrack)})},
        {"fewer tracks than declared", Cat({Header(1, 3, 96), Track(kEndOfTrack), Track(kEndOfTrack)})},
        {"track length beyond the file", hugeTrack},
        {"only an unknown chunk", Cat({Header(0, 1, 96), Chunk("JUNK", {1, 2})})},
        {"partial chunk header", Cat({Header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0}})},
        {"truncated note", Cat({Header(0, 1, 96), Track({0x00, 0x90, 60})})},
        {"delta time without an event", Cat({Header(0, 1, 96), Track({0x00})})},
        {"five-byte delta time", Cat({Header(0, 1, 96), Track({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1})})},
        {"delta time cut off", Cat({Header(0, 1, 96), Track({0x81, 0x80})})},
        {"data byte at the start of a track", Cat({Header(0, 1, 96), Track({0x00, 60, 100})})},
        {"running status carried into the next track",
         Cat({Header(1, 2, 96), Track({0x00, 0x90, 60, 100}), Track({0x00, 62, 100})})},
        {"running status after a meta event",
         Cat({Header(0, 1, 96), Track({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 62, 100})})},
        {"running status after sysex",
         Cat({Header(0, 1, 96), Track({0x00, 0x90, 60, 100, 0x00, 0xF0, 0x01, 0xF7, 0x00, 62, 100})})},
        {"status byte inside a message", Cat({Header(0, 1, 96), Track({0x00, 0x90, 60, 0x80})})},
        {"real-time status in a file", Cat({Header(0, 1, 96), Track({0x00, 0xF8})})},
        {"song position in a file", Cat({Header(0, 1, 96), Track({0x00, 0xF2, 0x00, 0x00})})},
        {"sysex longer than its track",
         Cat({Header(0, 1, 96), Track({0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x01})})},
        {"meta event longer than its track",
         Cat({Header(0, 1, 96), Track({0x00, 0xFF, 0x01, 0x85, 0x00, 'a'})})},
        {"meta event without a type", Cat({Header(0, 1, 96), Track({0x00, 0xFF})})},
        {"meta length cut off", Cat({Header(0, 1, 96), Track({0x00, 0xFF, 0x01, 0x81})})},
        {"tempo with two bytes", Cat({Header(0, 1, 96), Track({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1})})},
        {"tempo of zero", Cat({Header(0, 1, 96), Track(Tempo(0, 0))})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MidiSequence sequence;
        sequence.format = 9;
        sequence.events.push_back({});
        std::string error;
        EXPECT_FALSE(Parse(c.bytes, sequence, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(sequence.events.empty()) << "a failed parse leaves nothing behind";
        EXPECT_EQ(sequence.format, 0);
    }
}

TEST(MidiFile, EveryTruncationAndRandomCorruptionEndsCleanly)
{
    const Bytes file = FormatZeroFile();
    for (std::size_t length = 0; length < file.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        MidiSequence sequence;
        std::string error;
        EXPECT_FALSE(
            Parse(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)), sequence, error));
        EXPECT_FALSE(error.empty());
    }

    // Random byte changes: the reader either fails with a message or returns
    // events that are time-ordered, well-formed channel messages.
    std::mt19937 random(12345);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes mutated = file;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            mutated[random() % mutated.size()] = static_cast<unsigned char>(random());
        }
        MidiSequence sequence;
        std::string error;
        if (!Parse(mutated, sequence, error)) {
            ASSERT_FALSE(error.empty());
            continue;
        }
        ++accepted;
        for (std::size_t i = 0; i < sequence.events.size(); ++i) {
            const MidiFileEvent& event = sequence.events[i];
            ASSERT_GE(event.bytes[0], 0x80);
            ASSERT_LT(event.bytes[0], 0xF0);
            ASSERT_TRUE(event.size == 2 || event.size == 3);
            ASSERT_LT(event.bytes[1], 0x80);
            ASSERT_LT(event.bytes[2], 0x80);
            ASSERT_LE(event.seconds, sequence.lengthSeconds + 1e-9);
            if (i > 0) {
                ASSERT_GE(event.tick, sequence.events[i - 1].tick);
                ASSERT_GE(event.seconds, sequence.events[i - 1].seconds);
            }
        }
    }
    EXPECT_GT(accepted, 0) << "some changes only alter note numbers or times";
}

TEST(MidiFile, ReadsFilesAndRefusesMissingOnes)
{
    MidiSequence sequence;
    std::string error;
    EXPECT_FALSE(ReadMidiFile("/nonexistent/song.mid", sequence, error));
    EXPECT_NE(error.find("/nonexistent/song.mid"), std::string::npos);

    const std::string path = testing::TempDir() + "vorn-midifile-test.mid";
    const Bytes file = FormatZeroFile();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    ASSERT_TRUE(ReadMidiFile(path, sequence, error)) << error;
    EXPECT_EQ(sequence.events.size(), 7u);

    out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size() - 1, out);
    std::fclose(out);
    EXPECT_FALSE(ReadMidiFile(path, sequence, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    std::remove(path.c_str());
}
