#include "controller/AppStateImpl.h"

#include "model/FactoryKits.h"
#include "model/Storage.h"

#include <algorithm>
#include <utility>

namespace tamborel::controller {

AppState::Impl::Impl(AppState& owner, platform::MainQueue& queue, AppStateOptions opts)
    : self(owner), mainQueue(queue), options(opts), midi(queue),
      alive(std::make_shared<Impl*>(this)) {
    if (options.openAudioDevices)
        output = std::make_unique<drivers::AudioDeviceOutput>(
            player, drivers::AudioDeviceOutput::systemDrivers(&midi.jackHook()));
}

void AppState::Impl::notify(Field field) const {
    if (observer)
        observer(field);
}

void AppState::Impl::commitKitChange(const KitChange& change, bool dirty, bool undoable) {
    Published& p = self.published_;
    if (change.notes) {
        player.setNotes(p.kit);
        publishSourceNotes();
    }
    p.changedPads = change.pads;
    p.changedSamples = change.samples;
    p.changedMicrophones = change.microphones;
    p.dirty = dirty;
    notify(Field::kit);
    notify(Field::dirty);
    routeMicrophoneOutputs();
    rememberKitSoon();
    if (undoable)
        history.record(p.kit, change, std::exchange(editKind, {}));
    else
        history.follow(p.kit);
    publishHistory();
}

void AppState::Impl::rememberKitSoon() {
    // A fader drag or a wheel sweep changes the kit dozens of times a second: the disk sees
    // the last of them once the hand has stopped.
    rememberPending = true;
    postWeakAfter(rememberDelay, [serial = ++rememberSerial](Impl& d) {
        if (d.rememberSerial == serial)
            d.rememberKitNow();
    });
}

void AppState::Impl::rememberKitNow(bool wait) {
    if (remembering.valid())
        remembering.wait(); // one write at a time, in order
    if (!rememberPending)
        return;
    rememberPending = false;
    // The write syncs the file to disk, which can take long on a busy one: off the main
    // thread, on a copy of the kit.
    auto write = [kit = self.published_.kit] { storage::rememberLastKit(kit); };
    if (wait)
        write();
    else
        remembering = std::async(std::launch::async, std::move(write));
}

void AppState::Impl::loadAllSamples() {
    player.setKit(self.published_.kit, options.loadInBackground
                                           ? engine::KitPlayer::Loading::background
                                           : engine::KitPlayer::Loading::beforeReturning);
    publishSourceNotes();
    loading = true;
    publishLoadingStatus();
}

void AppState::Impl::publishLoadingStatus() {
    if (importing) // an import under way has the status line
        return;
    engine::KitPlayer::LoadProgress progress;
    if (loading)
        progress = player.loadProgress();
    for (const PadEdit& edit : padEdits) {
        const auto pads = edit.loading.progress();
        progress.done += pads.done;
        progress.total += pads.total;
        progress.failed += pads.failed;
    }
    std::string text;
    if (!progress.finished())
        text = "Loading " + std::to_string(progress.done) + " of " +
               std::to_string(progress.total) + " samples";
    else if (loading && progress.failed > 0)
        text = std::to_string(progress.failed) + " of " + std::to_string(progress.total) +
               " samples failed to load";
    if (progress.finished())
        loading = false;
    if (text != self.published_.loadingStatus) {
        self.published_.loadingStatus = std::move(text);
        notify(Field::loadingStatus);
    }
}

void AppState::Impl::updateLatency() {
    const AudioSettings& settings = self.published_.settings;
    self.published_.latencyMs =
        output ? output->estimatedLatencyMs(settings.bufferFrames, settings.outputDeviceUID)
               : settings.bufferFrames * 1000.0 / offlineSampleRate;
    self.published_.bufferFramesInForce = output ? output->bufferFramesInForce().value_or(0) : 0;
    self.published_.bufferSharedWithDesktop = output && output->bufferSharedWithDesktop();
    self.published_.groupOutputsAvailable = output && output->groupOutputsAvailable();
    notify(Field::latencyMs);
}

void AppState::Impl::routeMicrophoneOutputs() {
    auto outputs = self.published_.settings.outputsBy == OutputsBy::mic
                       ? audio::microphoneOutputsOf(self.published_.kit)
                       : std::vector<audio::MicrophoneOutput>{};
    if (outputs == microphoneOutputs)
        return;
    microphoneOutputs = std::move(outputs);
    if (output)
        output->setMicrophoneOutputs(microphoneOutputs);
    notify(Field::latencyMs); // the note under the switch goes with it
}

AppState::AppState(platform::MainQueue& mainQueue, AppStateOptions options)
    : impl_(std::make_unique<Impl>(*this, mainQueue, options)) {
    factoryKits::installIfNeeded();
    published_.settings = storage::loadSettings();
    impl_->player.keepKitsWholeUpTo(published_.settings.wholeKitBytes());
    impl_->player.setMetronome(published_.settings.metronome);
    published_.playAlong.level = published_.settings.songLevel;
    impl_->player.setSongLevel(published_.playAlong.level);
    impl_->player.keepPlayed(true);
    impl_->takesFolder = storage::folder() / "Takes";
    if (auto last = storage::lastKit())
        published_.kit = std::move(*last);
    else if (auto rock = storage::loadKit(storage::kitsFolder() / "Classic Rock.json"))
        published_.kit = std::move(*rock);
    else
        published_.kit = DrumKit("Default Kit");
    published_.lastHit = published_.kit.name + "  \u2022  strike a pad";
    impl_->publishModule();
    impl_->player.setNotes(published_.kit);
    impl_->history.reset(published_.kit);
    impl_->applyExpression();
    published_.velocityCurve = published_.settings.velocity.table();
    impl_->scheduleDrain();
}

AppState::~AppState() {
    // A running import stops at its next step; its thread is waited for before the rest goes.
    if (impl_->importing) {
        impl_->importing->progress->cancelled.store(true);
        impl_->importing->result.wait();
    }
    impl_->finishPadEdits(true);
    impl_->rememberKitNow(true);
    // The take in progress is kept too.
    impl_->keepTakes();
    if (auto take = impl_->takeRecorder.finish())
        impl_->writeTake(std::move(*take), true);
    if (impl_->writingTake.valid())
        impl_->writingTake.wait();
}

void AppState::boot() {
    Impl& d = *impl_;
    d.routeMicrophoneOutputs();
    if (d.output) {
        d.output->setGroupOutputs(published_.settings.separateOutputs);
        d.output->setClickOutputs(published_.settings.metronome.output == ClickOutput::own);
        d.output->applySettings(published_.settings);
        d.output->start();
    }
    d.loadAllSamples();
    d.loadProgramsAhead();
    refreshDevices();
    d.updateLatency();

    d.midi.onNoteOn = [this](int note, int velocity, int, timing::EventTime time) {
        strike(note, velocity, time);
    };
    d.midi.onControlChange = [this](int controller, int value, int, timing::EventTime time) {
        controlChange(controller, value, time);
    };
    d.midi.onPolyPressure = [this](int note, int pressure, int, timing::EventTime time) {
        polyPressure(note, pressure, time);
    };
    d.midi.onNoteOff = [this](int note, int, timing::EventTime time) {
        impl_->player.release(note, time);
    };
    d.midi.onProgramChange = [this](int program, int, timing::EventTime time) {
        programChange(program, time);
    };
    d.midi.onSourcesChanged = [this] { refreshMIDISources(); };
    if (d.options.openMidi)
        d.midi.start();
    refreshMIDISources();
    refreshInstalledKits();
    published_.audioStarting = false;
    d.notify(Field::engineRunning);
    drainRealtimeEvents();
}

void AppState::setObserver(std::function<void(Field)> observer) {
    impl_->observer = std::move(observer);
}

void AppState::setHoveredRole(std::optional<PadRole> role) {
    published_.hoveredRole = role;
    impl_->notify(Field::hoveredRole);
}

void AppState::setCapturingForAssign(bool capturing) {
    // However capture ends, a note waiting for a pad waits no more.
    if (!capturing && published_.noteBeingAssigned) {
        published_.noteBeingAssigned.reset();
        impl_->notify(Field::unmappedNote);
    }
    published_.capturingForAssign = capturing;
    impl_->capturing.store(capturing);
    impl_->notify(Field::capturingForAssign);
}

void AppState::setCapturedRole(std::optional<PadRole> role) {
    published_.capturedRole = role;
    impl_->notify(Field::capturedRole);
}

void AppState::refreshDevices() {
    published_.outputDevices = impl_->output ? impl_->output->devices().outputDevices()
                                             : std::vector<drivers::AudioOutputDevice>{};
    impl_->notify(Field::outputDevices);
}

void AppState::applySettings(const AudioSettings& settings) {
    impl_->commitExpression(settings);
    // For the kits loaded from now on; the kit playing stays as it was loaded.
    impl_->player.keepKitsWholeUpTo(settings.wholeKitBytes());
    impl_->routeMicrophoneOutputs();
    if (impl_->output) {
        impl_->output->setGroupOutputs(settings.separateOutputs);
        impl_->output->applySettings(settings);
    }
    impl_->updateLatency();
    drainRealtimeEvents();
}

void AppState::setSeparateOutputs(bool on) {
    AudioSettings settings = published_.settings;
    settings.separateOutputs = on;
    impl_->commitExpression(settings); // stores and publishes; the output is left running
    if (impl_->output)
        impl_->output->setGroupOutputs(on);
    impl_->updateLatency();
}

void AppState::setOutputsBy(OutputsBy by) {
    AudioSettings settings = published_.settings;
    settings.outputsBy = by;
    impl_->commitExpression(settings); // stores and publishes; the output is left running
    impl_->routeMicrophoneOutputs();
}

void AppState::setProgramKit(int program, const std::optional<std::filesystem::path>& kitFile) {
    if (program < 1 || program > programCount)
        return;
    AudioSettings settings = published_.settings;
    auto& kits = settings.programKits;
    std::erase_if(kits, [program](const ProgramKit& entry) { return entry.program == program; });
    if (kitFile) {
        const auto at = std::find_if(kits.begin(), kits.end(), [program](const ProgramKit& e) {
            return e.program > program;
        });
        kits.insert(at, {program, FileUrl::fromPath(*kitFile)});
    }
    impl_->commitExpression(settings); // stores and publishes; the output is left running
    impl_->loadProgramsAhead();
}

bool AppState::isEngineRunning() const {
    return impl_->player.isRunning();
}

engine::KitPlayer& AppState::player() {
    return impl_->player;
}
midi::MIDIManager& AppState::midi() {
    return impl_->midi;
}

} // namespace tamborel::controller
