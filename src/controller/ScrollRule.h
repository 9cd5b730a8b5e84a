#pragma once
// Scroll-to-volume over a hovered pad, as a pure function the toolkit's event filter calls.

#include <optional>

namespace tamborel::controller {

struct ScrollEvent {
    bool precise = false;     // the device reports pixel-precise deltas (touchpads)
    double preciseDeltaY = 0; // positive: up
    double coarseDeltaY = 0;  // in lines / wheel notches, positive: up
};

inline constexpr double lineScrollFactor = 6.0;
inline constexpr float volumePerScrollUnit = 0.012f;
inline constexpr float maxScrollVolume = 1.5f;

// The pad volume a scroll event sets, starting from `current`; none when the event is not
// ours (nothing vertical to apply) and must pass on to whatever else scrolls.
std::optional<float> scrolledVolume(float current, const ScrollEvent& event);

} // namespace tamborel::controller
