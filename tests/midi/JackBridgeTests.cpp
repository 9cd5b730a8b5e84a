// Port names and aliases as the bridges publish them, and which ALSA ports they stand for.
#include "midi/JackBridges.h"

#include <gtest/gtest.h>

#include <vector>

namespace tamborel::midi {
namespace {

// The ALSA side of the machine: a TD-17 (card 2, client 24), a second TD-17 (card 3, client
// 28) and the kernel's Midi Through.
const std::vector<AlsaSourcePort> alsaPorts{
    {24, 2, "TD-17"}, {28, 3, "TD-17"}, {14, -1, "Midi Through"}};

TEST(JackBridges, EachBridgeCoversTheAlsaDeviceItCarries) {
    struct Row {
        const char* jackName;
        std::vector<std::string> aliases;
        std::vector<int> coveredClients; // of alsaPorts
        const char* clientName;          // as the bridge names it
        const char* portName;
    };
    const Row rows[] = {
        // a2jmidid, and a2jmidid -u (no client id: both modules share the name)
        {"a2j:TD-17 [24] (capture): TD-17 MIDI 1", {}, {24}, "TD-17", "TD-17 MIDI 1"},
        {"a2j:TD-17 [28] (capture): TD-17 MIDI 1", {}, {28}, "TD-17", "TD-17 MIDI 1"},
        {"a2j:TD-17 (capture): TD-17 MIDI 1", {}, {24, 28}, "TD-17", "TD-17 MIDI 1"},
        // PipeWire's Midi-Bridge
        {"Midi-Bridge:TD-17 1:(capture_0) TD-17 MIDI 1",
         {"alsa:seq:default:client_24:capture_0", "TD-17:TD-17 MIDI 1"},
         {24},
         "TD-17 1",
         "TD-17 MIDI 1"},
        // jackd -X seq, whose aliases have been seen to call a capture port "playback"
        {"system:midi_capture_1",
         {"alsa_pcm:TD-17/midi_playback_1", "TD-17:midi/playback_1"},
         {24, 28},
         "TD-17",
         ""},
        // jackd -X raw, the card by id or by index
        {"system:midi_capture_1", {"alsa_pcm:hw-TD-17-0-0/midi_capture_1"}, {24, 28}, "TD-17", ""},
        {"system:midi_capture_3", {"alsa_pcm:hw-3-0-0/midi_capture_1"}, {28}, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.jackName + (row.aliases.empty() ? "" : " / " + row.aliases.front()));
        const auto device = bridgedDevice(row.jackName, row.aliases);
        ASSERT_TRUE(device.has_value());
        EXPECT_EQ(device->clientName, row.clientName);
        EXPECT_EQ(device->portName, row.portName);
        std::vector<int> covered;
        for (const AlsaSourcePort& port : alsaPorts) {
            if (reachesJackThroughBridge(port, {*device}))
                covered.push_back(port.client);
        }
        EXPECT_EQ(covered, row.coveredClients);
    }
}

TEST(JackBridges, OrdinaryPortsBridgeNothing) {
    EXPECT_FALSE(bridgedDevice("drums:Roland TD-17 MIDI 1", {}));
    EXPECT_FALSE(bridgedDevice("system:midi_capture_1", {}));
    EXPECT_FALSE(bridgedDevice("a2j:TD-17 [24]: TD-17 MIDI 1", {}));
    EXPECT_FALSE(bridgedDevice("Hydrogen:midi_out", {"alsa_pcm:capture_1"}));
    // Nothing covers an ALSA port without a bridge, nor a nameless one by its empty name.
    EXPECT_FALSE(reachesJackThroughBridge(alsaPorts[0], {}));
    EXPECT_FALSE(reachesJackThroughBridge({40, -1, "---"}, {BridgedDevice{{}, {}, "-", ""}}));
}

} // namespace
} // namespace tamborel::midi
