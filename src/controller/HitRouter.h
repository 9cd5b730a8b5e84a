#pragma once
// Turns MIDI strikes and pedal messages into engine hits: the note map, the hi-hat pedal
// refinement and the chokes of a closing hat. strike, controlChange and mappedRole are
// real-time safe and may run on any thread; setKit runs on one (the main) thread.

#include "audio/AudioEngine.h"
#include "model/DrumKit.h"
#include "platform/RcuCell.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace tamborel::controller {

// Which role each MIDI note plays; immutable once published.
struct NoteMap {
    static constexpr std::int8_t noRole = -1;
    std::array<std::int8_t, 128> roles;

    NoteMap() { roles.fill(noRole); }
    // Later pads win a note that several pads list.
    static NoteMap fromKit(const DrumKit& kit);
    std::optional<PadRole> find(int note) const noexcept;
};

inline constexpr int hhClosedThreshold = 100;
inline constexpr int hhHalfThreshold = 40;

class HitRouter {
public:
    explicit HitRouter(audio::AudioEngine& engine) : engine_(engine) {}

    // Publishes the kit's note map.
    void setKit(const DrumKit& kit);

    // Plays a strike; returns the role that sounded, or none for an unmapped note.
    std::optional<PadRole> strike(int note, int velocity) noexcept;
    // Follows the hi-hat pedal (controller 4); other controllers are ignored.
    void controlChange(int controller, int value) noexcept;
    // A strike from the screen: no pedal refinement, but a closing hat still chokes.
    void strikeManual(PadRole role, int velocity) noexcept;

    std::optional<PadRole> mappedRole(int note) const noexcept;
    // The first role, in table order, whose default notes hold the note.
    static std::optional<PadRole> defaultRoleFor(int note) noexcept;

private:
    void chokeIfClosing(PadRole role) noexcept;

    audio::AudioEngine& engine_;
    platform::RcuCell<NoteMap> noteMap_{std::make_unique<const NoteMap>()};
    std::atomic<int> lastCC4_{0};
};

} // namespace tamborel::controller
