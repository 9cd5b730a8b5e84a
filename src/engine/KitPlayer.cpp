#include "engine/KitPlayer.h"

#include "engine/MidiDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace tamborel::engine {

namespace {

audio::EventTime atFrame(std::uint32_t frame) {
    return {audio::EventTime::Kind::frameInCycle, frame};
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
    // The router holds the engine by reference, and the loader hands it pads: both go first.
    audio::AudioEngine engine;
    HitRouter router{engine};
    std::unique_ptr<audio::KitLoader> loader;
};

KitPlayer::KitPlayer() : impl_(std::make_unique<Impl>()) {
    audio::StreamSettings settings;
    settings.cacheFolder = defaultCacheFolder();
    impl_->engine.setStreamSettings(settings);
}

KitPlayer::~KitPlayer() {
    impl_->loader.reset(); // stops the workers before the engine goes
}

void KitPlayer::prepare(double sampleRate, std::uint32_t maxFrames) {
    impl_->engine.prepareToRender(sampleRate, maxFrames);
}

void KitPlayer::setStreamSettings(const audio::StreamSettings& settings) {
    impl_->engine.setStreamSettings(settings);
}

void KitPlayer::keepKitsWholeUpTo(std::uint64_t bytes) {
    audio::StreamSettings settings = impl_->engine.streamSettings();
    settings.wholeKitBytes = bytes;
    impl_->engine.setStreamSettings(settings);
}

void KitPlayer::setRenderingOffline(bool offline) {
    impl_->engine.setWaitForStreams(offline);
}

void KitPlayer::startRendering() noexcept {
    impl_->engine.renderingStarted();
}

void KitPlayer::stopRendering() noexcept {
    impl_->engine.renderingStopped();
}

void KitPlayer::setKit(const DrumKit& kit, Loading loading) {
    Impl& d = *impl_;
    d.loader.reset(); // a kit still loading must not fill the pads again
    std::vector<audio::PadLoad> pads = padsToLoad(kit);
    for (PadRole role : allPadRoles) {
        const bool loads = std::any_of(pads.begin(), pads.end(),
                                       [role](const audio::PadLoad& p) { return p.role == role; });
        if (!loads)
            d.engine.clearSample(role);
    }
    d.router.setKit(kit);
    d.engine.applyMix(kit);
    d.loader = std::make_unique<audio::KitLoader>(d.engine, std::move(pads));
    if (loading == Loading::beforeReturning)
        d.loader->wait();
}

KitPlayer::LoadProgress KitPlayer::loadProgress() const noexcept {
    if (!impl_->loader)
        return {};
    const auto progress = impl_->loader->progress();
    return {progress.done, progress.total, progress.failed};
}

std::vector<std::vector<bool>> KitPlayer::waitUntilLoaded() {
    if (!impl_->loader)
        return {};
    impl_->loader->wait();
    return impl_->loader->loaded();
}

void KitPlayer::keepPad(PadRole role) {
    if (impl_->loader)
        impl_->loader->leaveAlone(role);
}

std::vector<std::vector<bool>> KitPlayer::loadPads(std::vector<audio::PadLoad> pads) {
    for (const audio::PadLoad& pad : pads)
        keepPad(pad.role);
    audio::KitLoader loader(impl_->engine, std::move(pads));
    loader.wait();
    return loader.loaded();
}

void KitPlayer::clearPad(PadRole role) {
    keepPad(role);
    impl_->engine.clearSample(role);
}

void KitPlayer::setExpression(const Expression& expression) {
    impl_->router.setExpression(expression);
}

void KitPlayer::applyMix(const DrumKit& kit) {
    impl_->engine.applyMix(kit);
}

void KitPlayer::setMasterVolume(float volume) {
    impl_->engine.setMasterVolume(volume);
}

std::optional<PadRole> KitPlayer::noteOn(int note, int velocity, std::uint32_t frame) noexcept {
    return impl_->router.strike(note, velocity, atFrame(frame));
}

std::optional<PadRole> KitPlayer::noteOn(int note, int velocity, audio::EventTime time) noexcept {
    return impl_->router.strike(note, velocity, time);
}

void KitPlayer::controlChange(int controller, int value, std::uint32_t frame) noexcept {
    impl_->router.controlChange(controller, value, atFrame(frame));
}

void KitPlayer::controlChange(int controller, int value, audio::EventTime time) noexcept {
    impl_->router.controlChange(controller, value, time);
}

void KitPlayer::polyPressure(int note, int pressure, std::uint32_t frame) noexcept {
    impl_->router.polyPressure(note, pressure, atFrame(frame));
}

void KitPlayer::polyPressure(int note, int pressure, audio::EventTime time) noexcept {
    impl_->router.polyPressure(note, pressure, time);
}

namespace {
// Hands decoded messages to the router, as the MIDI calls above do.
class RouterSink final : public MidiEventSink {
public:
    explicit RouterSink(HitRouter& router) : router_(router) {}
    void noteOn(int note, int velocity, int, audio::EventTime time) noexcept override {
        router_.strike(note, velocity, time);
    }
    void noteOff(int, int, audio::EventTime) noexcept override {}
    void controlChange(int controller, int value, int, audio::EventTime time) noexcept override {
        router_.controlChange(controller, value, time);
    }
    void polyPressure(int note, int pressure, int, audio::EventTime time) noexcept override {
        router_.polyPressure(note, pressure, time);
    }

private:
    HitRouter& router_;
};
} // namespace

void KitPlayer::midi(std::span<const std::uint8_t> bytes, std::uint32_t frame) noexcept {
    RouterSink sink(impl_->router);
    decodePacket(bytes, sink, atFrame(frame));
}

void KitPlayer::render(const audio::AudioBlock& block) noexcept {
    impl_->engine.render(block);
}

void KitPlayer::maintain() {
    impl_->engine.maintain();
}

audio::AudioEngine& KitPlayer::engine() noexcept {
    return impl_->engine;
}

HitRouter& KitPlayer::router() noexcept {
    return impl_->router;
}

} // namespace tamborel::engine
