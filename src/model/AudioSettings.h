#pragma once
// The device settings: output device, buffer size and rate, and the module's expression.
// A plain value, copied on assignment.

#include "model/Expression.h"
#include "model/FileUrl.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamborel {

// What the separate outputs carry: a stereo pair per drum, or one mono output per microphone
// output of a kit recorded on microphones (a kit without microphones goes by drum).
enum class OutputsBy : std::uint8_t { drum, mic };

// The kit a Program Change plays: program 1..128 (the message's number plus one, as modules
// show it) and the kit's file.
struct ProgramKit {
    int program = 1;
    FileUrl kit;
    friend bool operator==(const ProgramKit&, const ProgramKit&) = default;
};
inline constexpr int programCount = 128;

// The click's pulses between its beats: none, two (eighths), three (triplets) or four
// (sixteenths) to a beat, played softer than the beats.
enum class Subdivision : std::uint8_t { none, eighths, triplets, sixteenths };
// Where the click sounds: in the master, or (with JACK) on its own pair for a headphone mix.
enum class ClickOutput : std::uint8_t { master, own };

// The click. Its tempo counts beats of `noteValue` (4: quarters, 8: eighths) a minute.
struct Metronome {
    static constexpr double lowestBpm = 30.0;
    static constexpr double highestBpm = 300.0;
    static constexpr int mostBeatsPerBar = 16;
    bool on = false;
    double bpm = 120.0;
    int beatsPerBar = 4;
    int noteValue = 4; // 1, 2, 4, 8 or 16
    Subdivision subdivision = Subdivision::none;
    float level = 0.7f; // 0 .. 1
    ClickOutput output = ClickOutput::master;
    // The bars counted in before a play-along starts: 0 (none), 1 or 2.
    static constexpr int mostCountInBars = 2;
    int countInBars = 1;
    friend bool operator==(const Metronome&, const Metronome&) = default;
};

struct AudioSettings {
    std::optional<std::string> outputDeviceUID; // none: the system's default output device
    std::uint32_t bufferFrames = 256;
    double sampleRate = 48000.0;
    VelocityShaping velocity;
    int pedalController = defaultPedalController;
    std::optional<PedalRange> pedalRange; // none: the pedal's values are taken as they come
    // Each drum on an output pair of its own beside the master (where the output has ports).
    bool separateOutputs = false;
    OutputsBy outputsBy = OutputsBy::drum;
    // A kit whose files take more than this many MiB on disk keeps only the start of each
    // sample in memory and streams the rest from disk as it plays; smaller kits stay whole.
    std::uint32_t wholeKitMiB = 64;
    std::uint64_t wholeKitBytes() const { return std::uint64_t{wholeKitMiB} << 20; }
    // Kits by program, in program order, each program once.
    std::vector<ProgramKit> programKits;
    Metronome metronome;
    // The level of the song played along with, 0 .. 1.
    float songLevel = 0.8f;

    static AudioSettings defaults() { return {}; }
    // What the hit routing needs of them.
    Expression expression() const { return {velocity, pedalController, pedalRange}; }
    friend bool operator==(const AudioSettings&, const AudioSettings&) = default;
};

} // namespace tamborel
