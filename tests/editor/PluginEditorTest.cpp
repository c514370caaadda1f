// The plug-in and its editor's graphics object wired together: values from
// the host, programs and MIDI reach the controls; the controls' gestures
// reach the host inside edit brackets.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/PluginFactory.h"
#include "editor/VornEditor.h"
#include "engine/dsp/ParameterIds.h"
#include "graphics/IGraphics.h"
#include "graphics/IKnobControl.h"

namespace {

std::vector<int> g_opcodes;

VstIntPtr VSTCALLBACK RecordingHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterBeginEdit || opcode == audioMasterAutomate || opcode == audioMasterEndEdit) {
        g_opcodes.push_back(opcode);
    }
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Knob : IKnobControl {
    using IKnobControl::IKnobControl;
    bool Draw(IGraphics&) override { return true; }
};

struct Instance {
    std::unique_ptr<IPluginVST> plugin{CreatePluginInstance(&RecordingHost)};
    VornWithEditor& Vorn() { return dynamic_cast<VornWithEditor&>(*plugin); }
    AEffect* Effect() { return plugin->Effect(); }
};

TEST(PluginEditor, TheEditorIsAnnouncedWhereItHasAWindow)
{
    Instance instance;
    ASSERT_NE(instance.Vorn().Graphics(), nullptr);
    ERect* rect = nullptr;
    const VstIntPtr answered =
        instance.Effect()->dispatcher(instance.Effect(), effEditGetRect, 0, 0, &rect, 0.0f);
    EXPECT_NE(instance.Effect()->flags & effFlagsHasEditor, 0);
    ASSERT_EQ(answered, 1);
    EXPECT_EQ(rect->right, 1100);
    EXPECT_EQ(rect->bottom, instance.Vorn().Graphics()->Height());
    EXPECT_EQ(instance.Effect()->dispatcher(instance.Effect(), effEditOpen, 0, 0, nullptr, 0.0f), 0)
        << "no parent window";
    ASSERT_NE(instance.Vorn().Graphics()->DrawBitmap(), nullptr) << "drawing surfaces are ready";
}

TEST(PluginEditor, ValuesReachControlsAndGesturesReachTheHostInBrackets)
{
    Instance instance;
    IGraphics& graphics = *instance.Vorn().Graphics();
    auto knob = std::make_unique<Knob>(graphics.Host(), IRectangle{10, 10, 42, 42}, kMasterVolume);
    Knob* volume = knob.get();
    graphics.AttachControl(std::move(knob));

    // Host automation (from any thread) reaches the control at the next tick.
    AEffect* effect = instance.Effect();
    effect->setParameter(effect, kMasterVolume, 0.25f);
    IRectangle dirty;
    graphics.IsDirty(dirty);
    EXPECT_DOUBLE_EQ(volume->Value(), 0.25);

    // A drag on the knob: begin edit, automation, end edit, in that order,
    // and the parameter follows.
    g_opcodes.clear();
    IModifiers left;
    left.left = true;
    graphics.HandleMouseDown(20, 20, left);
    graphics.HandleMouseDrag(20, 4, left);
    graphics.HandleMouseUp(20, 4, left);
    EXPECT_EQ(g_opcodes, (std::vector<int>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
    EXPECT_NEAR(instance.plugin->GetParameter(kMasterVolume)->Normalized(), 0.25 + 16.0 / 32.0 / 4.0, 1e-9);
    EXPECT_NEAR(volume->Value(), 0.375, 1e-9);

    // Loading a program pushes its values to the controls.
    instance.plugin->LoadPreset(1);
    graphics.ApplyPendingValues();
    EXPECT_DOUBLE_EQ(volume->Value(), instance.plugin->GetParameter(kMasterVolume)->Normalized());
}

// Audio on one thread, host automation on another and redraw ticks on a
// third: values reach the control without a data race (this suite also runs
// under ThreadSanitizer) and the audio never waits for the editor.
TEST(PluginEditor, AudioAutomationAndRedrawRunTogether)
{
    Instance instance;
    IGraphics& graphics = *instance.Vorn().Graphics();
    auto knob = std::make_unique<Knob>(graphics.Host(), IRectangle{10, 10, 42, 42}, kTreble);
    Knob* treble = knob.get();
    graphics.AttachControl(std::move(knob));
    AEffect* effect = instance.Effect();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 256, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(256);
        std::vector<float> right(256);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop) {
            effect->processReplacing(effect, nullptr, outputs, 256);
        }
    });
    std::thread automation([&] {
        for (int i = 0; i < 5000; ++i) {
            effect->setParameter(effect, kTreble, (i % 2 == 0) ? 0.25f : 0.75f);
        }
    });
    int strange = 0;
    for (int tick = 0; tick < 200; ++tick) {
        IRectangle dirty;
        if (graphics.IsDirty(dirty)) {
            graphics.Draw(dirty);
        }
        // Before the first value arrives the control shows 0.
        const double v = treble->Value();
        strange += v == 0.25 || v == 0.75 || v == 0.0 ? 0 : 1;
    }
    automation.join();
    stop = true;
    audio.join();
    graphics.ApplyPendingValues();
    EXPECT_EQ(strange, 0) << "every value shown is one that was set";
    EXPECT_DOUBLE_EQ(treble->Value(), 0.75);
}

}  // namespace
