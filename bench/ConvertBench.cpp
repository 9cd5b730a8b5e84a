// Rate conversion at load: our polyphase filter against libsoxr at its very high quality
// (the converter every pair went through before). For each common pair: how fast each
// converts, and how far apart their output is on a drum-like strike, in the whole band and
// below a few edges of the audible band (as peak difference against the strike's peak);
// then how far each is from an exact tone near the top of the band.
//     convert_bench

#include "audio/Resampler.h"

#include <soxr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using tamborel::audio::RateConverter;

// Decaying bursts of noise, brighter at the start: the full band, as cymbals have it.
std::vector<float> strikes(double rate, double seconds) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<float> samples(frames * 2);
    std::minstd_rand random(3);
    std::normal_distribution<float> noise(0.0f, 0.25f);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto decay = static_cast<float>(std::exp(-static_cast<double>(i % 44100) / 8000.0));
        samples[2 * i] = noise(random) * decay;
        samples[2 * i + 1] = noise(random) * decay;
    }
    return samples;
}

std::vector<float> withSoxr(const std::vector<float>& in, double from, double to) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    soxr_t converter = soxr_create(from, to, 2, &error, &io, &quality, nullptr);
    std::vector<float> out((static_cast<std::size_t>(in.size() / 2 * to / from) + 4096) * 2);
    std::size_t consumed = 0, produced = 0, more = 0;
    soxr_process(converter, in.data(), in.size() / 2, &consumed, out.data(), out.size() / 2,
                 &produced);
    soxr_process(converter, nullptr, 0, nullptr, out.data() + produced * 2,
                 out.size() / 2 - produced, &more);
    soxr_delete(converter);
    out.resize((produced + more) * 2);
    return out;
}

// Each channel into its own buffer, as the loader takes them; `interleaved` puts them side by
// side afterwards, for comparing with libsoxr's.
std::vector<float> withOwn(const std::vector<float>& in, double from, double to,
                           bool interleaved = true) {
    RateConverter converter;
    converter.open(from, to, 2);
    const std::size_t frames = static_cast<std::size_t>(in.size() / 2 * to / from) + 4096;
    std::vector<float> left(frames), right(frames);
    std::size_t taken = 0, done = 0;
    for (;;) {
        const std::size_t count = std::min<std::size_t>(4096, in.size() / 2 - taken);
        std::size_t consumed = 0, produced = 0;
        float* const channels[2] = {left.data() + done, right.data() + done};
        converter.process(in.data() + taken * 2, count, consumed, channels,
                          std::min<std::size_t>(4096, frames - done), produced, count == 0);
        taken += consumed;
        done += produced;
        if (count == 0 && produced == 0)
            break;
    }
    if (!interleaved)
        return left;
    std::vector<float> out(done * 2);
    for (std::size_t i = 0; i < done; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
    return out;
}

template <class Convert> double bestSeconds(Convert convert) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        convert();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

void fft(std::vector<std::complex<double>>& a, bool inverse) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const double angle = 2 * M_PI / static_cast<double>(length) * (inverse ? 1 : -1);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += length) {
            std::complex<double> w(1);
            for (std::size_t j = 0; j < length / 2; ++j, w *= step) {
                const auto u = a[i + j];
                const auto v = a[i + j + length / 2] * w;
                a[i + j] = u + v;
                a[i + j + length / 2] = u - v;
            }
        }
    }
}

// Peak of the left channels' difference below `edge` Hz, in dB against the strike's peak,
// away from the ends (where the transform wraps around).
double differenceBelow(const std::vector<float>& a, const std::vector<float>& b, double rate,
                       double edge, double peak) {
    const std::size_t frames = std::min(a.size(), b.size()) / 2;
    std::size_t size = 1;
    while (size < frames)
        size <<= 1;
    std::vector<std::complex<double>> d(size);
    for (std::size_t i = 0; i < frames; ++i)
        d[i] = a[2 * i] - b[2 * i];
    fft(d, false);
    for (std::size_t k = 0; k < size; ++k)
        if (static_cast<double>(std::min(k, size - k)) * rate / static_cast<double>(size) > edge)
            d[k] = 0;
    fft(d, true);
    double worst = 0;
    for (std::size_t i = frames / 20; i < frames - frames / 20; ++i)
        worst = std::max(worst, std::fabs(d[i].real()) / static_cast<double>(size));
    return 20 * std::log10(worst / peak);
}

double toneError(const std::vector<float>& out, double frequency, double rate) {
    double worst = 0;
    for (std::size_t i = out.size() / 20; i < out.size() / 2 - out.size() / 20; ++i)
        worst =
            std::max(worst, std::fabs(out[2 * i] - 0.5 * std::sin(2 * M_PI * frequency *
                                                                  static_cast<double>(i) / rate)));
    return 20 * std::log10(worst / 0.5);
}

} // namespace

int main() {
    for (auto [from, to] : {std::pair{44100.0, 48000.0}, {48000.0, 44100.0}, {96000.0, 48000.0}}) {
        const auto in = strikes(from, 20.0);
        const auto reference = withSoxr(in, from, to);
        const auto own = withOwn(in, from, to);
        float peak = 0;
        for (float v : reference)
            peak = std::max(peak, std::fabs(v));
        const double soxrSeconds = bestSeconds([&] { withSoxr(in, from, to); });
        const double ownSeconds = bestSeconds([&] { withOwn(in, from, to, false); });
        std::printf("%.1f -> %.1f kHz: libsoxr %.1f ms, ours %.1f ms (%.1fx) for 20 s of stereo\n",
                    from / 1000, to / 1000, soxrSeconds * 1000, ownSeconds * 1000,
                    soxrSeconds / ownSeconds);
        std::printf("  difference below 10 / 16 / 18 / 20 kHz: %.0f / %.0f / %.0f / %.0f dB; "
                    "whole band %.0f dB\n",
                    differenceBelow(own, reference, to, 10000, peak),
                    differenceBelow(own, reference, to, 16000, peak),
                    differenceBelow(own, reference, to, 18000, peak),
                    differenceBelow(own, reference, to, 20000, peak),
                    differenceBelow(own, reference, to, to, peak));
        for (double tone : {15000.0, 19000.0, 19900.0}) {
            std::vector<float> sine(static_cast<std::size_t>(from) * 2);
            for (std::size_t i = 0; i < sine.size() / 2; ++i)
                sine[2 * i] = sine[2 * i + 1] = static_cast<float>(
                    0.5 * std::sin(2 * M_PI * tone * static_cast<double>(i) / from));
            std::printf("  a %.1f kHz tone's error: libsoxr %.0f dB, ours %.0f dB\n", tone / 1000,
                        toneError(withSoxr(sine, from, to), tone, to),
                        toneError(withOwn(sine, from, to), tone, to));
        }
    }
}
