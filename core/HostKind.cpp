#include "core/HostKind.h"

#include <cstring>

#include "core/Text.h"

namespace {

struct HostName {
    const char* text;
    HostKind kind;
};

// Searched in this order; the first name found in the product string decides.
constexpr HostName kHostNames[] = {
    {"cubase", HostKind::Cubase},
    {"reaper", HostKind::Reaper},
    {"nuendo", HostKind::Nuendo},
    {"cakewalk", HostKind::Sonar},
    {"samplitude", HostKind::Samplitude},
    {"fruity", HostKind::FL},
    {"live", HostKind::AbletonLive},
    {"melodyne", HostKind::Melodyne},
    {"vstmanlib", HostKind::VstManLib},
    {"aulab", HostKind::AULab},
    {"garageband", HostKind::GarageBand},
    {"forte", HostKind::Forte},
    {"chainer", HostKind::Chainer},
    {"audition", HostKind::Audition},
    {"orion", HostKind::Orion},
    {"sawstudio", HostKind::SawStudio},
    {"logic", HostKind::Logic},
    {"digital", HostKind::DigitalPerformer},
    {"audiomulch", HostKind::AudioMulch},
    {"presonus", HostKind::StudioOne},
    {"vst3plugintesthost", HostKind::Vst3TestHost},
    {"protools", HostKind::ProTools},
    {"ardour", HostKind::Ardour},
    {"openmpt", HostKind::OpenMPT},
    {"renoise", HostKind::Renoise},
    {"standalone", HostKind::Standalone},
};

constexpr std::size_t kMaxProductLength = 255;

}  // namespace

HostKind FindHost(const char* productName)
{
    if (productName == nullptr) {
        return HostKind::Unknown;
    }
    char lower[kMaxProductLength + 1];
    CopyText(lower, productName);
    LowerAscii(lower);
    for (const HostName& host : kHostNames) {
        if (std::strstr(lower, host.text) != nullptr) {
            return host.kind;
        }
    }
    return HostKind::Unknown;
}
