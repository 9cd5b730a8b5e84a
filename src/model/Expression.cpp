#include "model/Expression.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tamborel {

namespace {

constexpr std::string_view curveNames[] = {"linear", "soft", "hard", "fixed"};

// Exponents of the power curves: soft lifts a strike at half force to about two thirds,
// hard lowers it to about a third, each the other's mirror image.
constexpr double softExponent = 0.6;
constexpr double hardExponent = 1.0 / softExponent;

} // namespace

std::string_view rawValue(VelocityCurve curve) {
    return curveNames[static_cast<std::size_t>(curve)];
}

std::optional<VelocityCurve> velocityCurveFromRawValue(std::string_view text) {
    for (std::size_t i = 0; i < std::size(curveNames); ++i)
        if (curveNames[i] == text)
            return static_cast<VelocityCurve>(i);
    return std::nullopt;
}

int VelocityShaping::apply(int velocity) const noexcept {
    const int low = std::clamp(lowest, 1, 127);
    if (curve == VelocityCurve::fixed)
        return std::clamp(fixed, low, 127);
    const double force = (std::clamp(velocity, 1, 127) - 1) / 126.0;
    double shaped = force;
    if (curve == VelocityCurve::soft)
        shaped = std::pow(force, softExponent);
    else if (curve == VelocityCurve::hard)
        shaped = std::pow(force, hardExponent);
    return static_cast<int>(std::lround(low + (127 - low) * shaped));
}

std::array<std::uint8_t, 128> VelocityShaping::table() const noexcept {
    std::array<std::uint8_t, 128> out{};
    for (std::size_t v = 0; v < out.size(); ++v)
        out[v] = static_cast<std::uint8_t>(apply(static_cast<int>(v)));
    return out;
}

bool PedalRange::usable() const noexcept {
    return closed >= 0 && closed <= 127 && open >= 0 && open <= 127 &&
           std::abs(closed - open) >= narrowest;
}

int PedalRange::standardize(int value) const noexcept {
    if (!usable())
        return value;
    const double travel = static_cast<double>(value - open) / (closed - open);
    return static_cast<int>(std::lround(std::clamp(travel, 0.0, 1.0) * 127.0));
}

} // namespace tamborel
