#pragma once
// The JACK side of MIDI input. It rides on the audio driver's JACK client as a hook: a MIDI
// input port "Tamborel In" on that client, connected to every MIDI output port of other
// clients, read at the start of each process cycle so that every note carries its frame
// within the cycle it arrived in. Its sources count only while that client is active: an
// inactive client hears nothing.

#include "drivers/JackClientHook.h"
#include "midi/JackBridges.h"
#include "midi/MidiDecoder.h"

#include <jack/jack.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tamborel::midi {

class JackMidiSource final : public audio::JackClientHook {
public:
    // onSetupChanged is called from JACK's notification thread (never the process thread)
    // and from whichever thread activates, deactivates or closes the client, once per change
    // of the MIDI ports.
    JackMidiSource(MidiEventSink& sink, std::function<void()> onSetupChanged);
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

private:
    // Calls visit(port, full name, aliases) for every MIDI output of other clients; with
    // mutex_ held and the client active.
    template <typename Visit> void forEachSource(Visit&& visit) const;
    static void portRegistered(jack_port_id_t id, int registered, void* self);

    MidiEventSink& sink_;
    std::function<void()> onSetupChanged_;
    std::atomic<bool> enabled_{false};
    std::atomic<jack_port_t*> port_{nullptr}; // read by the process thread
    // Read by JACK's notification thread, which must not wait on mutex_: a connection made
    // under mutex_ may itself be waiting for that thread.
    std::atomic<jack_client_t*> notifyingClient_{nullptr};

    mutable std::mutex mutex_; // guards the fields below; never taken on the process thread
    jack_client_t* client_ = nullptr;
    bool active_ = false;
};

} // namespace tamborel::midi
