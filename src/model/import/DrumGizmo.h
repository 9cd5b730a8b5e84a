#pragma once
// DrumGizmo kits: a kit file naming the microphone channels and one file per instrument, in
// which every hit is recorded on several of those channels. This reads such a kit into a plain
// description of what is on disk; giving it pads is another step. Synchronous file I/O on the
// caller's thread; never throws; reports progress and stops when cancelled (keepGoing).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::kitImport::drumGizmo {

// Bounds past which a kit is refused, or an instrument left out, as absurd.
inline constexpr std::size_t maxChannels = 128;
inline constexpr std::size_t maxInstruments = 512;
inline constexpr std::size_t maxRecordings = 4096; // per instrument

// One channel of a sound file, heard on one of the kit's channels.
struct AudioFile {
    std::filesystem::path file;
    int fileChannel = 1;  // 1-based, as the instrument file counts
    std::string channel;  // the kit's channel (microphone) it feeds
    int fileChannels = 0; // how many the file has, once it was found to play
    friend bool operator==(const AudioFile&, const AudioFile&) = default;
};

// One hit, on every microphone that recorded it.
struct Recording {
    std::string name;
    double power = 0.0;      // how hard the hit was; larger is harder
    bool normalized = false; // its files were levelled, so loudness must come from power
    std::vector<AudioFile> audioFiles;
};

// Hitting this instrument silences `instrument` within chokeTime milliseconds.
struct Choke {
    std::string instrument;
    std::optional<double> chokeTime; // none when the kit states none
    friend bool operator==(const Choke&, const Choke&) = default;
};

struct Instrument {
    std::string name;
    std::string group; // instruments sharing a group (a hi-hat's) stop each other
    std::vector<Recording> recordings;
    // The kit channels that are this instrument's own microphones; empty when the kit marks
    // none, in which case all of them are.
    std::vector<std::string> mainChannels;
    std::vector<int> notes; // from the kit's MIDI map, ascending
    std::vector<Choke> chokes;
    std::vector<std::string> dropped; // recordings that could not be read, each with why
};

struct Kit {
    std::string name;
    std::string description;
    std::optional<double> sampleRate;
    std::vector<std::string> channels;
    std::vector<Instrument> instruments;
    std::vector<std::string> leftOut;  // instruments left out, each with why
    std::vector<std::string> problems; // the rest that was skipped: MIDI map, chokes
};

struct ReadResult {
    std::optional<Kit> kit;
    std::string error; // one line, set when kit is none
};

// A kit file, or a folder holding one (drumkit.xml, else the one XML file there whose root is
// a drumkit). Refused whole only when the kit file cannot be read or no instrument can.
ReadResult read(const std::filesystem::path& drumkitXmlOrFolder);

} // namespace tamborel::kitImport::drumGizmo
