// Playing along with a song: choosing it, decoding it off the audio thread, starting it on
// the click's bar line, and the tempo tapped.

#include "controller/AppStateImpl.h"

#include "audio/SampleLoader.h"
#include "platform/Log.h"

#include <cmath>
#include <system_error>

namespace tamborel::controller {

namespace fs = std::filesystem;

namespace {

// The song whole, two channels at `rate`, or why not. For a worker thread.
std::pair<audio::SharedSampleBuffer, std::string> decodeSong(const fs::path& file, double rate) {
    std::error_code ec;
    if (!fs::exists(file, ec))
        return {nullptr, "the file is not there"};
    if (!fs::is_regular_file(file, ec))
        return {nullptr, "it is not a file"};
    if (fs::file_size(file, ec) == 0)
        return {nullptr, "the file is empty"};
    auto decoded = audio::sampleLoader::decodeFile(file);
    if (!decoded || decoded->frameLength() == 0)
        return {nullptr, "it is not a sound file that can be decoded (WAV, FLAC, MP3 or Ogg), "
                         "or it is too long to hold"};
    const audio::AudioFormat format{rate, 2};
    auto converted = audio::sampleLoader::convert(std::move(decoded), format);
    if (converted->format() != format)
        return {nullptr, "it could not be converted to the output's rate"};
    return {std::move(converted), {}};
}

} // namespace

void AppState::chooseSong(const fs::path& file) {
    impl_->loadSong(file);
}

void AppState::playAlong(bool on) {
    Impl& d = *impl_;
    if (!on) {
        d.player.stopSong();
        return;
    }
    if (d.songFile.empty()) {
        d.tell("Choose a song to play along with first", true);
        return;
    }
    d.player.playSong(published_.settings.metronome.countInBars);
}

void AppState::setSongLevel(float level) {
    Published::PlayAlong& playAlong = published_.playAlong;
    playAlong.level = std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f;
    impl_->player.setSongLevel(playAlong.level);
    impl_->notify(Field::playAlong);
    AudioSettings settings = published_.settings;
    settings.songLevel = playAlong.level;
    impl_->commitExpression(settings); // kept for the next start
}

void AppState::tapTempo(std::chrono::steady_clock::time_point at) {
    if (const auto bpm = impl_->tapTempo.tap(at)) {
        Metronome metronome = published_.settings.metronome;
        metronome.bpm = std::round(*bpm * 10.0) / 10.0;
        setMetronome(metronome);
    }
}

void AppState::Impl::loadSong(fs::path file) {
    if (songLoad) {
        songNext = std::move(file); // after the one decoding now, which is dropped
        return;
    }
    const double rate = player.sampleRate();
    SongLoad load{file, rate, {}};
    load.decoded = std::async(options.loadInBackground ? std::launch::async : std::launch::deferred,
                              [file, rate] { return decodeSong(file, rate); });
    self.published_.playAlong.loading = true;
    notify(Field::playAlong);
    if (options.loadInBackground)
        songLoad = std::move(load);
    else
        takeSong(load);
}

void AppState::Impl::takeSong(SongLoad& load) {
    auto [song, why] = load.decoded.get();
    Published::PlayAlong& playAlong = self.published_.playAlong;
    playAlong.loading = false;
    if (!song) {
        const std::string name = load.file.filename().string();
        playAlong.error = "Cannot play along with " + name + ": " + why;
        platform::logLine("Refused the song " + load.file.string() + ": " + why);
        if (load.file == songFile) { // it was readable before: let it go
            songFile.clear();
            player.setSong(nullptr);
            playAlong.song.clear();
        }
        notify(Field::playAlong);
        tell(playAlong.error, true);
        return;
    }
    player.setSong(std::move(song));
    songFile = load.file;
    songRate = load.rate;
    playAlong.song = songFile.string();
    playAlong.error.clear();
    notify(Field::playAlong);
}

void AppState::Impl::followPlayAlong() {
    if (songLoad &&
        songLoad->decoded.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        SongLoad load = std::move(*songLoad);
        songLoad.reset();
        if (songNext)
            loadSong(*std::exchange(songNext, std::nullopt));
        else
            takeSong(load);
    }
    // The output now runs at another rate: the song is decoded again at it.
    if (!songLoad && !songFile.empty() && player.sampleRate() != songRate)
        loadSong(songFile);
    const audio::PlayAlong::State state = player.songState();
    Published::PlayAlong& playAlong = self.published_.playAlong;
    const bool waiting = state == audio::PlayAlong::State::waiting;
    const bool playing = state == audio::PlayAlong::State::playing;
    if (waiting != playAlong.waiting || playing != playAlong.playing) {
        playAlong.waiting = waiting;
        playAlong.playing = playing;
        notify(Field::playAlong);
    }
    const auto start = player.songStartFrame();
    takeRecorder.setSong(start ? std::optional<fs::path>(songFile) : std::nullopt,
                         start.value_or(0));
}

} // namespace tamborel::controller
