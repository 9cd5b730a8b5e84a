#include "Dsp.h"

namespace tamborel::tools {

namespace {

struct Prewarp {
    double cosW, alpha;
};

Prewarp prewarp(double rate, double freq, double q) {
    const double w = twoPi * freq / rate;
    return {std::cos(w), std::sin(w) / (2.0 * q)};
}

} // namespace

Biquad Biquad::lowPass(double rate, double freq, double q) {
    const auto [c, alpha] = prewarp(rate, freq, q);
    return Biquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::highPass(double rate, double freq, double q) {
    const auto [c, alpha] = prewarp(rate, freq, q);
    return Biquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad Biquad::bandPass(double rate, double freq, double q) {
    const auto [c, alpha] = prewarp(rate, freq, q);
    return Biquad(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

} // namespace tamborel::tools
