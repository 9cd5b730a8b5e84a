#pragma once
// A sound that is not a whole sound file: a recording stored inside a bigger file (a
// SoundFont's sample data), a slice of a file, or a file played at another pitch. It is
// written in the fragment of the sample's FileUrl, so that everything keyed by the URL (one
// decode per sound, the converted cache, sounds loaded ahead) tells pieces apart, and a kit
// document keeps it as plain URL text:
//   file:///sf2/Drums.sf2#at=4096&frames=22050&rate=44100&bits=16&name=Kick%201
//   file:///kit/room.wav#start=2116003&end=2200000&cents=-150

#include "model/FileUrl.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tamborel {

struct SamplePiece {
    // Where the data starts in the file, in bytes; 0 with no encoding: the file is a sound
    // file as it stands.
    std::uint64_t at = 0;
    enum class Encoding : std::uint8_t {
        file,  // a sound file (or, with `bytes`, a sound file held inside this one)
        pcm16, // headerless 16-bit little-endian mono frames, `frames` of them
    };
    Encoding encoding = Encoding::file;
    std::uint64_t bytes = 0;  // file: the length of the inner file; 0 is to the end
    std::uint64_t frames = 0; // pcm16: how many
    std::uint32_t rate = 0;   // pcm16: the rate it was recorded at
    // pcm16 with 24 bits: where the low byte of every frame starts (0: none).
    std::uint64_t low24At = 0;
    // The slice played, in the sound's own frames: from `start` to `end` (0: to its end).
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    // Played this many cents higher (negative: lower) than recorded, by playing it as if
    // it had been recorded at a higher rate.
    double cents = 0.0;
    // Heard through a resonant low-pass filter at this frequency in Hz (0: none), its peak
    // `resonance` dB high, as SoundFont players filter a zone (the frequency is as heard,
    // after tuning).
    double lowpass = 0.0;
    double resonance = 0.0;
    std::string name; // what the sound is called inside its file, shown as its file name

    // Whether the sound is the whole file as recorded, with nothing to cut or tune.
    bool whole() const { return *this == SamplePiece{}; }
    // The sound's rate as played, given the rate it was recorded at: shifted by `cents`.
    double playedRate(double recorded) const;

    // The piece a URL names; a URL without a fragment (or with one we did not write) is
    // the whole file. None when the fragment is ours but makes no sense.
    static std::optional<SamplePiece> of(const FileUrl& url);
    // The URL of this piece of the file `url` names (whose own fragment is replaced).
    FileUrl in(const FileUrl& url) const;

    friend bool operator==(const SamplePiece&, const SamplePiece&) = default;
};

inline constexpr double maxPieceCents = 4800.0; // four octaves either way

} // namespace tamborel
