#pragma once
// The program's one MIDI endpoint. It listens on the ALSA sequencer (where the machine has
// one) and on the audio driver's JACK client (while JACK plays), decodes note-on, note-off
// key pressure, control change and program change from every source, and reports changes of the
// sources. A device that reaches JACK through a bridge (a2jmidid, PipeWire, JACK's ALSA MIDI
// drivers) is heard and listed once: from JACK while JACK plays, else from ALSA.
//
// Receive path: onNoteOn, onNoteOff, onControlChange, onPolyPressure and onProgramChange run on the
// receiving thread (the ALSA receive thread, or the JACK process thread) without a queue hop, with
// the event's timing as their last argument. They must not allocate, lock, log or block. Set the
// callbacks before start(); they are read without synchronisation afterwards.

#include "engine/MidiDecoder.h"
#include "midi/AlsaSequencerSource.h"
#include "midi/JackMidiSource.h"
#include "platform/MainQueue.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tamborel::midi {

class MIDIManager final : public engine::MidiEventSink {
public:
    explicit MIDIManager(platform::MainQueue& mainQueue);
    // Detach jackHook() from the audio driver (or close its client) before this goes.
    ~MIDIManager();
    MIDIManager(const MIDIManager&) = delete;
    MIDIManager& operator=(const MIDIManager&) = delete;

    std::function<void(int note, int velocity, int channel, timing::EventTime time)> onNoteOn;
    std::function<void(int controller, int value, int channel, timing::EventTime time)>
        onControlChange;
    std::function<void(int note, int pressure, int channel, timing::EventTime time)> onPolyPressure;
    std::function<void(int note, int channel, timing::EventTime time)> onNoteOff;
    std::function<void(int program, int channel, timing::EventTime time)> onProgramChange;
    // Runs on the main queue after each rescan that a change of the sources caused.
    std::function<void()> onSourcesChanged;

    // Opens the sequencer client and connects every source. Call once, on the main thread,
    // after setting the callbacks. Returns whether the ALSA sequencer is in use; without it
    // JACK MIDI still works.
    bool start();

    // ALSA sources as "client name: port name", then JACK sources; nothing is connected.
    // JACK sources count only while the JACK client runs.
    std::vector<std::string> availableSourceNames() const;
    // The name of the source an event's time says it came from, as availableSourceNames()
    // lists it; empty when it is not known (or has gone since).
    std::string sourceName(std::uint32_t source) const;
    // The sources events can come from now, with the ids they carry: the ALSA ports heard
    // through the sequencer, then each JACK input with what is connected to it (named as
    // sourceName() names it). Non-real-time.
    std::vector<ConnectedSource> connectedSources() const;
    // The sequencer client id once started with a sequencer, else 0.
    std::uint32_t client() const;

    // Hand this to the JACK audio driver so MIDI is read inside its process cycle.
    JackMidiSource& jackHook() { return jack_; }

    // Every source's decoded events arrive here and go to the callbacks above, on the thread
    // that decoded them.
    void noteOn(int note, int velocity, int channel, timing::EventTime time) noexcept override;
    void noteOff(int note, int channel, timing::EventTime time) noexcept override;
    void controlChange(int controller, int value, int channel,
                       timing::EventTime time) noexcept override;
    void polyPressure(int note, int pressure, int channel,
                      timing::EventTime time) noexcept override;
    void programChange(int program, int channel, timing::EventTime time) noexcept override;

private:
    // From non-real-time threads: schedules one rescan on the main queue.
    void setupChanged();
    void rescan();

    platform::MainQueue& mainQueue_;
    // Posted rescans hold this weakly, so a rescan arriving after the manager is gone does
    // nothing.
    std::shared_ptr<MIDIManager*> self_;
    std::atomic<bool> started_{false};
    // Declared after self_ so that its threads, which may still report a change, have ended
    // before self_ goes.
    AlsaSequencerSource alsa_;
    JackMidiSource jack_;
};

} // namespace tamborel::midi
