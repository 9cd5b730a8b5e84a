#include "controller/ModuleFitting.h"

#include "controller/AppStateImpl.h"
#include "model/Storage.h"

#include <algorithm>

namespace tamborel::controller {

namespace {
constexpr std::size_t recentMidiLength = 8;
constexpr std::size_t recentMidiSources = 4;

// What the drummer knows a named source by: the module it is recognised as, else its name.
std::string labelOf(const std::string& name) {
    const ModuleMap* module = moduleFitting::moduleOf(name);
    return module != nullptr ? std::string(module->name) : name;
}

// A source's heading on the Settings page: "Alesis Nitro  \u2022  Alesis Nitro:out".
std::string headingOf(const std::string& name) {
    const std::string label = labelOf(name);
    return label == name ? label : label + "  \u2022  " + name;
}
} // namespace

namespace moduleFitting {

std::vector<engine::SourceNoteMap>
sourceNoteMaps(const DrumKit& kit, const ModuleMap& followed,
               const std::vector<midi::ConnectedSource>& sources) {
    std::vector<engine::SourceNoteMap> maps;
    for (const midi::ConnectedSource& source : sources) {
        const ModuleMap* module = moduleOf(source.name);
        if (module == nullptr || module->sameNotes(followed))
            continue;
        DrumKit read = kit;
        moduleMaps::applyNotes(read, *module);
        maps.push_back({source.id, engine::NoteMap::fromKit(read)});
    }
    return maps;
}

const ModuleMap* moduleOf(const std::string& sourceName) {
    const ModuleMap* module = moduleMaps::recognise({sourceName});
    return module == &moduleMaps::generalMidi() ? nullptr : module;
}

std::string modulesText(const std::vector<std::string>& sourceNames) {
    std::vector<const ModuleMap*> modules;
    for (const std::string& name : sourceNames)
        if (const ModuleMap* module = moduleOf(name);
            module != nullptr && std::find(modules.begin(), modules.end(), module) == modules.end())
            modules.push_back(module);
    if (modules.empty())
        return moduleMaps::recognitionText(moduleMaps::recognise(sourceNames));
    std::string text;
    for (const ModuleMap* module : modules)
        text += (text.empty() ? "" : ", ") + std::string(module->name);
    return text;
}

} // namespace moduleFitting

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
    p.drumModuleText = moduleFitting::modulesText(p.midiSources);
    p.drumModule = activeModule();
    notify(Field::drumModule);
}

const ModuleMap* AppState::Impl::followedModule(const DrumKit& kit) const {
    const ModuleMap* followed = moduleMaps::followedBy(kit);
    if (followed == nullptr)
        return nullptr;
    // Another module's map may be the drummer's own choice from the picker, kept in a saved
    // kit: only a new kit's notes, or notes fitted here, are the program's to change.
    const bool newKitNotes = followed->sameNotes(moduleMaps::all().front());
    if (!newKitNotes && (fittedTo == nullptr || !followed->sameNotes(*fittedTo)))
        return nullptr;
    return followed;
}

bool AppState::Impl::fitKitToModule(DrumKit& kit) {
    const ModuleMap* module = activeModule();
    const ModuleMap* followed = followedModule(kit);
    if (module == nullptr || followed == nullptr || followed->sameNotes(*module))
        return false;
    moduleMaps::applyNotes(kit, *module);
    fittedTo = module;
    return true;
}

void AppState::Impl::publishSourceNotes() {
    // A map picked by hand, or notes changed by hand, are the drummer's for every source.
    const ModuleMap* followed =
        chosenModule == nullptr ? followedModule(self.published_.kit) : nullptr;
    auto maps = followed != nullptr
                    ? moduleFitting::sourceNoteMaps(self.published_.kit, *followed, sources)
                    : std::vector<engine::SourceNoteMap>{};
    if (maps == sourceNotes)
        return;
    sourceNotes = maps;
    player.setSourceNotes(std::move(maps));
}

void AppState::refreshMIDISources() {
    Impl& d = *impl_;
    published_.midiSources = d.midi.availableSourceNames();
    d.sources = d.midi.connectedSources();
    // A port's id may now stand for another device.
    d.sourceNames.clear();
    d.notify(Field::midiSources);
    d.markGoneSources();
    const ModuleMap* recognised = moduleMaps::recognise(published_.midiSources);
    published_.td17Detected = recognised == &moduleMaps::td17();
    d.notify(Field::td17Detected);
    if (recognised != d.recognisedModule) {
        // A module plugged in takes over from one picked by hand for another.
        d.recognisedModule = recognised;
        d.chosenModule = nullptr;
        d.publishModule();
        d.applyExpression();
        // Fitting the kit to the module it is played from is no edit of the drummer's: the
        // kit stays as saved or unsaved as it was.
        if (d.fitKitToModule(published_.kit))
            d.commitKitChange(KitChange::all(), published_.dirty, false);
    } else if (moduleFitting::modulesText(published_.midiSources) != published_.drumModuleText) {
        d.publishModule(); // a second module came or went
    }
    d.publishSourceNotes();
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
    return labelOf(name);
}

void AppState::Impl::markGoneSources() {
    bool changed = false;
    for (auto& log : self.published_.recentMidi) {
        if (log.source == 0)
            continue; // a source never known by name cannot be told gone
        // A device plugged in again may come back on another port of ours: its log follows it.
        const auto same = [&](const midi::ConnectedSource& s) {
            return headingOf(s.name) == log.name;
        };
        auto found = std::find_if(sources.begin(), sources.end(),
                                  [&](const auto& s) { return s.id == log.source && same(s); });
        if (found == sources.end())
            found = std::find_if(sources.begin(), sources.end(), same);
        const bool gone = found == sources.end();
        changed = changed || gone != log.gone || (!gone && found->id != log.source);
        log.gone = gone;
        if (!gone)
            log.source = found->id;
    }
    if (changed)
        notify(Field::recentMidi);
}

void AppState::Impl::noteRecentMidi(std::uint32_t source, std::string line, bool pedal) {
    auto& logs = self.published_.recentMidi;
    const std::string& name = sourceName(source);
    std::string heading = name.empty() ? sourceLabel(source) : headingOf(name);
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
    log->gone = false;
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
