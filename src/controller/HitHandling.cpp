#include "controller/AppStateImpl.h"

#include <algorithm>

namespace tamborel::controller {

namespace {

constexpr PadRole chokedByClosing[] = {PadRole::hhOpen, PadRole::hhHalf};

bool closesTheHat(PadRole role) {
    return role == PadRole::hhClosed || role == PadRole::hhPedal;
}

// The first role, in table order, that answers to the note by default.
std::optional<PadRole> defaultRoleFor(int note) noexcept {
    for (PadRole role : allPadRoles) {
        const auto notes = defaultNotes(role);
        if (std::find(notes.begin(), notes.end(), note) != notes.end())
            return role;
    }
    return std::nullopt;
}

std::string hitText(PadRole role, int note, int velocity) {
    return std::string(displayName(role)) + "  \u2022  note " + std::to_string(note) +
           "  \u2022  vel " + std::to_string(velocity);
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
    if (note < 0 || note >= 128 || roles[static_cast<std::size_t>(note)] == noRole)
        return std::nullopt;
    return allPadRoles[static_cast<std::size_t>(roles[static_cast<std::size_t>(note)])];
}

void AppState::Impl::rebuildNoteMap() {
    noteMap.publish(std::make_unique<const NoteMap>(NoteMap::fromKit(self.published_.kit)));
}

void AppState::handleNoteOn(int note, int velocity) noexcept {
    Impl& d = *impl_;
    if (d.capturing.load()) {
        auto role = d.noteMap.read()->find(note);
        if (!role)
            role = defaultRoleFor(note);
        if (role)
            d.events.push(
                {RealtimeEvent::Kind::capture, *role, static_cast<std::int16_t>(note), 0});
        return;
    }
    if (const int learning = d.learningRole.load(); learning != noRoleValue) {
        d.events.push({RealtimeEvent::Kind::learn, allPadRoles[static_cast<std::size_t>(learning)],
                       static_cast<std::int16_t>(note), 0});
        return;
    }
    auto role = d.noteMap.read()->find(note);
    if (!role)
        return;
    if (*role == PadRole::hhOpen) {
        const int pedal = d.lastCC4.load();
        if (pedal >= hhClosedThreshold)
            role = PadRole::hhClosed;
        else if (pedal >= hhHalfThreshold)
            role = d.engine.hasSample(PadRole::hhHalf) ? PadRole::hhHalf : PadRole::hhClosed;
    }
    if (closesTheHat(*role))
        d.engine.choke(chokedByClosing);
    d.engine.trigger(*role, velocity);
    // If the queue is full the hit still sounded; only its highlight is lost.
    d.events.push({RealtimeEvent::Kind::hit, *role, static_cast<std::int16_t>(note),
                   static_cast<std::int16_t>(velocity)});
}

void AppState::handleControlChange(int controller, int value, int) noexcept {
    if (controller != 4)
        return;
    impl_->lastCC4.store(value);
    if (value >= hhClosedThreshold)
        impl_->engine.choke(chokedByClosing);
}

void AppState::triggerManual(PadRole role) {
    if (closesTheHat(role))
        impl_->engine.choke(chokedByClosing);
    impl_->engine.trigger(role, manualVelocity);
    impl_->flash(role, std::string(displayName(role)) + "  \u2022  manual");
}

void AppState::Impl::flash(PadRole role, std::string text) {
    postWeak([role, text = std::move(text)](Impl& d) {
        Published& p = d.self.published_;
        p.lastHit = text;
        d.notify(Field::lastHit);
        p.heroRole = role;
        d.notify(Field::heroRole);
        p.activeRoles.set(indexOf(role));
        d.notify(Field::activeRoles);
    });
    postWeakAfter(flashDuration, [role](Impl& d) {
        d.self.published_.activeRoles.reset(indexOf(role));
        d.notify(Field::activeRoles);
    });
}

void AppState::Impl::publishRealtimeEvent(const RealtimeEvent& event) {
    switch (event.kind) {
    case RealtimeEvent::Kind::hit:
        flash(event.role, hitText(event.role, event.note, event.velocity));
        break;
    case RealtimeEvent::Kind::learn:
        postWeak([event](Impl& d) { d.self.assignNote(event.note, event.role); });
        break;
    case RealtimeEvent::Kind::capture:
        postWeak([event](Impl& d) {
            d.self.setCapturedRole(event.role);
            d.self.setCapturingForAssign(false);
        });
        break;
    }
}

void AppState::drainRealtimeEvents() {
    Impl& d = *impl_;
    while (auto event = d.events.pop())
        d.publishRealtimeEvent(*event);
    const bool running = d.engine.isRunning();
    if (running != published_.engineRunning) {
        published_.engineRunning = running;
        d.notify(Field::engineRunning);
    }
}

void AppState::Impl::scheduleDrain() {
    postWeakAfter(drainInterval, [](Impl& d) {
        d.self.drainRealtimeEvents();
        d.scheduleDrain();
    });
}

} // namespace tamborel::controller
