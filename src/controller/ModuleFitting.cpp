#include "controller/AppStateImpl.h"

#include "model/Storage.h"

#include <algorithm>

namespace tamborel::controller {

namespace {
constexpr std::size_t recentMidiLength = 8;
constexpr std::size_t recentMidiSources = 4;
} // namespace

void AppState::Impl::applyExpression() {
    AudioSettings settings = self.published_.settings;
    if (const ModuleMap* module = activeModule(); module != nullptr && !settings.pedalRange) {
        settings.pedalRange = module->pedalRange;
        if (settings.pedalController == defaultPedalController)
            settings.pedalController = module->pedalController;
    }
    player.setExpression(settings.expression());
}

void AppState::Impl::publishModule() {
    Published& p = self.published_;
    p.drumModuleText = moduleMaps::recognitionText(recognisedModule);
    p.drumModule = activeModule();
    notify(Field::drumModule);
}

bool AppState::Impl::fitKitToModule(DrumKit& kit) {
    const ModuleMap* module = activeModule();
    const ModuleMap* followed = moduleMaps::followedBy(kit);
    if (module == nullptr || followed == nullptr || followed->sameNotes(*module))
        return false;
    // Another module's map may be the drummer's own choice from the picker, kept in a saved
    // kit: only a new kit's notes, or notes fitted here, are the program's to change.
    const bool newKitNotes = followed->sameNotes(moduleMaps::all().front());
    if (!newKitNotes && (fittedTo == nullptr || !followed->sameNotes(*fittedTo)))
        return false;
    moduleMaps::applyNotes(kit, *module);
    fittedTo = module;
    return true;
}

void AppState::refreshMIDISources() {
    Impl& d = *impl_;
    published_.midiSources = d.midi.availableSourceNames();
    // A port's id may now stand for another device.
    d.sourceNames.clear();
    d.notify(Field::midiSources);
    const ModuleMap* recognised = moduleMaps::recognise(published_.midiSources);
    published_.td17Detected = recognised == &moduleMaps::td17();
    d.notify(Field::td17Detected);
    if (recognised == d.recognisedModule)
        return;
    // A module plugged in takes over from one picked by hand for another.
    d.recognisedModule = recognised;
    d.chosenModule = nullptr;
    d.publishModule();
    d.applyExpression();
    // Fitting the kit to the module it is played from is no edit of the drummer's: the kit
    // stays as saved or unsaved as it was.
    if (d.fitKitToModule(published_.kit))
        d.commitKitChange(KitChange::all(), published_.dirty, false);
}

void AppState::chooseDrumModule(std::size_t index) {
    const auto modules = moduleMaps::all();
    if (index >= modules.size())
        return;
    Impl& d = *impl_;
    d.chosenModule = &modules[index];
    d.fittedTo = nullptr;
    d.publishModule();
    d.applyExpression();
    moduleMaps::applyNotes(published_.kit, modules[index]);
    d.commitKitChange(KitChange::all(), true);
}

void AppState::armAssignUnmappedNote() {
    if (!published_.unmappedNote)
        return;
    armCaptureForAssign();
    published_.noteBeingAssigned = published_.unmappedNote;
    impl_->notify(Field::unmappedNote);
}

const std::string& AppState::Impl::sourceName(std::uint32_t source) {
    auto found = sourceNames.find(source);
    if (found == sourceNames.end())
        found = sourceNames.emplace(source, source != 0 ? midi.sourceName(source) : "").first;
    return found->second;
}

std::string AppState::Impl::sourceLabel(std::uint32_t source) {
    const std::string& name = sourceName(source);
    if (name.empty()) {
        const ModuleMap* module = activeModule();
        return module != nullptr ? std::string(module->name) : "MIDI input";
    }
    const ModuleMap* module = moduleMaps::recognise({name});
    if (module != nullptr && module != &moduleMaps::generalMidi())
        return std::string(module->name);
    return name;
}

void AppState::Impl::noteRecentMidi(std::uint32_t source, std::string line, bool pedal) {
    auto& logs = self.published_.recentMidi;
    const std::string label = sourceLabel(source);
    const std::string& name = sourceName(source);
    std::string heading = name.empty() || name == label ? label : label + "  \u2022  " + name;
    // A port that another device has taken since starts a log of its own.
    auto log = std::find_if(logs.begin(), logs.end(), [&](const Published::MidiSourceLog& l) {
        return l.source == source && l.name == heading;
    });
    // Sources keep their places, so that two devices played together do not swap columns
    // on every strike; a new one takes the place of the one heard least lately.
    if (log == logs.end()) {
        if (logs.size() >= recentMidiSources)
            logs.erase(std::min_element(logs.begin(), logs.end(), [](const auto& a, const auto& b) {
                return a.lastHeard < b.lastHeard;
            }));
        logs.push_back({source, std::move(heading), {}, false});
        log = logs.end() - 1;
    }
    log->lastHeard = ++heardCount;
    auto& lines = log->lines;
    // A moving pedal sends a stream of values: the list keeps the latest of a run.
    if (pedal && log->lastWasPedal && !lines.empty())
        lines.front() = std::move(line);
    else
        lines.insert(lines.begin(), std::move(line));
    if (lines.size() > recentMidiLength)
        lines.resize(recentMidiLength);
    log->lastWasPedal = pedal;
    notify(Field::recentMidi);
}

void AppState::Impl::strikeGoesNowhere(int note, int velocity, std::uint32_t source) {
    Published& p = self.published_;
    p.unmappedNote = note;
    notify(Field::unmappedNote);
    showStrike("Note " + std::to_string(note) + " from " + sourceLabel(source) + " plays no pad");
    noteRecentMidi(
        source, "Note " + std::to_string(note) + "  vel " + std::to_string(velocity) + "  no pad",
        false);
}

} // namespace tamborel::controller
