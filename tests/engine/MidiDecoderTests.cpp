#include "engine/MidiDecoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tamborel::engine {
namespace {

using Events = std::vector<std::string>;

// Collects decoded events as text, which reads well in failure messages.
class RecordingSink final : public MidiEventSink {
public:
    void noteOn(int note, int velocity, int channel, timing::EventTime) noexcept override {
        events.push_back("on " + std::to_string(note) + " " + std::to_string(velocity) + " ch" +
                         std::to_string(channel));
    }
    void noteOff(int note, int channel, timing::EventTime) noexcept override {
        events.push_back("off " + std::to_string(note) + " ch" + std::to_string(channel));
    }
    void controlChange(int controller, int value, int channel,
                       timing::EventTime) noexcept override {
        events.push_back("cc " + std::to_string(controller) + " " + std::to_string(value) + " ch" +
                         std::to_string(channel));
    }
    void polyPressure(int note, int pressure, int channel, timing::EventTime) noexcept override {
        events.push_back("at " + std::to_string(note) + " " + std::to_string(pressure) + " ch" +
                         std::to_string(channel));
    }
    void programChange(int program, int channel, timing::EventTime) noexcept override {
        events.push_back("pc " + std::to_string(program) + " ch" + std::to_string(channel));
    }

    Events events;
};

Events decode(std::vector<std::uint8_t> bytes) {
    RecordingSink sink;
    decodePacket(bytes, sink);
    return sink.events;
}

TEST(MidiDecoder, PacketsFollowTheWireRule) {
    const std::vector<std::pair<std::vector<std::uint8_t>, Events>> cases{
        // Notes and controllers keep their channel.
        {{0x99, 0x24, 0x64}, {"on 36 100 ch9"}},
        {{0x90, 0x26, 0x01}, {"on 38 1 ch0"}},
        {{0xB9, 0x04, 0x7F}, {"cc 4 127 ch9"}},
        {{0xBF, 0x40, 0x00}, {"cc 64 0 ch15"}},
        // Note-offs include note-ons with velocity 0.
        {{0x99, 0x24, 0x00}, {"off 36 ch9"}},
        {{0x89, 0x24, 0x40}, {"off 36 ch9"}},
        // Running status.
        {{0x99, 0x24, 0x64, 0x26, 0x50}, {"on 36 100 ch9", "on 38 80 ch9"}},
        {{0xB9, 0x04, 0x10, 0x04, 0x70, 0x99, 0x24, 0x64, 0x24, 0x00},
         {"cc 4 16 ch9", "cc 4 112 ch9", "on 36 100 ch9", "off 36 ch9"}},
        // A message cut short at the end plays nothing; what came before it still counts.
        {{0x99, 0x24}, {}},
        {{0xB9}, {}},
        {{0x99, 0x24, 0x64, 0x26}, {"on 36 100 ch9"}},
        {{}, {}},
        // A grabbed cymbal's key pressure among strikes, under running status too.
        {{0x99, 0x31, 0x7F, 0xA9, 0x31, 0x7F, 0x31, 0x00, 0x99, 0x33, 0x40},
         {"on 49 127 ch9", "at 49 127 ch9", "at 49 0 ch9", "on 51 64 ch9"}},
        // Program change and channel pressure take one data byte, pitch bend two, and each
        // keeps its running status.
        {{0xC9, 0x05, 0x06, 0x99, 0x24, 0x64}, {"pc 5 ch9", "pc 6 ch9", "on 36 100 ch9"}},
        {{0xD9, 0x30, 0xB9, 0x04, 0x20}, {"cc 4 32 ch9"}},
        {{0xE0, 0x00, 0x40, 0x01, 0x02, 0x99, 0x26, 0x50}, {"on 38 80 ch9"}},
        // A status byte where a data byte is due cuts the message off and starts its own.
        {{0x99, 0x24, 0x99, 0x26, 0x50}, {"on 38 80 ch9"}},
        {{0xB0, 0x04, 0x90, 0x24, 0x64}, {"on 36 100 ch0"}},
        // Real-time bytes are ignored anywhere, even inside a message under running status.
        {{0x99, 0xF8, 0x24, 0xFE, 0x64, 0xFA, 0x26, 0xFF, 0x50}, {"on 36 100 ch9", "on 38 80 ch9"}},
        // System exclusive is skipped whole, and so is an unfinished one a status cuts off.
        {{0xF0, 0x41, 0x10, 0x42, 0x12, 0xF7}, {}},
        {{0xF0, 0x41, 0x10, 0x99, 0x24, 0x64}, {"on 36 100 ch9"}},
        // Other system messages are skipped with their data and cancel running status.
        {{0x99, 0x24, 0x64, 0xF2, 0x10, 0x20, 0x26, 0x50}, {"on 36 100 ch9"}},
        {{0x99, 0x24, 0x64, 0xF6, 0x26, 0x50}, {"on 36 100 ch9"}},
        {{0x99, 0x24, 0x64, 0xF0, 0x01, 0xF7, 0x26, 0x50}, {"on 36 100 ch9"}},
        // Data bytes with no status to belong to say nothing.
        {{0x24, 0x64}, {}},
        {{0xF8, 0x00, 0x99, 0x24, 0x64}, {"on 36 100 ch9"}},
    };
    for (const auto& [bytes, events] : cases)
        EXPECT_EQ(decode(bytes), events) << ::testing::PrintToString(bytes);

    // Status is not carried from one packet to the next.
    RecordingSink sink;
    decodePacket(std::vector<std::uint8_t>{0x99, 0x24, 0x64}, sink);
    decodePacket(std::vector<std::uint8_t>{0x26, 0x50}, sink);
    EXPECT_EQ(sink.events, Events{"on 36 100 ch9"});
}

} // namespace
} // namespace tamborel::engine
