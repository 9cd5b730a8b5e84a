#include "controller/AppStateImpl.h"

#include "model/Storage.h"

namespace tamborel::controller {

namespace {
constexpr std::size_t recentMidiLength = 8;
} // namespace

void AppState::Impl::applyExpression() {
    AudioSettings settings = self.published_.settings;
    if (const ModuleMap* module = activeModule(); module != nullptr && !settings.pedalRange) {
        settings.pedalRange = module->pedalRange;
        if (settings.pedalController == defaultPedalController)
            settings.pedalController = module->pedalController;
    }
    router.setExpression(settings.expression());
}

void AppState::Impl::publishModule() {
    Published& p = self.published_;
    p.drumModuleText = moduleMaps::recognitionText(recognisedModule);
    p.drumModule = activeModule();
    p.recentMidiSource = p.drumModule != nullptr ? std::string(p.drumModule->name) : "MIDI input";
    notify(Field::drumModule);
    notify(Field::recentMidi);
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
    d.notify(Field::midiSources);
    published_.td17Detected = d.midi.detectedTD17();
    d.notify(Field::td17Detected);
    const ModuleMap* recognised = moduleMaps::recognise(published_.midiSources);
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
        d.commitKitChange(published_.dirty);
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
    d.commitKitChange(true);
}

void AppState::armAssignUnmappedNote() {
    if (!published_.unmappedNote)
        return;
    armCaptureForAssign();
    published_.noteBeingAssigned = published_.unmappedNote;
    impl_->notify(Field::unmappedNote);
}

void AppState::Impl::noteRecentMidi(std::string line, bool pedal) {
    auto& lines = self.published_.recentMidi;
    // A moving pedal sends a stream of values: the list keeps the latest of a run.
    if (pedal && lastRecentWasPedal && !lines.empty())
        lines.front() = std::move(line);
    else
        lines.insert(lines.begin(), std::move(line));
    if (lines.size() > recentMidiLength)
        lines.resize(recentMidiLength);
    lastRecentWasPedal = pedal;
    notify(Field::recentMidi);
}

void AppState::Impl::strikeGoesNowhere(int note, int velocity) {
    Published& p = self.published_;
    p.unmappedNote = note;
    notify(Field::unmappedNote);
    showStrike("Note " + std::to_string(note) + " from " + p.recentMidiSource + " plays no pad");
    noteRecentMidi(
        "Note " + std::to_string(note) + "  vel " + std::to_string(velocity) + "  no pad", false);
}

} // namespace tamborel::controller
