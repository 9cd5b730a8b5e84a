#include "controller/KitHistory.h"

#include <algorithm>

namespace tamborel::controller {

namespace {

void putPad(DrumKit& kit, PadRole role, const std::optional<DrumPad>& pad) {
    DrumPad* found = kit.findPad(role);
    if (found != nullptr && pad)
        *found = *pad;
    else if (pad)
        kit.pads.push_back(*pad);
    else if (found != nullptr)
        kit.pads.erase(kit.pads.begin() + (found - kit.pads.data()));
}

} // namespace

KitChange KitHistory::Step::change() const {
    KitChange change;
    for (const PadStep& pad : pads) {
        change.pads.set(indexOf(pad.role));
        const auto notesOf = [](const std::optional<DrumPad>& p) {
            return p ? p->notes : std::vector<std::int64_t>{};
        };
        const auto samplesOf = [](const std::optional<DrumPad>& p) {
            return p ? std::make_pair(p->playedSamples(), p->takeOrder)
                     : std::make_pair(std::vector<PadSample>{}, TakeOrder::cycle);
        };
        change.notes = change.notes || notesOf(pad.before) != notesOf(pad.after);
        if (samplesOf(pad.before) != samplesOf(pad.after))
            change.samples.set(indexOf(pad.role));
    }
    change.name = nameBefore.has_value();
    change.master = masterBefore.has_value();
    change.microphones = microphonesBefore.has_value();
    return change;
}

std::string KitHistory::Step::name() const {
    // What a pad's step changed, by the first field that differs; "" when the pad came or went.
    const auto changedIn = [](const PadStep& step) -> std::string {
        if (!step.before || !step.after)
            return {};
        const DrumPad& a = *step.before;
        const DrumPad& b = *step.after;
        if (a.playedSamples() != b.playedSamples() || a.takeOrder != b.takeOrder)
            return "Samples";
        if (a.notes != b.notes)
            return "Notes";
        if (a.volume != b.volume)
            return "Volume";
        if (a.pan != b.pan)
            return "Pan";
        if (a.soloed != b.soloed)
            return "Solo";
        if (a.muted != b.muted)
            return "Mute";
        if (a.chokes != b.chokes)
            return "Chokes";
        if (a.ownMicrophones != b.ownMicrophones)
            return "Microphones";
        return {};
    };
    if (nameBefore)
        return "Rename";
    if (microphonesBefore)
        return "Microphone Mix";
    if (pads.empty())
        return masterBefore ? "Master Volume" : "";
    std::string what = changedIn(pads.front());
    for (const PadStep& pad : pads)
        if (changedIn(pad) != what)
            what.clear();
    if (pads.size() == 1 && what != "Solo")
        return std::string(displayName(pads.front().role)) + (what.empty() ? "" : " " + what);
    if (what == "Solo" || what == "Mute" || what == "Notes" || what == "Samples")
        return what; // a solo unsoloes the others; Learn takes a note from another pad
    return "Edit of " + std::to_string(pads.size()) + " Pads";
}

void KitHistory::reset(const DrumKit& kit) {
    undo_.clear();
    redo_.clear();
    last_ = kit;
    lastKind_.clear();
}

void KitHistory::follow(const DrumKit& kit) {
    last_ = kit;
    lastKind_.clear();
}

void KitHistory::record(const DrumKit& kit, const KitChange& change, std::string kind) {
    Step step;
    for (PadRole role : allPadRoles) {
        if (!change.pads.test(indexOf(role)))
            continue;
        auto before = last_.pad(role);
        auto after = kit.pad(role);
        if (before != after) {
            step.pads.push_back({role, before, after});
            putPad(last_, role, after);
        }
    }
    if (change.name && kit.name != last_.name) {
        step.nameBefore = last_.name;
        step.nameAfter = last_.name = kit.name;
    }
    if (change.master && kit.masterVolume != last_.masterVolume) {
        step.masterBefore = last_.masterVolume;
        step.masterAfter = last_.masterVolume = kit.masterVolume;
    }
    if (change.microphones) {
        auto before = MicrophoneMix::of(last_);
        auto after = MicrophoneMix::of(kit);
        if (before != after) {
            after.putInto(last_);
            step.microphonesBefore = std::move(before);
            step.microphonesAfter = std::move(after);
        }
    }
    if (step.pads.empty() && !step.nameBefore && !step.masterBefore && !step.microphonesBefore)
        return;
    redo_.clear();
    const bool joins = !kind.empty() && kind == lastKind_ && !undo_.empty();
    lastKind_ = kind;
    if (!joins) {
        step.kind = std::move(kind);
        undo_.push_back(std::move(step));
        if (undo_.size() > depth)
            undo_.erase(undo_.begin());
        return;
    }
    // One drag: the step keeps where it started and takes where the drag is now.
    Step& joined = undo_.back();
    for (PadStep& pad : step.pads) {
        auto same = std::find_if(joined.pads.begin(), joined.pads.end(),
                                 [&](const PadStep& p) { return p.role == pad.role; });
        if (same != joined.pads.end())
            same->after = std::move(pad.after);
        else
            joined.pads.push_back(std::move(pad));
    }
    if (step.nameBefore) {
        joined.nameBefore = joined.nameBefore.value_or(*step.nameBefore);
        joined.nameAfter = step.nameAfter;
    }
    if (step.masterBefore) {
        joined.masterBefore = joined.masterBefore.value_or(*step.masterBefore);
        joined.masterAfter = step.masterAfter;
    }
    if (step.microphonesBefore) {
        if (!joined.microphonesBefore)
            joined.microphonesBefore = std::move(step.microphonesBefore);
        joined.microphonesAfter = std::move(step.microphonesAfter);
    }
}

void KitHistory::apply(const Step& step, bool forward, DrumKit& kit) {
    for (const PadStep& pad : step.pads) {
        const auto& value = forward ? pad.after : pad.before;
        putPad(kit, pad.role, value);
        putPad(last_, pad.role, value);
    }
    if (const auto& name = forward ? step.nameAfter : step.nameBefore)
        kit.name = last_.name = *name;
    if (const auto& master = forward ? step.masterAfter : step.masterBefore)
        kit.masterVolume = last_.masterVolume = *master;
    if (const auto& microphones = forward ? step.microphonesAfter : step.microphonesBefore) {
        microphones->putInto(kit);
        microphones->putInto(last_);
    }
    lastKind_.clear(); // the next edit starts a step of its own
}

std::optional<KitChange> KitHistory::undo(DrumKit& kit) {
    if (undo_.empty())
        return std::nullopt;
    Step step = std::move(undo_.back());
    undo_.pop_back();
    apply(step, false, kit);
    const KitChange change = step.change();
    redo_.push_back(std::move(step));
    return change;
}

std::optional<KitChange> KitHistory::redo(DrumKit& kit) {
    if (redo_.empty())
        return std::nullopt;
    Step step = std::move(redo_.back());
    redo_.pop_back();
    apply(step, true, kit);
    const KitChange change = step.change();
    undo_.push_back(std::move(step));
    return change;
}

} // namespace tamborel::controller
