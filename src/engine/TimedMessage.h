#pragma once
// A MIDI message at its frame from the start of a performance played back (Playback.h).

#include <array>
#include <cstdint>

namespace tamborel::engine {

struct TimedMessage {
    std::uint64_t frame = 0;
    std::array<std::uint8_t, 3> bytes{};
};

} // namespace tamborel::engine
