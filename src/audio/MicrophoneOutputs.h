#pragma once
// The outputs a kit recorded on microphones uses when outputs go by microphone
// (OutputLayout::microphones): each is known by the first microphone sent to it, whose name
// the places that show it (port and file names) make safe and unique in their own way.

#include "audio/AudioRenderer.h"
#include "model/DrumKit.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tamborel::audio {

struct MicrophoneOutput {
    std::uint32_t index = 0; // from 0: the block's channel masterChannelCount + index
    std::string name;        // the first microphone's, as the kit spells it
    friend bool operator==(const MicrophoneOutput&, const MicrophoneOutput&) = default;
};

// The output microphone `position` of a kit is heard on, from 0.
inline std::uint32_t microphoneOutputIndex(const Microphone& microphone, std::size_t position) {
    return microphone.output > 0 && microphone.output <= int(maxMicrophoneOutputs)
               ? static_cast<std::uint32_t>(microphone.output - 1)
               : static_cast<std::uint32_t>(position);
}

// The outputs in use, in order; none for a kit without microphones.
inline std::vector<MicrophoneOutput> microphoneOutputsOf(const DrumKit& kit) {
    std::map<std::uint32_t, std::string> named;
    for (std::size_t m = 0; m < kit.microphones.size() && m < maxMicrophones; ++m)
        named.try_emplace(microphoneOutputIndex(kit.microphones[m], m), kit.microphones[m].name);
    std::vector<MicrophoneOutput> outputs;
    for (auto& [index, name] : named)
        outputs.push_back({index, std::move(name)});
    return outputs;
}

} // namespace tamborel::audio
