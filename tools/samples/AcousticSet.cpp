#include "SampleSets.h"
#include "Voices.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace tamborel::tools {

namespace {

constexpr double rate = 44100.0;

struct Partial {
    double freq, level, decaySeconds;
};

void addPartials(Signal& target, Rng& rng, const auto& partials, double pitch = 1.0) {
    for (const Partial& p : partials) {
        DecayingPartial partial(rate, p.freq * pitch, p.level, p.decaySeconds, twoPi * rng.unit());
        for (double& s : target)
            s += partial.next();
    }
}

Sound kick() {
    constexpr double length = 0.9;
    Rng rng(101);
    Signal body = sweptSine(rate, length, 150.0, 52.0, 0.028, 0.17, 1.0);
    mixInto(body, sweptSine(rate, length, 240.0, 84.0, 0.02, 0.04, 0.25));
    // Beater: a hard felt click, then the air push of the front head.
    mixInto(body, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 3500.0, 0.8)}, 0.004, 1.2));
    mixInto(body, sweptSine(rate, length, 1400.0, 900.0, 0.004, 0.006, 0.3));
    mixInto(body, noiseBurst(rng, rate, length, {Biquad::lowPass(rate, 220.0, 0.7)}, 0.03, 1.5));
    saturate(body, 1.4);
    Sound sound = roomStereo(body, rate);
    finish(sound);
    return sound;
}

Sound snare() {
    constexpr double length = 0.75;
    Rng rng(202);
    Signal shell = sweptSine(rate, length, 205.0, 186.0, 0.02, 0.09, 0.7);
    mixInto(shell, sweptSine(rate, length, 345.0, 330.0, 0.02, 0.06, 0.35));
    mixInto(shell, sweptSine(rate, length, 480.0, 470.0, 0.02, 0.04, 0.15));
    Signal wires =
        noiseBurst(rng, rate, length,
                   {Biquad::highPass(rate, 1800.0, 0.7071), Biquad::lowPass(rate, 9000.0, 0.7071)},
                   0.16, 1.1, 0.003);
    mixInto(shell, wires);
    mixInto(shell,
            noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 5000.0, 1.0)}, 0.003, 1.2));
    saturate(shell, 1.2);
    Sound sound = roomStereo(shell, rate);
    finish(sound);
    return sound;
}

Sound sidestick() {
    constexpr double length = 0.3;
    Rng rng(303);
    // Stick across the rim: a dry wooden knock with a little shell behind it.
    Signal knock = sweptSine(rate, length, 560.0, 520.0, 0.005, 0.035, 0.6);
    mixInto(knock, sweptSine(rate, length, 1150.0, 1150.0, 0.01, 0.02, 0.4));
    mixInto(knock, sweptSine(rate, length, 1900.0, 1900.0, 0.01, 0.012, 0.3));
    mixInto(knock, sweptSine(rate, length, 200.0, 190.0, 0.02, 0.05, 0.2));
    mixInto(knock,
            noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 2500.0, 2.0)}, 0.008, 1.6));
    Sound sound = roomStereo(knock, rate);
    finish(sound);
    return sound;
}

Sound tom(double startHz, double endHz, double decaySeconds, double length, std::uint32_t seed) {
    Rng rng(seed);
    Signal head = sweptSine(rate, length, startHz, endHz, 0.05, decaySeconds, 1.0);
    mixInto(head,
            sweptSine(rate, length, startHz * 1.47, endHz * 1.47, 0.05, decaySeconds * 0.5, 0.3));
    mixInto(head,
            sweptSine(rate, length, startHz * 2.2, endHz * 2.2, 0.05, decaySeconds * 0.3, 0.12));
    mixInto(head, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 3000.0, 1.0)}, 0.004, 1.0));
    mixInto(head, noiseBurst(rng, rate, length, {Biquad::lowPass(rate, 400.0, 0.7071)}, 0.02, 0.8));
    saturate(head, 1.2);
    Sound sound = roomStereo(head, rate);
    finish(sound);
    return sound;
}

// Cymbals ring differently at each microphone: every channel gets its own partial phases
// and noise, with the same spectrum and decay.
template <typename Render> Sound cymbalStereo(std::uint32_t seed, Render render) {
    Sound sound{rate, {}};
    for (std::uint32_t channel = 0; channel < 2; ++channel) {
        Rng rng(seed + 7919u * channel);
        sound.channels.push_back(render(rng));
    }
    finish(sound);
    return sound;
}

Signal hatBody(Rng& rng, double length, double decaySeconds, double highPassHz, double washiness) {
    Signal metal = partialCluster(rng, rate, length, 28, 3000.0, 13000.0, decaySeconds, 1.0);
    mixInto(metal, noiseBurst(rng, rate, length, {Biquad::highPass(rate, 6000.0, 0.7071)},
                              decaySeconds * 0.9, 0.5 + washiness));
    applyFilter(metal, Biquad::highPass(rate, highPassHz, 0.7071));
    applyFilter(metal, Biquad::highPass(rate, highPassHz, 0.7071));
    // The stick tip on the top cymbal.
    mixInto(metal,
            noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 9000.0, 1.5)}, 0.002, 1.5));
    return metal;
}

Sound hhClosed() {
    return cymbalStereo(404, [](Rng& rng) { return hatBody(rng, 0.22, 0.03, 5000.0, 0.0); });
}

Sound hhHalf() {
    return cymbalStereo(505, [](Rng& rng) {
        Signal hat = hatBody(rng, 0.8, 0.18, 3500.0, 0.6);
        // Loosely touching plates rattle against each other.
        for (std::size_t i = 0; i < hat.size(); ++i)
            hat[i] *= 1.0 + 0.3 * std::sin(twoPi * 23.0 * static_cast<double>(i) / rate);
        return hat;
    });
}

Sound hhOpen() {
    return cymbalStereo(606, [](Rng& rng) { return hatBody(rng, 1.8, 0.5, 4000.0, 0.3); });
}

Sound hhPedal() {
    return cymbalStereo(707, [](Rng& rng) {
        constexpr double length = 0.18;
        // The plates meeting: a short closed "chick", lower and duller than a stick.
        Signal chick =
            noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 1200.0, 1.2)}, 0.01, 1.0);
        Signal metal = partialCluster(rng, rate, length, 16, 4000.0, 11000.0, 0.015, 0.6);
        applyFilter(metal, Biquad::highPass(rate, 6000.0, 0.7071));
        mixInto(chick, metal);
        mixInto(chick,
                noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 400.0, 1.0)}, 0.008, 0.6));
        return chick;
    });
}

Signal crashBody(Rng& rng, double length, double size, double decaySeconds) {
    Signal wash =
        partialCluster(rng, rate, length, 70, 350.0 / size, 12000.0 / size, decaySeconds, 1.0);
    // The bloom: a crash opens up over the first few tens of milliseconds.
    for (std::size_t i = 0; i < wash.size(); ++i)
        wash[i] *= 1.0 - 0.5 * decay(static_cast<double>(i) / rate, 0.02);
    mixInto(wash, noiseBurst(rng, rate, length, {Biquad::highPass(rate, 2500.0 / size, 0.7071)},
                             decaySeconds * 0.8, 0.5));
    mixInto(wash,
            noiseBurst(rng, rate, length, {Biquad::highPass(rate, 5000.0, 0.7071)}, 0.05, 1.0));
    applyFilter(wash, Biquad::highPass(rate, 250.0 / size, 0.7071));
    return wash;
}

Sound crash1() {
    return cymbalStereo(808, [](Rng& rng) { return crashBody(rng, 3.0, 1.0, 0.9); });
}

Sound crash2() {
    return cymbalStereo(909, [](Rng& rng) { return crashBody(rng, 3.8, 1.18, 1.2); });
}

Sound ride() {
    return cymbalStereo(1010, [](Rng& rng) {
        constexpr double length = 4.5;
        // The ping: a few clear partials that carry the beat over the wash.
        constexpr std::array<Partial, 4> pingPartials{
            {{480.0, 0.35, 1.6}, {1230.0, 0.5, 1.4}, {2650.0, 0.4, 1.0}, {3900.0, 0.3, 0.7}}};
        Signal ping = silence(rate, length);
        addPartials(ping, rng, pingPartials);
        mixInto(ping, partialCluster(rng, rate, length, 50, 500.0, 9000.0, 1.4, 0.5));
        mixInto(ping,
                noiseBurst(rng, rate, length, {Biquad::highPass(rate, 5000.0, 0.7071)}, 0.8, 0.1));
        mixInto(ping,
                noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 6000.0, 1.5)}, 0.006, 1.2));
        applyFilter(ping, Biquad::highPass(rate, 300.0, 0.7071));
        return ping;
    });
}

Sound bell() {
    return cymbalStereo(1111, [](Rng& rng) {
        constexpr double length = 3.0;
        // Struck on the cup: one strong, clearly pitched partial with bell-like overtones.
        constexpr std::array<Partial, 4> cupPartials{
            {{1.0, 1.0, 1.1}, {2.02, 0.45, 0.7}, {2.76, 0.3, 0.5}, {5.4, 0.15, 0.25}}};
        Signal cup = silence(rate, length);
        addPartials(cup, rng, cupPartials, 820.0);
        mixInto(cup, partialCluster(rng, rate, length, 30, 600.0, 9000.0, 0.9, 0.2));
        mixInto(cup,
                noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 4000.0, 1.5)}, 0.004, 1.0));
        return cup;
    });
}

} // namespace

SampleSet acousticSet() {
    return {"Samples",
            rate,
            2,
            24,
            {
                {"kick.wav", kick},
                {"snare.wav", snare},
                {"sidestick.wav", sidestick},
                {"hightom.wav", [] { return tom(232.0, 200.0, 0.28, 1.1, 3131); }},
                {"midtom.wav", [] { return tom(166.0, 142.0, 0.33, 1.3, 3232); }},
                {"floortom.wav", [] { return tom(112.0, 92.0, 0.42, 1.6, 3333); }},
                {"hh_closed.wav", hhClosed},
                {"hh_half.wav", hhHalf},
                {"hh_open.wav", hhOpen},
                {"hh_pedal.wav", hhPedal},
                {"crash1.wav", crash1},
                {"crash2.wav", crash2},
                {"ride.wav", ride},
                {"bell.wav", bell},
            }};
}

} // namespace tamborel::tools
