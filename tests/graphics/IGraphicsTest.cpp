#include "graphics/IGraphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

#include "graphics/IBitmapControl.h"
#include "graphics/IKnobControl.h"
#include "graphics/ITextControl.h"
#include "graphics/PixDraw.h"
#include "tests/support/graphics/HeadlessGraphics.h"
#include "tests/support/graphics/TestEditorHost.h"

namespace {

// A control that counts how often it is drawn and what reached it.
class Probe : public IControl {
public:
    Probe(EditorHost* host, IRectangle rect, int parameter = -1) : IControl(host, rect, parameter) {}
    bool Draw(IGraphics&) override
    {
        ++draws;
        return true;
    }
    bool HandleKeyDown(int, int, int) override { return true; }
    void HandleMouseDown(int x, int y, const IModifiers& modifiers) override
    {
        events.push_back("down");
        IControl::HandleMouseDown(x, y, modifiers);
    }
    void HandleMouseUp(int, int, const IModifiers&) override { events.push_back("up"); }
    void HandleMouseDrag(int, int, int dx, int dy, const IModifiers&) override
    {
        events.push_back("drag " + std::to_string(dx) + "," + std::to_string(dy));
    }
    void HandleMouseOut() override { events.push_back("out"); }
    int draws = 0;
    std::vector<std::string> events;
};

struct Editor {
    TestEditorHost host;
    HeadlessGraphics graphics{&host, 200, 100};
    Editor() { graphics.PrepareDrawing(); }
    Probe* Add(IRectangle rect, int parameter = -1)
    {
        auto probe = std::make_unique<Probe>(&host, rect, parameter);
        Probe* raw = probe.get();
        graphics.AttachControl(std::move(probe));
        return raw;
    }
};

TEST(IRectangle, IntersectionAndUnionRules)
{
    const IRectangle a{0, 0, 10, 10};
    EXPECT_EQ(a.Intersect({5, 5, 20, 20}), (IRectangle{5, 5, 10, 10}));
    EXPECT_EQ(a.Intersect({10, 0, 20, 10}), (IRectangle{10, 0, 10, 10})) << "touching on the right meets";
    EXPECT_TRUE(a.Intersect({11, 0, 20, 10}).Empty());
    EXPECT_TRUE(a.Intersect({}).Empty());
    EXPECT_EQ(a.Union({}), a);
    EXPECT_EQ(IRectangle{}.Union(a), a);
    EXPECT_EQ(a.Union({-5, 3, 4, 30}), (IRectangle{-5, 0, 10, 30}));
}

TEST(IMenu, PositionsAppendInsertAndClamp)
{
    IMenu menu;
    menu.AddItem("b");
    menu.AddItem("d", 99);
    menu.AddItem("a", -7);
    menu.AddItem("c", 2, IMenuItem::kChecked);
    ASSERT_EQ(menu.Count(), 4);
    EXPECT_EQ(menu.Item(0)->text, "a");
    EXPECT_EQ(menu.Item(2)->text, "c");
    EXPECT_EQ(menu.Item(2)->flags, IMenuItem::kChecked);
    EXPECT_EQ(menu.Item(3)->text, "d");
    EXPECT_EQ(menu.Item(4), nullptr);
    EXPECT_EQ(menu.Chosen(), -1);
}

TEST(IGraphics, DrawPassRedrawsWhatMeetsTheDirtyRegion)
{
    Editor editor;
    EXPECT_TRUE(editor.graphics.Draw({0, 0, 10, 10})) << "no controls";
    EXPECT_TRUE(editor.graphics.painted.empty());

    Probe* left = editor.Add({0, 0, 20, 20});
    Probe* right = editor.Add({50, 0, 70, 20});
    Probe* hidden = editor.Add({0, 0, 20, 20});
    hidden->SetHidden(true);
    EXPECT_TRUE(editor.graphics.Tick()) << "everything starts dirty";
    EXPECT_EQ(left->draws, 1);
    EXPECT_EQ(right->draws, 1);
    EXPECT_EQ(hidden->draws, 0);
    EXPECT_EQ(editor.graphics.painted.back(), (IRectangle{0, 0, 70, 20}));
    // Hidden asked for one more pass; then all is clean.
    EXPECT_TRUE(editor.graphics.Tick());
    EXPECT_FALSE(editor.graphics.Tick());

    // A control whose left edge touches the region's right edge is drawn.
    editor.graphics.Draw({30, 0, 50, 10});
    EXPECT_EQ(right->draws, 2);
    EXPECT_EQ(left->draws, 2) << "drawn by the second pass only";

    // The idle hook runs after 21 clean ticks, once, and counting restarts.
    for (int i = 0; i < 20; ++i) {
        editor.graphics.Tick();
    }
    EXPECT_EQ(editor.host.idleCalls, 1);
    for (int i = 0; i < 20; ++i) {
        editor.graphics.Tick();
    }
    EXPECT_EQ(editor.host.idleCalls, 1);
    editor.graphics.Tick();
    EXPECT_EQ(editor.host.idleCalls, 2);
}

TEST(IGraphics, EventsGoToTheTopControlWithEditBrackets)
{
    Editor editor;
    Probe* background = editor.Add({0, 0, 200, 100});
    Probe* below = editor.Add({10, 10, 50, 50}, 0);
    Probe* above = editor.Add({30, 30, 60, 60}, 3);
    IModifiers mods;
    editor.graphics.HandleMouseDown(40, 40, mods);
    EXPECT_EQ(editor.graphics.CapturedControl(), 2);
    editor.graphics.HandleMouseDrag(45, 37, mods);
    editor.graphics.HandleMouseUp(90, 90, mods);  // released elsewhere: still the captured one
    EXPECT_EQ(above->events, (std::vector<std::string>{"down", "drag 5,-3", "up"}));
    EXPECT_EQ(editor.host.calls, (std::vector<std::string>{"begin 3", "end 3"}));
    EXPECT_EQ(editor.graphics.CapturedControl(), -1);

    // Greyed controls are not hit; the one below gets the press.
    above->SetGrayed(true);
    editor.graphics.HandleMouseDown(40, 40, mods);
    editor.graphics.HandleMouseUp(40, 40, mods);
    EXPECT_EQ(below->events.size(), 2u);
    // Keys over the background are not handled; over a control they are.
    EXPECT_FALSE(editor.graphics.HandleKeyDown(150, 80, 0));
    EXPECT_TRUE(editor.graphics.HandleKeyDown(20, 20, 0));
    EXPECT_TRUE(background->events.empty());

    // Mouse-over only when switched on; leaving one control tells it.
    EXPECT_FALSE(editor.graphics.HandleMouseOver(20, 20, mods));
    editor.graphics.SetHandleMouseOver(true);
    EXPECT_TRUE(editor.graphics.HandleMouseOver(20, 20, mods));
    EXPECT_EQ(editor.graphics.MouseOverControl(), 1);
    editor.graphics.HandleMouseOver(150, 80, mods);
    EXPECT_EQ(below->events.back(), "out");
    EXPECT_EQ(editor.graphics.MouseOverControl(), 0);
}

TEST(IGraphics, ResizeDiscardsControlsAndTellsTheHost)
{
    Editor editor;
    editor.Add({0, 0, 10, 10});
    editor.graphics.Resize(300, 40);
    EXPECT_EQ(editor.graphics.ControlCount(), 0);
    EXPECT_EQ(editor.graphics.Width(), 300);
    ASSERT_NE(editor.graphics.DrawBitmap(), nullptr);
    EXPECT_EQ(editor.graphics.DrawBitmap()->Height(), 40);
    EXPECT_EQ(editor.host.calls.back(), "size");
}

TEST(IGraphics, PromptsAMenuForEnumerationsAndATextEntryOtherwise)
{
    Editor editor;
    auto* range = editor.Add({0, 0, 20, 20}, 2);
    // Display texts for 0 and 2 only: two items, the second empty.
    editor.graphics.menuChoices.push_back(1);
    editor.graphics.PromptForParameter(range, 2, range->Rect());
    ASSERT_EQ(editor.graphics.prompts.size(), 1u);
    EXPECT_EQ(editor.graphics.prompts[0].items, (std::vector<std::string>{"*Low", ""}));
    EXPECT_DOUBLE_EQ(range->Value(), 0.5);
    EXPECT_EQ(editor.host.calls.back(), "set 2 0.5");

    // Text entries: continuous (shape 2), negated display, integer and
    // enumerated commits; a cancelled entry changes nothing.
    auto* shift = editor.Add({0, 30, 20, 50}, 1);
    editor.graphics.typed.push_back("5");
    editor.graphics.PromptForParameter(shift, 1, {0, 30, 40, 46});
    EXPECT_EQ(editor.graphics.prompts.back().kind, "entry");
    EXPECT_NEAR(shift->Value(), std::sqrt(0.75), 1e-12);
    auto* cut = editor.Add({0, 60, 20, 80}, 4);
    editor.graphics.typed.push_back("-25");
    editor.graphics.PromptForParameter(cut, 4, cut->Rect());
    EXPECT_NEAR(cut->Value(), 0.25, 1e-12);
    auto* steps = editor.Add({30, 0, 50, 20}, 3);
    editor.graphics.typed.push_back("6 steps");
    editor.graphics.PromptForParameter(steps, 3, steps->Rect());
    EXPECT_NEAR(steps->Value(), 0.75, 1e-12);
    editor.graphics.typed.push_back(std::nullopt);
    editor.graphics.PromptForParameter(steps, 3, steps->Rect());
    EXPECT_NEAR(steps->Value(), 0.75, 1e-12);
    editor.graphics.CommitTextEntry(range, 2, "High");
    EXPECT_DOUBLE_EQ(range->Value(), 1.0);
    editor.graphics.CommitTextEntry(range, 2, "Nowhere");
    EXPECT_DOUBLE_EQ(range->Value(), 0.0) << "no matching text is value 0";
}

TEST(IGraphics, ValuesFromAnyThreadArriveWhole)
{
    Editor editor;
    Probe* level = editor.Add({0, 0, 20, 20}, 0);
    Probe* shift = editor.Add({30, 0, 50, 20}, 1);
    level->AuxParameters().push_back({0.0, 1});
    editor.graphics.SetParameterFromPlug(1, 5.0, false);  // plain value: normalized with shape 2
    EXPECT_EQ(shift->Value(), 0.0) << "waits for the editor's thread";
    editor.graphics.ApplyPendingValues();
    EXPECT_NEAR(shift->Value(), std::sqrt(0.75), 1e-12);
    EXPECT_NEAR(level->AuxParameters()[0].value, std::sqrt(0.75), 1e-12);

    // One thread sets values while the editor thread ticks: every value seen
    // is one that was set.
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; i < 20000; ++i) {
            editor.graphics.SetParameterFromPlug(0, (i % 2 == 0) ? 0.25 : 0.75, true);
        }
        done = true;
    });
    int ticks = 0;
    while (!done || ticks < 10) {
        editor.graphics.Tick();
        const double v = level->Value();
        ASSERT_TRUE(v == 0.25 || v == 0.75 || v == 0.0) << v;
        ++ticks;
    }
    automation.join();
    editor.graphics.ApplyPendingValues();
    EXPECT_EQ(level->Value(), 0.75);
}

TEST(IGraphics, BitmapFramesAndGreyedWeight)
{
    Editor editor;
    // A two-frame strip: frame 1 red, frame 2 blue.
    auto strip = std::make_unique<PixMemBitmap>(4, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) {
            strip->Row(y)[x] = y < 4 ? 0xFFFF0000u : 0xFF0000FFu;
        }
    }
    IBitmapStrip frames{strip.get(), 4, 8, 2, false};
    auto control = std::make_unique<IBitmapControl>(&editor.host, 10, 10, 0, frames, BlendMethod::Opaque);
    IBitmapControl* shown = control.get();
    editor.graphics.AttachControl(std::move(control));
    FillRect(editor.graphics.DrawBitmap(), 0, 0, 200, 100, 0xFF000000u, 1.0f, kPixCopy);
    editor.graphics.Draw({0, 0, 200, 100});
    EXPECT_EQ(editor.graphics.DrawBitmap()->Row(12)[12], 0xFFFF0000u) << "value 0: frame 1, from (0, 0)";
    shown->ApplyPlugValue(1.0);  // the first value becomes the default
    shown->SetValue(1.0);
    editor.graphics.Draw({0, 0, 200, 100});
    EXPECT_EQ(editor.graphics.DrawBitmap()->Row(12)[12], 0xFF0000FFu);
    // Greyed: drawn at weight 0.25 over what is there.
    FillRect(editor.graphics.DrawBitmap(), 0, 0, 200, 100, 0xFF000000u, 1.0f, kPixCopy);
    shown->SetGrayed(true);
    editor.graphics.Draw({0, 0, 200, 100});
    EXPECT_EQ(editor.graphics.DrawBitmap()->Row(12)[12], 0xFF000040u);
    // A strip without a bitmap draws nothing.
    IBitmapStrip missing;
    EXPECT_TRUE(editor.graphics.DrawBitmapFrame(missing, {0, 0, 4, 4}, 1, nullptr));
}

TEST(IGraphics, MeasuredTextIsPlacedByItsAlignment)
{
    Editor editor;
    ITextStyle style("Arial", 15, IColour{255, 255, 255, 255}, ITextStyle::kNormal, ITextStyle::kNear);
    IRectangle near{10, 20, 110, 40};
    ASSERT_TRUE(editor.graphics.MeasureText(style, "Pipe Organ", near));
    const int w = near.Width();
    EXPECT_GT(w, 40);
    EXPECT_EQ(near.left, 10);
    EXPECT_EQ(near.Height(), 15);
    style.align = ITextStyle::kFar;
    IRectangle far{10, 20, 110, 40};
    editor.graphics.MeasureText(style, "Pipe Organ", far);
    EXPECT_EQ(far, (IRectangle{110 - w, 20, 110, 35}));
    style.align = ITextStyle::kCentre;
    IRectangle centre{10, 20, 111, 40};
    editor.graphics.MeasureText(style, "Pipe Organ", centre);
    EXPECT_EQ(centre.left, 60 - w / 2);
    EXPECT_EQ(centre.Width(), w);
    IRectangle untouched{1, 2, 3, 4};
    EXPECT_TRUE(editor.graphics.MeasureText(style, "", untouched));
    EXPECT_EQ(untouched, (IRectangle{1, 2, 3, 4}));
    ITextStyle missing("Arial", 0, IColour{});
    EXPECT_FALSE(editor.graphics.DrawText(missing, "x", {0, 0, 10, 10})) << "a font that cannot be made";
}

TEST(IGraphics, DoubleClicksAndWheelsFindTheirControl)
{
    Editor editor;
    Probe* probe = editor.Add({0, 0, 50, 50}, 0);
    IModifiers mods;
    EXPECT_FALSE(editor.graphics.HandleDoubleClick(10, 10, mods)) << "delivered as a double click";
    EXPECT_TRUE(probe->events.empty());
    probe->SetDoubleClickAsSingleClick(true);
    EXPECT_TRUE(editor.graphics.HandleDoubleClick(10, 10, mods));
    EXPECT_EQ(probe->events, (std::vector<std::string>{"down"}));
    EXPECT_EQ(editor.graphics.CapturedControl(), 0);
    EXPECT_FALSE(editor.graphics.HandleDoubleClick(150, 80, mods));
    EXPECT_EQ(editor.graphics.CapturedControl(), -1);
}

}  // namespace
