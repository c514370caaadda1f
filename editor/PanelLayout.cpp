#include "editor/PanelLayout.h"

#include "engine/dsp/ParameterIds.h"

namespace {

using K = PanelControlKind;

constexpr PanelImage kImages[] = {
    {kImageEditBackground, "img/vorn.png", 1100, 512, 1},
    {kImageCompactBackground, "img/vorn2.png", 1100, 200, 1},
    {kImageButton, "img/button.png", 28, 48, 2},
    {kImageKnob, "img/knob.png", 32, 2080, 65},
    {kImageKnobBig, "img/knob_big.png", 40, 2600, 65},
    {kImageKnobSmall, "img/knob_small.png", 24, 1560, 65},
    {kImageSwitch, "img/switch.png", 20, 40, 2},
    {kImageSwitch5, "img/switch5.png", 40, 200, 5},
    {kImageFlip, "img/flip.png", 9, 42, 2},
    {kImageEdit, "img/edit.png", 50, 44, 2},
    {kImageLearn, "img/learn.png", 50, 44, 2},
    {kImageUnlearn, "img/unlearn.png", 50, 44, 2},
    {kImagePrevious, "img/prev.png", 22, 44, 2},
    {kImageNext, "img/next.png", 22, 44, 2},
    {kImageVibe, "img/vibe.png", 65, 32, 2},
    {kImageDiagram, "img/diagram.png", 133, 166, 2},
};

constexpr PanelControl kCommon[] = {
    {K::PresetMenu, kProgramNumberBox.left, kProgramNumberBox.top, 0, kCodeNone, nullptr,
     kProgramNameBox.right - kProgramNumberBox.left, kProgramNameBox.bottom - kProgramNumberBox.top},
    {K::UtilityKick, 546, 29, kImagePrevious, kCodePreviousProgram, nullptr},
    {K::UtilityKick, 596, 29, kImageNext, kCodeNextProgram, nullptr},
    {K::OptionMenu, 820, 30, 0, kCodeNone, "MENU", 48, 20},
    {K::VersionText, 492, 32, 0, kCodeNone, nullptr, 48, 32},
    {K::LearnSwitch, 872, 29, kImageLearn, kCodeNone, nullptr},
    {K::Switch, 925, 29, kImageEdit, kCodeEditSwitch, nullptr},
    {K::Switch, 1060, 28, kImageFlip, kCodeVintageVibe, nullptr},
    {K::VibeIndicator, 988, 34, kImageVibe, kCodeNone, nullptr, 65, 16},
};

constexpr PanelControl kEdit[] = {
    {K::Knob, 48, 104, kImageKnobBig, kMasterTune, "TUNE"},
    {K::Knob, 56, 184, kImageKnobSmall, kVelocityToVcfEg, "VEL>VCF"},
    {K::Knob, 56, 232, kImageKnobSmall, kVelocityToVcaEg, "VEL>VCA"},
    {K::Knob, 52, 288, kImageKnob, kTreble, "TREBLE"},
    {K::Knob, 52, 352, kImageKnob, kBass, "BASS"},
    {K::Knob, 48, 416, kImageKnobBig, kMasterVolume, "VOLUME"},
    {K::Knob, 140, 108, kImageKnob, kBankATranspose, "TRANSP"},
    {K::Knob, 196, 108, kImageKnob, kBankATuning, "TUNING"},
    {K::Knob, 252, 108, kImageKnob, kBankAWaveMix, "WAVE MIX"},
    {K::Knob, 308, 108, kImageKnob, kBankALevel, "LEVEL"},
    {K::Knob, 364, 108, kImageKnob, kBankAPan, "PAN"},
    {K::Knob, 420, 108, kImageKnob, kVibratoARate, "VIB RATE"},
    {K::Knob, 476, 108, kImageKnob, kVibratoADepth, "VIB DEPTH"},
    {K::Knob, 140, 212, kImageKnob, kBankBTranspose, "TRANSP"},
    {K::Knob, 196, 212, kImageKnob, kBankBTuning, "TUNING"},
    {K::Knob, 252, 212, kImageKnob, kBankBWaveMix, "WAVE MIX"},
    {K::Knob, 308, 212, kImageKnob, kBankBLevel, "LEVEL"},
    {K::Knob, 364, 212, kImageKnob, kBankBPan, "PAN"},
    {K::Knob, 420, 212, kImageKnob, kVibratoBRate, "VIB RATE"},
    {K::Knob, 476, 212, kImageKnob, kVibratoBDepth, "VIB DEPTH"},
    {K::Knob, 140, 316, kImageKnob, kCTranspose, "TRANSP"},
    {K::Knob, 196, 316, kImageKnob, kCTuning, "TUNING"},
    {K::Knob, 252, 316, kImageKnob, kCWaveMix, "WAVE MIX"},
    {K::Knob, 308, 316, kImageKnob, kCLevel, "LEVEL"},
    {K::Knob, 364, 316, kImageKnob, kCPan, "PAN"},
    {K::Knob, 420, 316, kImageKnob, kVibratoCRate, "VIB RATE"},
    {K::Knob, 476, 316, kImageKnob, kVibratoCDepth, "VIB DEPTH"},
    {K::Switch, 556, 116, kImageSwitch, kVcfType, nullptr},
    {K::Knob, 600, 108, kImageKnob, kVcfCutoff, "CUTOFF"},
    {K::Knob, 656, 108, kImageKnob, kVcfPeak, "PEAK"},
    {K::Knob, 712, 108, kImageKnob, kVcfKeyTrack, "KEY TRACK"},
    {K::Knob, 768, 108, kImageKnob, kVcfEgIntensity, "EG INT"},
    {K::Knob, 852, 108, kImageKnob, kVcfEgAttack, "ATTACK"},
    {K::Knob, 908, 108, kImageKnob, kVcfEgDecay, "DECAY"},
    {K::Knob, 964, 108, kImageKnob, kVcfEgSustain, "SUSTAIN"},
    {K::Knob, 1020, 108, kImageKnob, kVcfEgRelease, "RELEASE"},
    {K::Knob, 560, 212, kImageKnob, kPreFilter1Shift, "PF1 SHIFT"},
    {K::Knob, 616, 212, kImageKnob, kPreFilter1Q, "PF1 Q"},
    {K::Knob, 700, 212, kImageKnob, kPreFilter2Shift, "PF2 SHIFT"},
    {K::Switch, 808, 220, kImageSwitch, kFilterArrangement, nullptr},
    {K::Knob, 852, 212, kImageKnob, kVcfLevel, "VCF"},
    {K::Knob, 908, 212, kImageKnob, kPreFilter1Level, "PF1"},
    {K::Knob, 964, 212, kImageKnob, kPreFilter2Level, "PF2"},
    {K::Knob, 1020, 212, kImageKnob, kRawSignalLevel, "RAW"},
    {K::Knob, 560, 316, kImageKnob, kOrganStringsFilterFrequency, "O+S FREQ"},
    {K::Knob, 616, 316, kImageKnob, kChorusFilterFrequency, "CHO FREQ"},
    {K::Knob, 672, 316, kImageKnob, kChorusFilterQ, "CHO Q"},
    {K::Diagram, 740, 296, kImageDiagram, kCodeNone, nullptr},
    {K::Knob, 908, 316, kImageKnob, kOrganStringsFilterLevel, "O+S"},
    {K::Knob, 964, 316, kImageKnob, kChorusFilterLevel, "CHORUS"},
    {K::Knob, 1020, 316, kImageKnob, kDirectLevel, "DIRECT"},
    {K::Knob, 140, 420, kImageKnob, kVcaAttack, "ATTACK"},
    {K::Knob, 196, 420, kImageKnob, kVcaDecay, "DECAY"},
    {K::Knob, 252, 420, kImageKnob, kVcaSustain, "SUSTAIN"},
    {K::Knob, 308, 420, kImageKnob, kVcaRelease, "RELEASE"},
    {K::Knob, 364, 420, kImageKnob, kVorn2000Sustain, "2000 SUS"},
    {K::Switch, 434, 426, kImageSwitch, kPhaserMode, nullptr},
    {K::Knob, 472, 416, kImageKnobBig, kPhaserRate, "RATE"},
    {K::PresetButton, 556, 424, kImageButton, kCodeFirstEnsembleButton, "1"},
    {K::PresetButton, 585, 424, kImageButton, kCodeFirstEnsembleButton - 1, "2"},
    {K::PresetButton, 614, 424, kImageButton, kCodeFirstEnsembleButton - 2, "1"},
    {K::PresetButton, 643, 424, kImageButton, kCodeFirstEnsembleButton - 3, "2"},
    {K::PresetButton, 672, 424, kImageButton, kCodeFirstEnsembleButton - 4, "1"},
    {K::PresetButton, 701, 424, kImageButton, kCodeFirstEnsembleButton - 5, "2"},
    {K::PresetButton, 730, 424, kImageButton, kCodeFirstEnsembleButton - 6, "1"},
    {K::PresetButton, 759, 424, kImageButton, kCodeFirstEnsembleButton - 7, "2"},
    {K::Switch, 788, 424, kImageButton, kCodeTweakSwitch, "TWEAK"},
    {K::Knob, 848, 416, kImageSwitch5, kModulatorDestination, "DEST"},
    {K::Switch, 926, 426, kImageSwitch, kModulatorSource, nullptr},
    {K::Knob, 964, 420, kImageKnob, kModulatorRate, "RATE"},
    {K::Knob, 1024, 420, kImageKnob, kModulatorDepth, "DEPTH"},
};

constexpr PanelSection kEditSections[] = {
    {30, 88, 112, 498, "MASTER"},        {124, 88, 524, 188, "BANK A"},
    {124, 192, 524, 292, "BANK B"},      {124, 296, 524, 396, "BANK C"},
    {544, 88, 812, 188, "VCF"},          {840, 88, 1068, 188, "VCF ENVELOPE"},
    {544, 192, 784, 292, "PRE-FILTERS"}, {792, 192, 836, 292, "ROUTE"},
    {840, 192, 1068, 292, "FILTER MIX"}, {544, 296, 736, 396, "FILTERS"},
    {892, 296, 1068, 396, "OUTPUT MIX"}, {124, 400, 420, 498, "VCA"},
    {424, 400, 524, 498, "PHASER"},      {544, 400, 824, 498, "ENSEMBLE"},
    {840, 400, 1068, 498, "MODULATOR"},
};

constexpr PanelLegend kEditLegends[] = {
    {566, 112, "HP"},    {566, 147, "LP"},     {818, 216, "SER"},   {818, 251, "PAR"},
    {444, 422, "PAN"},   {444, 457, "NORM"},   {936, 422, "WHEEL"}, {936, 457, "LFO"},
    {585, 417, "ORGAN"}, {643, 417, "CHORUS"}, {701, 417, "BRASS"}, {759, 417, "STRINGS"},
    {906, 419, "1 VCF"}, {906, 428, "2 PF1"},  {906, 437, "3 PF2"}, {906, 446, "4 O+S"},
    {906, 455, "5 CHO"},
};

constexpr PanelControl kCompact[] = {
    {K::Switch, 885, 78, kImageFlip, kCodePullSwitchA, nullptr},
    {K::Switch, 951, 78, kImageFlip, kCodePullSwitchB, nullptr},
    {K::Knob, 874, 108, kImageKnob, kBankATuning, "BANK A"},
    {K::Knob, 940, 108, kImageKnob, kBankBTuning, "BANK B"},
    {K::Knob, 1006, 104, kImageKnobBig, kMasterTune, "MASTER"},
    {K::Knob, 298, 108, kImageKnob, kTreble, "TREBLE"},
    {K::Knob, 232, 108, kImageKnob, kBass, "BASS"},
    {K::Knob, 158, 104, kImageKnobBig, kMasterVolume, "VOLUME"},
    {K::Knob, 712, 108, kImageKnob, kVcaAttack, "ATTACK"},
    {K::Knob, 778, 108, kImageKnob, kVorn2000Sustain, "2000 SUS"},
    {K::Knob, 54, 104, kImageKnobBig, kPhaserRate, "RATE"},
    {K::PresetButton, 391, 112, kImageButton, kCodeFirstEnsembleButton, "1"},
    {K::PresetButton, 420, 112, kImageButton, kCodeFirstEnsembleButton - 1, "2"},
    {K::PresetButton, 449, 112, kImageButton, kCodeFirstEnsembleButton - 2, "1"},
    {K::PresetButton, 478, 112, kImageButton, kCodeFirstEnsembleButton - 3, "2"},
    {K::PresetButton, 507, 112, kImageButton, kCodeFirstEnsembleButton - 4, "1"},
    {K::PresetButton, 536, 112, kImageButton, kCodeFirstEnsembleButton - 5, "2"},
    {K::PresetButton, 565, 112, kImageButton, kCodeFirstEnsembleButton - 6, "1"},
    {K::PresetButton, 594, 112, kImageButton, kCodeFirstEnsembleButton - 7, "2"},
    {K::Switch, 623, 112, kImageButton, kCodeTweakSwitch, "TWEAK"},
};

constexpr PanelSection kCompactSections[] = {
    {30, 72, 112, 190, "PHASER"},    {136, 72, 344, 190, "OUTPUT"},  {376, 72, 664, 190, "ENSEMBLE"},
    {696, 72, 824, 190, "ENVELOPE"}, {856, 72, 1068, 190, "TUNING"},
};

constexpr PanelLegend kCompactLegends[] = {
    {420, 105, "ORGAN"},   {478, 105, "CHORUS"}, {536, 105, "BRASS"},
    {594, 105, "STRINGS"}, {903, 92, "PULL"},    {969, 92, "PULL"},
};

constexpr PanelLayout kEditLayout{1100, 512, kImageEditBackground, kEdit, kEditSections, kEditLegends};
constexpr PanelLayout kCompactLayout{1100,           200, kImageCompactBackground, kCompact, kCompactSections,
                                     kCompactLegends};

}  // namespace

std::span<const PanelImage> PanelImages()
{
    return kImages;
}

const PanelImage* FindPanelImage(int id)
{
    for (const PanelImage& image : kImages) {
        if (image.id == id) {
            return &image;
        }
    }
    return nullptr;
}

std::span<const PanelControl> CommonPanelControls()
{
    return kCommon;
}

const PanelLayout& EditPanelLayout()
{
    return kEditLayout;
}

const PanelLayout& CompactPanelLayout()
{
    return kCompactLayout;
}

PanelRect ControlRect(const PanelControl& control)
{
    if (const PanelImage* image = FindPanelImage(control.image)) {
        return {control.x, control.y, control.x + image->width, control.y + image->FrameHeight()};
    }
    return {control.x, control.y, control.x + control.width, control.y + control.height};
}
