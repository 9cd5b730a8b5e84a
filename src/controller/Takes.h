#pragma once
// Every take kept: what the drummer plays is recorded with no button to forget.
//
// A take starts at the first strike after four seconds without one and ends four seconds
// after its last strike, both by the engine's clock: its events carry the frame each one
// sounded at (audio/PlayedEvent.h), never the time the main thread saw them. It holds the
// strikes with their velocities, the hi-hat pedal's controller and key pressure; the pedal's
// last position before the first strike opens it, so the take plays back with the hat where
// it was.
//
// The Takes folder ($XDG_DATA_HOME/Tamborel/Takes) holds one Standard MIDI File a take, of
// format 0 on the drum channel, named by the local date and time it began:
// "2026-12-08 15.31.24.mid". A starred take carries its star in its name,
// "2026-12-08 15.31.24 starred.mid", so the star goes wherever the file goes and there is no
// index to fall out of step with the folder. The newest 200 takes are kept; older ones are
// removed unless starred. Files of other names are never touched.
//
// Plain C++ for the main thread: TakeRecorder is pure bookkeeping, the takes namespace does
// the blocking file work (for a worker thread).

#include "audio/PlayedEvent.h"
#include "midi/MidiFile.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::controller {

// The tempo and meter a take is written with: the click's when it was on, else 120 BPM 4/4.
// Beside them, what the take is played back and judged by, stored in the file itself (a text
// event, see takeText) so that the folder stays the only record: whether the click sounded,
// its pulses a beat, a frame of the engine's clock at which one of its bars began (its phase),
// and the kit's name.
struct TakeMeter {
    double bpm = 120.0;
    int beatsPerBar = 4;
    int noteValue = 4;
    bool click = false;
    int pulsesPerBeat = 1;
    std::optional<std::uint64_t> barFrame;
    std::string kit;
};

// The song a take was played along with, and where in it the take began: seconds of the
// song at the take's first strike (negative when the take began before the song did).
struct TakeSong {
    std::filesystem::path file;
    double seconds = 0.0;
};

struct Take {
    std::chrono::system_clock::time_point began; // names the file
    double sampleRate = 48000.0;
    TakeMeter meter;
    std::uint64_t firstFrame = 0; // the first strike's; time zero of the file
    std::vector<audio::PlayedEvent> events;
    std::optional<TakeSong> song;
};

class TakeRecorder {
public:
    static constexpr double silenceSeconds = 4.0;

    // One event as the engine handed it over, with the engine's rate and clock and the wall
    // clock now (which date the take's name), and the meter a take starting now would have.
    void add(const audio::PlayedEvent& event, double sampleRate, std::uint64_t clock,
             std::chrono::system_clock::time_point now, const TakeMeter& meter);
    // The takes that ended by `clock` (the engine's clock now), each once.
    std::vector<Take> ended(std::uint64_t clock);
    // Ends the take in progress now, when the application quits.
    std::optional<Take> finish();
    // The song playing along, whose first frame sounds at `startFrame` of the engine's clock;
    // a take that starts while it is set remembers it. None: no song.
    void setSong(std::optional<std::filesystem::path> file, std::uint64_t startFrame = 0);

private:
    std::uint64_t silenceFrames() const;

    std::optional<Take> current_;
    std::vector<Take> done_;
    std::uint64_t lastStrike_ = 0;
    std::optional<audio::PlayedEvent> pedal_; // its last position, which opens a take
    std::optional<std::filesystem::path> song_;
    std::uint64_t songStart_ = 0;
};

namespace takes {

inline constexpr std::size_t kept = 200;

// The file a take is written to in `folder`: its name by the local time it began, with a
// number after it in the rare case that name is taken.
std::filesystem::path fileFor(const std::filesystem::path& folder,
                              std::chrono::system_clock::time_point began);
// The take as a Standard MIDI File at the meter's tempo and time signature, 32640 ticks a
// quarter: 34 x 960, so a 960 grid divides it, and as fine as the format allows, so that at
// 48 kHz each message lands within a frame of where it sounded from 45 quarters a minute up.
std::string midiBytes(const Take& take);
// A take played along with a song carries a marker at time 0 naming it and the take's place
// in it: "Play along: /music/song.flac at 12.500 s". These are the file's bytes with it.
std::string withSongMarker(std::string smf, const Take& take);
// Writes the take into `folder` (made when missing) and removes the takes past the newest
// `keep` that are not starred. The file written, or none with the reason in `error`.
std::optional<std::filesystem::path> write(const std::filesystem::path& folder, const Take& take,
                                           std::string& error, std::size_t keep = kept);
void prune(const std::filesystem::path& folder, std::size_t keep = kept);
bool isStarred(const std::filesystem::path& file);

// A kept take as the Takes list shows it and plays it back. Takes written before their
// files carried the text event read with the tempo and meter of their tempo event, no click
// and no kit.
struct TakeFile {
    std::filesystem::path path;
    std::string stamp; // "2026-12-08 15.31.24", when it began
    std::string title; // what the drummer named it; empty when unnamed
    bool starred = false;
    double seconds = 0.0; // from the first message to the last
    int strikes = 0;
    double bpm = 120.0;
    int beatsPerBar = 4;
    int noteValue = 4;
    bool click = false;
    int pulsesPerBeat = 1;
    double barStart = 0.0; // a bar of the click began here, in seconds from the first message
    std::string kit;
    std::vector<midi::MidiFileEvent> events; // note-offs included, as written
};

std::optional<TakeFile> read(const std::filesystem::path& file);
// The takes in the folder, newest first.
std::vector<TakeFile> list(const std::filesystem::path& folder);
// Names the take: its file keeps its date and star and takes the title between them ("" takes
// the name off). Its new path, or none when another take has that name or it failed.
std::optional<std::filesystem::path> rename(const std::filesystem::path& file,
                                            const std::string& title);
bool remove(const std::filesystem::path& file);
// A copy of the take's MIDI file at `target` (replacing one there).
bool copyTo(const std::filesystem::path& file, const std::filesystem::path& target);
// Stars or unstars the take by renaming it; its new path, or none when that failed.
std::optional<std::filesystem::path> setStarred(const std::filesystem::path& file, bool starred);

} // namespace takes

} // namespace tamborel::controller
