#pragma once
// Signals, files and offline rendering for the audio tests.

#include "SoundFiles.h"
#include "audio/AudioEngine.h"
#include "audio/SampleBuffer.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tamborel::audio::testing {

// A stereo buffer whose every sample is `level`, so gains can be read off single samples.
SharedSampleBuffer constantBuffer(float level, std::uint32_t frames, double rate = 48000.0);

std::vector<float> sine(double frequency, double rate, std::uint32_t frames,
                        float amplitude = 0.5f);

// The frequency of a periodic signal, from its rising zero crossings (middle half only, away
// from any edge effects).
double measuredFrequency(const float* samples, std::size_t count, double rate);

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

// Renders `frames` frames in blocks of `block`, the way a driver would.
Stereo renderFrames(AudioRenderer& engine, std::uint32_t frames, std::uint32_t block = 256);

// A started engine at 48 kHz with 256-frame blocks.
void startOffline(AudioRenderer& engine);

// A fresh folder under the test binary's temporary data folder.
std::filesystem::path scratchFolder(const std::string& name);

// Writes an M4A file with FFmpeg's encoder for `codecName` ("aac" or "alac").
bool writeM4a(const std::filesystem::path& file, const char* codecName, int rate, int channels,
              const std::vector<float>& interleaved);

std::vector<float> interleave(const std::vector<float>& mono, int channels);

} // namespace tamborel::audio::testing
