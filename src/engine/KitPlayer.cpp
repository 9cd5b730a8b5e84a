#include "engine/KitPlayer.h"

#include "audio/AudioEngine.h"
#include "audio/FilesAhead.h"
#include "audio/KitLoader.h"
#include "engine/HitRouter.h"
#include "engine/MidiDecoder.h"
#include "engine/Playback.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace tamborel::engine {

namespace {

timing::EventTime atFrame(std::uint32_t frame) {
    return {timing::EventTime::Kind::frameInCycle, frame};
}

// $XDG_CACHE_HOME/tamborel/converted, else ~/.cache/tamborel/converted; none without either.
std::filesystem::path defaultCacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && std::filesystem::path(cache).is_absolute())
        return std::filesystem::path(cache) / "tamborel" / "converted";
    const char* home = std::getenv("HOME");
    if (home != nullptr && std::filesystem::path(home).is_absolute())
        return std::filesystem::path(home) / ".cache" / "tamborel" / "converted";
    return {};
}

std::vector<audio::PadLoad> padsToLoad(const DrumKit& kit) {
    std::vector<audio::PadLoad> pads;
    for (const DrumPad& pad : kit.pads)
        if (auto samples = pad.playedSamples(); !samples.empty())
            pads.push_back({pad.role, std::move(samples), pad.takeOrder});
    return pads;
}

} // namespace

struct KitPlayer::Impl {
    // The router holds the engine by reference, and the loaders hand it pads: both go first.
    audio::AudioEngine engine;
    HitRouter router{engine};
    Playback playback{engine, router};
    std::atomic<bool> offline{false};
    // Before the loaders, which read it.
    audio::FilesAhead ahead;
    std::vector<DrumKit> aheadKits; // under `loading`

    // Loaders: the kit's, and those of pads loaded since. Non-real-time threads; a driver's
    // rate change may come from its own thread.
    mutable std::mutex loading;
    std::shared_ptr<audio::KitLoader> kitLoader;
    std::vector<std::shared_ptr<audio::KitLoader>> padLoaders;
    bool kitStreams = false; // whether the kit set last streams; its pads loaded later too

    // What each pad plays, as the loaders told: for a rate change and for auditions.
    std::mutex playedLock;
    std::array<std::optional<audio::PadLoad>, padRoleCount> played;

    ~Impl() { stopLoading(); }

    // Under `loading`.
    void stopLoading() {
        if (kitLoader)
            kitLoader->stop();
        for (const auto& loader : padLoaders)
            loader->stop();
        padLoaders.clear();
    }
    void leaveAlone(PadRole role) {
        if (kitLoader)
            kitLoader->leaveAlone(role);
        for (const auto& loader : padLoaders)
            loader->leaveAlone(role);
    }
    std::shared_ptr<audio::KitLoader> startLoader(std::vector<audio::PadLoad> pads, bool stream) {
        audio::KitLoader::Options options;
        options.stream = stream;
        options.ahead = &ahead;
        options.onPlayed = [this](const audio::PadLoaded& pad) {
            const std::lock_guard lock(playedLock);
            played[indexOf(pad.role)] = audio::PadLoad{pad.role, pad.played, pad.order, nullptr};
        };
        return std::make_shared<audio::KitLoader>(engine, std::move(pads), std::move(options));
    }
    // Under `loading`: the files of aheadKits, each held as its kit's loader would hold it.
    void holdAhead() {
        const audio::StreamSettings settings = engine.streamSettings();
        const double rate = engine.internalFormat().sampleRate;
        std::vector<audio::FilesAhead::Wanted> files;
        for (const DrumKit& kit : aheadKits) {
            const auto pads = padsToLoad(kit);
            const bool streams = audio::KitLoader::bytesOnDisk(pads) > settings.wholeKitBytes;
            const auto preload =
                streams ? static_cast<std::uint32_t>(std::lround(rate * settings.preloadSeconds))
                        : 0u;
            for (const audio::PadLoad& pad : pads)
                for (const PadSample& sample : pad.samples) {
                    const bool allChannels = !sample.microphones.empty();
                    files.push_back({{sample.url.text, allChannels, rate, preload},
                                     sample.url,
                                     streams ? settings.cacheFolder : std::filesystem::path{}});
                }
        }
        ahead.hold(std::move(files));
    }
    void keep(audio::PlayedEvent::Kind kind, int number, int value,
              timing::EventTime time) noexcept {
        engine.played(kind, number, value, time);
    }
    void forget(PadRole role) {
        const std::lock_guard lock(playedLock);
        played[indexOf(role)].reset();
    }
};

bool KitPlayer::PadLoading::finished() const noexcept {
    // A load stopped by a kit set since (or a rate change) is over too.
    return !loader_ || loader_->progress().finished() || loader_->idle();
}

KitPlayer::LoadProgress KitPlayer::PadLoading::progress() const noexcept {
    if (!loader_)
        return {};
    const auto progress = loader_->progress();
    return {progress.done, progress.total, progress.failed};
}

void KitPlayer::PadLoading::wait() {
    if (loader_)
        loader_->wait();
}

std::vector<audio::PadLoaded> KitPlayer::PadLoading::results() const {
    return loader_ ? loader_->results() : std::vector<audio::PadLoaded>{};
}

KitPlayer::KitPlayer() : impl_(std::make_unique<Impl>()) {
    audio::StreamSettings settings;
    settings.cacheFolder = defaultCacheFolder();
    impl_->engine.setStreamSettings(settings);
}

KitPlayer::~KitPlayer() = default;

// --- the driver's side ---

void KitPlayer::prepareToRender(double sampleRate, std::uint32_t maxFrames) {
    Impl& d = *impl_;
    const double before = d.engine.internalFormat().sampleRate;
    d.engine.prepareToRender(sampleRate, maxFrames);
    if (d.engine.internalFormat().sampleRate == before)
        return; // the block size alone, which may come from the real-time thread
    // The engine converted what it holds in memory; the pads now load again at this rate,
    // from their files or the converted cache, for one conversion rather than two and for
    // the streamed samples' rest.
    const std::lock_guard lock(d.loading);
    std::vector<audio::PadLoad> pads;
    {
        const std::lock_guard played(d.playedLock);
        for (const auto& pad : d.played)
            if (pad)
                pads.push_back(*pad);
    }
    if (d.kitLoader && !d.kitLoader->progress().finished())
        for (audio::PadLoad& pad : d.kitLoader->unfinishedPads())
            if (std::none_of(pads.begin(), pads.end(), [&](auto& p) { return p.role == pad.role; }))
                pads.push_back(std::move(pad));
    d.stopLoading();
    d.holdAhead();
    if (pads.empty())
        return;
    d.kitLoader = d.startLoader(std::move(pads), d.kitStreams);
    if (d.offline.load())
        d.kitLoader->wait();
}

void KitPlayer::render(const audio::AudioBlock& block) noexcept {
    impl_->playback.feed(block.frames);
    impl_->engine.render(block);
}

void KitPlayer::renderingStarted() noexcept {
    impl_->engine.renderingStarted();
}

void KitPlayer::renderingStopped() noexcept {
    impl_->engine.renderingStopped();
}

bool KitPlayer::isRunning() const noexcept {
    return impl_->engine.isRunning();
}

// --- how kits are held ---

void KitPlayer::setStreamSettings(const audio::StreamSettings& settings) {
    impl_->engine.setStreamSettings(settings);
}

void KitPlayer::keepKitsWholeUpTo(std::uint64_t bytes) {
    audio::StreamSettings settings = impl_->engine.streamSettings();
    settings.wholeKitBytes = bytes;
    impl_->engine.setStreamSettings(settings);
}

void KitPlayer::setRenderingOffline(bool offline) {
    impl_->offline.store(offline);
    impl_->engine.setWaitForStreams(offline);
}

// --- kits and pads ---

void KitPlayer::setKit(const DrumKit& kit, Loading loading) {
    Impl& d = *impl_;
    std::unique_lock lock(d.loading);
    d.stopLoading(); // a kit still loading must not fill the pads again
    std::vector<audio::PadLoad> pads = padsToLoad(kit);
    for (PadRole role : allPadRoles)
        if (std::none_of(pads.begin(), pads.end(), [role](auto& p) { return p.role == role; })) {
            d.engine.clearSample(role);
            d.forget(role);
        }
    d.router.setKit(kit);
    d.engine.applyMix(kit);
    d.kitStreams = audio::KitLoader::bytesOnDisk(pads) > d.engine.streamSettings().wholeKitBytes;
    d.kitLoader = d.startLoader(std::move(pads), d.kitStreams);
    const auto loader = d.kitLoader;
    lock.unlock();
    if (loading == Loading::beforeReturning)
        loader->wait();
}

void KitPlayer::loadAhead(const std::vector<DrumKit>& kits) {
    const std::lock_guard lock(impl_->loading);
    impl_->aheadKits = kits;
    impl_->holdAhead();
}

bool KitPlayer::aheadReady() const {
    return impl_->ahead.ready();
}

void KitPlayer::waitUntilAhead() {
    const std::lock_guard lock(impl_->loading);
    impl_->ahead.wait();
}

KitPlayer::LoadProgress KitPlayer::loadProgress() const noexcept {
    const std::lock_guard lock(impl_->loading);
    const auto& loader = impl_->kitLoader;
    if (!loader)
        return {};
    const auto progress = loader->progress();
    return {progress.done, progress.total, progress.failed};
}

std::vector<std::vector<bool>> KitPlayer::waitUntilLoaded() {
    std::shared_ptr<audio::KitLoader> loader;
    {
        const std::lock_guard lock(impl_->loading);
        loader = impl_->kitLoader;
    }
    if (!loader)
        return {};
    loader->wait();
    return loader->loaded();
}

KitPlayer::PadLoading KitPlayer::loadPads(std::vector<audio::PadLoad> pads) {
    Impl& d = *impl_;
    const std::lock_guard lock(d.loading);
    for (const audio::PadLoad& pad : pads)
        d.leaveAlone(pad.role);
    // A pad of a streamed kit streams like its neighbours; pads too large to hold whole
    // stream in any kit.
    const bool stream = d.kitStreams || audio::KitLoader::bytesOnDisk(pads) >
                                            d.engine.streamSettings().wholeKitBytes;
    PadLoading loading;
    loading.loader_ = d.startLoader(std::move(pads), stream);
    d.padLoaders.push_back(loading.loader_);
    return loading;
}

void KitPlayer::clearPad(PadRole role) {
    Impl& d = *impl_;
    const std::lock_guard lock(d.loading);
    d.leaveAlone(role);
    d.engine.clearSample(role);
    d.forget(role);
}

void KitPlayer::setNotes(const DrumKit& kit) {
    impl_->router.setKit(kit);
}

void KitPlayer::setSourceNotes(std::vector<SourceNoteMap> maps) {
    impl_->router.setSourceNotes(std::move(maps));
}

void KitPlayer::applyMix(const DrumKit& kit) {
    impl_->engine.applyMix(kit);
}

void KitPlayer::setMasterVolume(float volume) {
    impl_->engine.setMasterVolume(volume);
}

void KitPlayer::setExpression(const Expression& expression) {
    impl_->router.setExpression(expression);
}

// --- playing ---

std::optional<KitPlayer::Played> KitPlayer::strike(int note, int velocity,
                                                   std::uint32_t frame) noexcept {
    return strike(note, velocity, atFrame(frame));
}

std::optional<KitPlayer::Played> KitPlayer::strike(int note, int velocity,
                                                   timing::EventTime time) noexcept {
    if (velocity > 0)
        impl_->keep(audio::PlayedEvent::Kind::note, note, velocity, time);
    if (const auto struck = impl_->router.strike(note, velocity, time))
        return Played{struck->role, struck->velocity};
    return std::nullopt;
}

void KitPlayer::controlChange(int controller, int value, std::uint32_t frame) noexcept {
    impl_->router.controlChange(controller, value, atFrame(frame));
}

void KitPlayer::controlChange(int controller, int value, timing::EventTime time) noexcept {
    if (impl_->router.isPedalController(controller))
        impl_->keep(audio::PlayedEvent::Kind::controller, controller, value, time);
    impl_->router.controlChange(controller, value, time);
}

void KitPlayer::polyPressure(int note, int pressure, std::uint32_t frame) noexcept {
    impl_->router.polyPressure(note, pressure, atFrame(frame));
}

void KitPlayer::polyPressure(int note, int pressure, timing::EventTime time) noexcept {
    impl_->keep(audio::PlayedEvent::Kind::pressure, note, pressure, time);
    impl_->router.polyPressure(note, pressure, time);
}

void KitPlayer::release(int note, timing::EventTime time) noexcept {
    impl_->router.release(note, time);
}

void KitPlayer::strikePad(PadRole role, int velocity) noexcept {
    impl_->router.strikePad(role, velocity);
}

bool KitPlayer::audition(PadRole role, const FileUrl& url, int velocity) {
    Impl& d = *impl_;
    std::optional<std::size_t> member;
    {
        const std::lock_guard lock(d.playedLock);
        if (const auto& pad = d.played[indexOf(role)]) {
            const auto found = std::find_if(pad->samples.begin(), pad->samples.end(),
                                            [&](const PadSample& s) { return s.url == url; });
            if (found != pad->samples.end())
                member = static_cast<std::size_t>(found - pad->samples.begin());
        }
    }
    return member && d.engine.strikeMember(role, *member, velocity);
}

// --- queries ---

std::optional<PadRole> KitPlayer::playedRole(int note, std::uint32_t source) const noexcept {
    return impl_->router.playedRole(note, source);
}

bool KitPlayer::isPedalController(int controller) const noexcept {
    return impl_->router.isPedalController(controller);
}

bool KitPlayer::hasSample(PadRole role) const noexcept {
    return impl_->engine.hasSample(role);
}

std::uint64_t KitPlayer::lateFrames() const noexcept {
    return impl_->engine.lateFrames();
}

namespace {
// Hands decoded messages to the player's MIDI calls.
class PlayerSink final : public MidiEventSink {
public:
    explicit PlayerSink(KitPlayer& player) : player_(player) {}
    void noteOn(int note, int velocity, int, timing::EventTime time) noexcept override {
        player_.strike(note, velocity, time);
    }
    void noteOff(int note, int, timing::EventTime time) noexcept override {
        player_.release(note, time);
    }
    void controlChange(int controller, int value, int, timing::EventTime time) noexcept override {
        player_.controlChange(controller, value, time);
    }
    void polyPressure(int note, int pressure, int, timing::EventTime time) noexcept override {
        player_.polyPressure(note, pressure, time);
    }

private:
    KitPlayer& player_;
};
} // namespace

void KitPlayer::midi(std::span<const std::uint8_t> bytes, std::uint32_t frame) noexcept {
    PlayerSink sink(*this);
    decodePacket(bytes, sink, atFrame(frame));
}

// --- practice ---

void KitPlayer::setMetronome(const Metronome& metronome) noexcept {
    impl_->engine.setMetronome(metronome);
}

void KitPlayer::countIn(int bars) noexcept {
    impl_->engine.countIn(bars);
}

bool KitPlayer::countingIn() const noexcept {
    return impl_->engine.countingIn();
}

void KitPlayer::setSong(audio::SharedSampleBuffer song) {
    impl_->engine.setSong(std::move(song));
}

void KitPlayer::playSong(int countInBars) noexcept {
    impl_->engine.playSong(countInBars);
}

void KitPlayer::stopSong() noexcept {
    impl_->engine.stopSong();
}

void KitPlayer::setSongLevel(float level) noexcept {
    impl_->engine.setSongLevel(level);
}

audio::PlayAlong::State KitPlayer::songState() const noexcept {
    return impl_->engine.songState();
}

std::optional<std::uint64_t> KitPlayer::songStartFrame() const noexcept {
    return impl_->engine.songStartFrame();
}

void KitPlayer::keepPlayed(bool on) noexcept {
    impl_->engine.keepPlayed(on);
}

std::optional<audio::PlayedEvent> KitPlayer::nextPlayed() noexcept {
    return impl_->engine.nextPlayed();
}

std::uint64_t KitPlayer::clock() const noexcept {
    return impl_->engine.clock();
}

double KitPlayer::sampleRate() const {
    return impl_->engine.internalFormat().sampleRate;
}

std::optional<std::uint64_t> KitPlayer::clickBarFrame() const noexcept {
    return impl_->engine.clickBarFrame();
}

void KitPlayer::playBack(std::vector<TimedMessage> messages, std::optional<Metronome> click) {
    impl_->playback.play(std::move(messages), click);
}

std::optional<std::uint64_t> KitPlayer::playbackPosition() const noexcept {
    return impl_->playback.position();
}

void KitPlayer::maintain() {
    Impl& d = *impl_;
    d.engine.maintain();
    // A rate change may hold the lock a while; the next call will do.
    std::unique_lock lock(d.loading, std::try_to_lock);
    if (lock.owns_lock())
        std::erase_if(d.padLoaders, [](const auto& loader) { return loader->idle(); });
}

} // namespace tamborel::engine
