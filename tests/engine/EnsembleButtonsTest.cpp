// Ensemble buttons and tweak mode: the press rules, the snapshot taken and
// given back, every recipe value against the ensemble table, combinations of
// lit buttons, and the exact write order.
#include "engine/EnsembleButtons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "EngineHarness.h"

namespace {

// One call the ensemble logic made, in order.
struct Event {
    enum Kind { Write, Click, Status } kind;
    int index = -1;
    double normalized = 0.0;
};

// The product's parameter table, written the way SetParameterFromEditor
// does; a write of "Button State" stores the bits as OnParameterChanged(0)
// does.
class FakeTarget final : public EnsembleButtons::Target {
public:
    explicit FakeTarget(EnsembleButtons& buttons) : m_buttons(buttons) { DefineVornParameters(params); }

    std::span<const Parameter> ParameterList() const override { return params; }
    void WriteNormalized(int index, double normalized) override
    {
        events.push_back({Event::Write, index, normalized});
        params[static_cast<std::size_t>(index)].SetFromNormalized(normalized);
        if (index == kButtonState) {
            m_buttons.StoreButtonState(params[kButtonState].Value());
        }
    }
    void ClickIfVintageVibe() override { events.push_back({Event::Click, -1, 0.0}); }
    void UpdateStatusControls() override { events.push_back({Event::Status, -1, 0.0}); }

    double Value(int index) const { return params[static_cast<std::size_t>(index)].Value(); }
    std::vector<int> WrittenIndices() const
    {
        std::vector<int> indices;
        for (const Event& event : events) {
            if (event.kind == Event::Write) {
                indices.push_back(event.index);
            }
        }
        return indices;
    }
    int Count(Event::Kind kind) const
    {
        int n = 0;
        for (const Event& event : events) {
            n += event.kind == kind ? 1 : 0;
        }
        return n;
    }
    // Distinct in-range values in every parameter but "Button State", as
    // a user's own sound.
    void Tweak(int seed)
    {
        for (int i = 1; i < kParameterCount; ++i) {
            params[static_cast<std::size_t>(i)].SetFromNormalized(((i * 7 + seed) % 13 + 0.37) / 13.5);
        }
    }

    std::vector<Parameter> params = std::vector<Parameter>(kParameterCount);
    std::vector<Event> events;

private:
    EnsembleButtons& m_buttons;
};

constexpr int PO1 = 1, PO2 = 2, CH1 = 4, CH2 = 8, BR1 = 16, BR2 = 32, ST1 = 64, ST2 = 128;

// Targets whose value depends on the lit buttons, in table order.
constexpr std::array<int, 17> kRecipeColumns = {16, 22, 18, 24, 31, 33, 38, 40, 34,
                                                42, 35, 43, 37, 44, 39, 55, 56};

struct RecipeRow {
    const char* name;
    int bits;
    std::array<double, 17> values;  // in kRecipeColumns order
};

// Typed in from the ensemble table by hand.
// clang-format off
const RecipeRow kRecipes[] = {
    //                       16   22    18   24   31   33  38  40     34  42    35   43    37  44    39  55    56
    {"Pipe Organ 1", PO1,   {12, -12,  0,   0,   0,   0,  0, -0.55, 1,  0.5,  0,   9600, 1,  570,  0,  0,    1}},
    {"Pipe Organ 2", PO2,   {12, -12,  0,   0,   0,   0,  0, -0.55, 1,  0.5,  0,   780,  1,  570,  0,  0,    1}},
    {"Chorus 1",     CH1,   {0,  0,    0.3, 0.2, 0.3, 1,  1, -0.55, 0,  0.5,  0,   780,  0,  1160, 0,  0.38, 0.5}},
    {"Chorus 2",     CH2,   {0,  0,    0.3, 0.2, 0.3, 1,  1, -1,    0,  0.5,  0,   780,  0,  570,  0,  0.38, 0.5}},
    {"Brass 1",      BR1,   {0,  0,    0.1, 0.1, 0.1, 0,  0, -0.55, 1,  0.5,  0.5, 780,  0,  570,  1,  0.38, 0.5}},
    {"Brass 2",      BR2,   {0,  0,    0.1, 0.1, 0.1, 0,  0, -0.55, 1,  -1,   0.5, 780,  0,  570,  1,  0.38, 0.5}},
    {"Strings 1",    ST1,   {0,  0,    0.2, 0.2, 0.2, 0,  0, -0.55, 1,  0.5,  0,   5200, 1,  570,  0,  0,    1}},
    {"Strings 2",    ST2,   {0,  0,    0.2, 0.2, 0.2, 0,  0, -0.55, 1,  0.5,  0,   780,  1,  570,  0,  0,    1}},
    {"Strings 1 + Brass 1", ST1 | BR1,
                            {0,  0,    0.1, 0.1, 0.1, 0,  0, -0.55, 1,  0.5,  0.5, 5200, 1,  570,  1,  0.38, 0.5}},
    {"Pipe Organ 1 + Chorus 1", PO1 | CH1,
                            {12, -12,  0.3, 0.2, 0.3, 1,  1, -0.55, 1,  0.5,  0,   9600, 1,  1160, 0,  0.38, 0.5}},
    {"Pipe Organ 2 + Strings 1", PO2 | ST1,
                            {12, -12,  0,   0,   0,   0,  0, -0.55, 1,  0.5,  0,   5200, 1,  570,  0,  0,    1}},
    {"Pipe Organ 1 + Strings 2", PO1 | ST2,
                            {12, -12,  0,   0,   0,   0,  0, -0.55, 1,  0.5,  0,   9600, 1,  570,  0,  0,    1}},
    {"Chorus 1 + Chorus 2", CH1 | CH2,
                            {0,  0,    0.3, 0.2, 0.3, 1,  1, -1,    0,  0.5,  0,   780,  0,  1160, 0,  0.38, 0.5}},
    {"Pipe Organ 1 + Brass 2", PO1 | BR2,
                            {12, -12,  0.1, 0.1, 0.1, 0,  0, -0.55, 1,  -1,   0.5, 9600, 1,  570,  1,  0.38, 0.5}},
    {"Chorus 2 + Brass 1 + Strings 2", CH2 | BR1 | ST2,
                            {0,  0,    0.1, 0.1, 0.1, 1,  1, -1,    1,  0.5,  0.5, 780,  1,  570,  1,  0.38, 0.5}},
};
// clang-format on

// Written with every ensemble, whatever is lit: (index, value).
// clang-format off
const std::pair<int, double> kCommonValues[] = {
    {41, 4.2}, {36, 0}, {45, 0.7071067811865476}, {28, 0}, {29, 0}, {14, 1}, {20, 1}, {26, 1},
    {13, 0}, {19, 0}, {25, 0}, {17, 3.5}, {23, 1}, {30, 5.8}, {57, 0.2}, {61, 0}};
// clang-format on

// The brass VCF settings (index, value); the cutoff is checked normalized.
const std::array<std::pair<int, double>, 9> kBrassValues = {
    {{32, 1}, {46, 0}, {48, 0}, {50, 0.2}, {49, 0.5}, {51, 0.2}, {52, 0.5}, {53, 0}, {54, 0.5}}};

void ExpectNear(double expected, double actual, const char* what, int index)
{
    EXPECT_NEAR(expected, actual, 1e-9 * std::max(1.0, std::fabs(expected)))
        << what << ", parameter " << index;
}

TEST(EnsembleButtons, EveryRecipeWritesTheTableValues)
{
    for (const RecipeRow& row : kRecipes) {
        EnsembleButtons buttons;
        FakeTarget target(buttons);
        target.Tweak(row.bits);
        buttons.Apply(row.bits, target);
        EXPECT_EQ(buttons.Bits(), row.bits) << row.name;
        EXPECT_EQ(target.Value(kButtonState), row.bits) << row.name;
        for (std::size_t i = 0; i < kRecipeColumns.size(); ++i) {
            ExpectNear(row.values[i], target.Value(kRecipeColumns[i]), row.name, kRecipeColumns[i]);
        }
        for (auto [index, value] : kCommonValues) {
            ExpectNear(value, target.Value(index), row.name, index);
        }
        const bool brass = (row.bits & (BR1 | BR2)) != 0;
        if (brass) {
            for (auto [index, value] : kBrassValues) {
                ExpectNear(value, target.Value(index), row.name, index);
            }
            EXPECT_DOUBLE_EQ(target.params[47].Normalized(), 0.35) << row.name;
        } else {
            EXPECT_EQ(target.Value(32), 0) << row.name << ": parallel arrangement";
        }
    }
}

// Independent rules over all 255 combinations: the later lit button wins,
// "at least" never lowers a value, the brass branch follows bits 4 and 5.
TEST(EnsembleButtons, EveryCombinationFollowsTheBitOrder)
{
    for (int bits = 1; bits <= 255; ++bits) {
        const EnsembleRecipe r = ComputeEnsembleRecipe(bits);
        const double organStrings = (bits & PO1) ? 9600 : (bits & ST1) ? 5200 : 780;
        EXPECT_EQ(r.organStringsFrequency, organStrings) << bits;
        EXPECT_EQ(r.chorusFrequency, (bits & CH1) ? 1160 : 570) << bits;
        const double acDepth = (bits & (BR1 | BR2))   ? 0.1
                               : (bits & (CH1 | CH2)) ? 0.3
                               : (bits & (PO1 | PO2)) ? 0.0
                                                      : 0.2;
        EXPECT_EQ(r.vibratoACDepth, acDepth) << bits;
        const double bDepth = (bits & (BR1 | BR2))   ? 0.1
                              : (bits & (CH1 | CH2)) ? 0.2
                              : (bits & (PO1 | PO2)) ? 0
                                                     : 0.2;
        EXPECT_EQ(r.vibratoBDepth, bDepth) << bits;
        EXPECT_EQ(r.preFilter2Level, (bits & ~(CH1 | CH2)) != 0 ? 1.0 : 0.0) << bits;
        EXPECT_EQ(r.preFilter2Shift, (bits & BR2) ? -1.0 : 0.5) << bits;

        EnsembleButtons buttons;
        FakeTarget target(buttons);
        buttons.Apply(bits, target);
        EXPECT_EQ(target.Value(kFilterArrangement), (bits & (BR1 | BR2)) ? 1 : 0) << bits;
    }
}

TEST(EnsembleButtons, WritesInTheExactOrder)
{
    const std::vector<int> head = {0,  16, 22, 18, 24, 31, 33, 40, 41, 34, 42,
                                   35, 36, 43, 37, 38, 44, 45, 39, 55, 56};
    const std::vector<int> brass = {32, 46, 47, 48, 50, 49, 51, 52, 53, 54};
    const std::vector<int> tail = {28, 29, 14, 20, 26, 13, 19, 25, 17, 23, 30, 57, 61};

    for (int bits : {CH1, BR2, ST1 | BR1}) {
        EnsembleButtons buttons;
        FakeTarget target(buttons);
        buttons.Press(bits == (ST1 | BR1) ? ST1 : bits, false, target);
        if (bits == (ST1 | BR1)) {
            target.events.clear();
            buttons.Press(BR1, true, target);
        } else {
            ASSERT_EQ(target.events.front().kind, Event::Click) << "the click comes before any write";
        }
        std::vector<int> expected = head;
        if (bits & (BR1 | BR2)) {
            expected.insert(expected.end(), brass.begin(), brass.end());
        } else {
            expected.push_back(32);
        }
        expected.insert(expected.end(), tail.begin(), tail.end());
        EXPECT_EQ(target.WrittenIndices(), expected) << bits;

        for (const Event& event : target.events) {
            if (event.index == kRawSignalLevel || event.index == kVcfType) {
                EXPECT_EQ(event.normalized, 0.0) << event.index;
            }
            if (event.index == kVcfCutoff) {
                EXPECT_EQ(event.normalized, 0.35);
            }
        }
    }
}

TEST(EnsembleButtons, TweakModeGivesBackTheSnapshotExactly)
{
    EnsembleButtons buttons;
    FakeTarget target(buttons);
    target.Tweak(3);
    const std::vector<Parameter> before = target.params;

    buttons.Press(CH1, false, target);
    EXPECT_EQ(buttons.Bits(), CH1);
    EXPECT_EQ(target.Count(Event::Click), 1);
    for (int i = kFirstTweakParameter; i < kParameterCount; ++i) {
        EXPECT_EQ(buttons.Snapshot()[static_cast<std::size_t>(i - kFirstTweakParameter)],
                  before[static_cast<std::size_t>(i)].Normalized())
            << i;
    }
    const TweakSnapshot taken = buttons.Snapshot();

    // Moving between ensembles and tweaking on the way keeps the first snapshot.
    buttons.Press(BR1, false, target);
    buttons.Press(ST1, true, target);
    target.params[kVcaDecay].SetClamped(0.9);
    buttons.Press(CH2, false, target);
    EXPECT_EQ(buttons.Snapshot(), taken);

    target.events.clear();
    buttons.Press(kTweakModeMask, false, target);
    EXPECT_EQ(buttons.Bits(), 0);
    ASSERT_EQ(target.events.size(), 1u + kTweakSnapshotSize + 1u);
    EXPECT_EQ(target.events.front().kind, Event::Click);
    for (int i = kFirstTweakParameter; i < kParameterCount; ++i) {
        const Event& event = target.events[static_cast<std::size_t>(1 + i - kFirstTweakParameter)];
        EXPECT_EQ(event.index, i) << "ascending order";
        EXPECT_EQ(event.normalized, taken[static_cast<std::size_t>(i - kFirstTweakParameter)]) << i;
        ExpectNear(before[static_cast<std::size_t>(i)].Value(), target.Value(i), "restored", i);
    }
    EXPECT_EQ(target.events.back().index, kButtonState);
    EXPECT_EQ(target.Value(kButtonState), 0);
    for (int i = 1; i < kFirstTweakParameter; ++i) {
        EXPECT_EQ(target.Value(i), before[static_cast<std::size_t>(i)].Value()) << "master section " << i;
    }

    // Tweak Mode again, already in tweak mode: only "Button State" is written.
    target.events.clear();
    buttons.Press(kTweakModeMask, false, target);
    EXPECT_EQ(target.WrittenIndices(), std::vector<int>{kButtonState});
}

TEST(EnsembleButtons, PressRules)
{
    EnsembleButtons buttons;
    FakeTarget target(buttons);

    // Brass 1 toggled on over Strings 1: both lit, no click, no new snapshot.
    buttons.Press(ST1, false, target);
    const TweakSnapshot taken = buttons.Snapshot();
    target.events.clear();
    buttons.Press(BR1, true, target);
    EXPECT_EQ(buttons.Bits(), ST1 | BR1);
    EXPECT_EQ(target.Count(Event::Click), 0);
    EXPECT_EQ(buttons.Snapshot(), taken);

    // An unlit button without a modifier lights alone, with a click.
    target.events.clear();
    buttons.Press(CH1, false, target);
    EXPECT_EQ(buttons.Bits(), CH1);
    EXPECT_EQ(target.Count(Event::Click), 1);

    // Toggling off the only lit button changes nothing but the status controls.
    target.events.clear();
    buttons.Press(CH1, true, target);
    EXPECT_EQ(buttons.Bits(), CH1);
    ASSERT_EQ(target.events.size(), 1u);
    EXPECT_EQ(target.events[0].kind, Event::Status);

    // A lit button pressed again re-applies its recipe over the tweaks.
    target.params[kVcaDecay].SetClamped(0.9);
    target.params[kChorusFilterFrequency].SetClamped(3000);
    target.events.clear();
    buttons.Press(CH1, false, target);
    EXPECT_EQ(buttons.Bits(), CH1);
    EXPECT_EQ(target.Count(Event::Click), 0);
    ExpectNear(0.38, target.Value(kVcaDecay), "re-pressed", kVcaDecay);
    ExpectNear(1160, target.Value(kChorusFilterFrequency), "re-pressed", kChorusFilterFrequency);
    EXPECT_EQ(buttons.Snapshot(), taken);

    // A modified click on Tweak Mode re-applies the lit buttons.
    buttons.Press(ST2, true, target);
    target.events.clear();
    buttons.Press(kTweakModeMask, true, target);
    EXPECT_EQ(buttons.Bits(), CH1 | ST2);
    EXPECT_EQ(target.WrittenIndices().size(), 35u);

    // Toggling one of two lit buttons off leaves the other's recipe.
    buttons.Press(CH1, true, target);
    EXPECT_EQ(buttons.Bits(), ST2);
    ExpectNear(0.0, target.Value(kChorusFilterLevel), "strings only", kChorusFilterLevel);
}

// Host automation and program loads only store the bits: no recipe, no
// snapshot; the next press starts from the stored bits.
TEST(EnsembleButtons, StoredBitsComeFromButtonState)
{
    EnsembleButtons buttons;
    buttons.StoreButtonState(3.7);
    EXPECT_EQ(buttons.Bits(), 3) << "truncated";
    buttons.StoreButtonState(300);
    EXPECT_EQ(buttons.Bits(), 255);
    buttons.StoreButtonState(-2);
    EXPECT_EQ(buttons.Bits(), 0);
    buttons.StoreButtonState(std::nan(""));
    EXPECT_EQ(buttons.Bits(), 0);

    FakeTarget target(buttons);
    target.Tweak(5);
    buttons.StoreButtonState(ST1);
    buttons.Press(BR1, true, target);
    EXPECT_EQ(buttons.Bits(), ST1 | BR1);
    EXPECT_EQ(buttons.Snapshot(), TweakSnapshot{}) << "not from tweak mode: no snapshot";

    buttons.StoreButtonState(0);
    const double userDecay = 0.77;
    target.params[kVcaDecay].SetClamped(userDecay);
    buttons.Press(CH2, false, target);
    EXPECT_EQ(buttons.Snapshot()[kVcaDecay - kFirstTweakParameter], userDecay) << "from tweak mode: snapshot";
}

// The product's own plug-in, with OnParameterChanged(0) storing the bits,
// pressed through the plug-in target.
class EnsembleVorn : public VORN {
public:
    EnsembleVorn() : VORN(&SilentHost)
    {
        StartFromInitialisedProgram(*this);
        changed.clear();
        statusUpdates = 0;
    }
    void OnParameterChanged(int index) override
    {
        changed.push_back(index);
        if (index == kButtonState) {
            buttons.StoreButtonState(GetParameter(kButtonState)->Value());
            ++statusUpdates;
        }
        VORN::OnParameterChanged(index);
    }
    void Press(int mask, bool toggle)
    {
        InstanceLock lock(InstanceMutex());
        PluginEnsembleTarget target(*this, false, [this] { ++statusUpdates; });
        buttons.Press(mask, toggle, target);
    }

    EnsembleButtons buttons;
    std::vector<int> changed;
    int statusUpdates = 0;
};

TEST(EnsembleButtons, PluginTargetRunsOnParameterChangedPerWrite)
{
    EnsembleVorn plugin;
    std::vector<double> before;
    for (const Parameter& param : plugin.Parameters()) {
        before.push_back(param.Value());
    }
    plugin.Press(BR1, false);
    // "Button State", the recipe (20 + 13 writes) and the brass VCF (10).
    ASSERT_EQ(plugin.changed.size(), 44u);
    EXPECT_EQ(plugin.changed.front(), kButtonState);
    EXPECT_EQ(plugin.buttons.Bits(), BR1);
    EXPECT_EQ(plugin.GetParameter(kButtonState)->Value(), BR1);
    EXPECT_EQ(plugin.GetParameter(kFilterArrangement)->Value(), 1);
    EXPECT_NEAR(plugin.GetParameter(kVcfCutoff)->Normalized(), 0.35, 1e-12);
    EXPECT_NEAR(plugin.GetParameter(kOrganStringsFilterFrequency)->Value(), 780, 1e-9);

    plugin.changed.clear();
    plugin.Press(kTweakModeMask, false);
    EXPECT_EQ(plugin.buttons.Bits(), 0);
    EXPECT_EQ(plugin.changed.size(), static_cast<std::size_t>(kTweakSnapshotSize) + 1u);
    for (int i = 0; i < kParameterCount; ++i) {
        const double expected = before[static_cast<std::size_t>(i)];
        EXPECT_NEAR(plugin.GetParameter(i)->Value(), expected, 1e-9 * std::max(1.0, std::fabs(expected)))
            << i;
    }
}

}  // namespace
