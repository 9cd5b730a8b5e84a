#pragma once
// The two factory sample sets: file names chosen so that the auto-mapper gives every pad
// role its own file, and the recipe that renders each one.

#include "Sound.h"

#include <functional>
#include <string>
#include <vector>

namespace tamborel::tools {

struct SampleRecipe {
    std::string fileName;
    std::function<Sound()> render;
};

struct SampleSet {
    std::string folder; // the resource folder's name
    double sampleRate;
    int channels;
    int bitsPerSample;
    std::vector<SampleRecipe> recipes;
};

// "Samples": an acoustic kit, 24-bit stereo at 44.1 kHz.
SampleSet acousticSet();
// "Samples-808": an analogue drum machine, 16-bit mono at 48 kHz.
SampleSet machineSet();

} // namespace tamborel::tools
