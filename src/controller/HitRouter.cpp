#include "controller/HitRouter.h"

#include <algorithm>

namespace tamborel::controller {

namespace {
constexpr PadRole chokedByClosing[] = {PadRole::hhOpen, PadRole::hhHalf};
}

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

void HitRouter::setKit(const DrumKit& kit) {
    noteMap_.publish(std::make_unique<const NoteMap>(NoteMap::fromKit(kit)));
}

std::optional<PadRole> HitRouter::mappedRole(int note) const noexcept {
    return noteMap_.read()->find(note);
}

std::optional<PadRole> HitRouter::defaultRoleFor(int note) noexcept {
    for (PadRole role : allPadRoles) {
        const auto notes = defaultNotes(role);
        if (std::find(notes.begin(), notes.end(), note) != notes.end())
            return role;
    }
    return std::nullopt;
}

std::optional<PadRole> HitRouter::strike(int note, int velocity) noexcept {
    auto role = mappedRole(note);
    if (!role)
        return std::nullopt;
    if (*role == PadRole::hhOpen) {
        const int pedal = lastCC4_.load();
        if (pedal >= hhClosedThreshold)
            role = PadRole::hhClosed;
        else if (pedal >= hhHalfThreshold)
            role = engine_.hasSample(PadRole::hhHalf) ? PadRole::hhHalf : PadRole::hhClosed;
    }
    chokeIfClosing(*role);
    engine_.trigger(*role, velocity);
    return role;
}

void HitRouter::controlChange(int controller, int value) noexcept {
    if (controller != 4)
        return;
    lastCC4_.store(value);
    // Every closed reading cuts again, not only the crossing: a pedal held shut keeps the
    // open hat quiet.
    if (value >= hhClosedThreshold)
        engine_.choke(chokedByClosing);
}

void HitRouter::strikeManual(PadRole role, int velocity) noexcept {
    chokeIfClosing(role);
    engine_.trigger(role, velocity);
}

void HitRouter::chokeIfClosing(PadRole role) noexcept {
    if (role == PadRole::hhClosed || role == PadRole::hhPedal)
        engine_.choke(chokedByClosing);
}

} // namespace tamborel::controller
