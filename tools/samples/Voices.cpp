#include "Voices.h"

#include <cmath>

namespace tamborel::tools {

Signal sweptSine(double rate, double seconds, double startHz, double endHz, double sweepSeconds,
                 double decaySeconds, double amplitude) {
    Signal out = silence(rate, seconds);
    double phase = 0.0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double freq = endHz + (startHz - endHz) * decay(t, sweepSeconds);
        out[i] = amplitude * decay(t, decaySeconds) * std::sin(phase);
        phase += twoPi * freq / rate;
        if (phase > twoPi)
            phase -= twoPi;
    }
    return out;
}

Signal noiseBurst(Rng& rng, double rate, double seconds, std::initializer_list<Biquad> filters,
                  double decaySeconds, double amplitude, double attackSeconds) {
    Signal out = silence(rate, seconds);
    for (double& s : out)
        s = rng.bipolar();
    for (const Biquad& f : filters)
        applyFilter(out, f);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double swell = attackSeconds > 0.0 ? 1.0 - decay(t, attackSeconds) : 1.0;
        out[i] *= amplitude * swell * decay(t, decaySeconds);
    }
    return out;
}

Signal partialCluster(Rng& rng, double rate, double seconds, int count, double loHz, double hiHz,
                      double decaySeconds, double amplitude) {
    Signal out = silence(rate, seconds);
    const double perPartial = amplitude / std::sqrt(static_cast<double>(count));
    for (int k = 0; k < count; ++k) {
        const double freq = loHz * std::pow(hiHz / loHz, rng.unit());
        const double tau = decaySeconds * rng.between(0.6, 1.4) * std::pow(loHz / freq, 0.25);
        const double level = perPartial * rng.between(0.4, 1.0);
        DecayingPartial partial(rate, freq, level, tau, twoPi * rng.unit());
        for (double& s : out)
            s += partial.next();
    }
    return out;
}

Signal squareCluster(double rate, double seconds, std::span<const double> pitches,
                     double pitchScale, double amplitude) {
    Signal out = silence(rate, seconds);
    const double each = amplitude / static_cast<double>(pitches.size());
    double phase = 0.0;
    for (double pitch : pitches) {
        // Spread the starting phases so the edges do not all line up on the first sample.
        Square square(rate, pitch * pitchScale, phase);
        phase = std::fmod(phase + 0.37, 1.0);
        for (double& s : out)
            s += each * square.next();
    }
    return out;
}

void applyDecay(Signal& signal, double rate, double decaySeconds) {
    const double factor = std::exp(-1.0 / (decaySeconds * rate));
    double level = 1.0;
    for (double& s : signal) {
        s *= level;
        level *= factor;
    }
}

void applyFilter(Signal& signal, Biquad filter) {
    filter.processInPlace(signal);
}

void saturate(Signal& signal, double drive) {
    const double norm = 1.0 / std::tanh(drive);
    for (double& s : signal)
        s = norm * std::tanh(drive * s);
}

} // namespace tamborel::tools
