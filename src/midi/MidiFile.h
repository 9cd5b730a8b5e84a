#pragma once
// A reader for Standard MIDI Files (formats 0 and 1) that keeps what a drum performance
// needs: note-ons and note-offs, key pressure and controller messages, at their times in
// seconds. Bounded: it never reads past the data it is given and refuses files it cannot make
// sense of. Beside it, a writer of such performances as files of format 0
// (MidiFileWriter.cpp).

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
    // The text events (meta type 1) in file order, and the first tempo in quarters a minute
    // (none when the file sets none).
    std::vector<std::string> texts;
    std::optional<double> quarterBpm;
};

inline constexpr std::size_t maxMidiFileBytes = 64u * 1024u * 1024u;

MidiFileResult readMidiFile(std::string_view bytes);

// A performance to write: its tempo (beats of `noteValue` a minute, 4 a quarter) and meter
// go first, then its messages at their times in seconds from the file's start.
struct MidiFilePerformance {
    double bpm = 120.0;
    int beatsPerBar = 4;
    int noteValue = 4;
    int ticksPerQuarter = 960;
    std::vector<MidiFileEvent> events; // in time order
    // Written as a text event at the start when not empty.
    std::string text;
};

// The file's bytes: format 0, one track. Each note-on is followed by its note-off a 32nd
// note later, or at the next strike of the same note if that comes first, for programs that
// wait for one; times are rounded to the nearest tick.
std::string writeMidiFile(const MidiFilePerformance& performance);

} // namespace tamborel::midi
