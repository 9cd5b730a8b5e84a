#pragma once
// Collects decoded events as text, which reads well in failure messages.

#include "midi/MidiDecoder.h"

#include <string>
#include <vector>

namespace tamborel::midi::test {

class RecordingSink final : public MidiEventSink {
public:
    void noteOn(int note, int velocity, int channel) noexcept override {
        events.push_back("on " + std::to_string(note) + " " + std::to_string(velocity) + " ch" +
                         std::to_string(channel));
    }
    void noteOff(int note, int channel) noexcept override {
        events.push_back("off " + std::to_string(note) + " ch" + std::to_string(channel));
    }
    void controlChange(int controller, int value, int channel) noexcept override {
        events.push_back("cc " + std::to_string(controller) + " " + std::to_string(value) + " ch" +
                         std::to_string(channel));
    }

    std::vector<std::string> events;
};

} // namespace tamborel::midi::test
