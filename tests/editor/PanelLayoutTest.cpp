#include "editor/PanelLayout.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/dsp/ParameterIds.h"

namespace {

bool Overlap(const PanelRect& a, const PanelRect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::vector<PanelControl> AllControls(const PanelLayout& layout)
{
    std::vector<PanelControl> all(CommonPanelControls().begin(), CommonPanelControls().end());
    all.insert(all.end(), layout.controls.begin(), layout.controls.end());
    return all;
}

TEST(PanelLayout, ImagesHaveWholeFramesAndKnownIds)
{
    ASSERT_EQ(PanelImages().size(), 16u);
    int id = 101;
    for (const PanelImage& image : PanelImages()) {
        EXPECT_EQ(image.id, id++);
        EXPECT_EQ(image.height % image.frames, 0) << image.name;
    }
    EXPECT_EQ(FindPanelImage(104)->FrameHeight(), 32);
    EXPECT_EQ(FindPanelImage(100), nullptr);
}

TEST(PanelLayout, ControlsFitThePanelWithoutOverlapping)
{
    for (const PanelLayout* layout : {&EditPanelLayout(), &CompactPanelLayout()}) {
        const std::vector<PanelControl> all = AllControls(*layout);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const PanelRect a = ControlRect(all[i]);
            EXPECT_GE(a.left, 0);
            EXPECT_GE(a.top, 0);
            EXPECT_LE(a.right, layout->width);
            EXPECT_LE(a.bottom, layout->height);
            if (all[i].image != 0) {
                EXPECT_NE(FindPanelImage(all[i].image), nullptr);
            }
            for (std::size_t j = i + 1; j < all.size(); ++j) {
                // The program menu's rectangle is the union of its number
                // and name boxes, which frames the next-program button.
                const bool framed =
                    all[i].kind == PanelControlKind::PresetMenu && all[j].binding == kCodeNextProgram;
                EXPECT_TRUE(framed || !Overlap(a, ControlRect(all[j]))) << "controls " << i << " and " << j;
            }
        }
        for (const PanelSection& section : layout->sections) {
            EXPECT_GE(section.left, 0);
            EXPECT_LE(section.right, layout->width);
            EXPECT_LE(section.bottom, layout->height);
        }
        for (std::size_t i = 0; i < layout->sections.size(); ++i) {
            const PanelSection& s = layout->sections[i];
            for (std::size_t j = i + 1; j < layout->sections.size(); ++j) {
                const PanelSection& t = layout->sections[j];
                EXPECT_FALSE(Overlap({s.left, s.top, s.right, s.bottom}, {t.left, t.top, t.right, t.bottom}))
                    << s.title << " and " << t.title;
            }
        }
    }
}

TEST(PanelLayout, EditLayoutBindsEveryAudibleParameterOnce)
{
    const PanelLayout& edit = EditPanelLayout();
    EXPECT_EQ(edit.width, 1100);
    EXPECT_EQ(edit.height, 512);
    EXPECT_EQ(edit.controls.size(), 71u) << "controls 10 to 80";
    std::multiset<int> bound;
    for (const PanelControl& control : edit.controls) {
        if (control.binding >= 0) {
            bound.insert(control.binding);
        }
    }
    for (int index = kMasterVolume; index <= kModulatorDepth; ++index) {
        EXPECT_EQ(bound.count(index), 1u) << "parameter " << index;
    }
    EXPECT_EQ(bound.count(kButtonState), 0u);
    EXPECT_EQ(bound.count(kReserved1), 0u);
    // Places the panel's behaviour depends on.
    for (const PanelControl& control : edit.controls) {
        const PanelRect r = ControlRect(control);
        if (control.binding == kTreble) {
            EXPECT_EQ(r.left, 52);
            EXPECT_EQ(r.top, 288);
            EXPECT_EQ(r.right, 84);
            EXPECT_EQ(r.bottom, 320);
        }
        if (control.binding == kVcfType) {
            EXPECT_EQ(r.left, 556);
            EXPECT_EQ(r.top, 116);
            EXPECT_EQ(r.right, 576);
            EXPECT_EQ(r.bottom, 136);
        }
    }
}

TEST(PanelLayout, CompactLayoutAndCommonControls)
{
    const PanelLayout& compact = CompactPanelLayout();
    EXPECT_EQ(compact.height, 200);
    EXPECT_EQ(compact.background, kImageCompactBackground);
    EXPECT_EQ(compact.controls.size(), 20u) << "controls 10 to 29";
    std::set<int> codes;
    int buttons = 0;
    for (const PanelControl& control : compact.controls) {
        codes.insert(control.binding);
        buttons += control.kind == PanelControlKind::PresetButton ? 1 : 0;
    }
    EXPECT_EQ(buttons, 8);
    for (int code : {static_cast<int>(kCodePullSwitchA), static_cast<int>(kCodePullSwitchB),
                     static_cast<int>(kCodeTweakSwitch), static_cast<int>(kMasterVolume),
                     static_cast<int>(kPhaserRate)}) {
        EXPECT_EQ(codes.count(code), 1u) << code;
    }
    ASSERT_EQ(CommonPanelControls().size(), 9u);
    const PanelRect menu = ControlRect(CommonPanelControls()[0]);
    EXPECT_EQ(menu.left, 570);
    EXPECT_EQ(menu.right, 816);
    EXPECT_EQ(CommonPanelControls()[1].binding, kCodePreviousProgram);
    EXPECT_EQ(CommonPanelControls()[6].binding, kCodeEditSwitch);
}

}  // namespace
