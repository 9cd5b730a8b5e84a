#include "midi/MIDIManager.h"

#include <iterator>

namespace tamborel::midi {

MIDIManager::MIDIManager(platform::MainQueue& mainQueue)
    : mainQueue_(mainQueue), self_(std::make_shared<MIDIManager*>(this)),
      alsa_(*this, [this] { setupChanged(); }), jack_(*this, [this] { setupChanged(); }) {}

MIDIManager::~MIDIManager() = default;

bool MIDIManager::start() {
    if (started_.exchange(true))
        return alsa_.isOpen();
    jack_.enable();
    const bool alsaOpen = alsa_.open(jack_.bridgedDevices());
    return alsaOpen;
}

std::vector<std::string> MIDIManager::availableSourceNames() const {
    std::vector<std::string> names = alsa_.sourceNames(jack_.bridgedDevices());
    std::vector<std::string> jackNames = jack_.sourceNames();
    names.insert(names.end(), std::make_move_iterator(jackNames.begin()),
                 std::make_move_iterator(jackNames.end()));
    return names;
}

std::string MIDIManager::sourceName(std::uint32_t source) const {
    if (JackMidiSource::slotOf(source))
        return jack_.sourceName(source);
    return alsa_.sourceName(source);
}

std::vector<ConnectedSource> MIDIManager::connectedSources() const {
    std::vector<ConnectedSource> sources = alsa_.connectedSources(jack_.bridgedDevices());
    for (std::size_t slot = 0; slot < JackMidiSource::maxPorts; ++slot) {
        const std::uint32_t id = JackMidiSource::sourceId(slot);
        if (std::string name = jack_.sourceName(id); !name.empty())
            sources.push_back({id, std::move(name)});
    }
    return sources;
}

std::uint32_t MIDIManager::client() const {
    return alsa_.isOpen() ? static_cast<std::uint32_t>(alsa_.clientId()) : 0;
}

void MIDIManager::noteOn(int note, int velocity, int channel, timing::EventTime time) noexcept {
    if (onNoteOn)
        onNoteOn(note, velocity, channel, time);
}

// Most drums play to their end; a kit whose pads are released (a SoundFont's) fades them.
void MIDIManager::noteOff(int note, int channel, timing::EventTime time) noexcept {
    if (onNoteOff)
        onNoteOff(note, channel, time);
}

void MIDIManager::controlChange(int controller, int value, int channel,
                                timing::EventTime time) noexcept {
    if (onControlChange)
        onControlChange(controller, value, channel, time);
}

void MIDIManager::polyPressure(int note, int pressure, int channel,
                               timing::EventTime time) noexcept {
    if (onPolyPressure)
        onPolyPressure(note, pressure, channel, time);
}

void MIDIManager::programChange(int program, int channel, timing::EventTime time) noexcept {
    if (onProgramChange)
        onProgramChange(program, channel, time);
}

void MIDIManager::setupChanged() {
    if (!started_.load())
        return;
    std::weak_ptr<MIDIManager*> weak = self_;
    mainQueue_.post([weak] {
        if (auto self = weak.lock())
            (*self)->rescan();
    });
}

void MIDIManager::rescan() {
    alsa_.connectAll(jack_.bridgedDevices());
    jack_.connectAll();
    if (onSourcesChanged)
        onSourcesChanged();
}

} // namespace tamborel::midi
