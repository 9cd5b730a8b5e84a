#include "midi/JackMidiSource.h"

#include "timing/EventTime.h"

#include <jack/midiport.h>

#include <cstring>
#include <memory>

namespace tamborel::midi {

namespace {

constexpr const char* portShortName = "Tamborel In";

struct JackFree {
    void operator()(const char** ports) const { jack_free(static_cast<void*>(ports)); }
};
using PortList = std::unique_ptr<const char*, JackFree>;

PortList midiOutputPorts(jack_client_t* client) {
    return PortList(jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput));
}

std::vector<std::string> aliasesOf(jack_port_t* port) {
    const auto size = static_cast<std::size_t>(jack_port_name_size());
    std::string first(size, '\0');
    std::string second(size, '\0');
    char* buffers[2] = {first.data(), second.data()};
    const int count = jack_port_get_aliases(port, buffers);
    std::vector<std::string> aliases;
    for (int i = 0; i < count && i < 2; ++i)
        aliases.emplace_back(buffers[i]);
    return aliases;
}

// Bridges and hardware ports have JACK names that say little about the device
// ("system:midi_capture_1", "Midi-Bridge:...:(capture_0) ...").
std::string displayName(jack_port_t* port, const char* fullName,
                        const std::vector<std::string>& aliases) {
    const auto device = bridgedDevice(fullName, aliases);
    if (device && !device->clientName.empty() && !device->portName.empty())
        return device->clientName + ": " + device->portName;
    if ((device || (jack_port_flags(port) & JackPortIsPhysical) != 0) && !aliases.empty())
        return aliases.front();
    return fullName;
}

} // namespace

JackMidiSource::JackMidiSource(MidiEventSink& sink, std::function<void()> onSetupChanged)
    : sink_(sink), onSetupChanged_(std::move(onSetupChanged)) {}

JackMidiSource::~JackMidiSource() = default;

void JackMidiSource::clientOpened(jack_client_t* client) {
    std::lock_guard lock(mutex_);
    client_ = client;
    active_ = false;
    // The driver may hand us the same client again (after replacing its hook); our port is
    // then still there, and registering it twice would fail.
    const std::string ourName = std::string(jack_get_client_name(client)) + ":" + portShortName;
    jack_port_t* port = jack_port_by_name(client, ourName.c_str());
    if (port == nullptr || !jack_port_is_mine(client, port))
        port =
            jack_port_register(client, portShortName, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    port_.store(port, std::memory_order_release);
    notifyingClient_.store(client, std::memory_order_release);
    jack_set_port_registration_callback(client, &JackMidiSource::portRegistered, this);
}

void JackMidiSource::clientActivated(jack_client_t* client) {
    {
        std::lock_guard lock(mutex_);
        if (client != client_)
            return;
        active_ = true;
    }
    if (!enabled_.load(std::memory_order_acquire))
        return;
    connectAll();
    onSetupChanged_();
}

void JackMidiSource::clientDeactivated() {
    {
        std::lock_guard lock(mutex_);
        if (!active_)
            return;
        active_ = false;
    }
    // Our JACK sources are no longer heard: they leave the list, and the devices bridged to
    // JACK go back to the ALSA side.
    if (enabled_.load(std::memory_order_acquire))
        onSetupChanged_();
}

void JackMidiSource::clientClosed() {
    {
        std::lock_guard lock(mutex_);
        if (client_ == nullptr)
            return;
        port_.store(nullptr, std::memory_order_release);
        notifyingClient_.store(nullptr, std::memory_order_release);
        client_ = nullptr;
        active_ = false;
    }
    // Our JACK sources have just left the list.
    if (enabled_.load(std::memory_order_acquire))
        onSetupChanged_();
}

void JackMidiSource::processCycle(jack_nframes_t frames) noexcept {
    jack_port_t* port = port_.load(std::memory_order_acquire);
    if (port == nullptr || !enabled_.load(std::memory_order_acquire))
        return;
    void* buffer = jack_port_get_buffer(port, frames);
    if (buffer == nullptr)
        return;
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0)
            continue;
        decodePacket({event.buffer, event.size}, sink_,
                     {audio::EventTime::Kind::frameInCycle, event.time});
    }
}

void JackMidiSource::enable() {
    enabled_.store(true, std::memory_order_release);
    connectAll();
}

void JackMidiSource::connectAll() {
    std::lock_guard lock(mutex_);
    jack_port_t* ours = port_.load(std::memory_order_acquire);
    if (client_ == nullptr || !active_ || ours == nullptr)
        return;
    const std::string ourName = jack_port_name(ours);
    const PortList ports = midiOutputPorts(client_);
    for (const char** name = ports.get(); name != nullptr && *name != nullptr; ++name) {
        jack_port_t* port = jack_port_by_name(client_, *name);
        if (port == nullptr || jack_port_is_mine(client_, port) ||
            jack_port_connected_to(ours, *name))
            continue;
        jack_connect(client_, *name, ourName.c_str());
    }
}

template <typename Visit> void JackMidiSource::forEachSource(Visit&& visit) const {
    if (client_ == nullptr || !active_)
        return;
    const PortList ports = midiOutputPorts(client_);
    for (const char** name = ports.get(); name != nullptr && *name != nullptr; ++name) {
        jack_port_t* port = jack_port_by_name(client_, *name);
        if (port != nullptr && !jack_port_is_mine(client_, port))
            visit(port, *name, aliasesOf(port));
    }
}

std::vector<std::string> JackMidiSource::sourceNames() const {
    std::vector<std::string> names;
    std::lock_guard lock(mutex_);
    forEachSource(
        [&](jack_port_t* port, const char* name, const std::vector<std::string>& aliases) {
            names.push_back(displayName(port, name, aliases));
        });
    return names;
}

std::vector<BridgedDevice> JackMidiSource::bridgedDevices() const {
    std::vector<BridgedDevice> devices;
    std::lock_guard lock(mutex_);
    forEachSource([&](jack_port_t*, const char* name, const std::vector<std::string>& aliases) {
        if (auto device = bridgedDevice(name, aliases))
            devices.push_back(std::move(*device));
    });
    return devices;
}

void JackMidiSource::portRegistered(jack_port_id_t id, int registered, void* self) {
    auto& source = *static_cast<JackMidiSource*>(self);
    jack_client_t* client = source.notifyingClient_.load(std::memory_order_acquire);
    if (client == nullptr || !source.enabled_.load(std::memory_order_acquire))
        return;
    // A port that is leaving has already lost its type and flags, so every departure counts;
    // an arrival counts when it is someone else's MIDI output.
    if (registered != 0) {
        jack_port_t* port = jack_port_by_id(client, id);
        if (port == nullptr || jack_port_is_mine(client, port))
            return;
        const char* type = jack_port_type(port);
        if ((jack_port_flags(port) & JackPortIsOutput) == 0 || type == nullptr ||
            std::strcmp(type, JACK_DEFAULT_MIDI_TYPE) != 0)
            return;
    }
    source.onSetupChanged_();
}

} // namespace tamborel::midi
