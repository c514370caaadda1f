#include "tools/vornhost/VornParameters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "core/Parameter.h"
#include "engine/EnsembleButtons.h"
#include "engine/ParameterTable.h"

namespace {

// The product's own parameter table, defined once; the host reads ranges and
// shapes from it rather than keeping a copy.
const std::array<Parameter, kParameterCount>& DefinedParameters()
{
    static const std::array<Parameter, kParameterCount> params = [] {
        std::array<Parameter, kParameterCount> defined{};
        DefineVornParameters(defined);
        return defined;
    }();
    return params;
}

// Records the writes of an ensemble press instead of sending them to a
// plug-in, keeping a private parameter list current so that later steps of
// the recipe read what earlier ones wrote.
class RecordingTarget final : public EnsembleButtons::Target {
public:
    RecordingTarget() : m_params(DefinedParameters()) {}

    std::span<const Parameter> ParameterList() const override { return m_params; }
    void WriteNormalized(int index, double normalized) override
    {
        m_params[static_cast<std::size_t>(index)].SetFromNormalized(normalized);
        m_writes.push_back({index, static_cast<float>(normalized)});
    }
    void ClickIfVintageVibe() override {}
    void UpdateStatusControls() override {}

    std::vector<ParameterWrite> TakeWrites() { return std::move(m_writes); }

private:
    std::array<Parameter, kParameterCount> m_params;
    std::vector<ParameterWrite> m_writes;
};

}  // namespace

ParameterRange VornParameterRange(int index)
{
    if (index < 0 || index >= kParameterCount) {
        return {};
    }
    const Parameter& param = DefinedParameters()[static_cast<std::size_t>(index)];
    return {param.Min(), param.Max(), param.Shape()};
}

float VornNormalized(int index, double value)
{
    const ParameterRange range = VornParameterRange(index);
    const double v = std::clamp(value, range.min, range.max);
    return static_cast<float>(std::pow((v - range.min) / (range.max - range.min), 1.0 / range.shape));
}

std::vector<ParameterWrite> EnsembleWrites(int bits)
{
    RecordingTarget target;
    EnsembleButtons buttons;
    buttons.Apply(std::clamp(bits, 0, kAllEnsembleBits), target);
    return target.TakeWrites();
}
