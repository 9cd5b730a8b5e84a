#include "SampleSets.h"
#include "Voices.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tamborel::tools {

namespace {

constexpr double rate = 44100.0;

// How one recording was struck. The hardest layer's first take is the pad's main sample, the
// very sound the kit had before it had layers; softer layers are duller and have less
// attack, and every take is tuned, damped and seeded a little differently, as real strokes
// are.
struct Strike {
    double force = 1.0; // 1 = the hardest layer
    int take = 0;
    int layer = 2; // 0 soft, 1 medium, 2 hard

    double pitch() const { return take == 0 ? 1.0 : 1.0 + 0.03 * (take % 2 ? 1 : -1); }
    double decay() const { return take == 0 ? 1.0 : 0.92; }
    double attack() const { return force * force; }
    std::uint32_t seed(std::uint32_t base) const {
        return base + 6007u * static_cast<std::uint32_t>(take) +
               104729u * static_cast<std::uint32_t>(2 - layer);
    }
    // A lighter stroke excites fewer high partials: a gentle low-pass below full force, and
    // the peak somewhat lower (the velocity's gain does the rest).
    void shape(Sound& sound) const {
        if (force < 1.0)
            for (Signal& channel : sound.channels) {
                applyFilter(channel, Biquad::lowPass(rate, 1200.0 * std::pow(10.0, force), 0.7071));
                applyFilter(channel, Biquad::lowPass(rate, 1800.0 * std::pow(10.0, force), 0.7071));
            }
        finish(sound, -1.0 - 6.0 * (1.0 - force));
    }
};

constexpr Strike strikes[] = {{0.35, 0, 0}, {0.35, 1, 0}, {0.65, 0, 1},
                              {0.65, 1, 1}, {1.0, 0, 2},  {1.0, 1, 2}};
constexpr const char* layerNames[] = {"soft", "med", "hard"};

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

Sound kick(Strike k) {
    constexpr double length = 0.9;
    Rng rng(k.seed(101));
    const double p = k.pitch(), d = k.decay();
    Signal body = sweptSine(rate, length, 150.0 * p, 52.0 * p, 0.028, 0.17 * d, 1.0);
    mixInto(body, sweptSine(rate, length, 240.0 * p, 84.0 * p, 0.02, 0.04 * d, 0.25));
    // Beater: a hard felt click, then the air push of the front head.
    mixInto(body, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 3500.0, 0.8)}, 0.004,
                             1.2 * k.attack()));
    mixInto(body, sweptSine(rate, length, 1400.0, 900.0, 0.004, 0.006, 0.3 * k.attack()));
    mixInto(body, noiseBurst(rng, rate, length, {Biquad::lowPass(rate, 220.0, 0.7)}, 0.03, 1.5));
    saturate(body, 1.4);
    Sound sound = roomStereo(body, rate);
    k.shape(sound);
    return sound;
}

Sound snare(Strike k) {
    constexpr double length = 0.75;
    Rng rng(k.seed(202));
    const double p = k.pitch(), d = k.decay();
    Signal shell = sweptSine(rate, length, 205.0 * p, 186.0 * p, 0.02, 0.09 * d, 0.7);
    mixInto(shell, sweptSine(rate, length, 345.0 * p, 330.0 * p, 0.02, 0.06 * d, 0.35));
    mixInto(shell, sweptSine(rate, length, 480.0 * p, 470.0 * p, 0.02, 0.04 * d, 0.15));
    Signal wires =
        noiseBurst(rng, rate, length,
                   {Biquad::highPass(rate, 1800.0, 0.7071), Biquad::lowPass(rate, 9000.0, 0.7071)},
                   0.16 * d, 1.1, 0.003);
    mixInto(shell, wires);
    mixInto(shell, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 5000.0, 1.0)}, 0.003,
                              1.2 * k.attack()));
    saturate(shell, 1.2);
    Sound sound = roomStereo(shell, rate);
    k.shape(sound);
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

Sound tom(double startHz, double endHz, double decaySeconds, double length, std::uint32_t seed,
          Strike k) {
    Rng rng(k.seed(seed));
    startHz *= k.pitch();
    endHz *= k.pitch();
    decaySeconds *= k.decay();
    Signal head = sweptSine(rate, length, startHz, endHz, 0.05, decaySeconds, 1.0);
    // A harder stroke drives the head's higher modes further.
    mixInto(head, sweptSine(rate, length, startHz * 1.47, endHz * 1.47, 0.05, decaySeconds * 0.5,
                            0.3 * (0.2 + 0.8 * k.force)));
    mixInto(head, sweptSine(rate, length, startHz * 2.2, endHz * 2.2, 0.05, decaySeconds * 0.3,
                            0.12 * k.attack()));
    mixInto(head, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 3000.0, 1.0)}, 0.004,
                             k.attack()));
    mixInto(head, noiseBurst(rng, rate, length, {Biquad::lowPass(rate, 400.0, 0.7071)}, 0.02, 0.8));
    saturate(head, 1.2);
    Sound sound = roomStereo(head, rate);
    k.shape(sound);
    return sound;
}

// Cymbals ring differently at each microphone: every channel gets its own partial phases
// and noise, with the same spectrum and decay.
template <typename Render> Sound cymbalStereo(std::uint32_t seed, Render render, Strike k = {}) {
    Sound sound{rate, {}};
    for (std::uint32_t channel = 0; channel < 2; ++channel) {
        Rng rng(k.seed(seed) + 7919u * channel);
        sound.channels.push_back(render(rng));
    }
    k.shape(sound);
    return sound;
}

Signal hatBody(Rng& rng, double length, double decaySeconds, double highPassHz, double washiness,
               Strike k = {}) {
    decaySeconds *= k.decay();
    Signal metal = partialCluster(rng, rate, length, 28, 3000.0 * k.pitch(), 13000.0 * k.pitch(),
                                  decaySeconds, 1.0);
    mixInto(metal, noiseBurst(rng, rate, length, {Biquad::highPass(rate, 6000.0, 0.7071)},
                              decaySeconds * 0.9, 0.5 + washiness));
    applyFilter(metal, Biquad::highPass(rate, highPassHz, 0.7071));
    applyFilter(metal, Biquad::highPass(rate, highPassHz, 0.7071));
    // The stick tip on the top cymbal.
    mixInto(metal, noiseBurst(rng, rate, length, {Biquad::bandPass(rate, 9000.0, 1.5)}, 0.002,
                              1.5 * k.attack()));
    return metal;
}

Sound hhClosed(Strike k) {
    return cymbalStereo(
        404, [k](Rng& rng) { return hatBody(rng, 0.22, 0.03, 5000.0, 0.0, k); }, k);
}

Sound hhHalf(Strike k) {
    return cymbalStereo(
        505,
        [k](Rng& rng) {
            Signal hat = hatBody(rng, 0.8, 0.18, 3500.0, 0.6, k);
            // Loosely touching plates rattle against each other.
            for (std::size_t i = 0; i < hat.size(); ++i)
                hat[i] *= 1.0 + 0.3 * std::sin(twoPi * 23.0 * static_cast<double>(i) / rate);
            return hat;
        },
        k);
}

Sound hhOpen(Strike k) {
    return cymbalStereo(
        606, [k](Rng& rng) { return hatBody(rng, 1.8, 0.5, 4000.0, 0.3, k); }, k);
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

// The recipes that have layers, under the name of their main file.
using Layered = std::function<Sound(Strike)>;
const std::vector<std::pair<std::string, Layered>>& layeredRecipes() {
    static const std::vector<std::pair<std::string, Layered>> recipes{
        {"kick", Layered(kick)},
        {"snare", Layered(snare)},
        {"hightom", [](Strike k) { return tom(232.0, 200.0, 0.28, 1.1, 3131, k); }},
        {"midtom", [](Strike k) { return tom(166.0, 142.0, 0.33, 1.3, 3232, k); }},
        {"floortom", [](Strike k) { return tom(112.0, 92.0, 0.42, 1.6, 3333, k); }},
        {"hh_closed", Layered(hhClosed)},
        {"hh_half", Layered(hhHalf)},
        {"hh_open", Layered(hhOpen)},
    };
    return recipes;
}

} // namespace

SampleSet acousticSet() {
    SampleSet set{"Samples",
                  rate,
                  2,
                  24,
                  {
                      {"sidestick.wav", sidestick},
                      {"hh_pedal.wav", hhPedal},
                      {"crash1.wav", crash1},
                      {"crash2.wav", crash2},
                      {"ride.wav", ride},
                      {"bell.wav", bell},
                  }};
    // Each layered drum: its main file beside the others, and the other takes and layers in
    // "layers/", out of the auto-mapper's sight ("layers/snare_soft_2.wav").
    for (const auto& [name, render] : layeredRecipes()) {
        for (const Strike& k : strikes) {
            const bool main = k.layer == 2 && k.take == 0;
            set.recipes.push_back({main ? name + ".wav"
                                        : "layers/" + name + "_" + layerNames[k.layer] + "_" +
                                              std::to_string(k.take + 1) + ".wav",
                                   [render, k] { return render(k); }});
        }
    }
    return set;
}

} // namespace tamborel::tools
