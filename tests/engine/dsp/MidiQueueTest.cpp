// The MIDI queue, the voice event FIFO and the controller map as data
// structures.
#include <gtest/gtest.h>

#include "engine/dsp/MidiQueue.h"
#include "engine/dsp/VoiceEventFifo.h"

namespace {

MidiMessage At(int offset, int tag = 0)
{
    MidiMessage message;
    message.frameOffset = offset;
    message.status = 0x90;
    message.data1 = static_cast<std::uint8_t>(tag);
    return message;
}

std::vector<int> Tags(MidiQueue& queue)
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
    queue.Insert(At(5, 8));  // after the waiting messages of offset 5
    EXPECT_EQ(Tags(queue), (std::vector<int>{2, 5, 8, 1, 3, 6}));
    queue.ShiftOffsets(-5);
    EXPECT_EQ(queue.Front().frameOffset, 0);
    EXPECT_EQ(queue.At(5).frameOffset, 15);
    queue.Insert(At(0, 9));  // counted on the shifted clock
    EXPECT_EQ(Tags(queue), (std::vector<int>{2, 5, 8, 9, 1, 3, 6}));
}

TEST(MidiQueue, CapacityFollowsTheBlockSizeWithinItsBounds)
{
    MidiQueue queue;
    EXPECT_EQ(queue.Capacity(), MidiQueue::kInitialCapacity);
    queue.Reset(1);
    EXPECT_EQ(queue.Capacity(), MidiQueue::kMinCapacity);
    queue.Reset(2048);
    EXPECT_EQ(queue.Capacity(), 2048 * MidiQueue::kMessagesPerFrame);
    queue.Reset(1 << 20);
    EXPECT_EQ(queue.Capacity(), MidiQueue::kMaxCapacity);
    for (int i = 0; i < 100; ++i) {
        queue.Insert(At(i, i));
    }
    queue.Reset(512);
    EXPECT_EQ(queue.Count(), 100) << "waiting messages survive a reset";
    EXPECT_EQ(queue.Front().data1, 0);
}

TEST(MidiQueue, AFullQueueDropsTheLatestDue)
{
    MidiQueue queue;
    const int capacity = queue.Capacity();
    // Far-future messages fill it, in reverse order; then early ones arrive.
    for (int i = 0; i < capacity; ++i) {
        ASSERT_TRUE(queue.Insert(At(100000 - i, 1)));
    }
    EXPECT_FALSE(queue.Insert(At(200000, 2))) << "later than everything waiting: dropped at once";
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(queue.Insert(At(100 + i, 3)));
    }
    ASSERT_EQ(queue.Front().frameOffset, 100) << "the early messages displaced the latest";
    EXPECT_EQ(queue.Count(), capacity);
    int early = 0;
    while (!queue.Empty() && queue.Front().data1 == 3) {
        ++early;
        queue.Pop();
    }
    EXPECT_EQ(early, 10);
    EXPECT_EQ(queue.Front().frameOffset, 100000 - capacity + 1);
}

TEST(MidiQueue, AFloodInAnyOrderStaysCheap)
{
    // 64k messages in reverse order: each insertion must not shift the
    // queue (that would be about two billion moves).
    MidiQueue queue;
    queue.Reset(1 << 20);
    const int n = queue.Capacity();
    for (int i = 0; i < n; ++i) {
        queue.Insert(At(n - i, static_cast<std::uint8_t>(i)));
    }
    int previous = -1;
    int count = 0;
    while (!queue.Empty()) {
        const int offset = queue.Front().frameOffset;
        ASSERT_GE(offset, previous);
        previous = offset;
        queue.Pop();
        ++count;
    }
    EXPECT_EQ(count, n);
}

TEST(VoiceEventFifo, OrdersByOffsetAndNeverGrows)
{
    VoiceEventFifo fifo;
    ASSERT_TRUE(fifo.Reserve(5));
    EXPECT_EQ(fifo.Capacity(), 5);
    for (const auto& [offset, tag] : {std::pair{3, 1}, {1, 2}, {3, 3}, {0, 4}, {2, 5}}) {
        ASSERT_TRUE(fifo.Insert(At(offset, tag)));
    }
    EXPECT_FALSE(fifo.Insert(At(0, 6))) << "full: dropped";
    EXPECT_EQ(fifo.Capacity(), 5);
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

}  // namespace
