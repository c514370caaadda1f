// An editor host over a small set of parameter records that records what
// the controls asked of it.
#pragma once

#include <string>
#include <vector>

#include "core/Parameter.h"
#include "graphics/EditorHost.h"

class TestEditorHost : public EditorHost {
public:
    // Parameters: 0 continuous 0..1, 1 continuous -10..10 with shape 2, 2
    // enumerated "Low", "Mid", "High" with no text for 1 ("Low" 0, "High" 2),
    // 3 integer 0..8, 4 continuous 0..100 shown negated.
    TestEditorHost();

    int NumParameters() const override { return static_cast<int>(parameters.size()); }
    const Parameter* GetParameter(int index) const override;
    void SetParameterFromEditor(int index, double normalized) override;
    void BeginHostEdit(int index) override { calls.push_back("begin " + std::to_string(index)); }
    void EndHostEdit(int index) override { calls.push_back("end " + std::to_string(index)); }
    void RefreshEditorRect() override { calls.push_back("size"); }
    void OnEditorIdle() override { ++idleCalls; }

    std::vector<Parameter> parameters;
    std::vector<std::string> calls;  // "set 0 0.5", "begin 0", "end 0", "size"
    int idleCalls = 0;
};
