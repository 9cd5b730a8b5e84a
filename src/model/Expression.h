#pragma once
// How a drum module's own expression is fitted to the player: the velocity curve that maps
// the module's strike velocity to the sound's, and the calibrated range of the hi-hat pedal.
// Plain values and pure functions, usable from any thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tamborel {

// linear: as the module sends it. soft: light strikes come up, for modules or players that
// never reach the top. hard: light strikes go down, for players who hit everything hard.
// fixed: every strike at one velocity.
enum class VelocityCurve : std::uint8_t { linear, soft, hard, fixed };

std::string_view rawValue(VelocityCurve curve);
std::optional<VelocityCurve> velocityCurveFromRawValue(std::string_view text);

struct VelocityShaping {
    VelocityCurve curve = VelocityCurve::linear;
    int lowest = 1;  // the softest strike plays at this velocity (1..127)
    int fixed = 100; // every strike's velocity with the fixed curve (1..127)

    // The velocity a strike of `velocity` plays at, 1..127; out-of-range input is clamped.
    int apply(int velocity) const noexcept;
    // apply() for every velocity 0..127, for the router and for drawing the curve.
    std::array<std::uint8_t, 128> table() const noexcept;
    friend bool operator==(const VelocityShaping&, const VelocityShaping&) = default;
};

// The two controller values a hi-hat pedal sends fully closed and fully open. Some pedals run
// backwards, and many never reach 0 or 127.
struct PedalRange {
    int closed = 127;
    int open = 0;

    // Pedals this narrow are taken for a calibration that missed a movement.
    static constexpr int narrowest = 10;
    bool usable() const noexcept;
    // The value as a standard pedal would send it: 0 fully open, 127 fully closed.
    int standardize(int value) const noexcept;
    friend bool operator==(const PedalRange&, const PedalRange&) = default;
};

inline constexpr int defaultPedalController = 4;

// Everything that fits a module to the player, as a host hands it to the hit routing.
struct Expression {
    VelocityShaping velocity;
    int pedalController = defaultPedalController;
    std::optional<PedalRange> pedalRange; // none: the pedal's values are taken as they come
    friend bool operator==(const Expression&, const Expression&) = default;
};

} // namespace tamborel
