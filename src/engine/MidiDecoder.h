#pragma once
// Turns the raw bytes of one MIDI packet into note, key pressure and controller events: the
// one decoder every host's MIDI goes through (the kit player, the ALSA and JACK inputs). Pure
// and allocation-free: it runs on the MIDI receive path (an ALSA thread, the JACK process
// thread, a plugin's run) and calls straight into the sink, in the order of the bytes, each
// event stamped with the packet's time.
//
// Bad bytes follow the MIDI wire rule, so every value a sink sees is 0..127:
// - a status byte where a data byte is due cuts the unfinished message off (it plays nothing)
//   and starts its own;
// - real-time bytes (0xF8..0xFF) may stand anywhere and are ignored, leaving running status
//   and the message being read as they were;
// - system exclusive (0xF0 .. 0xF7) is skipped whole; the other system common messages
//   (0xF1..0xF6) are skipped with their data bytes and cancel running status;
// - program change and channel pressure take one data byte, pitch bend two; data bytes with
//   no status to belong to are skipped.

#include "timing/EventTime.h"

#include <cstdint>
#include <span>

namespace tamborel::engine {

// Receives decoded events, each with when it should sound. Implementations run on the receive
// path and must not allocate, lock, log or block.
class MidiEventSink {
public:
    virtual void noteOn(int note, int velocity, int channel, timing::EventTime time) noexcept = 0;
    virtual void noteOff(int note, int channel, timing::EventTime time) noexcept = 0;
    virtual void controlChange(int controller, int value, int channel,
                               timing::EventTime time) noexcept = 0;
    // Polyphonic key pressure: modules send it on a cymbal's note while its edge is grabbed.
    virtual void polyPressure(int note, int pressure, int channel,
                              timing::EventTime time) noexcept = 0;
    // A module switching kits: program 0..127 as sent (shown to players as 1..128).
    virtual void programChange(int, int, timing::EventTime) noexcept {}

protected:
    ~MidiEventSink() = default;
};

// Decodes one packet. Running status applies within the packet only; a message cut short
// at the end of the packet ends without an event. Every event of the packet carries `time`.
void decodePacket(std::span<const std::uint8_t> packet, MidiEventSink& sink,
                  timing::EventTime time = {}) noexcept;

} // namespace tamborel::engine
