#include "graphics/IControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "graphics/IBitmapControl.h"
#include "graphics/IKnobControl.h"
#include "graphics/ITextControl.h"
#include "graphics/PixDraw.h"
#include "tests/support/graphics/HeadlessGraphics.h"
#include "tests/support/graphics/TestEditorHost.h"

namespace {

IBitmapStrip Strip(int frames)
{
    IBitmapStrip strip;
    strip.width = 10;
    strip.height = 10 * frames;
    strip.frames = frames;
    return strip;
}

// A knob without a picture (the base class draws nothing of its own).
struct Knob : IKnobControl {
    using IKnobControl::IKnobControl;
    bool Draw(IGraphics&) override { return true; }
};

struct Editor {
    TestEditorHost host;
    HeadlessGraphics graphics{&host, 200, 100};
    Editor() { graphics.PrepareDrawing(); }
    template <typename Control>
    Control* Add(std::unique_ptr<Control> control)
    {
        Control* raw = control.get();
        graphics.AttachControl(std::move(control));
        return raw;
    }
};

TEST(IControl, SwitchesStepAndWrapAndContactsSpringBack)
{
    Editor editor;
    auto* three = editor.Add(std::make_unique<ISwitchControl>(&editor.host, 0, 0, 0, Strip(3)));
    IModifiers mods;
    three->HandleMouseDown(1, 1, mods);
    EXPECT_DOUBLE_EQ(three->Value(), 0.5);
    three->HandleMouseDown(1, 1, mods);
    EXPECT_DOUBLE_EQ(three->Value(), 1.0);
    three->HandleDoubleClick(1, 1, mods);
    EXPECT_DOUBLE_EQ(three->Value(), 0.0) << "1.5 wraps to 0";
    EXPECT_EQ(editor.host.calls.back(), "set 0 0");
    EXPECT_EQ(three->Frame(), 1);

    auto* contact = editor.Add(std::make_unique<IContactControl>(&editor.host, 20, 0, 3, Strip(2)));
    contact->HandleMouseDown(21, 1, mods);
    EXPECT_DOUBLE_EQ(contact->Value(), 1.0);
    contact->HandleMouseUp(21, 1, mods);
    EXPECT_DOUBLE_EQ(contact->Value(), 0.0);
    EXPECT_EQ(ISwitchControl(&editor.host, 0, 0, -1, Strip(1)).Frame(), 1);
}

TEST(IControl, KnobsDragWithGearingAndStayInRange)
{
    Editor editor;
    auto* knob = editor.Add(std::make_unique<Knob>(&editor.host, IRectangle{0, 0, 50, 50}, 0));
    IModifiers mods;
    knob->HandleMouseDrag(0, 0, 0, -100, mods);
    EXPECT_NEAR(knob->Value(), 0.5, 1e-12) << "100 pixels up over 50 at gearing 4";
    mods.shift = true;
    knob->HandleMouseDrag(0, 0, 0, -100, mods);
    EXPECT_NEAR(knob->Value(), 0.55, 1e-12) << "fine mode";
    mods.shift = false;
    knob->HandleMouseDrag(0, 0, 0, -1000, mods);
    EXPECT_EQ(knob->Value(), 1.0);
    knob->HandleWheel(0, 0, mods, -3);
    EXPECT_NEAR(knob->Value(), 0.97, 1e-12);
    mods.control = true;
    knob->HandleWheel(0, 0, mods, -10);
    EXPECT_NEAR(knob->Value(), 0.96, 1e-12);
    auto* wide = editor.Add(
        std::make_unique<Knob>(&editor.host, IRectangle{0, 60, 100, 70}, 1, IKnobControl::kHorizontal, 1.0));
    wide->HandleMouseDrag(0, 0, 25, 0, IModifiers{});
    EXPECT_NEAR(wide->Value(), 0.25, 1e-12);
}

TEST(IControl, DefaultsPromptsAndDisplays)
{
    Editor editor;
    auto* knob = editor.Add(std::make_unique<Knob>(&editor.host, IRectangle{0, 0, 40, 40}, 0));
    IModifiers mods;
    knob->SetValue(0.3);
    knob->HandleDoubleClick(1, 1, mods);
    EXPECT_DOUBLE_EQ(knob->Value(), 0.3) << "no default yet";
    knob->ApplyPlugValue(0.6);
    EXPECT_DOUBLE_EQ(knob->DefaultValue(), 0.6) << "the first value from the plug-in is the default";
    knob->ApplyUserValue(0.1);
    knob->HandleDoubleClick(1, 1, mods);
    EXPECT_DOUBLE_EQ(knob->Value(), 0.6);

    // Prompting is off by default; when on, a right click opens a 40 x 16 box
    // around the centre for a parameter without display texts.
    mods.right = true;
    knob->HandleMouseDown(1, 1, mods);
    EXPECT_TRUE(editor.graphics.prompts.empty());
    knob->SetPromptDisabled(false);
    knob->HandleMouseDown(1, 1, mods);
    ASSERT_EQ(editor.graphics.prompts.size(), 1u);
    EXPECT_EQ(editor.graphics.prompts[0].rect, (IRectangle{0, 12, 40, 28}));

    // Value and name displays follow the user's changes; the same text twice
    // does not mark the display dirty.
    auto* value =
        editor.Add(std::make_unique<ITextControl>(&editor.host, IRectangle{50, 0, 100, 12}, ITextStyle{}));
    auto* name =
        editor.Add(std::make_unique<ITextControl>(&editor.host, IRectangle{50, 20, 100, 32}, ITextStyle{}));
    knob->SetValueDisplay(value);
    knob->SetNameDisplay(name);
    knob->ApplyUserValue(0.25);
    EXPECT_EQ(value->Text(), "0.25 ");
    EXPECT_EQ(name->Text(), "Level");
    while (editor.graphics.Tick()) {
    }
    value->SetTextFromPlug("0.25 ");
    EXPECT_FALSE(value->NeedsRedraw());
    value->SetTextFromPlug("0.26 ");
    EXPECT_TRUE(value->NeedsRedraw());
}

// One control of each class drawn through the real pixel layer, compared by
// checksum with the committed value for this target. VORN_UPDATE_GOLDEN=1
// rewrites the value; a mismatch writes the picture next to the test binary.
TEST(IControl, GoldenPanelOfEveryControlClass)
{
    Editor editor;
    HeadlessGraphics& graphics = editor.graphics;
    graphics.Resize(240, 60);
    graphics.AttachBackground(102, "img/vorn2.png");
    const IBitmapStrip knob = graphics.LoadBitmap(104, "img/knob.png", 65);
    const IBitmapStrip button = graphics.LoadBitmap(103, "img/button.png", 2);
    const IBitmapStrip toggle = graphics.LoadBitmap(107, "img/switch.png", 2);
    auto* bitmap = editor.Add(std::make_unique<IBitmapControl>(&editor.host, 8, 8, -1, button));
    auto* sw = editor.Add(std::make_unique<ISwitchControl>(&editor.host, 44, 10, 3, toggle));
    auto* contact = editor.Add(std::make_unique<IContactControl>(&editor.host, 72, 8, -1, button));
    auto* multi = editor.Add(std::make_unique<IKnobMultiControl>(&editor.host, 108, 6, 0, knob));
    ITextStyle style("Arial", 12, IColour{255, 255, 192, 64});
    auto* text =
        editor.Add(std::make_unique<ITextControl>(&editor.host, IRectangle{150, 20, 230, 34}, style, "VORN"));
    bitmap->SetValue(1.0);
    sw->SetValue(1.0);
    multi->SetValue(0.7);
    contact->SetGrayed(true);
    (void)text;
    graphics.FillRoundRectangle(IColour{255, 40, 40, 40}, {150, 40, 230, 56}, nullptr);
    graphics.Tick();
    graphics.FillRoundRectangle(IColour{200, 255, 160, 0}, {150, 40, 230, 56}, nullptr);

#if defined(_WIN32)
    const char* target = "windows";
#else
    const char* target = "linux";
#endif
    const std::string data = std::string(VORN_TEST_DATA_DIR) + "/golden-controls.txt";
    char actual[16];
    std::snprintf(actual, sizeof actual, "%08x", graphics.Checksum());
    std::ifstream in(data);
    std::string line;
    std::string expected;
    std::stringstream others;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(std::string(target) + " ", 0) == 0) {
            expected = line.substr(std::string(target).size() + 1);
        } else if (!line.empty()) {
            others << line << "\n";
        }
    }
    if (std::getenv("VORN_UPDATE_GOLDEN") != nullptr) {
        std::ofstream out(data, std::ios::binary);
        out << others.str() << target << " " << actual << "\n";
        return;
    }
    if (expected != actual) {
        graphics.WritePng("golden-controls-actual.png");
    }
    EXPECT_EQ(actual, expected) << "picture written to golden-controls-actual.png";
}

}  // namespace
