#pragma once
// How a take was played against the click: each strike's distance from the nearest pulse
// of the click (its beats, or its subdivisions where it had them), negative early and
// positive late, in milliseconds, and per drum the mean and spread (the standard deviation)
// of those distances and a histogram of them. Only takes recorded with the click on have a
// grid to be judged against. Plain values and pure functions.

#include "controller/Takes.h"

#include <vector>

namespace tamborel::controller {

struct StrikeTiming {
    double seconds = 0.0; // from the take's first message
    int note = 0;
    double offsetMs = 0.0;
};

struct DrumTiming {
    int note = 0;
    std::vector<double> offsetsMs; // in the order played
    double meanMs = 0.0;
    double spreadMs = 0.0;
};

struct TakeTiming {
    bool judged = false;  // the take had the click on
    double pulseMs = 0.0; // the grid's step
    std::vector<StrikeTiming> strikes;
    std::vector<DrumTiming> drums; // by note, lowest first
};

namespace takeTiming {

inline constexpr double histogramBinMs = 5.0;
inline constexpr int histogramBins = 13; // -30 .. +30 ms; the outer bins take what is further

TakeTiming judge(const takes::TakeFile& take);
// Counts of offsets per bin of histogramBinMs, centred on 0, the outer bins open-ended.
std::vector<int> histogram(const std::vector<double>& offsetsMs);

} // namespace takeTiming

} // namespace tamborel::controller
