#pragma once

#include "Sound.h"

#include <filesystem>
#include <string>

namespace tamborel::tools {

// Writes the sound as integer PCM WAV at the sound's own rate. Empty on success, otherwise
// the reason.
std::string writeWav(const Sound& sound, int bitsPerSample, const std::filesystem::path& file);

} // namespace tamborel::tools
