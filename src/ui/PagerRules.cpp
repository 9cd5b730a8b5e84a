#include "ui/PagerRules.h"

#include <algorithm>
#include <cmath>

namespace tamborel::ui::pager {

namespace {

int clampedIndex(int index, int count) {
    return std::clamp(index, 0, std::max(count - 1, 0));
}

} // namespace

bool isPastStart(double tx, double ty) {
    return std::hypot(tx, ty) >= startDistance;
}

std::optional<double> dragOffset(double tx, double ty, int index, int count) {
    if (!(std::abs(tx) > std::abs(ty)))
        return std::nullopt;
    const int i = clampedIndex(index, count);
    const bool beyondFirst = i == 0 && tx > 0;
    const bool beyondLast = i == count - 1 && tx < 0;
    return (beyondFirst || beyondLast) ? tx * edgeDamping : tx;
}

double predictedEndTranslation(double tx, double velocityX) {
    if (!std::isfinite(velocityX))
        return tx;
    const double coastSeconds = decelerationRate / (1.0 - decelerationRate) / 1000.0;
    return tx + velocityX * coastSeconds;
}

Landing landing(double tx, double ty, double predictedX, double pageWidth, int index, int count) {
    const int i = clampedIndex(index, count);
    if (!(std::abs(tx) > std::abs(ty)))
        return {i, false};
    const double threshold = pageThreshold * pageWidth;
    int target = i;
    if (predictedX < -threshold)
        target = std::min(i + 1, count - 1);
    else if (predictedX > threshold)
        target = std::max(i - 1, 0);
    return {clampedIndex(target, count), true};
}

void VelocityTracker::add(std::int64_t timestampMs, double x) {
    samples_[next_] = {timestampMs, x};
    next_ = (next_ + 1) % capacity;
    size_ = std::min(size_ + 1, capacity);
}

double VelocityTracker::velocity() const {
    if (size_ < 2)
        return 0;
    const Sample& last = samples_[(next_ + capacity - 1) % capacity];
    const Sample* oldest = &last;
    for (std::size_t k = 2; k <= size_; ++k) {
        const Sample& s = samples_[(next_ + capacity - k) % capacity];
        if (last.t - s.t > windowMs)
            break;
        oldest = &s;
    }
    const auto dt = last.t - oldest->t;
    if (dt <= 0)
        return 0;
    return (last.x - oldest->x) * 1000.0 / static_cast<double>(dt);
}

} // namespace tamborel::ui::pager
