#include "midi/JackMidiSource.h"

#include "timing/EventTime.h"

#include <jack/midiport.h>

#include <cstring>
#include <memory>
#include <string>

namespace tamborel::midi {

namespace {

constexpr const char* portShortName = "Tamborel In";

std::string slotPortName(std::size_t slot) {
    return slot == 0 ? std::string(portShortName)
                     : std::string(portShortName) + " " + std::to_string(slot + 1);
}

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

JackMidiSource::JackMidiSource(engine::MidiEventSink& sink, std::function<void()> onSetupChanged)
    : sink_(sink), onSetupChanged_(std::move(onSetupChanged)) {}

JackMidiSource::~JackMidiSource() = default;

void JackMidiSource::clientOpened(jack_client_t* client) {
    std::lock_guard lock(mutex_);
    client_ = client;
    active_ = false;
    // Every input is registered here, before the client runs, and none while it runs: jackd
    // hands a new port the number of one just unregistered at once, while a cycle still
    // running may see that number connected to one of our inputs, and reading that input
    // then recurses through jackd's port table until the stack runs out. (A source leaving
    // while another arrives is enough.) The driver may also hand us the same client again,
    // after replacing its hook; our ports are then still there, and registering one twice
    // would fail.
    const std::string clientName = jack_get_client_name(client);
    for (std::size_t slot = 0; slot < maxPorts; ++slot) {
        const std::string shortName = slotPortName(slot);
        jack_port_t* port = jack_port_by_name(client, (clientName + ":" + shortName).c_str());
        if (port == nullptr || !jack_port_is_mine(client, port))
            port = jack_port_register(client, shortName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                      JackPortIsInput, 0);
        ports_[slot].store(port, std::memory_order_release);
        if (port == nullptr)
            break;
    }
    for (std::size_t slot = 1; slot < maxPorts; ++slot)
        if (ports_[slot - 1].load(std::memory_order_relaxed) == nullptr)
            ports_[slot].store(nullptr, std::memory_order_release);
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
        for (auto& port : ports_)
            port.store(nullptr, std::memory_order_release);
        notifyingClient_.store(nullptr, std::memory_order_release);
        client_ = nullptr;
        active_ = false;
    }
    // Our JACK sources have just left the list.
    if (enabled_.load(std::memory_order_acquire))
        onSetupChanged_();
}

void JackMidiSource::processCycle(jack_nframes_t frames) noexcept {
    if (!enabled_.load(std::memory_order_acquire))
        return;
    // Each port's events are in time order; they are merged by frame, so that a pedal move
    // from one device and a hi-hat strike from another are heard in the order they were sent.
    struct Input {
        void* buffer = nullptr;
        std::uint32_t count = 0;
        std::uint32_t next = 0;
        jack_midi_event_t event{};
    };
    std::array<Input, maxPorts> inputs{};
    const auto fetch = [](Input& input) noexcept {
        while (input.next < input.count) {
            if (jack_midi_event_get(&input.event, input.buffer, input.next) == 0)
                return;
            ++input.next;
        }
    };
    std::size_t used = 0;
    for (; used < maxPorts; ++used) {
        jack_port_t* port = ports_[used].load(std::memory_order_acquire);
        if (port == nullptr)
            break;
        Input& input = inputs[used];
        input.buffer = jack_port_get_buffer(port, frames);
        if (input.buffer != nullptr)
            input.count = jack_midi_get_event_count(input.buffer);
        fetch(input);
    }
    for (;;) {
        std::size_t earliest = used;
        for (std::size_t i = 0; i < used; ++i)
            if (inputs[i].next < inputs[i].count &&
                (earliest == used || inputs[i].event.time < inputs[earliest].event.time))
                earliest = i;
        if (earliest == used)
            return;
        Input& input = inputs[earliest];
        engine::decodePacket(
            {input.event.buffer, input.event.size}, sink_,
            {timing::EventTime::Kind::frameInCycle, input.event.time, sourceId(earliest)});
        ++input.next;
        fetch(input);
    }
}

void JackMidiSource::enable() {
    enabled_.store(true, std::memory_order_release);
    connectAll();
}

void JackMidiSource::connectAll() {
    std::lock_guard lock(mutex_);
    if (client_ == nullptr || !active_ || ports_[0].load(std::memory_order_acquire) == nullptr)
        return;
    std::array<bool, maxPorts> taken{};
    const PortList ports = midiOutputPorts(client_);
    for (const char** name = ports.get(); name != nullptr && *name != nullptr; ++name) {
        jack_port_t* port = jack_port_by_name(client_, *name);
        if (port == nullptr || jack_port_is_mine(client_, port) || connectedToUs(*name))
            continue;
        const std::size_t slot = freeSlot(taken);
        taken[slot] = true;
        jack_connect(client_, *name, jack_port_name(ports_[slot].load(std::memory_order_relaxed)));
    }
}

bool JackMidiSource::connectedToUs(const char* sourcePort) const {
    for (const auto& slot : ports_) {
        jack_port_t* ours = slot.load(std::memory_order_relaxed);
        if (ours == nullptr)
            return false;
        if (jack_port_connected_to(ours, sourcePort) != 0)
            return true;
    }
    return false;
}

std::size_t JackMidiSource::freeSlot(const std::array<bool, maxPorts>& taken) const {
    for (std::size_t slot = 0; slot < maxPorts; ++slot) {
        jack_port_t* ours = ports_[slot].load(std::memory_order_relaxed);
        if (ours == nullptr)
            break;
        if (!taken[slot] && jack_port_connected(ours) == 0)
            return slot;
    }
    return 0;
}

std::optional<std::size_t> JackMidiSource::slotOf(std::uint32_t source) noexcept {
    if ((source & ~0xffu) != sourceTag || (source & 0xffu) >= maxPorts)
        return std::nullopt;
    return source & 0xffu;
}

std::string JackMidiSource::sourceName(std::uint32_t source) const {
    const auto slot = slotOf(source);
    std::lock_guard lock(mutex_);
    if (!slot || client_ == nullptr)
        return {};
    jack_port_t* ours = ports_[*slot].load(std::memory_order_relaxed);
    if (ours == nullptr)
        return {};
    const PortList connections(jack_port_get_connections(ours));
    std::string names;
    for (const char** name = connections.get(); name != nullptr && *name != nullptr; ++name) {
        jack_port_t* port = jack_port_by_name(client_, *name);
        if (port == nullptr)
            continue;
        if (!names.empty())
            names += " + ";
        names += displayName(port, *name, aliasesOf(port));
    }
    return names;
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
