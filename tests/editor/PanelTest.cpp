// The panel built from the layout table and driven through the headless
// graphics object: layouts, the product's controls and their rules, and
// pictures of both layouts with the first factory program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "PanelHarness.h"
#include "core/ProgramFiles.h"
#include "editor/PanelLayout.h"
#include "editor/TaskelControls.h"
#include "editor/VornEditor.h"
#include "engine/dsp/ParameterIds.h"
#include "platform/Resources.h"
#include "tests/support/graphics/HeadlessGraphics.h"

namespace {

TEST(Panel, BothLayoutsBuildFromTheTable)
{
    Panel edit(true);
    EXPECT_EQ(edit.graphics->Height(), 512);
    ASSERT_EQ(edit.graphics->ControlCount(), 1 + 9 + 71);
    EXPECT_EQ(edit.graphics->Control(0)->Rect(), (IRectangle{0, 0, 1100, 512})) << "the background first";
    EXPECT_NE(dynamic_cast<ITaskelPresetMenu*>(edit.graphics->Control(1)), nullptr);
    EXPECT_EQ(edit.graphics->Control(1)->Rect(), (IRectangle{570, 32, 816, 48}));
    for (int i = 0; i < edit.graphics->ControlCount(); ++i) {
        IControl* control = edit.graphics->Control(i);
        if (control->ParameterIndex() == kTreble) {
            EXPECT_EQ(control->Rect(), (IRectangle{52, 288, 84, 320}));
        }
        if (control->ParameterIndex() == kVcfType) {
            EXPECT_EQ(control->Rect(), (IRectangle{556, 116, 576, 136}));
        }
    }
    for (int index = kBankAWaveMix; index <= kModulatorDepth; ++index) {
        EXPECT_NE(edit.vorn->TweakableControl(index), nullptr) << index;
    }
    ASSERT_NE(edit.vorn->Diagram(), nullptr);

    Panel compact(false);
    EXPECT_EQ(compact.graphics->Height(), 200);
    EXPECT_EQ(compact.graphics->ControlCount(), 1 + 9 + 20);
    EXPECT_EQ(compact.vorn->TweakableControl(kVcfCutoff), nullptr);
    EXPECT_NE(compact.vorn->PullSwitch(0), nullptr);

    // The edit switch rebuilds at the other height, and back.
    compact.Click(930, 35);
    EXPECT_EQ(compact.graphics->Height(), 512);
    EXPECT_EQ(compact.graphics->ControlCount(), 81);
    EXPECT_TRUE(compact.vorn->EditLayout());
    compact.Click(930, 35);
    EXPECT_EQ(compact.graphics->Height(), 200);
}

TEST(Panel, KnobsDragShowTheirValueAndClampThemselves)
{
    Panel panel(true);
    // Tweak mode, so the tweakable knobs are not greyed.
    panel.vorn->PressEnsembleButton(0, false);
    panel.graphics->Tick();
    // "Bank A Level" at 308, 108 (32 pixels).
    IModifiers left;
    left.left = true;
    panel.graphics->HandleMouseDown(320, 120, left);
    panel.vorn->SetParameterFromPanel(kBankALevel, 0.0);
    panel.graphics->ApplyPendingValues();
    panel.graphics->HandleMouseDrag(320, 56, left);
    EXPECT_NEAR(panel.vorn->GetParameter(kBankALevel)->Normalized(), 0.5, 1e-9) << "64 of 128 pixels";
    IModifiers fine = left;
    fine.shift = true;
    panel.graphics->HandleMouseDrag(320, -72, fine);
    EXPECT_NEAR(panel.vorn->GetParameter(kBankALevel)->Normalized(), 0.6, 1e-9) << "128 of 1280 pixels";
    panel.graphics->HandleMouseUp(320, -72, left);

    // Hovering shows the value box; the five-position selector never does.
    auto* level = dynamic_cast<ITaskelKnobControl*>(panel.At(320, 120));
    ASSERT_NE(level, nullptr);
    panel.graphics->HandleMouseOver(320, 120, IModifiers{});
    EXPECT_TRUE(level->Hovered());
    EXPECT_EQ(level->ValueBox(), (IRectangle{312, 118, 336, 130}));
    panel.graphics->HandleMouseOver(5, 5, IModifiers{});
    EXPECT_FALSE(level->Hovered());
    auto* selector = dynamic_cast<ITaskelKnobControl*>(panel.At(860, 430));
    ASSERT_NE(selector, nullptr);
    EXPECT_EQ(selector->Gearing(), 1.0);
    EXPECT_TRUE(level->Clicks());
    EXPECT_FALSE(dynamic_cast<ITaskelKnobControl*>(panel.At(260, 120))->Clicks()) << "Bank A Wave Mix";

    // While an ensemble button is lit the tweakable knobs are greyed and not
    // hit.
    panel.vorn->PressEnsembleButton(1, false);
    panel.graphics->Tick();
    EXPECT_TRUE(level->Grayed());
    EXPECT_FALSE(panel.vorn->TweakableControl(kMasterVolume) != nullptr);
}

TEST(Panel, ProgramButtonsMenuAndName)
{
    Panel panel(false);
    panel.Click(550, 35);  // previous at 0
    EXPECT_EQ(panel.vorn->CurrentPresetIndex(), 63);
    panel.Click(600, 35);  // next at 63
    EXPECT_EQ(panel.vorn->CurrentPresetIndex(), 0);

    // Item 5 of "32 - 47".
    panel.graphics->menuChoices = {2, 5};
    panel.Click(580, 40);
    ASSERT_FALSE(panel.graphics->prompts.empty());
    const auto& menu = panel.graphics->prompts.back();
    EXPECT_EQ(menu.items, (std::vector<std::string>{"00 - 15 >", "16 - 31 >", "32 - 47 >", "48 - 63 >"}));
    EXPECT_EQ(panel.vorn->CurrentPresetIndex(), 37);

    // A name typed into the name box, cut to 27 characters.
    panel.graphics->typed.push_back("A very long name for program 37!");
    panel.Click(700, 40);
    EXPECT_STREQ(panel.vorn->PresetName(37), "A very long name for progra");
}

TEST(Panel, LearnSwitchRules)
{
    Panel panel(false);
    auto* learn = dynamic_cast<ITaskelSwitchMidiLearn*>(panel.At(880, 35));
    ASSERT_NE(learn, nullptr);
    panel.Click(880, 35, Right());
    EXPECT_FALSE(learn->LearnMode()) << "off: right click alternates to unlearn";
    panel.Click(880, 35, Right());
    EXPECT_TRUE(learn->LearnMode());
    panel.Click(880, 35);
    EXPECT_TRUE(panel.vorn->MidiLearnActive());
    EXPECT_FALSE(panel.vorn->MidiUnlearnMode());
    panel.Click(880, 35, Right());
    EXPECT_TRUE(learn->LearnMode()) << "on: right click changes nothing";
    // The audio side ends learn: the switch shows off at the next tick.
    panel.vorn->SetMidiLearn(false, false);
    learn->ShowLearnOff();
    panel.graphics->Tick();
    EXPECT_EQ(learn->Value(), 0.0);
}

TEST(Panel, PullSwitchesAndTweakSwitch)
{
    Panel panel(false);
    const double levelB = panel.vorn->GetParameter(kBankBLevel)->Value();
    panel.vorn->PressEnsembleButton(0, false);  // tweak mode: no organ lit
    panel.Click(888, 85);
    EXPECT_EQ(panel.vorn->GetParameter(kBankBLevel)->Value(), levelB) << "only the picture changes";

    panel.vorn->PressEnsembleButton(1, false);  // pipe organ 1
    panel.graphics->Tick();
    panel.Click(888, 85);
    const double pulled = panel.vorn->PullSwitch(0)->Value();
    EXPECT_EQ(panel.vorn->GetParameter(kBankBLevel)->Value(), pulled >= 0.5 ? 0.0 : 1.0);
    EXPECT_EQ(panel.vorn->GetParameter(kBankATranspose)->Value(), pulled >= 0.5 ? 0.0 : 12.0);

    // The tweak switch's menu only with a modifier while a button is lit;
    // dismissing it changes nothing.
    const std::size_t prompts = panel.graphics->prompts.size();
    panel.Click(630, 120, Right());
    EXPECT_EQ(panel.graphics->prompts.size(), prompts + 1);
    EXPECT_EQ(panel.graphics->prompts.back().items,
              (std::vector<std::string>{"Recall Tweak Mode Data", "Overwrite with Preset Data"}));
    EXPECT_EQ(panel.vorn->ButtonState(), 1);
    panel.graphics->menuChoices.push_back(0);
    panel.Click(630, 120, Right());
    EXPECT_EQ(panel.vorn->ButtonState(), 0) << "tweak mode";
    panel.graphics->Tick();
    EXPECT_EQ(panel.vorn->TweakSwitch()->Value(), 1.0) << "lit again after the status update";
    panel.Click(630, 120, Right());
    EXPECT_EQ(panel.graphics->prompts.size(), prompts + 2) << "no menu in tweak mode";
}

TEST(Panel, PicturesOfBothLayoutsWithTheFirstFactoryProgram)
{
#if defined(_WIN32)
    const char* target = "windows";
#else
    const char* target = "linux";
#endif
    const std::string data = std::string(VORN_SOURCE_DIR) + "/tests/editor/data/panel-pictures.txt";
    std::map<std::string, std::string> stored;
    std::ifstream in(data);
    std::string key;
    std::string value;
    while (in >> key >> value) {
        stored[key] = value;
    }
    const bool update = std::getenv("VORN_UPDATE_GOLDEN") != nullptr;
    for (const bool edit : {true, false}) {
        Panel panel(edit);
        const std::string name = std::string(edit ? "edit" : "compact");
        char actual[16];
        std::snprintf(actual, sizeof actual, "%08x", panel.graphics->Checksum());
        const std::string id = std::string(target) + "-" + name;
        if (update) {
            stored[id] = actual;
            if (std::string(target) == "linux") {
                panel.graphics->WritePng(std::string(VORN_SOURCE_DIR) + "/docs/editor-" + name + ".png");
            }
            continue;
        }
        if (stored[id] != actual) {
            panel.graphics->WritePng("panel-" + name + "-actual.png");
        }
        EXPECT_EQ(actual, stored[id]) << name << ": picture written to panel-" << name << "-actual.png";
    }
    if (update) {
        std::ofstream out(data, std::ios::binary);
        for (const auto& [k, v] : stored) {
            out << k << " " << v << "\n";
        }
    }
}

}  // namespace
