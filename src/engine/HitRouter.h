#pragma once
// Turns MIDI strikes, pedal and key pressure messages into engine hits: the note map, the
// hi-hat pedal refinement, the chokes of a closing hat and the damping of a grabbed cymbal.
// strike, release, controlChange, polyPressure, mappedRole and setExpression are real-time safe and
// may run on any thread: the expression is one atomic word, so a host may change it in the audio
// block that carries the change (the plugin's control ports) and every strike sees the old
// or the new expression whole. setKit and setSourceNotes run on one (the main) thread. Each
// message's time (when it should sound, see EventTime.h) goes on to the engine with the hits it
// makes.

#include "audio/AudioEngine.h"
#include "model/DrumKit.h"
#include "model/Expression.h"
#include "platform/RcuCell.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace tamborel::engine {

// Which role each MIDI note plays; immutable once published.
struct NoteMap {
    static constexpr std::int8_t noRole = -1;
    std::array<std::int8_t, 128> roles;

    NoteMap() { roles.fill(noRole); }
    // Later pads win a note that several pads list.
    static NoteMap fromKit(const DrumKit& kit);
    std::optional<PadRole> find(int note) const noexcept;
    friend bool operator==(const NoteMap&, const NoteMap&) = default;
};

// A MIDI source (as timing::EventTime::source names it) whose notes are read through a map of
// their own instead of the kit's: a drum module that sends other notes than those the kit
// holds for the same pads.
struct SourceNoteMap {
    std::uint32_t source = 0;
    NoteMap notes;
    friend bool operator==(const SourceNoteMap&, const SourceNoteMap&) = default;
};

// Thresholds on the pedal's standard position (0 open, 127 closed).
inline constexpr int hhClosedThreshold = 100;
inline constexpr int hhHalfThreshold = 40;
inline constexpr int grabPressure = 64;

// A strike that sounded: the role it played and the velocity it played at.
struct Strike {
    PadRole role = PadRole::kick;
    int velocity = 0;
};

class HitRouter {
public:
    explicit HitRouter(audio::AudioEngine& engine);

    // Publishes the kit's note map.
    void setKit(const DrumKit& kit);
    // The sources whose notes their own map reads; every other source's are read by the kit's.
    void setSourceNotes(std::vector<SourceNoteMap> maps);
    // The velocity curve, the pedal's controller and its calibration, for the messages after.
    void setExpression(const Expression& expression) noexcept;

    // Plays a strike at its shaped velocity; returns what sounded, or none for an unmapped
    // note.
    std::optional<Strike> strike(int note, int velocity, timing::EventTime time = {}) noexcept;
    // The velocity a strike of `velocity` plays at.
    int shapedVelocity(int velocity) const noexcept;
    // Follows the hi-hat pedal (controller 4 unless set otherwise); other controllers are
    // ignored.
    void controlChange(int controller, int value, timing::EventTime time = {}) noexcept;
    bool isPedalController(int controller) const noexcept;
    // A grabbed cymbal: pressure of grabPressure or more damps what the note's pad rings.
    void polyPressure(int note, int pressure, timing::EventTime time = {}) noexcept;
    // A note-off: the pad the note plays is released, if its kit asks for that
    // (DrumPad::release).
    void release(int note, timing::EventTime time = {}) noexcept;
    // A strike of a pad from the screen: no pedal refinement nor velocity curve, but a
    // closing hat still chokes.
    void strikePad(PadRole role, int velocity) noexcept;

    // The role `note` from `source` is mapped to: by the source's own map where it has one.
    std::optional<PadRole> mappedRole(int note, std::uint32_t source = 0) const noexcept;
    // The role a strike of `note` plays now: its mapped role, with an open hat's note
    // following the pedal to the half-open or closed hat.
    std::optional<PadRole> playedRole(int note, std::uint32_t source = 0) const noexcept;

private:
    void chokeIfClosing(PadRole role, timing::EventTime time) noexcept;

    audio::AudioEngine& engine_;
    platform::RcuCell<NoteMap> noteMap_{std::make_unique<const NoteMap>()};
    platform::RcuCell<std::vector<SourceNoteMap>> sourceNotes_{
        std::make_unique<const std::vector<SourceNoteMap>>()};
    // The expression packed into one word (see HitRouter.cpp): a curve is cheap to compute
    // at strike time, and a word is published and read whole without a lock.
    std::atomic<std::uint64_t> expression_;
    std::atomic<int> pedalPosition_{0}; // standard position, 0 open .. 127 closed
};

} // namespace tamborel::engine
