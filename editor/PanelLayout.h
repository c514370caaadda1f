// The panel's layout: its images, the section frames and labels of its
// artwork, and every control with its place, image and binding, for both
// layouts. The artwork generator draws the frames and lettering from this
// table and the editor attaches its controls from it, so the two cannot
// drift apart.
#pragma once

#include <span>

// Image resources (type "PNG"); frames are stacked vertically.
enum PanelImageId : int {
    kImageEditBackground = 101,
    kImageCompactBackground = 102,
    kImageButton = 103,
    kImageKnob = 104,
    kImageKnobBig = 105,
    kImageKnobSmall = 106,
    kImageSwitch = 107,
    kImageSwitch5 = 108,
    kImageFlip = 109,
    kImageEdit = 110,
    kImageLearn = 111,
    kImageUnlearn = 112,
    kImagePrevious = 113,
    kImageNext = 114,
    kImageVibe = 115,
    kImageDiagram = 116,
};

struct PanelImage {
    int id;
    const char* name;  // resource name, "img/....png"
    int width;
    int height;
    int frames;

    int FrameHeight() const { return height / frames; }
};

// Control codes of the controls that drive no parameter.
enum PanelCode : int {
    kCodeNone = -1,
    kCodePreviousProgram = -74,
    kCodeNextProgram = -75,
    kCodeFirstEnsembleButton = -76,  // -76 - i for button i (mask 1 << i)
    kCodeTweakSwitch = -84,
    kCodeEditSwitch = -85,
    kCodePullSwitchA = -86,
    kCodePullSwitchB = -87,
    kCodeVintageVibe = -88,
};

enum class PanelControlKind {
    PresetMenu,   // number and name boxes
    UtilityKick,  // previous / next program
    OptionMenu,   // draws nothing; its label is part of the background
    VersionText,
    LearnSwitch,
    Switch,  // two frames
    VibeIndicator,
    Knob,          // 65 frames, or the five-position selector
    PresetButton,  // an ensemble button
    Diagram,       // the filter-arrangement diagram
};

struct PanelRect {
    int left;
    int top;
    int right;
    int bottom;
};

struct PanelControl {
    PanelControlKind kind;
    int x;  // top-left
    int y;
    int image;    // PanelImageId, 0 for none
    int binding;  // parameter index, or a PanelCode
    // Lettering the artwork places under (or, for buttons, above) the
    // control; null for none.
    const char* label;
    // For controls without an image: their rectangle's size.
    int width = 0;
    int height = 0;
};

// A framed section of the panel with its engraved title.
struct PanelSection {
    int left;
    int top;
    int right;
    int bottom;
    const char* title;
};

// Position legends printed beside switches (for example "LP" and "HP").
struct PanelLegend {
    int x;  // centre
    int y;  // baseline
    const char* text;
};

struct PanelLayout {
    int width;
    int height;
    int background;                          // PanelImageId
    std::span<const PanelControl> controls;  // after the common controls, in attach order
    std::span<const PanelSection> sections;
    std::span<const PanelLegend> legends;
};

// The program menu's two boxes (its control rectangle is their union).
inline constexpr PanelRect kProgramNumberBox{570, 32, 594, 48};
inline constexpr PanelRect kProgramNameBox{620, 32, 816, 48};

std::span<const PanelImage> PanelImages();
const PanelImage* FindPanelImage(int id);

// Controls of both layouts, attached first, in order.
std::span<const PanelControl> CommonPanelControls();
const PanelLayout& EditPanelLayout();
const PanelLayout& CompactPanelLayout();

// The rectangle a control occupies: its position plus one frame of its
// image, or its own size.

PanelRect ControlRect(const PanelControl& control);
