#include "engine/HitRouter.h"

#include <algorithm>

namespace tamborel::engine {

namespace {
constexpr PadRole chokedByClosing[] = {PadRole::hhOpen, PadRole::hhHalf};
constexpr PadRole rideCymbal[] = {PadRole::ride, PadRole::rideBell};

// An expression in one 64-bit word, a byte a field: curve, lowest, fixed, pedal controller
// (noController for one no MIDI message can name), whether the pedal is calibrated, its closed
// and open values.
constexpr std::uint64_t noController = 0xFF;
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

std::uint64_t field(int value, int high) noexcept {
    return static_cast<std::uint64_t>(std::clamp(value, 0, high));
}

std::uint64_t pack(const Expression& e) noexcept {
    const std::uint64_t controller = e.pedalController >= 0 && e.pedalController <= 127
                                         ? field(e.pedalController, 127)
                                         : noController;
    const PedalRange range = e.pedalRange.value_or(PedalRange{});
    return field(static_cast<int>(e.velocity.curve), 3) | field(e.velocity.lowest, 127) << 8 |
           field(e.velocity.fixed, 127) << 16 | controller << 24 |
           std::uint64_t{e.pedalRange.has_value()} << 32 | field(range.closed, 127) << 40 |
           field(range.open, 127) << 48;
}

int byteAt(std::uint64_t word, int shift) noexcept {
    return static_cast<int>((word >> shift) & 0xFF);
}

VelocityShaping velocityOf(std::uint64_t word) noexcept {
    return {static_cast<VelocityCurve>(byteAt(word, 0)), byteAt(word, 8), byteAt(word, 16)};
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

HitRouter::HitRouter(audio::AudioEngine& engine) : engine_(engine), expression_(pack({})) {}

void HitRouter::setExpression(const Expression& expression) noexcept {
    expression_.store(pack(expression));
}

int HitRouter::shapedVelocity(int velocity) const noexcept {
    return velocityOf(expression_.load()).apply(velocity);
}

bool HitRouter::isPedalController(int controller) const noexcept {
    return controller == byteAt(expression_.load(), 24);
}

void HitRouter::setKit(const DrumKit& kit) {
    noteMap_.publish(std::make_unique<const NoteMap>(NoteMap::fromKit(kit)));
}

void HitRouter::setSourceNotes(std::vector<SourceNoteMap> maps) {
    sourceNotes_.publish(std::make_unique<const std::vector<SourceNoteMap>>(std::move(maps)));
}

std::optional<PadRole> HitRouter::mappedRole(int note, std::uint32_t source) const noexcept {
    // A handful of sources at most: a scan beats any lookup structure here.
    if (source != 0) {
        const auto maps = sourceNotes_.read();
        for (const SourceNoteMap& map : *maps)
            if (map.source == source)
                return map.notes.find(note);
    }
    return noteMap_.read()->find(note);
}

std::optional<PadRole> HitRouter::playedRole(int note, std::uint32_t source) const noexcept {
    auto role = mappedRole(note, source);
    if (role == PadRole::hhOpen) {
        const int pedal = pedalPosition_.load();
        if (pedal >= hhClosedThreshold)
            role = PadRole::hhClosed;
        else if (pedal >= hhHalfThreshold)
            role = engine_.hasSample(PadRole::hhHalf) ? PadRole::hhHalf : PadRole::hhClosed;
    }
    return role;
}

std::optional<Strike> HitRouter::strike(int note, int velocity, timing::EventTime time) noexcept {
    const auto role = playedRole(note, time.source);
    if (!role)
        return std::nullopt;
    chokeIfClosing(*role, time);
    const int shaped = shapedVelocity(velocity);
    engine_.strike(*role, shaped, time);
    return Strike{*role, shaped};
}

void HitRouter::controlChange(int controller, int value, timing::EventTime time) noexcept {
    const std::uint64_t expression = expression_.load();
    if (controller != byteAt(expression, 24))
        return;
    const int position =
        byteAt(expression, 32) != 0
            ? PedalRange{byteAt(expression, 40), byteAt(expression, 48)}.standardize(value)
            : value;
    pedalPosition_.store(position);
    // Every closed reading cuts again, not only the crossing: a pedal held shut keeps the
    // open hat quiet.
    if (position >= hhClosedThreshold)
        engine_.choke(chokedByClosing, time);
}

void HitRouter::release(int note, timing::EventTime time) noexcept {
    if (const auto role = playedRole(note, time.source))
        engine_.release(*role, time);
}

void HitRouter::polyPressure(int note, int pressure, timing::EventTime time) noexcept {
    if (pressure < grabPressure)
        return;
    const auto role = mappedRole(note, time.source);
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
    engine_.strike(role, velocity);
}

void HitRouter::chokeIfClosing(PadRole role, timing::EventTime time) noexcept {
    if (role == PadRole::hhClosed || role == PadRole::hhPedal)
        engine_.choke(chokedByClosing, time);
}

} // namespace tamborel::engine
