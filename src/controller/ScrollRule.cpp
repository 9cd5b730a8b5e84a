#include "controller/ScrollRule.h"

#include <algorithm>
#include <cmath>

namespace tamborel::controller {

std::optional<float> scrolledVolume(float current, const ScrollEvent& event) {
    const double dy = event.precise ? event.preciseDeltaY : event.coarseDeltaY * lineScrollFactor;
    if (dy == 0.0)
        return std::nullopt;
    float next = current + static_cast<float>(dy) * volumePerScrollUnit;
    next = std::min(next, maxScrollVolume);
    next = std::max(next, 0.0f);
    return std::isnan(next) ? 0.0f : next;
}

} // namespace tamborel::controller
