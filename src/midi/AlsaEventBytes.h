#pragma once
// Turns ALSA sequencer events back into MIDI bytes, one event per packet. Each event is
// written with its own status byte: the decoder does not carry running status from one
// packet to the next, so a compressed second note-on would be lost.

#include <alsa/asoundlib.h>

#include <array>
#include <cstdint>
#include <span>

namespace tamborel::midi {

class AlsaEventBytes {
public:
    AlsaEventBytes();
    ~AlsaEventBytes();
    AlsaEventBytes(const AlsaEventBytes&) = delete;
    AlsaEventBytes& operator=(const AlsaEventBytes&) = delete;

    // The event's MIDI bytes, valid until the next call; empty for events that carry no
    // MIDI message (announcements, echoes) or that do not fit (long system exclusive).
    // Real-time safe: the parser and buffer are made once, here in the constructor.
    std::span<const std::uint8_t> toBytes(const snd_seq_event_t& event) noexcept;

private:
    snd_midi_event_t* parser_ = nullptr;
    std::array<std::uint8_t, 64> buffer_{};
};

} // namespace tamborel::midi
