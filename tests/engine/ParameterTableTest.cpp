#include "engine/ParameterTable.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using Kind = ParameterKind;

std::array<Parameter, kParameterCount> MakeTable()
{
    std::array<Parameter, kParameterCount> params;
    DefineVornParameters(params);
    return params;
}

std::string Display(const Parameter& param, double value, bool normalized = false, bool withTexts = true)
{
    char text[64];
    param.FormatValue(value, normalized, text, sizeof text, withTexts);
    return text;
}

struct Expected {
    int index;
    const char* name;
    Kind kind;
    double min;
    double max;
    double defaultValue;
    double step;
    double shape;
    int precision;
    const char* defaultText;  // what the host shows for the default value
};

// Written out from the product's parameter table, not from the code.
constexpr Kind C = Kind::Continuous;
constexpr Kind I = Kind::Integer;
constexpr Kind E = Kind::Enumerated;
const Expected kExpected[] = {
    {0, "Button State", I, 0, 255, 0, 1, 1, 0, "Tweak Mode"},
    {1, "Master Volume", C, 0, 2, 1, 0.01, 1, 2, "0.0"},
    {2, "Master Tune", C, -1, 1, 0, 0.01, 1, 2, "0"},
    {3, "Bank A Tuning", C, -1, 1, 0, 0.01, 1, 2, "0"},
    {4, "Bank B Tuning", C, -1, 1, 0, 0.01, 1, 2, "0"},
    {5, "VCA Attack", C, 0, 1, 0.1, 0.01, 1, 2, "0.10"},
    {6, "VORN-2000 Sustain", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {7, "Bass", C, -20, 20, 0, 0.01, 1, 2, "0.00"},
    {8, "Treble", C, -20, 20, 0, 0.01, 1, 2, "0.00"},
    {9, "Phaser Mode", E, 0, 1, 0, 1, 1, 0, "Normal"},
    {10, "Phaser Rate", C, 0, 15, 0, 0.01, 4, 2, "0.00"},
    {11, "Velocity to VCF EG", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {12, "Velocity to VCA EG", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {13, "Bank A Wave Mix", C, 0, 1, 0, 0.01, 1, 2, "100:0"},
    {14, "Bank A Level", C, 0, 1, 1, 0.01, 1, 2, "0.0"},
    {15, "Bank A Pan", C, 0, 1, 0.5, 0.01, 1, 2, "50:50"},
    {16, "Bank A Transpose", I, -12, 12, 0, 1, 1, 0, "0"},
    {17, "Vibrato A Rate", C, 0, 25, 3.5, 0.01, 4, 2, "3.50"},
    {18, "Vibrato A Depth", C, 0, 1, 0.2, 0.01, 1, 2, "0.20"},
    {19, "Bank B Wave Mix", C, 0, 1, 0, 0.01, 1, 2, "100:0"},
    {20, "Bank B Level", C, 0, 1, 1, 0.01, 1, 2, "0.0"},
    {21, "Bank B Pan", C, 0, 1, 0.5, 0.01, 1, 2, "50:50"},
    {22, "Bank B Transpose", I, -12, 12, 0, 1, 1, 0, "0"},
    {23, "Vibrato B Rate", C, 0, 25, 1, 0.01, 4, 2, "1.00"},
    {24, "Vibrato B Depth", C, 0, 1, 0.2, 0.01, 1, 2, "0.20"},
    {25, "C Wave Mix", C, 0, 1, 0, 0.01, 1, 2, "100:0"},
    {26, "C Level", C, 0, 1, 1, 0.01, 1, 2, "0.0"},
    {27, "C Pan", C, 0, 1, 0.5, 0.01, 1, 2, "50:50"},
    {28, "C Transpose", I, -12, 12, 0, 1, 1, 0, "0"},
    {29, "C Tuning", C, -1, 1, 0, 0.01, 1, 2, "0"},
    {30, "Vibrato C Rate", C, 0, 25, 5.8, 0.01, 4, 2, "5.80"},
    {31, "Vibrato C Depth", C, 0, 1, 0.2, 0.01, 1, 2, "0.20"},
    {32, "Filter Arrangement", E, 0, 1, 0, 1, 1, 0, "Parallel"},
    {33, "Pre-Filter 1 Level", C, 0, 2, 0, 0.01, 1, 2, "-oo"},
    {34, "Pre-Filter 2 Level", C, 0, 2, 1, 0.01, 1, 2, "0.0"},
    {35, "VCF Level", C, 0, 2, 0, 0.01, 1, 2, "-oo"},
    {36, "Raw Signal Level", C, 0, 2, 0, 0.01, 1, 2, "-oo"},
    {37, "Organ+Strings Filter Level", C, 0, 2, 0, 0.01, 1, 2, "-oo"},
    {38, "Chorus Filter Level", C, 0, 2, 0, 0.01, 1, 2, "-oo"},
    {39, "Direct Level", C, 0, 2, 1, 0.01, 1, 2, "0.0"},
    {40, "Pre-Filter 1 Shift", C, -4, 4, -1, 0.01, 1, 2, "0.50"},
    {41, "Pre-Filter 1 Q", C, 0.5, 10, 4.2, 0.01, 1, 2, "4.20"},
    {42, "Pre-Filter 2 Shift", C, -4, 4, 0.5, 0.01, 1, 2, "1.50"},
    {43, "Organ+Strings Filter Frequency", C, 500, 12000, 9600, 1, 4, 0, "9600"},
    {44, "Chorus Filter Frequency", C, 500, 12000, 1160, 1, 4, 0, "1160"},
    {45, "Chorus Filter Q", C, 0.5, 10, 0.7071067811865476, 0.01, 1, 2, "0.71"},
    {46, "VCF Type", E, 0, 1, 0, 1, 1, 0, "Lowpass"},
    {47, "VCF Cutoff", C, 0, 1, 1, 0.01, 0.5, 2, "19912"},
    {48, "VCF Peak", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {49, "VCF Key Track", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {50, "VCF EG Intensity", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {51, "VCF EG Attack", C, 0, 1, 0.1, 0.01, 1, 2, "0.10"},
    {52, "VCF EG Decay", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {53, "VCF EG Sustain", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {54, "VCF EG Release", C, 0, 1, 0.2, 0.01, 1, 2, "0.20"},
    {55, "VCA Decay", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
    {56, "VCA Sustain", C, 0, 1, 1, 0.01, 1, 2, "1.00"},
    {57, "VCA Release", C, 0, 1, 0.2, 0.01, 1, 2, "0.20"},
    {58, "Modulator Destination", E, 0, 4, 0, 1, 1, 0, "VCF"},
    {59, "Modulator Source", E, 0, 1, 0, 1, 1, 0, "LFO"},
    {60, "Modulator Rate", C, 0, 25, 0.03, 0.01, 4, 2, "0.03"},
    {61, "Modulator Depth", C, 0, 1, 0, 0.01, 1, 2, "0.00"},
};

Expected ExpectedAt(int index)
{
    if (index >= 62) {
        return {index, "reserved", I, 0, 1, 0, 1, 1, 0, "0"};
    }
    return kExpected[index];
}

TEST(ParameterTable, EveryParameterMatchesTheTable)
{
    static_assert(std::size(kExpected) == 62);
    auto params = MakeTable();
    for (int index = 0; index < kParameterCount; ++index) {
        const Expected e = ExpectedAt(index);
        ASSERT_EQ(e.index, index) << "expected table out of order";
        const Parameter& p = params[static_cast<std::size_t>(index)];
        SCOPED_TRACE(testing::Message() << "parameter " << index << " \"" << e.name << "\"");
        EXPECT_STREQ(p.Name(), e.name);
        EXPECT_EQ(p.Kind(), e.kind);
        EXPECT_EQ(p.Min(), e.min);
        EXPECT_EQ(p.Max(), e.max);
        EXPECT_EQ(p.Default(), e.defaultValue);
        EXPECT_EQ(p.Value(), e.defaultValue);
        EXPECT_EQ(p.Step(), e.step);
        EXPECT_EQ(p.Shape(), e.shape);
        EXPECT_EQ(p.DisplayPrecision(), e.precision);
        EXPECT_STREQ(p.Label(), "");
        EXPECT_STREQ(p.Group(), "");
        EXPECT_FALSE(p.NegateDisplay());
        // The host's view of the default: its text, and the same text when
        // it asks for the text of the default's normalized position.
        EXPECT_EQ(Display(p, p.Value()), e.defaultText);
        EXPECT_EQ(Display(p, NormalizedDefault(p), true), e.defaultText);
    }
}

TEST(ParameterTable, EnumeratedTextsInOrder)
{
    auto params = MakeTable();
    const std::vector<std::pair<int, std::vector<std::string>>> enumerated = {
        {kPhaserMode, {"Normal", "Pan"}},
        {kFilterArrangement, {"Parallel", "Serial"}},
        {kVcfType, {"Lowpass", "Highpass"}},
        {kModulatorDestination,
         {"VCF", "Pre-Filter 1", "Pre-Filter 2", "Organ + Strings Filter", "Chorus Filter"}},
        {kModulatorSource, {"LFO", "Modulation Wheel"}},
    };
    int withTexts = 0;
    for (const Parameter& p : params) {
        withTexts += p.HasDisplayTexts() ? 1 : 0;
    }
    EXPECT_EQ(withTexts, 5) << "only the enumerated parameters carry display texts";

    for (const auto& [index, texts] : enumerated) {
        Parameter& p = params[static_cast<std::size_t>(index)];
        SCOPED_TRACE(p.Name());
        ASSERT_EQ(p.DisplayTextCount(), static_cast<int>(texts.size()));
        for (int value = 0; value < static_cast<int>(texts.size()); ++value) {
            EXPECT_EQ(p.DisplayTextValueAt(value), value);
            EXPECT_EQ(Display(p, value), texts[static_cast<std::size_t>(value)]);
            EXPECT_EQ(Display(p, value, false, false), std::to_string(value));
            p.SetClamped(value);
            EXPECT_STREQ(p.UnitLabel(), "");
        }
        // The last text sits at normalized 1, the first at 0.
        p.SetFromNormalized(1.0);
        EXPECT_EQ(p.Value(), texts.size() - 1.0);
        p.SetFromNormalized(0.0);
        EXPECT_EQ(p.Value(), 0.0);
    }
}

TEST(ParameterTable, FormattedDisplays)
{
    auto params = MakeTable();
    // The examples of the table; the default texts above already show that
    // each formatted parameter carries the right formatter.
    EXPECT_EQ(Display(params[kButtonState], 5), "o*o*****");
    EXPECT_EQ(Display(params[kMasterTune], -1), "-50");
    EXPECT_EQ(Display(params[kBankAWaveMix], 0), "100:0");
    EXPECT_EQ(Display(params[kPreFilter1Shift], -1), "0.50");
    EXPECT_EQ(Display(params[kMasterVolume], 2), "6.0");
    EXPECT_EQ(Display(params[kDirectLevel], 0), "-oo");

    // Texts of normalized positions pass through the shape: the cutoff at
    // 0.5 is 0.5^0.5 = 0.7071, pitch index 12219 = key 95 + 59/128, so
    // 1975.533 + 117.472 * 59 / 128 = 2029.68 Hz; the phaser rate at 0.5 is
    // 15 * 0.5^4 = 0.9375, which prints as 0.94.
    EXPECT_EQ(Display(params[kVcfCutoff], 0.5, true), "2029");
    EXPECT_EQ(Display(params[kPhaserRate], 0.5, true), "0.94");
    EXPECT_EQ(Display(params[kOrganStringsFilterFrequency], 1.0, true), "12000");
    EXPECT_EQ(Display(params[kBankATranspose], 0.0, true), "-12");
}

TEST(ParameterTable, NormalizedMappingOfStepsAndShapes)
{
    auto params = MakeTable();
    // Integers snap to whole values, halves up.
    Parameter& transpose = params[kBankBTranspose];
    transpose.SetFromNormalized(0.52);
    EXPECT_EQ(transpose.Value(), 0.0);
    transpose.SetFromNormalized(0.53);
    EXPECT_EQ(transpose.Value(), 1.0);
    transpose.SetFromNormalized(1.0);
    EXPECT_EQ(transpose.Value(), 12.0);
    Parameter& buttons = params[kButtonState];
    buttons.SetFromNormalized(5.0 / 255.0);
    EXPECT_EQ(buttons.Value(), 5.0);
    Parameter& reserved = params[kReserved9];
    reserved.SetFromNormalized(0.6);
    EXPECT_EQ(reserved.Value(), 1.0);

    // Shape 4: fine resolution at the low end.
    EXPECT_NEAR(NormalizedDefault(params[kVibratoARate]), std::pow(3.5 / 25.0, 0.25), 1e-15);
    EXPECT_NEAR(NormalizedDefault(params[kChorusFilterFrequency]), std::pow(660.0 / 11500.0, 0.25), 1e-15);
    params[kPhaserRate].SetFromNormalized(0.5);
    EXPECT_EQ(params[kPhaserRate].Value(), 15.0 * 0.0625);  // not snapped to the 0.01 step
    // Shape 0.5: fine resolution at the high end.
    params[kVcfCutoff].SetFromNormalized(0.5);
    EXPECT_EQ(params[kVcfCutoff].Value(), std::sqrt(0.5));
    EXPECT_EQ(NormalizedDefault(params[kVcfCutoff]), 1.0);
    EXPECT_EQ(NormalizedDefault(params[kPreFilter1Shift]), 3.0 / 8.0);
}

TEST(ParameterTable, InitialiseProgramRestoresDefaultsAndFillsTheSnapshot)
{
    auto params = MakeTable();
    // Move every parameter away from its default.
    for (Parameter& p : params) {
        p.SetFromNormalized(p.Default() == p.Max() ? 0.0 : 1.0);
    }

    TweakSnapshot snapshot;
    snapshot.fill(-1.0);
    std::vector<int> order;
    InitialiseProgram(params, snapshot, [&](int index, double normalized) {
        order.push_back(index);
        EXPECT_GE(normalized, 0.0);
        EXPECT_LE(normalized, 1.0);
        params[static_cast<std::size_t>(index)].SetFromNormalized(normalized);
    });

    ASSERT_EQ(order.size(), static_cast<std::size_t>(kParameterCount));
    for (int index = 0; index < kParameterCount; ++index) {
        EXPECT_EQ(order[static_cast<std::size_t>(index)], index)
            << "writes must run in ascending index order";
        const Parameter& p = params[static_cast<std::size_t>(index)];
        // Shaped parameters pass through pow and back, so allow rounding in
        // the last bits; the displayed text must be the default's.
        EXPECT_NEAR(p.Value(), p.Default(), 1e-12 * (p.Max() - p.Min())) << p.Name();
        EXPECT_EQ(Display(p, p.Value()), ExpectedAt(index).defaultText) << p.Name();
    }
    for (int entry = 0; entry < kTweakSnapshotSize; ++entry) {
        const Parameter& p = params[static_cast<std::size_t>(kFirstTweakParameter + entry)];
        EXPECT_EQ(snapshot[static_cast<std::size_t>(entry)], NormalizedDefault(p)) << p.Name();
    }
    EXPECT_EQ(snapshot.front(), 0.0);  // Bank A Wave Mix
    EXPECT_EQ(snapshot[1], 1.0);       // Bank A Level
    EXPECT_EQ(snapshot[2], 0.5);       // Bank A Pan
    EXPECT_EQ(snapshot.back(), 0.0);   // last "reserved"
    EXPECT_EQ(snapshot[kVcfCutoff - kFirstTweakParameter], 1.0);

    // Without a writer the values are set directly, with the same result.
    auto direct = MakeTable();
    for (Parameter& p : direct) {
        p.SetFromNormalized(0.9);
    }
    TweakSnapshot directSnapshot{};
    InitialiseProgram(direct, directSnapshot);
    for (int index = 0; index < kParameterCount; ++index) {
        EXPECT_EQ(direct[static_cast<std::size_t>(index)].Value(),
                  params[static_cast<std::size_t>(index)].Value())
            << direct[static_cast<std::size_t>(index)].Name();
    }
    EXPECT_EQ(directSnapshot, snapshot);
}

}  // namespace
