#include "controller/AppStateImpl.h"

#include <algorithm>

namespace tamborel::controller {

namespace {

std::string hitText(PadRole role, int note, int velocity) {
    return std::string(displayName(role)) + "  \u2022  note " + std::to_string(note) +
           "  \u2022  vel " + std::to_string(velocity);
}

} // namespace

void AppState::strike(int note, int velocity, timing::EventTime time) noexcept {
    Impl& d = *impl_;
    if (d.capturing.load()) {
        // The pad the strike would play: a hat struck half-open names the half-open hat,
        // which has no note of its own on most modules.
        auto role = d.player.playedRole(note, time.source);
        if (!role)
            role = defaultRoleForNote(note);
        if (role)
            d.events.push(
                {RealtimeEvent::Kind::capture, *role, static_cast<std::int16_t>(note), 0});
        return;
    }
    // Learn takes the first note only: the exchange disarms it before any later note of the
    // same burst is looked at, so a flam or a groove cannot remap the pads it also strikes.
    if (d.learningRole.load(std::memory_order_relaxed) != noRoleValue) {
        if (const int learning = d.learningRole.exchange(noRoleValue); learning != noRoleValue) {
            d.events.push({RealtimeEvent::Kind::learn,
                           allPadRoles[static_cast<std::size_t>(learning)],
                           static_cast<std::int16_t>(note), 0});
            return;
        }
    }
    // The sound starts here, before anything is published; if the hand-off queue is full
    // only the highlight is lost.
    if (const auto played = d.player.strike(note, velocity, time))
        d.events.push({RealtimeEvent::Kind::hit, played->role, static_cast<std::int16_t>(note),
                       static_cast<std::int16_t>(played->velocity),
                       static_cast<std::int16_t>(velocity), time.source});
    else
        d.events.push({RealtimeEvent::Kind::unmapped, PadRole::kick,
                       static_cast<std::int16_t>(note), static_cast<std::int16_t>(velocity),
                       static_cast<std::int16_t>(velocity), time.source});
}

void AppState::controlChange(int controller, int value, timing::EventTime time) noexcept {
    Impl& d = *impl_;
    // Every pedal reading goes to the main thread: calibration takes them, and the Settings
    // page shows the latest.
    if (d.player.isPedalController(controller))
        d.events.push({RealtimeEvent::Kind::pedal, PadRole::hhPedal, 0,
                       static_cast<std::int16_t>(value), 0, time.source});
    d.player.controlChange(controller, value, time);
}

void AppState::polyPressure(int note, int pressure, timing::EventTime time) noexcept {
    impl_->player.polyPressure(note, pressure, time);
}

void AppState::programChange(int program, timing::EventTime time) noexcept {
    impl_->events.push({RealtimeEvent::Kind::program, PadRole::kick,
                        static_cast<std::int16_t>(program + 1), 0, 0, time.source});
}

void AppState::strikePad(PadRole role) {
    impl_->player.strikePad(role, manualVelocity);
    impl_->flash(role, std::string(displayName(role)) + "  \u2022  manual", true);
}

void AppState::Impl::flash(PadRole role, std::string text, bool clicked) {
    postWeak([role, text = std::move(text), clicked](Impl& d) {
        Published& p = d.self.published_;
        if (clicked)
            d.statusHeld = false;
        d.showStrike(text);
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

void AppState::Impl::tell(std::string text, bool error) {
    Published& p = self.published_;
    p.lastHit = std::move(text);
    p.lastHitIsError = error;
    notify(Field::lastHit);
    statusHeld = true;
    postWeakAfter(statusHold, [serial = ++statusSerial](Impl& d) {
        if (d.statusSerial == serial)
            d.statusHeld = false;
    });
}

void AppState::Impl::showStrike(std::string text) {
    if (statusHeld)
        return;
    Published& p = self.published_;
    p.lastHit = std::move(text);
    p.lastHitIsError = false;
    notify(Field::lastHit);
}

void AppState::Impl::publishRealtimeEvent(const RealtimeEvent& event) {
    switch (event.kind) {
    case RealtimeEvent::Kind::hit:
        flash(event.role, hitText(event.role, event.note, event.velocity));
        postWeak([event](Impl& d) {
            d.self.published_.lastIncomingVelocity = event.incomingVelocity;
            d.self.published_.lastResultingVelocity = event.velocity;
            d.notify(Field::lastHit);
        });
        if (self.published_.unmappedNote) {
            self.published_.unmappedNote.reset();
            notify(Field::unmappedNote);
        }
        noteRecentMidi(event.source,
                       "Note " + std::to_string(event.note) + "  vel " +
                           std::to_string(event.incomingVelocity) + "  " +
                           std::string(displayName(event.role)),
                       false);
        break;
    case RealtimeEvent::Kind::unmapped:
        strikeGoesNowhere(event.note, event.velocity, event.source);
        break;
    case RealtimeEvent::Kind::program:
        noteRecentMidi(event.source, "Program " + std::to_string(event.note), false);
        postWeak([program = event.note](Impl& d) { d.playProgram(program); });
        break;
    case RealtimeEvent::Kind::pedal:
        pedalReading(event.velocity);
        noteRecentMidi(event.source, "Pedal " + std::to_string(event.velocity), true);
        break;
    case RealtimeEvent::Kind::learn:
        postWeak([event](Impl& d) { d.self.assignNote(event.note, event.role); });
        break;
    case RealtimeEvent::Kind::capture:
        postWeak([event](Impl& d) {
            if (auto note = d.self.published_.noteBeingAssigned) {
                d.self.assignNote(*note, event.role);
                d.self.published_.unmappedNote.reset();
                d.notify(Field::unmappedNote);
                // A strike's line, which says what that strike did: the next one replaces it.
                d.statusHeld = false;
                d.showStrike("Note " + std::to_string(*note) + " now plays " +
                             std::string(displayName(event.role)));
            } else {
                d.self.setCapturedRole(event.role);
            }
            d.self.setCapturingForAssign(false);
        });
        break;
    }
}

void AppState::drainRealtimeEvents() {
    Impl& d = *impl_;
    while (auto event = d.events.pop())
        d.publishRealtimeEvent(*event);
    d.player.maintain();
    d.followPlayAlong();
    d.keepTakes();
    d.followTakes();
    d.finishPadEdits(false);
    d.publishLoadingStatus();
    d.publishImportStatus();
    const bool running = d.player.isRunning();
    if (running != published_.engineRunning) {
        published_.engineRunning = running;
        d.notify(Field::engineRunning);
    }
    // A JACK server may change its period on its own (PipeWire applies a request a cycle
    // late, and other programs can change it); the latency follows.
    if (d.output && d.output->bufferFramesInForce().value_or(0) != published_.bufferFramesInForce)
        d.updateLatency();
}

void AppState::Impl::scheduleDrain() {
    postWeakAfter(drainInterval, [](Impl& d) {
        d.self.drainRealtimeEvents();
        d.scheduleDrain();
    });
}

} // namespace tamborel::controller
