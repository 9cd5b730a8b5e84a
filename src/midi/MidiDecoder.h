#pragma once
// Turns the raw bytes of one MIDI packet into note, key pressure and controller events. Pure and
// allocation-free: it runs on the MIDI receive path (an ALSA thread or the JACK process
// thread) and calls straight into the sink, in the order of the bytes, each event stamped
// with the packet's time.

#include "timing/EventTime.h"

#include <cstdint>
#include <span>

namespace tamborel::midi {

// Receives decoded events, each with when it should sound. Implementations run on the receive
// path and must not allocate, lock, log or block.
class MidiEventSink {
public:
    virtual void noteOn(int note, int velocity, int channel, audio::EventTime time) noexcept = 0;
    virtual void noteOff(int note, int channel, audio::EventTime time) noexcept = 0;
    virtual void controlChange(int controller, int value, int channel,
                               audio::EventTime time) noexcept = 0;
    // Polyphonic key pressure: modules send it on a cymbal's note while its edge is grabbed.
    virtual void polyPressure(int note, int pressure, int channel,
                              audio::EventTime time) noexcept = 0;

protected:
    ~MidiEventSink() = default;
};

// Decodes one packet. Running status applies within the packet only; a message cut short
// at the end of the packet ends the packet without an event. Data bytes are passed on as
// they stand (0..255), so a malformed message reaches the sink with its odd values rather
// than being silently re-interpreted. Every event of the packet carries `time`.
void decodePacket(std::span<const std::uint8_t> packet, MidiEventSink& sink,
                  audio::EventTime time = {}) noexcept;

} // namespace tamborel::midi
