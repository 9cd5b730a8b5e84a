#include "Sound.h"

#include "Dsp.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tamborel::tools {

Signal silence(double rate, double seconds) {
    return Signal(static_cast<std::size_t>(std::lround(rate * seconds)), 0.0);
}

void mixInto(Signal& target, const Signal& source, double gain) {
    const std::size_t n = std::min(target.size(), source.size());
    for (std::size_t i = 0; i < n; ++i)
        target[i] += gain * source[i];
}

Sound roomStereo(const Signal& mono, double rate) {
    struct Reflection {
        double leftMs, rightMs, gain;
    };
    constexpr std::array<Reflection, 5> reflections{{{7.3, 8.9, 0.20},
                                                     {11.9, 13.3, -0.15},
                                                     {17.1, 19.7, 0.12},
                                                     {23.7, 26.1, -0.09},
                                                     {31.3, 29.5, 0.07}}};
    Sound sound{rate, {mono, mono}};
    for (const Reflection& r : reflections) {
        const auto delayLeft = static_cast<std::size_t>(r.leftMs * rate / 1000.0);
        const auto delayRight = static_cast<std::size_t>(r.rightMs * rate / 1000.0);
        for (std::size_t i = delayLeft; i < mono.size(); ++i)
            sound.channels[0][i] += r.gain * mono[i - delayLeft];
        for (std::size_t i = delayRight; i < mono.size(); ++i)
            sound.channels[1][i] += r.gain * mono[i - delayRight];
    }
    return sound;
}

void finish(Sound& sound, double peakDb, double fadeFraction) {
    const std::size_t frames = sound.frames();
    if (frames < 2)
        return;
    // Twice over, forwards: a fourth-order high-pass well below any drum's fundamental.
    for (Signal& channel : sound.channels) {
        auto first = Biquad::highPass(sound.rate, 18.0, 0.7071);
        auto second = Biquad::highPass(sound.rate, 18.0, 0.7071);
        first.processInPlace(channel);
        second.processInPlace(channel);
    }

    const std::size_t onset = std::min<std::size_t>(frames, 12);
    const std::size_t fade = std::clamp<std::size_t>(
        static_cast<std::size_t>(fadeFraction * static_cast<double>(frames)), 2, frames);
    const double fadeSpan = static_cast<double>(fade - 1);
    for (Signal& channel : sound.channels) {
        for (std::size_t i = 0; i < onset; ++i)
            channel[i] *= static_cast<double>(i) / static_cast<double>(onset);
        const std::size_t fadeStart = frames - fade;
        for (std::size_t i = fadeStart; i < frames; ++i) {
            // Raised cosine from 1 down to exactly 0 on the last sample.
            const double x = static_cast<double>(frames - 1 - i) / fadeSpan;
            channel[i] *= 0.5 - 0.5 * std::cos(twoPi * 0.5 * x);
        }
    }

    // Whatever DC the short high-pass leaves in a truncated tail goes out as a Hann-shaped
    // offset, which keeps both ends at exactly zero.
    Signal hann(frames);
    double hannSum = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        hann[i] =
            0.5 - 0.5 * std::cos(twoPi * static_cast<double>(i) / static_cast<double>(frames - 1));
        hannSum += hann[i];
    }
    for (Signal& channel : sound.channels) {
        double sum = 0.0;
        for (double s : channel)
            sum += s;
        for (std::size_t i = 0; i < frames; ++i)
            channel[i] -= sum / hannSum * hann[i];
    }

    double peak = 0.0;
    for (const Signal& channel : sound.channels)
        for (double s : channel)
            peak = std::max(peak, std::abs(s));
    if (peak <= 0.0)
        return;
    const double gain = std::pow(10.0, peakDb / 20.0) / peak;
    for (Signal& channel : sound.channels)
        for (double& s : channel)
            s *= gain;
}

} // namespace tamborel::tools
