#pragma once
// A reader for Standard MIDI Files (formats 0 and 1) that keeps what a drum performance
// needs: note-ons and note-offs, key pressure and controller messages, at their times in
// seconds. Bounded: it
// never reads past the data it is given and refuses files it cannot make sense of.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamborel::midi {

struct MidiFileEvent {
    enum class Kind : std::uint8_t { noteOn, controlChange, polyPressure, noteOff };
    double seconds = 0;
    Kind kind = Kind::noteOn;
    std::uint8_t channel = 0;
    std::uint8_t number = 0; // note or controller
    std::uint8_t value = 0;  // velocity (above 0), pressure or controller value
};

struct MidiFileResult {
    std::optional<std::vector<MidiFileEvent>> events; // in time order
    std::string error;
};

inline constexpr std::size_t maxMidiFileBytes = 64u * 1024u * 1024u;

MidiFileResult readMidiFile(std::string_view bytes);

} // namespace tamborel::midi
