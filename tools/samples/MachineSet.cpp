#include "SampleSets.h"
#include "Voices.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace tamborel::tools {

namespace {

constexpr double rate = 48000.0;

// The six square oscillators of the classic machine's metal section.
constexpr std::array<double, 6> metalPitches{205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
constexpr std::array<double, 2> cowbellPitches{540.0, 800.0};

Sound mono(Signal signal) {
    Sound sound{rate, {std::move(signal)}};
    finish(sound);
    return sound;
}

Sound kick() {
    constexpr double length = 1.4;
    Rng rng(11);
    // A ringing filter kicked into a long sine with only a short drop in pitch.
    Signal body = sweptSine(rate, length, 128.0, 49.0, 0.012, 0.28, 1.0);
    mixInto(body,
            noiseBurst(rng, rate, length, {Biquad::highPass(rate, 1500.0, 0.7071)}, 0.0015, 0.6));
    saturate(body, 1.1);
    return mono(body);
}

Sound snare() {
    constexpr double length = 0.5;
    Rng rng(22);
    Signal tone = sweptSine(rate, length, 190.0, 180.0, 0.01, 0.05, 0.6);
    mixInto(tone, sweptSine(rate, length, 335.0, 330.0, 0.01, 0.04, 0.4));
    mixInto(tone, noiseBurst(rng, rate, length,
                             {Biquad::highPass(rate, 1500.0, 0.7071),
                              Biquad::lowPass(rate, 10000.0, 0.7071)},
                             0.14, 0.9));
    return mono(tone);
}

Sound rimshot() {
    constexpr double length = 0.12;
    Signal click = sweptSine(rate, length, 455.0, 455.0, 0.01, 0.007, 0.7);
    mixInto(click, sweptSine(rate, length, 1667.0, 1667.0, 0.01, 0.006, 0.6));
    applyFilter(click, Biquad::highPass(rate, 400.0, 0.7071));
    saturate(click, 2.5);
    return mono(click);
}

Sound tom(double pitchHz, double decaySeconds, double length, std::uint32_t seed) {
    Rng rng(seed);
    Signal head = sweptSine(rate, length, pitchHz * 1.25, pitchHz, 0.03, decaySeconds, 1.0);
    mixInto(head,
            noiseBurst(rng, rate, length, {Biquad::lowPass(rate, 2500.0, 0.7071)}, 0.05, 0.15));
    return mono(head);
}

Signal hatMetal(double length, double decaySeconds, double bandHz) {
    Signal metal = squareCluster(rate, length, metalPitches, 1.0, 1.0);
    applyFilter(metal, Biquad::bandPass(rate, bandHz, 1.2));
    applyFilter(metal, Biquad::highPass(rate, 7000.0, 0.7071));
    applyDecay(metal, rate, decaySeconds);
    return metal;
}

Sound hhClosed() {
    return mono(hatMetal(0.15, 0.018, 8500.0));
}
Sound hhHalf() {
    return mono(hatMetal(0.6, 0.1, 8000.0));
}
Sound hhOpen() {
    return mono(hatMetal(1.2, 0.28, 8500.0));
}

Sound hhPedal() {
    constexpr double length = 0.1;
    Rng rng(44);
    Signal chick = squareCluster(rate, length, metalPitches, 1.0, 1.0);
    applyFilter(chick, Biquad::bandPass(rate, 6000.0, 1.0));
    mixInto(chick, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 3000.0, 1.0)}, 0.01, 0.3));
    applyDecay(chick, rate, 0.008);
    return mono(chick);
}

// The cymbal: the same squares through a low and a high band, the low band dying first.
Signal cymbalMetal(double length, double pitchScale, double decaySeconds, std::uint32_t seed) {
    Rng rng(seed);
    const Signal metal = squareCluster(rate, length, metalPitches, pitchScale, 1.0);
    Signal low = metal;
    applyFilter(low, Biquad::bandPass(rate, 4000.0 * pitchScale, 1.5));
    applyDecay(low, rate, decaySeconds * 0.4);
    Signal high = metal;
    applyFilter(high, Biquad::bandPass(rate, 8500.0 * pitchScale, 1.0));
    applyDecay(high, rate, decaySeconds);
    mixInto(high, low, 0.8);
    mixInto(high, noiseBurst(rng, rate, length, {Biquad::highPass(rate, 6000.0, 0.7071)},
                             decaySeconds * 0.6, 0.15));
    applyFilter(high, Biquad::highPass(rate, 2500.0 * pitchScale, 0.7071));
    return high;
}

Sound crash1() {
    return mono(cymbalMetal(2.5, 1.0, 0.7, 55));
}
Sound crash2() {
    return mono(cymbalMetal(3.0, 0.84, 0.9, 66));
}

Sound ride() {
    constexpr double length = 3.2;
    Signal ride = cymbalMetal(length, 1.12, 1.0, 77);
    mixInto(ride, sweptSine(rate, length, 2200.0, 2200.0, 0.01, 0.5, 0.25));
    return mono(ride);
}

Sound bell() {
    constexpr double length = 1.4;
    // Two squares through a narrow band: a loud clank that settles into a clear tone.
    Signal bell = squareCluster(rate, length, cowbellPitches, 1.0, 1.0);
    applyFilter(bell, Biquad::bandPass(rate, 800.0, 3.0));
    for (std::size_t i = 0; i < bell.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        bell[i] *= 0.6 * decay(t, 0.015) + 0.4 * decay(t, 0.35);
    }
    return mono(bell);
}

} // namespace

SampleSet machineSet() {
    return {"Samples-808",
            rate,
            1,
            16,
            {
                {"808_kick.wav", kick},
                {"808_snare.wav", snare},
                {"808_rimshot.wav", rimshot},
                {"808_hightom.wav", [] { return tom(200.0, 0.2, 0.8, 1212); }},
                {"808_midtom.wav", [] { return tom(145.0, 0.25, 1.0, 1313); }},
                {"808_floortom.wav", [] { return tom(100.0, 0.32, 1.2, 1414); }},
                {"808_hh_closed.wav", hhClosed},
                {"808_hh_half.wav", hhHalf},
                {"808_hh_open.wav", hhOpen},
                {"808_hh_pedal.wav", hhPedal},
                {"808_crash1.wav", crash1},
                {"808_crash2.wav", crash2},
                {"808_ride.wav", ride},
                {"808_bell.wav", bell},
            }};
}

} // namespace tamborel::tools
