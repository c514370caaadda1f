// Sequences of host calls with arbitrary arguments against one instance:
// every dispatcher opcode (but effClose and the editor window, which needs a
// real parent), parameter reads and writes, and audio callbacks of any
// length. Pointer arguments are what the opcode expects (a host passing
// garbage pointers crashes any plug-in), with contents from the input.
//
// Each call takes 8 input bytes: opcode (or, from 0xF0, an audio or
// parameter callback), index (int16), value (int16), a choice of float, and
// a length used for texts, chunks and event lists.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "tools/fuzz/FuzzPlugin.h"

namespace {

constexpr float kFloats[] = {0.0f,
                             -1.0f,
                             1.0f,
                             0.5f,
                             22050.0f,
                             44100.0f,
                             48000.0f,
                             96000.0f,
                             8000.0f,
                             1e9f,
                             -0.0f,
                             1e-40f,
                             std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             192000.0f};

std::int16_t Int16(const std::uint8_t* bytes)
{
    std::int16_t value = 0;
    std::memcpy(&value, bytes, 2);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzPlugin plugin;
    plugin.StartInput();
    AEffect* effect = plugin.Plugin().Effect();
    std::array<char, 1024> text{};
    std::vector<float> left(1024);
    std::vector<float> right(1024);
    std::vector<double> leftD(1024);
    std::vector<double> rightD(1024);
    for (std::size_t at = 0; at + 8 <= size; at += 8) {
        const std::uint8_t* call = data + at;
        const int opcode = call[0];
        const VstInt32 index = Int16(call + 1);
        const VstIntPtr value = Int16(call + 3);
        const float opt = kFloats[call[5] % std::size(kFloats)];
        const std::size_t length = call[6] | (call[7] & 3) << 8;
        // The rest of the input as text or bytes, zero-terminated.
        const std::size_t rest = std::min(size - at - 8, length);
        text.fill(0);
        std::memcpy(text.data(), call + 8, std::min(rest, text.size() - 1));

        if (opcode >= 0xF0) {
            const int frames = static_cast<int>(length % 1024);
            float* outputs[2] = {left.data(), right.data()};
            double* outputsD[2] = {leftD.data(), rightD.data()};
            switch (opcode % 5) {
                case 0:
                    effect->processReplacing(effect, nullptr, outputs, frames);
                    break;
                case 1:
                    effect->process(effect, nullptr, outputs, frames);
                    break;
                case 2:
                    effect->processDoubleReplacing(effect, nullptr, outputsD, frames);
                    break;
                case 3:
                    effect->setParameter(effect, index, opt);
                    break;
                default:
                    effect->getParameter(effect, index);
                    break;
            }
            continue;
        }
        switch (opcode) {
            case effClose:
            case effEditOpen:
            case effEditClose:
                break;
            case effEditGetRect: {
                ERect* rect = nullptr;
                plugin.Dispatch(opcode, index, value, &rect);
                break;
            }
            case effGetChunk: {
                void* chunk = nullptr;
                plugin.Dispatch(opcode, index, value, &chunk);
                break;
            }
            case effSetChunk:
                plugin.SetChunk(index == 0, call + 8, rest);
                break;
            case effProcessEvents: {
                std::vector<VstMidiEvent> events(rest / 4);
                std::vector<std::uint8_t> list(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
                auto* header = reinterpret_cast<VstEvents*>(list.data());
                header->numEvents = static_cast<VstInt32>(events.size());
                for (std::size_t i = 0; i < events.size(); ++i) {
                    const std::uint8_t* bytes = call + 8 + 4 * i;
                    events[i].type = kVstMidiType;
                    events[i].byteSize = sizeof(VstMidiEvent);
                    events[i].deltaFrames = bytes[0] * 31 - 500;
                    std::memcpy(events[i].midiData, bytes + 1, 3);
                    (&header->events[0])[i] = reinterpret_cast<VstEvent*>(&events[i]);
                }
                plugin.Dispatch(opcode, index, value, header);
                break;
            }
            case effGetInputProperties:
            case effGetOutputProperties: {
                VstPinProperties properties{};
                plugin.Dispatch(opcode, index, value, &properties);
                break;
            }
            case effSetSpeakerArrangement: {
                VstSpeakerArrangement inputs{};
                VstSpeakerArrangement outputs{};
                inputs.numChannels = index;
                outputs.numChannels = static_cast<VstInt32>(value);
                plugin.Dispatch(opcode, 0, reinterpret_cast<VstIntPtr>(&inputs), &outputs);
                break;
            }
            case effGetSpeakerArrangement: {
                VstSpeakerArrangement* inputs = nullptr;
                VstSpeakerArrangement* outputs = nullptr;
                plugin.Dispatch(opcode, 0, reinterpret_cast<VstIntPtr>(&inputs), &outputs);
                break;
            }
            case effGetMidiKeyName: {
                MidiKeyName name{};
                name.thisKeyNumber = index;
                plugin.Dispatch(opcode, 0, value, &name);
                break;
            }
            default:
                // Texts in and out (names, labels, displays, capabilities)
                // and opcodes without a pointer; half the time no pointer.
                plugin.Dispatch(opcode, index, value, (call[5] & 0x80) != 0 ? nullptr : text.data(), opt);
                break;
        }
    }
    plugin.RenderShortBlock();
    plugin.CheckConsistent();
    return 0;
}
