// Thread-local event timing for test binaries built before the audio library exists.
#include "audio/EventTime.h"

namespace tamborel::audio {

namespace {
thread_local EventTime current;
}

EventTime currentEventTime() noexcept {
    return current;
}

ScopedEventTime::ScopedEventTime(EventTime time) noexcept : previous_(current) {
    current = time;
}

ScopedEventTime::~ScopedEventTime() {
    current = previous_;
}

} // namespace tamborel::audio
