// One automatable quantity of the plug-in: its value in its own unit (dB,
// semitones, a 0..1 amount, an index), the mapping to the host's normalized
// 0..1 range, the rounding of stepped kinds and the conversion to text.
//
// Records are defined by the product while it is constructed and are then read
// and written under the instance lock by every route of a parameter change
// (host automation, host text entry, editor gestures, state loads); the class
// itself does no locking.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// Values from outside (states, files, hosts) that are subnormal become 0:
// a subnormal level or frequency would make the filters fed by it run on
// denormal arithmetic, many times slower, for no audible difference.
inline double FlushSubnormal(double v)
{
    return std::fpclassify(v) == FP_SUBNORMAL ? 0.0 : v;
}

enum class ParameterKind : std::int32_t { None = 0, Integer = 2, Enumerated = 3, Continuous = 4 };

// Writes the display text of a value (in the parameter's unit) into text, at most
// capacity - 1 characters and a terminator.
using DisplayFormatter = void (*)(double value, char* text, int capacity);

// Size of the name, label, group and display-text fields: 31 characters and a
// terminator. Longer texts are cut (never inside a UTF-8 sequence).
inline constexpr int kParameterTextSize = 32;

class Parameter {
public:
    // Definition, called while the product is constructed. A kind set earlier
    // stays; max is widened to min + step when the range is narrower than one
    // step; the display precision (0..6 decimals) follows from step; a shape of
    // 0 keeps the current shape (the normalized mapping is linear for shape 1).
    void DefineContinuous(const char* name, double defaultValue, double min, double max, double step,
                          const char* label = "", const char* group = "", double shape = 1.0);
    // Integer kind (unless set before), step 1, no label or group, linear.
    void DefineInteger(const char* name, double defaultValue, double min, double max);
    // Enumerated kind (unless set before), values 0..count - 1 with texts[i] as
    // the display text of value i. texts may be null (no display texts).
    void DefineEnumerated(const char* name, int count, const char* const* texts);
    // Appends a display text for an integer value; the first one added for a
    // value wins.
    void AddDisplayText(int value, const char* text);
    // When set, replaces the built-in text of FormatValue.
    void SetDisplayFormatter(DisplayFormatter formatter) { m_formatter = formatter; }
    // The built-in text and the text-to-value conversion use the negated value.
    void SetNegateDisplay(bool negate) { m_negateDisplay = negate; }

    // Value in the parameter's unit, limited to min..max. NaN leaves the value;
    // a subnormal result becomes 0 (also in SetFromNormalized).
    void SetClamped(double v);
    // 0..1 from the clamped value: ((v - min) / (max - min)) ^ (1 / shape).
    double Normalized() const { return ToNormalized(m_value); }
    // The same for any value v in the parameter's unit (limited to min..max
    // first).
    double ToNormalized(double v) const;
    // v = min + (max - min) * n ^ shape, snapped to the step grid (half up) for
    // the Integer and Enumerated kinds, then limited to max. n outside 0..1 is
    // clamped first; NaN leaves the value.
    void SetFromNormalized(double n);
    // The value in the parameter's unit that SetFromNormalized(n) would give
    // before rounding: min + (max - min) * n ^ shape, n clamped to 0..1.
    double FromNormalized(double n) const;

    // Text for v (normalized or in the parameter's unit): the formatter's text
    // when one is set; else, with withDisplayTexts, the first display text of
    // v truncated toward zero when it is not empty; else the number (negated
    // when NegateDisplay) with DisplayPrecision() decimals, truncated toward
    // zero for precision 0. Writes at most capacity - 1 characters and a
    // terminator; always point as decimal separator.
    void FormatValue(double v, bool normalized, char* text, int capacity, bool withDisplayTexts) const;
    // Empty when the current value has a non-empty display text, else Label().
    const char* UnitLabel() const;

    double Value() const { return m_value; }
    double Min() const { return m_min; }
    double Max() const { return m_max; }
    double Step() const { return m_step; }
    double Shape() const { return m_shape; }
    double Default() const { return m_default; }
    int DisplayPrecision() const { return m_displayPrecision; }
    ParameterKind Kind() const { return m_kind; }
    const char* Name() const { return m_name; }
    const char* Label() const { return m_label; }
    const char* Group() const { return m_group; }
    bool NegateDisplay() const { return m_negateDisplay; }
    DisplayFormatter Formatter() const { return m_formatter; }

    bool HasDisplayTexts() const { return !m_displayTexts.empty(); }
    int DisplayTextCount() const { return static_cast<int>(m_displayTexts.size()); }
    // The display text at position (in the order added); "" and 0 outside.
    const char* DisplayTextAt(int position) const;
    int DisplayTextValueAt(int position) const;
    // The first display text whose value equals value; null when none.
    const char* FindDisplayText(int value) const;
    // The value of the first display text equal to text (exact, case-sensitive).
    bool FindDisplayTextValue(const char* text, int& value) const;

private:
    struct DisplayText {
        int value;
        char text[kParameterTextSize];
    };

    DisplayFormatter m_formatter = nullptr;
    ParameterKind m_kind = ParameterKind::None;
    double m_value = 0.0;
    double m_min = 0.0;
    double m_max = 1.0;
    double m_step = 1.0;
    double m_shape = 1.0;
    double m_default = 0.0;
    int m_displayPrecision = 0;
    char m_name[kParameterTextSize] = {};
    char m_label[kParameterTextSize] = {};
    char m_group[kParameterTextSize] = {};
    bool m_negateDisplay = false;
    std::vector<DisplayText> m_displayTexts;
};
