// The kept takes played back through the engine and bounced through tamborel-render's code.

#include "controller/AppStateImpl.h"

#include "app/RenderTool.h"
#include "model/Storage.h"

#include <array>
#include <cmath>
#include <future>
#include <sstream>
#include <unistd.h>

namespace tamborel::controller {

namespace fs = std::filesystem;

namespace {

std::array<std::uint8_t, 3> bytesOf(const midi::MidiFileEvent& e) {
    using Kind = midi::MidiFileEvent::Kind;
    const std::uint8_t status = e.kind == Kind::noteOn          ? 0x90
                                : e.kind == Kind::controlChange ? 0xB0
                                : e.kind == Kind::polyPressure  ? 0xA0
                                                                : 0x80;
    return {static_cast<std::uint8_t>(status | e.channel), e.number, e.value};
}

} // namespace

fs::path AppState::takesFolder() const {
    return impl_->takesFolder;
}

bool AppState::playTake(const fs::path& file) {
    Impl& d = *impl_;
    const auto take = takes::read(file);
    if (!take)
        return false;
    const double rate = d.player.sampleRate();
    // With its click, from the start of the bar the take began in, so that beat one of the
    // click falls where it did while it was recorded.
    const double lead = take->click ? -take->barStart : 0.0;
    std::vector<engine::TimedMessage> messages;
    std::uint64_t last = 0;
    for (const midi::MidiFileEvent& e : take->events) {
        const auto frame = static_cast<std::uint64_t>(std::llround((e.seconds + lead) * rate));
        messages.push_back({frame, bytesOf(e)});
        last = std::max(last, frame);
    }
    std::optional<Metronome> click;
    click = published_.settings.metronome;
    click->on = take->click;
    if (take->click) {
        click->bpm = take->bpm;
        click->beatsPerBar = take->beatsPerBar;
        click->noteValue = take->noteValue;
        click->subdivision = take->pulsesPerBeat == 2   ? Subdivision::eighths
                             : take->pulsesPerBeat == 3 ? Subdivision::triplets
                             : take->pulsesPerBeat == 4 ? Subdivision::sixteenths
                                                        : Subdivision::none;
    }
    d.player.playBack(std::move(messages), click);
    d.playingTake = file;
    // The last message, a block's worth of slack, and its ring.
    d.playbackEnds = d.player.clock() + last + static_cast<std::uint64_t>(rate);
    return true;
}

void AppState::stopTake() {
    impl_->endPlayback();
}

std::optional<fs::path> AppState::playingTake() const {
    return impl_->playingTake;
}

void AppState::Impl::endPlayback() {
    if (!playingTake)
        return;
    player.playBack({}, std::nullopt);
    player.setMetronome(self.published_.settings.metronome);
    playingTake.reset();
}

void AppState::Impl::followTakes() {
    if (playingTake && player.clock() >= playbackEnds && !player.playbackPosition())
        endPlayback();
    if (bouncing.valid() &&
        bouncing.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        const std::string error = bouncing.get();
        tell(error.empty() ? "Bounced to " + bouncingTo.filename().string()
                           : "Could not bounce the take: " + error,
             !error.empty());
    }
}

void AppState::bounceTake(const fs::path& file, const fs::path& wav,
                          const std::optional<fs::path>& stems) {
    Impl& d = *impl_;
    if (d.bouncing.valid())
        return; // one at a time
    // The kit as it plays now, edits and all, for the render tool to read.
    const fs::path kitFile =
        fs::temp_directory_path() / ("tamborel-bounce-" + std::to_string(getpid()) + ".json");
    if (!storage::writeKit(published_.kit, kitFile)) {
        d.tell("Could not bounce the take: cannot write the kit for it", true);
        return;
    }
    std::vector<std::string> args;
    const auto rate = static_cast<int>(std::lround(d.player.sampleRate()));
    if (rate >= 8000 && rate <= 384000)
        args.insert(args.end(), {"--rate", std::to_string(rate)});
    if (stems)
        args.insert(args.end(), {"--stems", stems->string()});
    args.insert(args.end(), {kitFile.string(), file.string(), wav.string()});
    d.bouncingTo = wav;
    d.bouncing = std::async(std::launch::async, [args = std::move(args), kitFile] {
        std::ostringstream err;
        const int status = app::runRenderTool(args, err);
        std::error_code ec;
        fs::remove(kitFile, ec);
        if (status == 0)
            return std::string();
        std::string text = err.str();
        while (!text.empty() && text.back() == '\n')
            text.pop_back();
        const auto lastLine = text.rfind('\n');
        return text.empty() ? "tamborel-render ended with " + std::to_string(status)
                            : text.substr(lastLine == std::string::npos ? 0 : lastLine + 1);
    });
}

bool AppState::bouncing() const {
    return impl_->bouncing.valid();
}

} // namespace tamborel::controller
