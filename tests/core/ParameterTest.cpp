#include "core/Parameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

std::string Format(const Parameter& p, double v, bool normalized = false, bool withTexts = true,
                   int capacity = kParameterTextSize)
{
    char text[64];
    std::memset(text, 'x', sizeof(text));
    p.FormatValue(v, normalized, text, capacity, withTexts);
    return text;
}

TEST(Parameter, DisplayPrecisionFollowsStep)
{
    const struct {
        double step;
        int precision;
    } cases[] = {{0.01, 2}, {1.0, 0}, {0.125, 3}, {1.0 / 3.0, 6}, {0.5, 1}, {2.5, 1}};
    for (const auto& c : cases) {
        Parameter p;
        p.DefineContinuous("p", 0.0, 0.0, 10.0, c.step);
        EXPECT_EQ(p.DisplayPrecision(), c.precision) << "step " << c.step;
        EXPECT_EQ(p.Step(), c.step);
    }
}

TEST(Parameter, DefinitionRules)
{
    Parameter p;
    p.DefineContinuous("p", 0.0, 0.0, 0.0, 1.0);
    EXPECT_EQ(p.Max(), 1.0) << "a range narrower than one step is widened";
    EXPECT_EQ(p.Kind(), ParameterKind::Continuous);

    Parameter shaped;
    shaped.DefineContinuous("s", 0.0, 0.0, 1.0, 0.01, "", "", 3.0);
    shaped.DefineContinuous("s", 0.0, 0.0, 1.0, 0.01, "", "", 0.0);
    EXPECT_EQ(shaped.Shape(), 3.0) << "shape 0 keeps the shape";

    Parameter integer;
    integer.DefineInteger("i", 3.0, -12.0, 12.0);
    EXPECT_EQ(integer.Kind(), ParameterKind::Integer);
    EXPECT_EQ(integer.Value(), 3.0);
    EXPECT_EQ(integer.Default(), 3.0);
    integer.DefineContinuous("i", 0.0, 0.0, 1.0, 0.5);
    EXPECT_EQ(integer.Kind(), ParameterKind::Integer) << "a kind set earlier stays";

    Parameter longName;
    longName.DefineContinuous("A name that is much longer than thirty-one characters", 0, 0, 1, 0.1,
                              "a label that is also longer than the field", "group");
    EXPECT_EQ(std::string(longName.Name()), "A name that is much longer than");
    EXPECT_EQ(std::strlen(longName.Label()), 31u);
    EXPECT_STREQ(longName.Group(), "group");
    longName.AddDisplayText(0, "a display text that is too long for its field");
    EXPECT_EQ(std::strlen(longName.DisplayTextAt(0)), 31u);
}

TEST(Parameter, IntegerSnapsToStepGrid)
{
    Parameter p;
    p.DefineInteger("t", 0.0, -12.0, 12.0);
    p.SetFromNormalized(0.52);
    EXPECT_EQ(p.Value(), 0.0);
    p.SetFromNormalized(0.53);
    EXPECT_EQ(p.Value(), 1.0);
    p.SetFromNormalized(1.0);
    EXPECT_EQ(p.Value(), 12.0);
    p.SetFromNormalized(0.0);
    EXPECT_EQ(p.Value(), -12.0);
}

TEST(Parameter, ShapedMappingIsNotRounded)
{
    Parameter p;
    p.DefineContinuous("r", 0.0, 0.0, 15.0, 0.01, "", "", 4.0);
    p.SetClamped(0.9375);
    EXPECT_DOUBLE_EQ(p.Normalized(), 0.5);
    p.SetFromNormalized(0.5);
    EXPECT_EQ(p.Value(), 0.9375);
}

TEST(Parameter, HostValuesOutsideRangeAreContained)
{
    Parameter p;
    p.DefineContinuous("r", 0.2, 0.0, 15.0, 0.01, "", "", 4.0);
    p.SetFromNormalized(-0.5);  // would be NaN through the power with shape 1/4 inverse
    EXPECT_EQ(p.Value(), 0.0);
    p.SetFromNormalized(7.0);
    EXPECT_EQ(p.Value(), 15.0);
    p.SetFromNormalized(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 15.0) << "NaN leaves the value";
    p.SetClamped(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(p.Value(), 15.0);
    p.SetClamped(99.0);
    EXPECT_EQ(p.Value(), 15.0);
    p.SetClamped(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.Value(), 0.0);

    // A value set outside the range by other means still normalizes within 0..1.
    Parameter q;
    q.DefineContinuous("q", 5.0, 0.0, 1.0, 0.01);
    EXPECT_EQ(q.Normalized(), 1.0);
    q.DefineContinuous("q", -5.0, 0.0, 1.0, 0.01);
    EXPECT_EQ(q.Normalized(), 0.0);
}

TEST(Parameter, BuiltInText)
{
    Parameter whole;
    whole.DefineContinuous("w", 0.0, -1.0, 1.0, 1.0);
    EXPECT_EQ(Format(whole, -0.7), "0") << "truncation toward zero";
    EXPECT_EQ(Format(whole, 1e300), "2147483647") << "limited to the int range";
    EXPECT_EQ(Format(whole, std::numeric_limits<double>::quiet_NaN()), "0");

    Parameter fine;
    fine.DefineContinuous("f", 0.0, -1.0, 1.0, 0.01);
    EXPECT_EQ(Format(fine, -0.7), "-0.70");
    EXPECT_EQ(Format(fine, 0.125), "0.12") << "as printf's %.2f: ties to even on the binary value";
    EXPECT_EQ(Format(fine, 1.0, true), "1.00") << "normalized input is mapped first";
    EXPECT_EQ(Format(fine, 0.5, true), "0.00");

    Parameter negated;
    negated.DefineContinuous("n", 0.0, 0.0, 10.0, 0.5);
    negated.SetNegateDisplay(true);
    EXPECT_EQ(Format(negated, 2.5), "-2.5");

    // The buffer is never overrun, and a tiny one still ends with a terminator.
    char small[4] = {'x', 'x', 'x', 'x'};
    fine.FormatValue(-0.7, false, small, 3, false);
    EXPECT_STREQ(small, "-0");
    EXPECT_EQ(small[3], 'x');
    fine.FormatValue(-0.7, false, small, 0, false);
    EXPECT_EQ(small[0], '-') << "capacity 0 writes nothing";

    Parameter huge;
    huge.DefineContinuous("h", 0.0, 0.0, 1e300, 0.000001);
    std::string text = Format(huge, 1e300);
    EXPECT_EQ(text.size(), 31u) << "a long number is cut to the field";
}

TEST(Parameter, DisplayTextsAndUnitLabel)
{
    static const char* const kTexts[] = {"Normal", "Pan"};
    Parameter p;
    p.DefineEnumerated("mode", 2, kTexts);
    EXPECT_EQ(p.Kind(), ParameterKind::Enumerated);
    EXPECT_EQ(p.Max(), 1.0);
    p.SetClamped(1.0);
    EXPECT_EQ(Format(p, p.Value()), "Pan");
    EXPECT_EQ(Format(p, p.Value(), false, false), "1");
    EXPECT_EQ(Format(p, 1.9), "Pan") << "value truncated toward zero for the lookup";
    EXPECT_STREQ(p.UnitLabel(), "");

    Parameter labelled;
    labelled.DefineContinuous("db", 0.0, 0.0, 10.0, 1.0, "dB");
    labelled.AddDisplayText(0, "");
    labelled.AddDisplayText(0, "Off");
    labelled.AddDisplayText(10, "Max");
    EXPECT_EQ(Format(labelled, 0.0), "0") << "an empty first match prints the number";
    EXPECT_STREQ(labelled.UnitLabel(), "dB");
    labelled.SetClamped(10.0);
    EXPECT_STREQ(labelled.UnitLabel(), "");
    labelled.SetClamped(5.0);
    EXPECT_STREQ(labelled.UnitLabel(), "dB");

    int value = -1;
    EXPECT_TRUE(labelled.FindDisplayTextValue("Max", value));
    EXPECT_EQ(value, 10);
    EXPECT_FALSE(labelled.FindDisplayTextValue("max", value)) << "case-sensitive";
    EXPECT_FALSE(labelled.FindDisplayTextValue(nullptr, value));
}

void FormatPercent(double value, char* text, int capacity)
{
    std::snprintf(text, static_cast<std::size_t>(capacity), "%d percent of the full scale value",
                  static_cast<int>(value * 100.0));
}

TEST(Parameter, FormatterReplacesBuiltInText)
{
    static const char* const kTexts[] = {"Zero", "One"};
    Parameter p;
    p.DefineEnumerated("e", 2, kTexts);
    p.SetDisplayFormatter(&FormatPercent);
    EXPECT_EQ(Format(p, 1.0, false, true, 12), "100 percent");
    EXPECT_EQ(Format(p, 0.5, true), "50 percent of the full scale va");
}

}  // namespace
