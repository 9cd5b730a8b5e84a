#pragma once
// The JACK side of MIDI input. It rides on the audio driver's JACK client as a hook: MIDI
// input ports on that client, "Tamborel In", "Tamborel In 2" and so on, each connected to one
// MIDI output port of another client (JACK merges whatever one port hears, and a drummer
// wants to see what each device sends), read at the start of each process cycle so that
// every note carries its frame within the cycle it arrived in and its port as its source.
// Past the last port the remaining sources share the first. Its sources count only while
// that client is active: an inactive client hears nothing.

#include "drivers/JackClientHook.h"
#include "engine/MidiDecoder.h"
#include "midi/JackBridges.h"

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::midi {

class JackMidiSource final : public drivers::JackClientHook {
public:
    // onSetupChanged is called from JACK's notification thread (never the process thread)
    // and from whichever thread activates, deactivates or closes the client, once per change
    // of the MIDI ports.
    JackMidiSource(engine::MidiEventSink& sink, std::function<void()> onSetupChanged);
    ~JackMidiSource() override;
    JackMidiSource(const JackMidiSource&) = delete;
    JackMidiSource& operator=(const JackMidiSource&) = delete;

    void clientOpened(jack_client_t* client) override;
    void clientActivated(jack_client_t* client) override;
    void clientDeactivated() override;
    void clientClosed() override;
    void processCycle(jack_nframes_t frames) noexcept override;

    // Until enabled, incoming events are read and dropped, and port changes go unreported:
    // the owner's callbacks may not be in place yet.
    void enable();

    // Connects every MIDI output port of other clients that is not yet connected to us.
    // Non-real-time; does nothing without an active client.
    void connectAll();

    // The names of those ports while the client is active: a bridged ALSA port as "client:
    // port" where the bridge names both, else a bridged or hardware port by its first alias
    // (which names the device), any other port by its full JACK name.
    std::vector<std::string> sourceNames() const;

    // The ALSA devices that those ports bridge, while the client is active.
    std::vector<BridgedDevice> bridgedDevices() const;

    // The source id events from one of our ports carry, and back.
    static constexpr std::size_t maxPorts = 8;
    static constexpr std::uint32_t sourceId(std::size_t slot) noexcept {
        return sourceTag | static_cast<std::uint32_t>(slot);
    }
    static std::optional<std::size_t> slotOf(std::uint32_t source) noexcept;
    // The display name (as sourceNames() gives it) of what is connected to the port whose
    // events carry `source`; names joined with " + " where several share it; empty when
    // nothing is, or the id is not ours. Non-real-time.
    std::string sourceName(std::uint32_t source) const;

private:
    // Calls visit(port, full name, aliases) for every MIDI output of other clients; with
    // mutex_ held and the client active.
    template <typename Visit> void forEachSource(Visit&& visit) const;
    static void portRegistered(jack_port_id_t id, int registered, void* self);
    // With mutex_ held: a port of ours that is neither in `taken` nor connected, else the
    // first.
    std::size_t freeSlot(const std::array<bool, maxPorts>& taken) const;
    bool connectedToUs(const char* sourcePort) const;

    static constexpr std::uint32_t sourceTag = 1u << 24;

    engine::MidiEventSink& sink_;
    std::function<void()> onSetupChanged_;
    std::atomic<bool> enabled_{false};
    // Read by the process thread; filled in slot order when the client opens, so the first
    // empty slot ends the ports.
    std::array<std::atomic<jack_port_t*>, maxPorts> ports_{};
    // Read by JACK's notification thread, which must not wait on mutex_: a connection made
    // under mutex_ may itself be waiting for that thread.
    std::atomic<jack_client_t*> notifyingClient_{nullptr};

    mutable std::mutex mutex_; // guards the fields below; never taken on the process thread
    jack_client_t* client_ = nullptr;
    bool active_ = false;
};

} // namespace tamborel::midi
