#pragma once
// The ALSA sequencer side of MIDI input: one client "Tamborel" with one input port
// "Tamborel In", subscribed to every readable port of every other client. A receive thread
// decodes events straight into the sink; announcements from the system client (a client or
// port appeared, left or changed) are handed to a second, ordinary thread, which reports
// each one through onSetupChanged so the receive thread never allocates.

#include "engine/MidiDecoder.h"
#include "midi/AlsaEventBytes.h"
#include "midi/JackBridges.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tamborel::midi {

// A source events can come from: the id they carry (timing::EventTime::source) and its name.
struct ConnectedSource {
    std::uint32_t id = 0;
    std::string name;
    friend bool operator==(const ConnectedSource&, const ConnectedSource&) = default;
};

class AlsaSequencerSource {
public:
    // onSetupChanged is called once per announcement, on a non-real-time thread of this
    // source's own.
    AlsaSequencerSource(engine::MidiEventSink& sink, std::function<void()> onSetupChanged);
    ~AlsaSequencerSource();
    AlsaSequencerSource(const AlsaSequencerSource&) = delete;
    AlsaSequencerSource& operator=(const AlsaSequencerSource&) = delete;

    // Opens the client and port, connects the sources as connectAll() does and starts
    // receiving. False, with nothing left open, where there is no sequencer (no
    // /dev/snd/seq) or it refuses us.
    bool open(const std::vector<BridgedDevice>& heardThroughJack);
    bool isOpen() const { return seq_ != nullptr; }

    // Subscribes the port to every readable port of every other client, except the ports of
    // devices heard through a JACK bridge, whose subscriptions are dropped: each strike is
    // heard once, from JACK. Non-real-time.
    void connectAll(const std::vector<BridgedDevice>& heardThroughJack);

    // "client name: port name" of every port connectAll() subscribes to, in client and port
    // order. Works before open() through a short-lived handle.
    std::vector<std::string> sourceNames(const std::vector<BridgedDevice>& heardThroughJack) const;
    // The same ports with the ids their events carry; none until open().
    std::vector<ConnectedSource>
    connectedSources(const std::vector<BridgedDevice>& heardThroughJack) const;

    // The source id events from a sequencer port carry, and that port's "client name: port
    // name" (empty when the id is not ours or the port has gone). Non-real-time.
    static constexpr std::uint32_t sourceId(int client, int port) noexcept {
        return sourceTag | (static_cast<std::uint32_t>(client & 0xff) << 8) |
               static_cast<std::uint32_t>(port & 0xff);
    }
    std::string sourceName(std::uint32_t source) const;

    int clientId() const { return clientId_; }

    // What the receive thread does with each event: MIDI goes to the sink, carrying its
    // arrival time (CLOCK_MONOTONIC, ns) as the event time; announcements are counted for
    // the notifying thread.
    void receive(const snd_seq_event_t& event, std::uint64_t arrivalNanos) noexcept;

private:
    void receiveLoop() noexcept;
    void notifyLoop();
    void stopThreads();

    static constexpr std::uint32_t sourceTag = 2u << 24;

    engine::MidiEventSink& sink_;
    std::function<void()> onSetupChanged_;
    snd_seq_t* seq_ = nullptr;
    int clientId_ = -1;
    int portId_ = -1;
    AlsaEventBytes bytes_;
    int stopFd_ = -1;   // readable once the threads should end
    int notifyFd_ = -1; // eventfd counting announcements not yet reported
    std::thread receiver_;
    std::thread notifier_;
};

// The sequencer device node; absent on machines without sound hardware.
bool sequencerDevicePresent();

// Whether an event from the system announce port means the set of sources may have changed:
// a client or port of someone else started, exited or changed. Subscriptions do not count,
// since every rescan makes some.
bool isSetupAnnouncement(const snd_seq_event_t& event, int ownClient);

} // namespace tamborel::midi
