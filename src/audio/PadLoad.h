#pragma once
// What the loader is asked to bring into a pad: a small value type that hosts can build
// without knowing the loader, the engine or the files' formats.

#include "model/DrumKit.h"

#include <functional>
#include <vector>

namespace tamborel::audio {

// A sample that loaded, with the loudness of its attack: the RMS of the first 30 ms from
// where the sound reaches a quarter of its peak, in dB.
struct MeasuredSample {
    PadSample sample;
    double attackDb = -200.0;
};

struct PadLoad {
    PadRole role = PadRole::kick;
    std::vector<PadSample> samples;
    TakeOrder order = TakeOrder::cycle;
    // When set, the pad is arranged once its samples are in, on the worker that brings the
    // last of them: it is given the samples that loaded, measured, and returns those the pad
    // plays (any of them, in any order, each with its range, gain and pan). Runs off the
    // calling thread, so it must be self-contained.
    std::function<std::vector<PadSample>(std::vector<MeasuredSample>)> arrange = nullptr;
};

// Of one pad of a load, once it is done: whether each sample asked for loaded, and the
// samples the pad was given (after arranging; empty when none loaded or the pad was left
// alone).
struct PadLoaded {
    PadRole role = PadRole::kick;
    std::vector<bool> loaded;
    std::vector<PadSample> played;
    TakeOrder order = TakeOrder::cycle;
};

} // namespace tamborel::audio
