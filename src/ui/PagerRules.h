#pragma once
// How a horizontal drag moves the page strip and where it lands when released. Pure
// functions and a small velocity estimate, so the feel of the pager can be tested without a
// window.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tamborel::ui::pager {

// Distance in points the pointer travels before a press becomes a drag of the strip.
inline constexpr double startDistance = 14.0;
// Pulling beyond the first or last page moves the strip by this share of the pointer's travel.
inline constexpr double edgeDamping = 0.32;
// Share of the page width the predicted end of a drag must pass to change page.
inline constexpr double pageThreshold = 0.16;
// How far a released drag would coast, as for a scroll view decelerating by this factor per
// millisecond: the coasting distance is v * rate / (1 - rate) per millisecond of speed.
inline constexpr double decelerationRate = 0.998;

bool isPastStart(double tx, double ty);

// The strip's offset while dragging with translation (tx, ty) from page `index` of `count`;
// none when the drag is mostly vertical, which leaves the offset as it is.
std::optional<double> dragOffset(double tx, double ty, int index, int count);

// Where the pointer would come to rest along x if it coasted from its release speed
// (points per second).
double predictedEndTranslation(double tx, double velocityX);

struct Landing {
    int page = 0;
    bool animated = true; // false: a mostly vertical drag just drops its offset
};

// The page a drag ends on. `predictedX` is predictedEndTranslation of the release.
Landing landing(double tx, double ty, double predictedX, double pageWidth, int index, int count);

// Release speed along x from the last few pointer positions; positions older than the
// window before the last one do not count, so a pointer that rested before release has
// no speed.
class VelocityTracker {
public:
    static constexpr std::int64_t windowMs = 100;

    void reset() { size_ = 0; }
    void add(std::int64_t timestampMs, double x);
    // Points per second; 0 with fewer than two recent samples.
    double velocity() const;

private:
    struct Sample {
        std::int64_t t = 0;
        double x = 0;
    };
    static constexpr std::size_t capacity = 16;
    std::array<Sample, capacity> samples_{};
    std::size_t size_ = 0;
    std::size_t next_ = 0;
};

} // namespace tamborel::ui::pager
