// Recognised VST hosts, found from the product string the host reports.
#pragma once

#include <cstdint>

enum class HostKind : std::int32_t {
    NotAsked = -1,  // the host has not been asked yet
    Unknown = 0,
    Reaper = 1,
    ProTools = 2,
    Cubase = 3,
    Nuendo = 4,
    Sonar = 5,
    FL = 7,
    Samplitude = 8,
    AbletonLive = 9,
    Melodyne = 12,
    VstManLib = 13,
    AULab = 14,
    Forte = 15,
    Chainer = 16,
    Audition = 17,
    Orion = 18,
    SawStudio = 20,
    Logic = 21,
    GarageBand = 22,
    DigitalPerformer = 23,
    Standalone = 24,
    AudioMulch = 25,
    StudioOne = 26,
    Vst3TestHost = 27,
    Ardour = 28,
    Renoise = 29,
    OpenMPT = 30,
};

// The kind whose name occurs first in the fixed search order within the
// product string (at most 255 characters, compared case-insensitively);
// Unknown when none does or the string is null.
HostKind FindHost(const char* productName);
