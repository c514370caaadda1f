#include "tests/support/graphics/TestEditorHost.h"

#include <cstdio>

TestEditorHost::TestEditorHost() : parameters(5)
{
    parameters[0].DefineContinuous("Level", 0.5, 0.0, 1.0, 0.01, "", "", 1.0);
    parameters[1].DefineContinuous("Shift", 0.0, -10.0, 10.0, 0.01, "", "", 2.0);
    parameters[2].DefineEnumerated("Range", 3, nullptr);
    parameters[2].AddDisplayText(0, "Low");
    parameters[2].AddDisplayText(2, "High");
    parameters[3].DefineInteger("Steps", 0.0, 0.0, 8.0);
    parameters[4].DefineContinuous("Cut", 0.0, 0.0, 100.0, 0.1, "", "", 1.0);
    parameters[4].SetNegateDisplay(true);
}

const Parameter* TestEditorHost::GetParameter(int index) const
{
    return index >= 0 && index < NumParameters() ? &parameters[static_cast<std::size_t>(index)] : nullptr;
}

void TestEditorHost::SetParameterFromEditor(int index, double normalized)
{
    if (Parameter* parameter =
            index >= 0 && index < NumParameters() ? &parameters[static_cast<std::size_t>(index)] : nullptr) {
        parameter->SetFromNormalized(normalized);
    }
    char text[64];
    std::snprintf(text, sizeof text, "set %d %g", index, normalized);
    calls.push_back(text);
}
