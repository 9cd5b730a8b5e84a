#pragma once
// A MIDI message the drummer played, stamped with the frame of the engine's clock
// (AudioEngine::clock) at which it sounded. A plain value.

#include <cstdint>

namespace tamborel::audio {

struct PlayedEvent {
    enum class Kind : std::uint8_t { note, controller, pressure };
    Kind kind = Kind::note;
    std::uint8_t number = 0; // note or controller
    std::uint8_t value = 0;  // velocity, controller value or pressure
    std::uint64_t frame = 0;
};

} // namespace tamborel::audio
