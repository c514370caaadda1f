// The built-in demo phrase: about half a minute of chords, melody and pads
// that walks through the ensemble buttons (pipe organ, chorus, brass,
// strings, strings with chorus), switching the button state between the
// sections through timed parameter changes.
#pragma once

#include "tools/vornhost/RenderLoop.h"

#include <cstdint>
#include <string>
#include <vector>

struct DemoSection {
    double startSeconds = 0.0;
    int buttons = 0;  // ensemble-button bits lit for the section
    std::string name;
};

struct DemoScore {
    std::vector<TimedMidiEvent> events;            // MIDI channel 1
    std::vector<TimedParameterChange> parameters;  // normalized values
    std::vector<DemoSection> sections;
    std::int64_t lengthFrames = 0;  // to the last note-off; the release tail is the caller's
};

// The phrase with its times in frames at sampleRate.
DemoScore BuildDemoPhrase(int sampleRate);
