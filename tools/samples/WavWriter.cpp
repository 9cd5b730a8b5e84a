#include "WavWriter.h"

#include <cmath>
#include <sndfile.h>
#include <vector>

namespace tamborel::tools {

std::string writeWav(const Sound& sound, int bitsPerSample, const std::filesystem::path& file) {
    if (sound.channels.empty())
        return "no audio to write";
    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(sound.rate));
    info.channels = static_cast<int>(sound.channels.size());
    info.format = SF_FORMAT_WAV | (bitsPerSample == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16);
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    if (out == nullptr)
        return sf_strerror(nullptr);
    // Values are already normalised below full scale; clipping only guards rounding.
    sf_command(out, SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const std::size_t frames = sound.frames();
    std::vector<double> interleaved(frames * sound.channels.size());
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < sound.channels.size(); ++c)
            interleaved[i * sound.channels.size() + c] = sound.channels[c][i];
    const sf_count_t written =
        sf_writef_double(out, interleaved.data(), static_cast<sf_count_t>(frames));
    std::string error;
    if (written != static_cast<sf_count_t>(frames))
        error = sf_strerror(out);
    if (sf_close(out) != 0 && error.empty())
        error = "could not finish the file";
    return error;
}

} // namespace tamborel::tools
