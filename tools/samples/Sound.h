#pragma once
// A rendered sample in memory, and the finishing every factory sample goes through.

#include <cstddef>
#include <vector>

namespace tamborel::tools {

using Signal = std::vector<double>;

struct Sound {
    double rate = 44100.0;
    std::vector<Signal> channels;

    std::size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

// A silent mono buffer of the given length.
Signal silence(double rate, double seconds);

// Adds source into target, sample by sample, scaled by gain.
void mixInto(Signal& target, const Signal& source, double gain = 1.0);

// A stereo image for a close-miked drum: the direct sound in both channels plus a handful
// of early reflections that arrive at different times left and right.
Sound roomStereo(const Signal& mono, double rate);

// Removes DC and subsonic rumble, smooths the first fraction of a millisecond, fades the
// tail to exact digital silence over the last part of the sound (so the sample never ends
// on a click) and scales the loudest sample to peakDb dBFS.
void finish(Sound& sound, double peakDb = -1.0, double fadeFraction = 0.3);

} // namespace tamborel::tools
