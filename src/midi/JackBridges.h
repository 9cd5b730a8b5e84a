#pragma once
// Which ALSA sequencer device a JACK MIDI port carries, read from the names and aliases the
// bridges give their ports (a2jmidid, PipeWire's Midi-Bridge, JACK's own ALSA MIDI drivers),
// so that a device seen both ways is heard once. Pure functions of names; any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamborel::midi {

// The ALSA side of a bridged JACK port, as far as the bridge's names tell it.
struct BridgedDevice {
    std::optional<int> client; // sequencer client id (a2jmidid, PipeWire)
    std::optional<int> card;   // sound card index (JACK's raw MIDI driver)
    std::string clientName;    // sequencer client or card name, as the bridge spells it
    std::string portName;      // the ALSA port's own name, where the bridge gives it
};

// What a JACK MIDI port bridges, from its full name and its aliases; nothing for a port that
// is no bridge's.
std::optional<BridgedDevice> bridgedDevice(std::string_view jackName,
                                           const std::vector<std::string>& aliases);

// An ALSA sequencer source port as the ALSA side knows it.
struct AlsaSourcePort {
    int client = -1;
    int card = -1; // -1 for clients that belong to no sound card
    std::string clientName;
};

// Whether the port's device is one of the bridged ones: by client id where the bridge names
// it, else by card index, else by client name compared on letters and digits alone (bridges
// replace the other characters).
bool reachesJackThroughBridge(const AlsaSourcePort& port,
                              const std::vector<BridgedDevice>& bridged);

} // namespace tamborel::midi
