#include "core/Parameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/NumberText.h"
#include "core/Text.h"

namespace {

constexpr int kMaxDisplayPrecision = 6;

// v truncated toward zero as an int, limited to the int range (NaN gives 0),
// for matching display texts.
int TruncateToInt(double v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

}  // namespace

void Parameter::DefineContinuous(const char* name, double defaultValue, double min, double max, double step,
                                 const char* label, const char* group, double shape)
{
    if (m_kind == ParameterKind::None) {
        m_kind = ParameterKind::Continuous;
    }
    CopyText(m_name, name);
    CopyText(m_label, label);
    CopyText(m_group, group);
    m_min = min;
    m_value = defaultValue;
    m_default = defaultValue;
    m_step = step;
    m_max = std::max(max, min + step);

    m_displayPrecision = 0;
    double scaled = step;
    while (std::floor(scaled) != scaled && m_displayPrecision < kMaxDisplayPrecision) {
        ++m_displayPrecision;
        scaled *= 10.0;
    }
    if (shape != 0.0) {
        m_shape = shape;
    }
}

void Parameter::DefineInteger(const char* name, double defaultValue, double min, double max)
{
    if (m_kind == ParameterKind::None) {
        m_kind = ParameterKind::Integer;
    }
    DefineContinuous(name, defaultValue, min, max, 1.0, "", "", 1.0);
}

void Parameter::DefineEnumerated(const char* name, int count, const char* const* texts)
{
    if (m_kind == ParameterKind::None) {
        m_kind = ParameterKind::Enumerated;
    }
    DefineContinuous(name, 0.0, 0.0, count - 1.0, 1.0, "", "", 1.0);
    if (texts != nullptr) {
        for (int i = 0; i < count; ++i) {
            AddDisplayText(i, texts[i]);
        }
    }
}

void Parameter::AddDisplayText(int value, const char* text)
{
    DisplayText entry{};
    entry.value = value;
    CopyText(entry.text, text);
    m_displayTexts.push_back(entry);
}

void Parameter::SetClamped(double v)
{
    if (std::isnan(v)) {
        return;
    }
    m_value = FlushSubnormal(v < m_min ? m_min : std::min(m_max, v));
}

double Parameter::ToNormalized(double v) const
{
    if (!(m_max > m_min)) {
        return 0.0;
    }
    v = v < m_min ? m_min : std::min(m_max, v);
    return std::pow((v - m_min) / (m_max - m_min), 1.0 / m_shape);
}

double Parameter::FromNormalized(double n) const
{
    n = std::clamp(n, 0.0, 1.0);
    return m_min + (m_max - m_min) * std::pow(n, m_shape);
}

void Parameter::SetFromNormalized(double n)
{
    if (std::isnan(n)) {
        return;
    }
    double v = FromNormalized(n);
    if (m_kind != ParameterKind::Continuous && m_step > 0.0) {
        v = std::floor(v / m_step + 0.5) * m_step;
    }
    m_value = FlushSubnormal(std::min(v, m_max));
}

void Parameter::FormatValue(double v, bool normalized, char* text, int capacity, bool withDisplayTexts) const
{
    if (text == nullptr || capacity <= 0) {
        return;
    }
    if (normalized) {
        // No step rounding: the host asks for the text of an arbitrary position.
        v = std::isnan(v) ? m_min : FromNormalized(v);
    }
    if (m_formatter != nullptr) {
        text[0] = '\0';
        m_formatter(v, text, capacity);
        text[capacity - 1] = '\0';
        return;
    }
    if (withDisplayTexts) {
        const char* displayText = FindDisplayText(TruncateToInt(v));
        if (displayText != nullptr && displayText[0] != '\0') {
            CopyText(text, capacity, displayText);
            return;
        }
    }
    if (m_negateDisplay) {
        v = -v;
    }
    if (m_displayPrecision == 0) {
        FormatTruncatedInteger(v, text, capacity);
    } else {
        FormatFixed(v, m_displayPrecision, text, capacity);
    }
}

const char* Parameter::UnitLabel() const
{
    const char* displayText = FindDisplayText(TruncateToInt(m_value));
    if (displayText != nullptr && displayText[0] != '\0') {
        return "";
    }
    return m_label;
}

const char* Parameter::DisplayTextAt(int position) const
{
    if (position < 0 || position >= DisplayTextCount()) {
        return "";
    }
    return m_displayTexts[static_cast<std::size_t>(position)].text;
}

int Parameter::DisplayTextValueAt(int position) const
{
    if (position < 0 || position >= DisplayTextCount()) {
        return 0;
    }
    return m_displayTexts[static_cast<std::size_t>(position)].value;
}

const char* Parameter::FindDisplayText(int value) const
{
    for (const DisplayText& entry : m_displayTexts) {
        if (entry.value == value) {
            return entry.text;
        }
    }
    return nullptr;
}

bool Parameter::FindDisplayTextValue(const char* text, int& value) const
{
    if (text == nullptr) {
        return false;
    }
    for (const DisplayText& entry : m_displayTexts) {
        if (std::strcmp(entry.text, text) == 0) {
            value = entry.value;
            return true;
        }
    }
    return false;
}
