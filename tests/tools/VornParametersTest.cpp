// The host's knowledge of VORN's parameters checked against the engine's own
// table and ensemble logic, and the built-in demo phrase's score.
#include "tools/vornhost/Commands.h"
#include "tools/vornhost/DemoPhrase.h"
#include "tools/vornhost/VornParameters.h"

#include "engine/EnsembleButtons.h"
#include "engine/ParameterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::array<Parameter, kParameterCount> EngineParameters()
{
    std::array<Parameter, kParameterCount> params{};
    DefineVornParameters(params);
    return params;
}

// Records the writes the engine's ensemble logic makes, and applies them.
class RecordingTarget final : public EnsembleButtons::Target {
public:
    RecordingTarget() : m_params(EngineParameters()) {}

    std::span<const Parameter> ParameterList() const override { return m_params; }
    void WriteNormalized(int index, double normalized) override
    {
        writes.push_back({index, static_cast<float>(normalized)});
        m_params[static_cast<std::size_t>(index)].SetFromNormalized(normalized);
    }
    void ClickIfVintageVibe() override {}
    void UpdateStatusControls() override {}

    std::vector<ParameterWrite> writes;

private:
    std::array<Parameter, kParameterCount> m_params;
};

}  // namespace

TEST(VornParameters, RangesAndNormalizationMatchTheEngine)
{
    const std::array<Parameter, kParameterCount> params = EngineParameters();
    for (int index = 0; index < kParameterCount; ++index) {
        SCOPED_TRACE("parameter " + std::to_string(index));
        const Parameter& param = params[static_cast<std::size_t>(index)];
        const ParameterRange range = VornParameterRange(index);
        EXPECT_EQ(range.min, param.Min());
        EXPECT_EQ(range.max, param.Max());
        EXPECT_EQ(range.shape, param.Shape());
        EXPECT_NEAR(VornNormalized(index, param.Default()), param.Normalized(), 1e-6);
    }
    // Out-of-range values are limited.
    EXPECT_EQ(VornNormalized(kVcfLevel, 5.0), 1.0f);
    EXPECT_EQ(VornNormalized(kBankATranspose, -40.0), 0.0f);

    // Every button state survives the float normalization and the plug-in's rounding.
    Parameter buttonState = params[kButtonState];
    for (int bits = 0; bits <= 255; ++bits) {
        buttonState.SetFromNormalized(VornNormalized(kButtonState, bits));
        ASSERT_EQ(buttonState.Value(), bits);
    }
}

TEST(VornParameters, EnsembleWritesEqualWhatAPressFromTweakModeWrites)
{
    for (int bits = 1; bits <= 255; ++bits) {
        SCOPED_TRACE("buttons " + std::to_string(bits));
        RecordingTarget target;
        EnsembleButtons buttons;
        buttons.Apply(bits, target);
        const std::vector<ParameterWrite> host = EnsembleWrites(bits);
        ASSERT_EQ(host.size(), target.writes.size());
        for (std::size_t i = 0; i < host.size(); ++i) {
            ASSERT_EQ(host[i].index, target.writes[i].index) << "write " << i;
            ASSERT_NEAR(host[i].normalized, target.writes[i].normalized, 1e-6) << "write " << i;
        }
    }
}

TEST(VornParameters, EnsembleWritesFollowTheRecipeTable)
{
    const std::array<Parameter, kParameterCount> params = EngineParameters();
    // Final value (in the parameter's unit) of every index written.
    auto values = [&params](int bits) {
        std::map<int, double> result;
        for (const ParameterWrite& write : EnsembleWrites(bits)) {
            result[write.index] =
                params[static_cast<std::size_t>(write.index)].FromNormalized(write.normalized);
        }
        return result;
    };

    EXPECT_EQ(EnsembleWrites(0).size(), 1u) << "tweak mode: only the button state";
    std::map<int, double> chorus = values(1 << 2);
    EXPECT_NEAR(chorus[kButtonState], 4.0, 1e-4);
    EXPECT_NEAR(chorus[kVibratoADepth], 0.3, 1e-6);
    EXPECT_NEAR(chorus[kVibratoBDepth], 0.2, 1e-6);
    EXPECT_NEAR(chorus[kChorusFilterLevel], 1.0, 1e-6);
    EXPECT_NEAR(chorus[kChorusFilterFrequency], 1160.0, 1e-2);
    EXPECT_NEAR(chorus[kVcaSustain], 0.5, 1e-6);
    EXPECT_EQ(chorus[kFilterArrangement], kArrangementParallel);

    EXPECT_NEAR(values(1 << 1)[kOrganStringsFilterFrequency], 780.0, 1e-2) << "Pipe Organ 2 alone";
    EXPECT_NEAR(values(1 << 7)[kOrganStringsFilterFrequency], 780.0, 1e-2) << "Strings 2 alone";
    EXPECT_NEAR(values(1 << 0)[kBankATranspose], 12.0, 1e-6);
    EXPECT_NEAR(values(1 << 0)[kBankBTranspose], -12.0, 1e-6);

    std::map<int, double> brassStrings = values((1 << 4) | (1 << 6));
    EXPECT_NEAR(brassStrings[kPreFilter2Level], 1.0, 1e-6);
    EXPECT_NEAR(brassStrings[kVcfLevel], 0.5, 1e-6);
    EXPECT_NEAR(brassStrings[kOrganStringsFilterFrequency], 5200.0, 1e-2);
    EXPECT_EQ(brassStrings[kFilterArrangement], kArrangementSerial);
    EXPECT_NEAR(brassStrings[kVcfEgIntensity], 0.2, 1e-6);

    for (const ParameterWrite& write : EnsembleWrites(255)) {
        EXPECT_GE(write.index, 0);
        EXPECT_FALSE(write.index >= 1 && write.index <= 12) << "the recipes leave 1..12 alone";
    }
}

TEST(DemoPhrase, IsAPlayableScoreThatVisitsTheEnsembles)
{
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE("rate " + std::to_string(rate));
        const DemoScore score = BuildDemoPhrase(rate);
        const double seconds = static_cast<double>(score.lengthFrames) / rate;
        EXPECT_GE(seconds, 20.0);
        EXPECT_LE(seconds, 30.0);

        // Every note-on is followed by its note-off, keys never overlap
        // themselves, and the polyphony stays well inside the 64 voices.
        std::vector<TimedMidiEvent> events = score.events;
        std::stable_sort(events.begin(), events.end(),
                         [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.frame < b.frame; });
        std::set<int> sounding;
        std::size_t mostSounding = 0;
        std::vector<std::int64_t> silentFrames;  // frames at which no key is down
        for (const TimedMidiEvent& event : events) {
            const int key = event.bytes[1];
            ASSERT_GE(key, 21);
            ASSERT_LE(key, 108);
            if (event.bytes[0] == 0x90) {
                ASSERT_GT(event.bytes[2], 0);
                ASSERT_TRUE(sounding.insert(key).second) << "key " << key << " struck while down";
                mostSounding = std::max(mostSounding, sounding.size());
            } else {
                ASSERT_EQ(event.bytes[0], 0x80);
                ASSERT_EQ(sounding.erase(key), 1u) << "key " << key << " released while up";
                if (sounding.empty()) {
                    silentFrames.push_back(event.frame);
                }
            }
        }
        EXPECT_TRUE(sounding.empty());
        EXPECT_LE(mostSounding, 16u);

        // Button states in order, each switch made while no key is down and
        // at least 0.1 s after the last release, with every value normalized.
        std::vector<int> buttonStates;
        for (const TimedParameterChange& change : score.parameters) {
            ASSERT_GE(change.index, 0);
            ASSERT_LT(change.index, kParameterCount);
            ASSERT_GE(change.value, 0.0f);
            ASSERT_LE(change.value, 1.0f);
            if (change.index != kButtonState) {
                continue;
            }
            buttonStates.push_back(static_cast<int>(std::lround(change.value * 255.0f)));
            if (change.frame == 0) {
                continue;
            }
            int down = 0;
            std::int64_t lastRelease = 0;
            for (const TimedMidiEvent& event : events) {
                if (event.frame > change.frame) {
                    break;
                }
                down += event.bytes[0] == 0x90 ? 1 : -1;
                lastRelease = event.bytes[0] == 0x80 ? event.frame : lastRelease;
            }
            EXPECT_EQ(down, 0) << "switch at frame " << change.frame;
            EXPECT_GE(change.frame - lastRelease, rate / 10) << "switch at frame " << change.frame;
        }
        EXPECT_EQ(buttonStates, (std::vector<int>{1, 4, 16, 64, 68}));
        ASSERT_EQ(score.sections.size(), 5u);
        for (std::size_t i = 1; i < score.sections.size(); ++i) {
            EXPECT_GT(score.sections[i].startSeconds, score.sections[i - 1].startSeconds);
        }
    }
}

TEST(Bench, SpreadKeysAreDistinctAndInRange)
{
    EXPECT_TRUE(SpreadKeys(0).empty());
    EXPECT_EQ(SpreadKeys(1), std::vector<int>{21});
    for (const int count : {1, 8, 64, 88, 89, 128, 500}) {
        SCOPED_TRACE("count " + std::to_string(count));
        const std::vector<int> keys = SpreadKeys(count);
        EXPECT_EQ(keys.size(), static_cast<std::size_t>(std::min(count, 128)));
        EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
        EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end()) << "distinct";
        EXPECT_GE(keys.front(), 0);
        EXPECT_LE(keys.back(), 127);
        if (count <= 88) {
            EXPECT_GE(keys.front(), 21);
            EXPECT_LE(keys.back(), 108);
        }
    }
    const std::vector<int> keys = SpreadKeys(64);
    EXPECT_GE(keys.back() - keys.front(), 80) << "spread over the keyboard";
}
