// The three audio callbacks: pointer attach, float conversion, disconnected
// channels, host blocks longer than the block size, and no heap allocation.
#include <gtest/gtest.h>

#include <vector>

#include "TestPlugin.h"
#include "tests/support/AllocationCounter.h"

namespace {

constexpr float kUntouched = -777.0f;

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeHost::current = &host;
        effect = plugin.Effect();
    }
    void TearDown() override { FakeHost::current = nullptr; }

    FakeHost host;
    TestPlugin plugin;
    AEffect* effect = nullptr;
};

TEST_F(AudioTest, ReplacingAndAccumulating)
{
    std::vector<float> left(16, kUntouched);
    std::vector<float> right(16, kUntouched);
    float* outputs[] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, 8);
    EXPECT_EQ(host.Count(audioMasterWantMidi), 1);
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(left[static_cast<std::size_t>(s)], static_cast<float>(s));
        EXPECT_EQ(right[static_cast<std::size_t>(s)], 1000.0f + s);
    }
    EXPECT_EQ(left[8], kUntouched) << "nothing beyond the frames asked for";

    std::fill(left.begin(), left.end(), 1.0f);
    effect->process(effect, nullptr, outputs, 4);
    EXPECT_EQ(left[0], 1.0f + 8.0f) << "accumulated onto the host's samples";
    EXPECT_EQ(left[3], 1.0f + 11.0f);

    std::vector<double> dl(8, -1.0);
    std::vector<double> dr(8, -1.0);
    double* doubles[] = {dl.data(), dr.data()};
    effect->processDoubleReplacing(effect, nullptr, doubles, 8);
    EXPECT_EQ(dl[0], 12.0);
    EXPECT_EQ(dr[7], 1019.0);
    EXPECT_EQ(host.Count(audioMasterWantMidi), 3);

    plugin.renderSizes.clear();
    effect->processReplacing(effect, nullptr, outputs, 0);
    effect->processReplacing(effect, nullptr, outputs, -5);
    effect->processDoubleReplacing(effect, nullptr, doubles, -1);
    EXPECT_TRUE(plugin.renderSizes.empty());
}

TEST_F(AudioTest, LongHostBlocksRenderInPieces)
{
    Dispatch(effect, effSetBlockSize, 0, 64);
    for (int frames : {1, 63, 64, 65, 200, 4096}) {
        plugin.renderSizes.clear();
        plugin.rampCounter = 0.0;
        std::vector<float> left(static_cast<std::size_t>(frames) + 1, kUntouched);
        std::vector<float> right(static_cast<std::size_t>(frames) + 1, kUntouched);
        float* outputs[] = {left.data(), right.data()};
        effect->processReplacing(effect, nullptr, outputs, frames);
        int total = 0;
        for (int size : plugin.renderSizes) {
            EXPECT_LE(size, 64);
            EXPECT_GT(size, 0);
            total += size;
        }
        EXPECT_EQ(total, frames);
        EXPECT_EQ(left[static_cast<std::size_t>(frames) - 1], static_cast<float>(frames - 1))
            << "the pieces continue each other";
        EXPECT_EQ(left[static_cast<std::size_t>(frames)], kUntouched);

        plugin.rampCounter = 0.0;
        std::vector<double> dl(static_cast<std::size_t>(frames) + 1, -1.0);
        std::vector<double> dr(static_cast<std::size_t>(frames) + 1, -1.0);
        double* doubles[] = {dl.data(), dr.data()};
        effect->processDoubleReplacing(effect, nullptr, doubles, frames);
        EXPECT_EQ(dr[static_cast<std::size_t>(frames) - 1], 1000.0 + frames - 1);
        EXPECT_EQ(dr[static_cast<std::size_t>(frames)], -1.0);
    }
}

TEST_F(AudioTest, DisconnectedOutputTakesNoHostBuffer)
{
    VstSpeakerArrangement mono{};
    mono.numChannels = 1;
    Dispatch(effect, effSetSpeakerArrangement, 0, 0, &mono);

    std::vector<float> left(8, kUntouched);
    std::vector<float> right(8, kUntouched);
    float* outputs[] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, 8);
    EXPECT_EQ(left[7], 7.0f);
    EXPECT_EQ(right[0], kUntouched);

    // Only one host pointer is consumed: a one-entry array is enough.
    float* single[] = {left.data()};
    effect->processReplacing(effect, nullptr, single, 8);
    std::vector<double> dl(8, -1.0);
    double* doubles[] = {dl.data()};
    effect->processDoubleReplacing(effect, nullptr, doubles, 8);
    EXPECT_EQ(dl[0], 16.0);
}

TEST_F(AudioTest, InputsAndMissingHostBuffers)
{
    TestPlugin effectWithInputs(&FakeHost::Callback, "2-2");
    AEffect* e = effectWithInputs.Effect();
    std::vector<float> inLeft(4, 0.5f);
    std::vector<float> left(4, kUntouched);
    std::vector<float> right(4, kUntouched);
    float* inputs[] = {inLeft.data(), nullptr};
    float* outputs[] = {left.data(), right.data()};
    e->processReplacing(e, inputs, outputs, 4);
    EXPECT_EQ(left[1], 1.5f) << "input converted and handed to RenderBlock";
    EXPECT_EQ(right[1], 1001.0f) << "a missing input reads as silence";

    // A host passing no output pointers gets nothing written and no crash.
    float* noOutputs[] = {nullptr, nullptr};
    e->processReplacing(e, inputs, noOutputs, 4);
    e->processReplacing(e, nullptr, nullptr, 4);
    e->processDoubleReplacing(e, nullptr, nullptr, 4);
    e->process(e, nullptr, nullptr, 4);
    SUCCEED();
}

TEST_F(AudioTest, RenderingDoesNotAllocate)
{
    Dispatch(effect, effSetBlockSize, 0, 256);
    plugin.recordRenders = false;
    plugin.changed.reserve(100);  // the test plug-in's own record of changes
    host.record = false;
    std::vector<float> left(4096);
    std::vector<float> right(4096);
    float* outputs[] = {left.data(), right.data()};
    std::vector<double> dl(4096);
    std::vector<double> dr(4096);
    double* doubles[] = {dl.data(), dr.data()};
    effect->processReplacing(effect, nullptr, outputs, 4096);

    const long before = AllocationCount();
    for (int frames : {1, 255, 256, 257, 4096}) {
        effect->processReplacing(effect, nullptr, outputs, frames);
        effect->process(effect, nullptr, outputs, frames);
        effect->processDoubleReplacing(effect, nullptr, doubles, frames);
        effect->setParameter(effect, 1, 0.25f);
        effect->getParameter(effect, 1);
    }
    EXPECT_EQ(AllocationCount(), before);
}

}  // namespace
