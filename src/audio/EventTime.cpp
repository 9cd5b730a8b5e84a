#include "audio/EventTime.h"

namespace tamborel::audio {

namespace {
thread_local EventTime currentTime;
} // namespace

EventTime currentEventTime() noexcept {
    return currentTime;
}

ScopedEventTime::ScopedEventTime(EventTime time) noexcept : previous_(currentTime) {
    currentTime = time;
}

ScopedEventTime::~ScopedEventTime() {
    currentTime = previous_;
}

} // namespace tamborel::audio
