#pragma once
// Small offline DSP building blocks for the factory sample generator. Everything is
// deterministic: noise comes from a seeded generator, never from the clock.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace tamborel::tools {

inline constexpr double twoPi = 2.0 * std::numbers::pi;

// xorshift32: tiny, fast and identical on every platform, which keeps the files identical
// from build to build.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : state(seed == 0 ? 0x9E3779B9u : seed) {}

    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 8) / 16777216.0; }
    // Uniform in [-1, 1).
    double bipolar() { return 2.0 * unit() - 1.0; }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }

private:
    std::uint32_t state;
};

// Direct form I biquad with the usual cookbook designs.
class Biquad {
public:
    static Biquad lowPass(double rate, double freq, double q);
    static Biquad highPass(double rate, double freq, double q);
    // Unity gain at the centre frequency.
    static Biquad bandPass(double rate, double freq, double q);

    double process(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    void processInPlace(std::vector<double>& signal) {
        for (double& s : signal)
            s = process(s);
    }

private:
    Biquad(double nb0, double nb1, double nb2, double a0, double na1, double na2)
        : b0(nb0 / a0), b1(nb1 / a0), b2(nb2 / a0), a1(na1 / a0), a2(na2 / a0) {}

    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// An exponentially decaying sine computed by complex rotation: two multiplies per sample
// instead of a sin() call, which matters for cymbals made of dozens of partials.
class DecayingPartial {
public:
    DecayingPartial(double rate, double freq, double amplitude, double decaySeconds,
                    double phase = 0.0)
        : re(amplitude * std::cos(phase)), im(amplitude * std::sin(phase)) {
        const double step = twoPi * freq / rate;
        const double decay = std::exp(-1.0 / (decaySeconds * rate));
        stepRe = std::cos(step) * decay;
        stepIm = std::sin(step) * decay;
    }

    double next() {
        const double out = im;
        const double r = re * stepRe - im * stepIm;
        im = re * stepIm + im * stepRe;
        re = r;
        return out;
    }

private:
    double re, im;
    double stepRe = 1.0, stepIm = 0.0;
};

// Band-limited square (polyBLEP): the analogue machine's hats and cymbals are built from
// clusters of these, and naive squares would alias audibly at these pitches.
class Square {
public:
    Square(double rate, double freq, double phase = 0.0) : increment(freq / rate), t(phase) {}

    double next() {
        double out = t < 0.5 ? 1.0 : -1.0;
        out += blep(t);
        out -= blep(std::fmod(t + 0.5, 1.0));
        t += increment;
        if (t >= 1.0)
            t -= 1.0;
        return out;
    }

private:
    double blep(double phase) const {
        if (phase < increment) {
            const double x = phase / increment;
            return x + x - x * x - 1.0;
        }
        if (phase > 1.0 - increment) {
            const double x = (phase - 1.0) / increment;
            return x * x + x + x + 1.0;
        }
        return 0.0;
    }

    double increment;
    double t;
};

inline double decay(double t, double seconds) {
    return std::exp(-t / seconds);
}

} // namespace tamborel::tools
