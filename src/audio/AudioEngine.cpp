// The control side of the engine: hits and chokes are queued for the audio thread, mix
// values are stored in atomics, sample buffers are published by pointer and retired buffers
// are freed here, never on the audio thread.

#include "audio/AudioEngine.h"

#include "audio/EngineState.h"
#include "audio/SampleLoader.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tamborel::audio {

namespace {

// Rates a driver may ask for; anything else is ignored and the previous rate kept.
constexpr double lowestRate = 8000.0;
constexpr double highestRate = 768000.0;
// Gains beyond this are taken for a corrupt kit rather than a wish (+24 dB).
constexpr float highestGain = 16.0f;

float usableGain(float gain) {
    if (!std::isfinite(gain) || gain < 0.0f)
        return 0.0f;
    return std::min(gain, highestGain);
}

float usablePan(float pan) {
    return std::isfinite(pan) ? std::clamp(pan, -1.0f, 1.0f) : 0.0f;
}

std::uint16_t maskOf(std::span<const PadRole> roles) {
    std::uint16_t mask = 0;
    for (PadRole role : roles)
        if (indexOf(role) < padRoleCount)
            mask = static_cast<std::uint16_t>(mask | (1u << indexOf(role)));
    return mask;
}

void logLoadFailure(const std::string& fileName) {
    platform::logLine("Failed to load sample: " + fileName);
}

} // namespace

AudioEngine::AudioEngine() : impl_(std::make_unique<Impl>()) {}

AudioEngine::~AudioEngine() {
    for (auto& pad : impl_->pads)
        delete pad.current.load();
    for (PlayableBuffer* buffer : impl_->retired)
        delete buffer;
}

// --- driver side ---

void AudioEngine::prepareToRender(double sampleRate, std::uint32_t maxFrames) {
    Impl& s = *impl_;
    if (maxFrames > 0)
        s.maxFrames.store(maxFrames);
    if (!(sampleRate >= lowestRate && sampleRate <= highestRate) ||
        sampleRate == s.sampleRate.load())
        return;
    std::lock_guard lock(s.samplesMutex);
    const AudioFormat format{sampleRate, 2};
    for (std::size_t r = 0; r < padRoleCount; ++r) {
        const PlayableBuffer* current = s.pads[r].current.load();
        if (current == nullptr)
            continue;
        // From the file when we can, for one conversion instead of two; else from memory.
        SharedSampleBuffer converted;
        if (s.sources[r])
            converted = sampleLoader::loadBuffer(*s.sources[r], format);
        if (!converted)
            converted = sampleLoader::convert(current->buffer, format);
        if (converted != current->buffer)
            s.publishLocked(r, std::move(converted));
    }
    s.sampleRate.store(sampleRate);
}

void AudioEngine::renderingStarted() noexcept {
    Impl& s = *impl_;
    s.generation.fetch_add(1);
    s.resetPending.store(true);
    s.running.store(true);
}

void AudioEngine::renderingStopped() noexcept {
    impl_->running.store(false);
}

bool AudioEngine::isRunning() const noexcept {
    return impl_->running.load();
}

// --- hits ---

float AudioEngine::velocityGain(int velocity) noexcept {
    return static_cast<float>(std::clamp(velocity, 1, 127)) / 127.0f;
}

void AudioEngine::trigger(PadRole role, int velocity) noexcept {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount || !s.running.load() || s.pads[index].current.load() == nullptr)
        return;
    EngineEvent event;
    event.type = EngineEvent::Type::trigger;
    event.role = static_cast<std::uint8_t>(index);
    event.gain = velocityGain(velocity);
    event.generation = s.generation.load();
    event.time = currentEventTime();
    // A full queue means a flood far beyond any drummer; the surplus hits are dropped, and
    // counted for maintain() to report (nothing here may log).
    if (!s.events.push(event))
        s.droppedEvents.fetch_add(1, std::memory_order_relaxed);
}

void AudioEngine::trigger(PadRole role, int velocity, std::uint32_t frameOffset) noexcept {
    const ScopedEventTime at({EventTime::Kind::frameInCycle, frameOffset});
    trigger(role, velocity);
}

void AudioEngine::choke(std::span<const PadRole> roles) noexcept {
    fadeOut(roles, false);
}

void AudioEngine::damp(std::span<const PadRole> roles) noexcept {
    fadeOut(roles, true);
}

void AudioEngine::fadeOut(std::span<const PadRole> roles, bool damped) noexcept {
    Impl& s = *impl_;
    const std::uint16_t mask = maskOf(roles);
    if (mask == 0 || !s.running.load())
        return;
    EngineEvent event;
    event.type = damped ? EngineEvent::Type::damp : EngineEvent::Type::choke;
    event.chokeMask = mask;
    event.generation = s.generation.load();
    event.time = currentEventTime();
    if (!s.events.push(event))
        s.droppedEvents.fetch_add(1, std::memory_order_relaxed);
}

bool AudioEngine::hasSample(PadRole role) const noexcept {
    const std::size_t index = indexOf(role);
    return index < padRoleCount && impl_->pads[index].current.load() != nullptr;
}

// --- mix ---

void AudioEngine::applyMix(const DrumKit& kit) {
    const bool anySolo =
        std::any_of(kit.pads.begin(), kit.pads.end(), [](const DrumPad& p) { return p.soloed; });
    for (const DrumPad& pad : kit.pads) {
        const std::size_t index = indexOf(pad.role);
        if (index >= padRoleCount)
            continue;
        const bool audible = anySolo ? pad.soloed : !pad.muted;
        impl_->pads[index].gain.store(audible ? usableGain(pad.volume) : 0.0f);
        impl_->pads[index].pan.store(usablePan(pad.pan));
    }
    setMasterVolume(kit.masterVolume);
}

void AudioEngine::setMasterVolume(float volume) {
    impl_->masterSetting.store(volume);
    impl_->masterGain.store(usableGain(volume));
}

float AudioEngine::masterVolume() const {
    return impl_->masterSetting.load();
}

// --- samples ---

bool AudioEngine::Impl::publishLocked(std::size_t role, SharedSampleBuffer buffer) {
    try {
        retired.reserve(retired.size() + 1);
        PlayableBuffer* fresh = buffer ? new PlayableBuffer(std::move(buffer)) : nullptr;
        PlayableBuffer* old = pads[role].current.exchange(fresh, std::memory_order_seq_cst);
        if (old != nullptr) {
            old->retiredAt = renderSequence.load(std::memory_order_seq_cst);
            retired.push_back(old);
            retiredCount.store(retired.size());
        }
    } catch (const std::exception&) {
        return false;
    }
    collectLocked();
    return true;
}

void AudioEngine::Impl::collectLocked() {
    const std::uint64_t now = renderSequence.load(std::memory_order_seq_cst);
    std::erase_if(retired, [now](PlayableBuffer* buffer) {
        // Replaced outside a render, or that render is over: no render can pick it up again.
        const bool unreachable = buffer->retiredAt % 2 == 0 || now != buffer->retiredAt;
        if (!unreachable || buffer->voices.load(std::memory_order_acquire) != 0)
            return false;
        delete buffer;
        return true;
    });
    retiredCount.store(retired.size());
}

bool AudioEngine::loadSample(const FileUrl& url, PadRole role) {
    const auto path = url.toPath();
    if (!path) {
        logLoadFailure(url.fileName());
        return false;
    }
    return loadSample(*path, role);
}

bool AudioEngine::loadSample(const std::filesystem::path& file, PadRole role) {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount)
        return false;
    std::lock_guard lock(s.samplesMutex);
    auto buffer = sampleLoader::loadBuffer(file, s.formatLocked());
    if (!buffer || !s.publishLocked(index, std::move(buffer))) {
        logLoadFailure(file.filename().string());
        return false;
    }
    s.sources[index] = file;
    return true;
}

bool AudioEngine::setSample(PadRole role, SharedSampleBuffer buffer) {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount || !buffer || buffer->frameLength() == 0)
        return false;
    std::lock_guard lock(s.samplesMutex);
    if (!s.publishLocked(index, sampleLoader::convert(std::move(buffer), s.formatLocked())))
        return false;
    s.sources[index].reset();
    return true;
}

void AudioEngine::clearSample(PadRole role) {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount)
        return;
    std::lock_guard lock(s.samplesMutex);
    s.publishLocked(index, nullptr);
    s.sources[index].reset();
}

SharedSampleBuffer AudioEngine::loadBuffer(const std::filesystem::path& file,
                                           const AudioFormat& format) {
    return sampleLoader::loadBuffer(file, format);
}

AudioFormat AudioEngine::internalFormat() const {
    return {impl_->sampleRate.load(), 2};
}

void AudioEngine::collectGarbage() {
    std::lock_guard lock(impl_->samplesMutex);
    impl_->collectLocked();
}

void AudioEngine::maintain() {
    Impl& s = *impl_;
    if (const std::uint64_t dropped = s.droppedEvents.exchange(0, std::memory_order_relaxed))
        platform::logLine("Dropped " + std::to_string(dropped) +
                          " strikes or chokes: the event queue was full");
    // A load in progress holds the lock for a while; the next call will do.
    if (s.retiredCount.load() > 0) {
        std::unique_lock lock(s.samplesMutex, std::try_to_lock);
        if (lock.owns_lock())
            s.collectLocked();
    }
}

} // namespace tamborel::audio
