#include "midi/JackBridges.h"

#include <algorithm>
#include <cctype>

namespace tamborel::midi {

namespace {

using std::string_view;

// A non-negative decimal number filling the whole text.
std::optional<int> number(string_view text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    int value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return value;
}

std::string comparable(string_view name) {
    std::string out;
    for (const unsigned char c : name) {
        if (std::isalnum(c))
            out += static_cast<char>(std::tolower(c));
    }
    return out;
}

// a2jmidid: "a2j:<client> [<id>] (capture): <port>", without " [<id>]" when run with -u.
std::optional<BridgedDevice> fromA2j(string_view name) {
    constexpr string_view prefix = "a2j:";
    constexpr string_view capture = " (capture): ";
    if (!name.starts_with(prefix))
        return std::nullopt;
    name.remove_prefix(prefix.size());
    const auto at = name.find(capture);
    if (at == string_view::npos)
        return std::nullopt;
    BridgedDevice device;
    string_view client = name.substr(0, at);
    device.portName = name.substr(at + capture.size());
    if (const auto open = client.rfind(" ["); open != string_view::npos && client.ends_with(']')) {
        if ((device.client = number(client.substr(open + 2, client.size() - open - 3))))
            client = client.substr(0, open);
    }
    device.clientName = client;
    return device;
}

// PipeWire: "Midi-Bridge:<client>:(capture_<n>) <port>", aliased
// "alsa:seq:<sequencer>:client_<id>:capture_<n>".
std::optional<BridgedDevice> fromPipeWire(string_view name,
                                          const std::vector<std::string>& aliases) {
    BridgedDevice device;
    for (const string_view alias : aliases) {
        constexpr string_view tag = ":client_";
        const auto at = alias.find(tag);
        if (!alias.starts_with("alsa:seq:") || at == string_view::npos)
            continue;
        const string_view rest = alias.substr(at + tag.size());
        if (const auto id = number(rest.substr(0, rest.find(':'))))
            device.client = id;
    }
    constexpr string_view prefix = "Midi-Bridge:";
    if (name.starts_with(prefix)) {
        name.remove_prefix(prefix.size());
        const auto open = name.find(":(capture_");
        const auto close = name.find(") ", open);
        if (open != string_view::npos && close != string_view::npos) {
            device.clientName = name.substr(0, open);
            device.portName = name.substr(close + 2);
        }
    }
    if (!device.client && device.clientName.empty())
        return std::nullopt;
    return device;
}

// JACK's ALSA MIDI drivers name their ports "system:midi_capture_<n>" and the device in an
// alias: "alsa_pcm:<client>/midi_..." from the sequencer driver (characters other than
// letters and digits turned into '-'), "alsa_pcm:hw-<card>-<device>-<subdevice>/midi_..."
// from the raw MIDI driver, the card given by its id or its index.
std::optional<BridgedDevice> fromJackDriver(const std::vector<std::string>& aliases) {
    for (string_view alias : aliases) {
        constexpr string_view prefix = "alsa_pcm:";
        const auto slash = alias.find("/midi_");
        if (!alias.starts_with(prefix) || slash == string_view::npos)
            continue;
        string_view name = alias.substr(prefix.size(), slash - prefix.size());
        BridgedDevice device;
        if (name.starts_with("hw-")) {
            name.remove_prefix(3);
            for (int i = 0; i < 2; ++i) {
                const auto dash = name.rfind('-');
                if (dash != string_view::npos && number(name.substr(dash + 1)))
                    name = name.substr(0, dash);
            }
            device.card = number(name);
        }
        if (!device.card)
            device.clientName = name;
        return device;
    }
    return std::nullopt;
}

bool sameDevice(const AlsaSourcePort& port, const BridgedDevice& device) {
    if (device.client)
        return *device.client == port.client;
    if (device.card)
        return *device.card == port.card;
    const std::string name = comparable(device.clientName);
    return !name.empty() && name == comparable(port.clientName);
}

} // namespace

std::optional<BridgedDevice> bridgedDevice(std::string_view jackName,
                                           const std::vector<std::string>& aliases) {
    if (auto device = fromA2j(jackName))
        return device;
    if (auto device = fromPipeWire(jackName, aliases))
        return device;
    return fromJackDriver(aliases);
}

bool reachesJackThroughBridge(const AlsaSourcePort& port,
                              const std::vector<BridgedDevice>& bridged) {
    return std::any_of(bridged.begin(), bridged.end(),
                       [&port](const BridgedDevice& device) { return sameDevice(port, device); });
}

} // namespace tamborel::midi
