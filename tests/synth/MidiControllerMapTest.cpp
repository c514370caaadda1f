#include "synth/MidiControllerMap.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

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
