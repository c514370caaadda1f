// The MIDI queue, the voice event FIFO and the controller map as data
// structures.
#include <gtest/gtest.h>

#include <thread>

#include "engine/VoiceEventFifo.h"
#include "synth/MidiControllerMap.h"
#include "synth/MidiQueue.h"

namespace {

MidiMessage At(int offset, int tag = 0)
{
    MidiMessage message;
    message.frameOffset = offset;
    message.status = 0x90;
    message.data1 = static_cast<std::uint8_t>(tag);
    return message;
}

std::vector<int> Tags(const MidiQueue& queue)
{
    std::vector<int> tags;
    for (int i = 0; i < queue.Count(); ++i) {
        tags.push_back(queue.At(i).data1);
    }
    return tags;
}

TEST(MidiQueue, KeepsOffsetOrderAndArrivalOrderOfEqualOffsets)
{
    MidiQueue queue;
    for (const auto& [offset, tag] : {std::pair{10, 1}, {5, 2}, {10, 3}, {0, 4}, {5, 5}, {20, 6}, {-3, 7}}) {
        ASSERT_TRUE(queue.Insert(At(offset, tag)));
    }
    EXPECT_EQ(Tags(queue), (std::vector<int>{7, 4, 2, 5, 1, 3, 6}));
    queue.Pop();
    queue.Pop();
    queue.Insert(At(5, 8));  // after the unread messages of offset 5
    EXPECT_EQ(Tags(queue), (std::vector<int>{2, 5, 8, 1, 3, 6}));
    queue.ShiftOffsets(-5);
    EXPECT_EQ(queue.Front().frameOffset, 0);
    EXPECT_EQ(queue.At(5).frameOffset, 15);
}

TEST(MidiQueue, CompactsBeforeGrowingAndGrowsByItsStep)
{
    MidiQueue queue;
    ASSERT_EQ(queue.Capacity(), 1024);
    for (int i = 0; i < 1024; ++i) {
        queue.Insert(At(i));
    }
    queue.Pop();
    queue.Insert(At(2000));  // full with one read: compacted, no growth
    EXPECT_EQ(queue.Capacity(), 1024);
    EXPECT_EQ(queue.Count(), 1024);
    queue.Insert(At(2001));  // full, nothing read: grows by 1024
    EXPECT_EQ(queue.Capacity(), 2048);
    EXPECT_EQ(queue.Count(), 1025);
    EXPECT_EQ(queue.Front().frameOffset, 1);

    // Reset: step and capacity follow the block size in units of 512.
    queue.Reset(1);
    EXPECT_EQ(queue.Capacity(), 1536) << "never below the unread messages, rounded up";
    EXPECT_EQ(queue.GrowthStep(), 512);
    EXPECT_EQ(queue.Count(), 1025);
    queue.Clear();
    queue.Reset(1500);
    EXPECT_EQ(queue.Capacity(), 1536);
    queue.Reset(0);
    EXPECT_EQ(queue.Capacity(), 512);
    for (int i = 0; i < 513; ++i) {
        queue.Insert(At(i));
    }
    EXPECT_EQ(queue.Capacity(), 1024);
}

TEST(MidiQueue, DropsMessagesBeyondItsLimit)
{
    MidiQueue queue;
    int accepted = 0;
    for (int i = 0; i < MidiQueue::kMaxCapacity + 10; ++i) {
        accepted += queue.Insert(At(i)) ? 1 : 0;
    }
    EXPECT_EQ(accepted, MidiQueue::kMaxCapacity);
    EXPECT_EQ(queue.Count(), MidiQueue::kMaxCapacity);
}

TEST(VoiceEventFifo, OrdersByOffsetReservesAndGrows)
{
    VoiceEventFifo fifo;
    ASSERT_TRUE(fifo.Reserve(4));
    EXPECT_EQ(fifo.Capacity(), 4);
    for (const auto& [offset, tag] : {std::pair{3, 1}, {1, 2}, {3, 3}, {0, 4}, {2, 5}}) {
        ASSERT_TRUE(fifo.Insert(At(offset, tag)));
    }
    EXPECT_GE(fifo.Capacity(), 5);
    std::vector<int> tags;
    while (!fifo.Empty()) {
        tags.push_back(fifo.Front().data1);
        fifo.Pop();
    }
    EXPECT_EQ(tags, (std::vector<int>{4, 2, 5, 1, 3}));
    fifo.Insert(At(10));
    fifo.Insert(At(30));
    fifo.ShiftOffsets(-20);
    EXPECT_EQ(fifo.Front().frameOffset, 0) << "offsets stay at 0 or above";
    fifo.Clear();
    EXPECT_TRUE(fifo.Empty());
}

TEST(MidiControllerMap, StartsUnassignedAndIgnoresOutOfRange)
{
    MidiControllerMap map;
    for (int c = -1; c <= 128; ++c) {
        EXPECT_EQ(map.ParameterFor(c), MidiControllerMap::kUnassigned) << c;
    }
    map.Assign(7, 1);
    map.Assign(128, 5);
    map.Assign(-1, 5);
    map.Assign(10, -7);
    EXPECT_EQ(map.ParameterFor(7), 1);
    EXPECT_EQ(map.ParameterFor(10), MidiControllerMap::kUnassigned);
    // An editor thread may assign while the audio thread reads.
    std::thread writer([&map] {
        for (int i = 0; i < 10000; ++i) {
            map.Assign(i % 128, i % 71);
        }
    });
    int seen = 0;
    for (int i = 0; i < 10000; ++i) {
        seen += map.ParameterFor(i % 128) >= 0 ? 1 : 0;
    }
    writer.join();
    EXPECT_GE(seen, 0);
    map.Clear();
    EXPECT_EQ(map.ParameterFor(7), MidiControllerMap::kUnassigned);
}

}  // namespace
