#pragma once
// Arranges several recordings of one drum into velocity layers and round-robin takes, from
// their file names first and their measured loudness second. Plain rules, opening no file.

#include "model/DrumKit.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::sampleSets {

// A file name read as one member of a set: "Snare_Hard_03.wav" is stem "snare", level 7 of
// the dynamics scale (ppp=1 .. fff=8; soft=2, med=5, hard=7; v1..v8 as written), take 3.
// Trailing take numbers ("01", "rr2") and dynamics words, separated by space, '_', '-' or
// '.', are taken off the lower-cased stem; up to two of them.
struct NameParts {
    std::string stem;
    std::optional<int> level;
    std::optional<int> take;
    bool marked() const { return level || take; }
};
NameParts parse(const std::filesystem::path& file);

// Whether the files' trailing numbers are sizes, not takes: "Crash 16" and "Crash 18" are two
// cymbals. Every file carries a number from 6 to 30 (inches) and no dynamics word, and the
// numbers differ; a take series starts at 1 and would have smaller ones.
bool sizesNotTakes(const std::vector<std::filesystem::path>& files);

// Whether the names say the files are recordings of different sounds, not layers and takes of
// one: their stems (see parse; trailing digits also taken off) differ. "Kick.wav" and
// "Clap.wav" are; "snare_soft_1.wav" and "Snare Hard 2.wav", "snare1" and "snare2", or
// "Snare A" and "Snare B" are not.
bool unrelatedNames(const std::vector<std::filesystem::path>& files);

struct Recording {
    std::filesystem::path file;
    std::optional<double> attackDb; // the RMS of the attack in dB, when measured
};

// The recordings as a pad's samples, the velocity range split evenly among the layers.
// Layers: by dynamics level where names give one (unnamed ones join the layer nearest in
// loudness, else the loudest: a plain "snare.wav" beside "snare_soft.wav" is the full stroke);
// else, when every loudness is known, by loudness, a new layer starting wherever a recording is
// more than 3 dB louder than the softest of the current one; else all in one layer. Within a layer,
// takes go by take number, then name.
std::vector<PadSample> arrange(const std::vector<Recording>& recordings);

// The sample a strike at velocity 100 plays first: the pad's main sample of an arrangement.
std::size_t mainOf(const std::vector<PadSample>& samples);

} // namespace tamborel::sampleSets
