#include "engine/HitRouter.h"

#include <algorithm>

namespace tamborel::engine {

namespace {
constexpr PadRole chokedByClosing[] = {PadRole::hhOpen, PadRole::hhHalf};
constexpr PadRole rideCymbal[] = {PadRole::ride, PadRole::rideBell};

// Data bytes arrive as they stand (0..255); the tables cover what MIDI can send.
std::size_t tableIndex(int value) noexcept {
    return static_cast<std::size_t>(std::clamp(value, 0, 127));
}
} // namespace

NoteMap NoteMap::fromKit(const DrumKit& kit) {
    NoteMap map;
    for (const DrumPad& pad : kit.pads) {
        for (std::int64_t note : pad.notes) {
            // Only 0..127 can ever arrive as a MIDI note; other numbers stay in the kit.
            if (note >= 0 && note < 128)
                map.roles[static_cast<std::size_t>(note)] =
                    static_cast<std::int8_t>(indexOf(pad.role));
        }
    }
    return map;
}

std::optional<PadRole> NoteMap::find(int note) const noexcept {
    if (note < 0 || note >= 128)
        return std::nullopt;
    const std::int8_t role = roles[static_cast<std::size_t>(note)];
    if (role == noRole)
        return std::nullopt;
    return allPadRoles[static_cast<std::size_t>(role)];
}

HitShaping HitShaping::fromExpression(const Expression& expression) {
    HitShaping shaping;
    shaping.velocity = expression.velocity.table();
    for (std::size_t v = 0; v < shaping.pedal.size(); ++v) {
        const int value = static_cast<int>(v);
        shaping.pedal[v] = static_cast<std::uint8_t>(
            expression.pedalRange ? expression.pedalRange->standardize(value) : value);
    }
    shaping.pedalController = expression.pedalController;
    return shaping;
}

void HitRouter::setExpression(const Expression& expression) {
    shaping_.publish(std::make_unique<const HitShaping>(HitShaping::fromExpression(expression)));
}

int HitRouter::shapedVelocity(int velocity) const noexcept {
    return shaping_.read()->velocity[tableIndex(velocity)];
}

bool HitRouter::isPedalController(int controller) const noexcept {
    return controller == shaping_.read()->pedalController;
}

void HitRouter::setKit(const DrumKit& kit) {
    noteMap_.publish(std::make_unique<const NoteMap>(NoteMap::fromKit(kit)));
}

std::optional<PadRole> HitRouter::mappedRole(int note) const noexcept {
    return noteMap_.read()->find(note);
}

std::optional<PadRole> HitRouter::playedRole(int note) const noexcept {
    auto role = mappedRole(note);
    if (role == PadRole::hhOpen) {
        const int pedal = pedalPosition_.load();
        if (pedal >= hhClosedThreshold)
            role = PadRole::hhClosed;
        else if (pedal >= hhHalfThreshold)
            role = engine_.hasSample(PadRole::hhHalf) ? PadRole::hhHalf : PadRole::hhClosed;
    }
    return role;
}

std::optional<Strike> HitRouter::strike(int note, int velocity, audio::EventTime time) noexcept {
    const auto role = playedRole(note);
    if (!role)
        return std::nullopt;
    chokeIfClosing(*role, time);
    const int shaped = shapedVelocity(velocity);
    engine_.trigger(*role, shaped, time);
    return Strike{*role, shaped};
}

void HitRouter::controlChange(int controller, int value, audio::EventTime time) noexcept {
    const auto shaping = shaping_.read();
    if (controller != shaping->pedalController)
        return;
    const int position = shaping->pedal[tableIndex(value)];
    pedalPosition_.store(position);
    // Every closed reading cuts again, not only the crossing: a pedal held shut keeps the
    // open hat quiet.
    if (position >= hhClosedThreshold)
        engine_.choke(chokedByClosing, time);
}

void HitRouter::polyPressure(int note, int pressure, audio::EventTime time) noexcept {
    if (pressure < grabPressure)
        return;
    const auto role = mappedRole(note);
    if (!role)
        return;
    // The bell rings on the ride's own cymbal: the hand that grabs one stops both.
    if (*role == PadRole::ride || *role == PadRole::rideBell)
        engine_.damp(rideCymbal, time);
    else
        engine_.damp({&*role, 1}, time);
}

void HitRouter::strikePad(PadRole role, int velocity) noexcept {
    chokeIfClosing(role, {});
    engine_.trigger(role, velocity);
}

void HitRouter::chokeIfClosing(PadRole role, audio::EventTime time) noexcept {
    if (role == PadRole::hhClosed || role == PadRole::hhPedal)
        engine_.choke(chokedByClosing, time);
}

} // namespace tamborel::engine
