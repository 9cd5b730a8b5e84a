// The click's settings and every take kept.

#include "controller/AppStateImpl.h"

#include "platform/Log.h"

namespace tamborel::controller {

void AppState::setMetronome(const Metronome& metronome) {
    AudioSettings settings = published_.settings;
    settings.metronome = metronome;
    settings.metronome.bpm = std::clamp(metronome.bpm, Metronome::lowestBpm, Metronome::highestBpm);
    settings.metronome.beatsPerBar =
        std::clamp(metronome.beatsPerBar, 1, Metronome::mostBeatsPerBar);
    settings.metronome.level = std::clamp(metronome.level, 0.0f, 1.0f);
    settings.metronome.countInBars =
        std::clamp(metronome.countInBars, 0, Metronome::mostCountInBars);
    impl_->player.setMetronome(settings.metronome);
    if (impl_->output)
        impl_->output->setClickOutputs(settings.metronome.output == ClickOutput::own);
    impl_->commitExpression(settings); // stores and publishes; the output is left running
}

void AppState::countIn(int bars) {
    impl_->player.countIn(bars);
}

void AppState::Impl::keepTakes() {
    if (writingTake.valid() &&
        writingTake.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        takeWritten();
    const Metronome& click = self.published_.settings.metronome;
    TakeMeter meter;
    if (click.on) {
        meter.bpm = click.bpm;
        meter.beatsPerBar = click.beatsPerBar;
        meter.noteValue = click.noteValue;
    }
    meter.click = click.on && !playingTake; // a take played back sets its own click
    meter.pulsesPerBeat = click.subdivision == Subdivision::eighths      ? 2
                          : click.subdivision == Subdivision::triplets   ? 3
                          : click.subdivision == Subdivision::sixteenths ? 4
                                                                         : 1;
    meter.barFrame = player.clickBarFrame();
    meter.kit = self.published_.kit.name;
    const double rate = player.sampleRate();
    const auto now = std::chrono::system_clock::now();
    const std::uint64_t clock = player.clock();
    while (auto event = player.nextPlayed())
        takeRecorder.add(*event, rate, clock, now, meter);
    for (Take& take : takeRecorder.ended(clock))
        writeTake(std::move(take));
}

void AppState::Impl::writeTake(Take take, bool wait) {
    if (writingTake.valid())
        takeWritten(); // one at a time, in order
    auto write = [folder = takesFolder, take = std::move(take)] {
        std::string error;
        takes::write(folder, take, error);
        return error;
    };
    writingTake = std::async(wait ? std::launch::deferred : std::launch::async, std::move(write));
    if (wait)
        takeWritten();
}

void AppState::Impl::takeWritten() {
    const std::string error = writingTake.get();
    if (error.empty()) {
        takeFailureTold = false;
        return;
    }
    // A full disk or a folder that cannot be written fails every take alike: said once.
    if (std::exchange(takeFailureTold, true))
        return;
    platform::logLine("Could not keep the take in " + takesFolder.string() + ": " + error);
    tell("Takes are not being kept: " + error, true);
}

} // namespace tamborel::controller
