// The control side of the engine: hits and chokes are queued for the audio thread, mix
// values are stored in atomics, sample buffers are published by pointer and retired buffers
// are freed here, never on the audio thread.

#include "audio/AudioEngine.h"

#include "audio/EngineState.h"
#include "audio/SampleLoader.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
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

std::vector<LayeredBuffer> oneSample(SharedSampleBuffer buffer) {
    std::vector<LayeredBuffer> samples;
    samples.push_back({std::move(buffer), 1, 127, 1.0f});
    return samples;
}

} // namespace

AudioEngine::AudioEngine() : impl_(std::make_unique<Impl>()) {
    for (auto& own : impl_->ownMicrophones)
        own.store(~std::uint32_t{0});
    for (std::size_t m = 0; m < maxMicrophones; ++m)
        impl_->microphones[m].output.store(static_cast<std::uint8_t>(m));
}

AudioEngine::~AudioEngine() {
    impl_->streamerOwner.reset(); // its thread reads the samples' file names
    for (auto& pad : impl_->pads)
        delete pad.current.load();
    for (PlayableSet* set : impl_->retired)
        delete set;
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
        const PlayableSet* current = s.pads[r].current.load();
        if (current == nullptr)
            continue;
        std::vector<LayeredBuffer> samples;
        for (const auto& member : current->members) {
            // A streamed sample's rest is read at the old rate: until the loader brings it
            // again at this one, it plays its start alone.
            const bool onMicrophones = member->micChannels > 0;
            samples.push_back(
                {sampleLoader::convert(member->buffer,
                                       onMicrophones ? AudioFormat{sampleRate, 0} : format),
                 0, 0, member->gain, member->pan, 0, nullptr});
            for (std::uint32_t c = 0; c < member->micChannels; ++c)
                samples.back().microphones.push_back(member->microphone[c]);
            samples.back().normalized = member->normalized;
        }
        s.publishLocked(r, std::move(samples), current->order, &current->table);
    }
    s.sampleRate.store(sampleRate);
}

void AudioEngine::renderingStarted() noexcept {
    Impl& s = *impl_;
    s.click.restart();
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

// --- the click and what was played ---

void AudioEngine::setMetronome(const Metronome& metronome) noexcept {
    impl_->click.set(metronome);
}

void AudioEngine::countIn(int bars) noexcept {
    impl_->click.countIn(bars);
}

bool AudioEngine::countingIn() const noexcept {
    return impl_->click.countingIn();
}

void AudioEngine::restartClick() noexcept {
    impl_->click.restart();
}

std::optional<std::uint64_t> AudioEngine::clickBarFrame() const noexcept {
    return impl_->click.lastBarFrame();
}

void AudioEngine::setSong(SharedSampleBuffer song) {
    std::lock_guard lock(impl_->settingsMutex);
    impl_->playAlong.setSong(std::move(song));
}

void AudioEngine::playSong(int countInBars) noexcept {
    impl_->playAlong.want(true);
    impl_->click.cueAfterCountIn(countInBars);
}

void AudioEngine::stopSong() noexcept {
    impl_->playAlong.want(false);
}

void AudioEngine::setSongLevel(float level) noexcept {
    impl_->playAlong.setLevel(level);
}

PlayAlong::State AudioEngine::songState() const noexcept {
    return impl_->playAlong.state();
}

std::optional<std::uint64_t> AudioEngine::songStartFrame() const noexcept {
    return impl_->playAlong.startFrame();
}

void AudioEngine::keepPlayed(bool on) noexcept {
    impl_->keepPlayed.store(on);
}

void AudioEngine::played(PlayedEvent::Kind kind, int number, int value,
                         timing::EventTime time) noexcept {
    Impl& s = *impl_;
    if (!s.keepPlayed.load(std::memory_order_relaxed) || !s.running.load())
        return;
    EngineEvent event;
    event.type = EngineEvent::Type::played;
    event.playedKind = kind;
    event.role = static_cast<std::uint8_t>(std::clamp(number, 0, 127));
    event.velocity = static_cast<std::uint8_t>(std::clamp(value, 0, 127));
    event.generation = s.generation.load();
    event.time = time;
    if (!s.events.push(event))
        s.droppedEvents.fetch_add(1, std::memory_order_relaxed);
}

std::optional<PlayedEvent> AudioEngine::nextPlayed() noexcept {
    return impl_->playedOut.pop();
}

std::uint64_t AudioEngine::clock() const noexcept {
    return impl_->clock.load(std::memory_order_acquire);
}

// --- hits ---

float AudioEngine::velocityGain(int velocity) noexcept {
    return static_cast<float>(std::clamp(velocity, 1, 127)) / 127.0f;
}

void AudioEngine::strike(PadRole role, int velocity, timing::EventTime time) noexcept {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount || !s.running.load() || s.pads[index].current.load() == nullptr)
        return;
    EngineEvent event;
    event.type = EngineEvent::Type::strike;
    event.role = static_cast<std::uint8_t>(index);
    event.velocity = static_cast<std::uint8_t>(std::clamp(velocity, 1, 127));
    event.gain = velocityGain(velocity);
    if (s.squaredVelocity.load(std::memory_order_relaxed))
        event.gain *= event.gain;
    event.generation = s.generation.load();
    event.time = time;
    // A full queue means a flood far beyond any drummer; the surplus hits are dropped, and
    // counted for maintain() to report (nothing here may log).
    if (!s.events.push(event))
        s.droppedEvents.fetch_add(1, std::memory_order_relaxed);
}

bool AudioEngine::strikeMember(PadRole role, std::size_t member, int velocity) noexcept {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount || !s.running.load())
        return false;
    const PlayableSet* current = s.pads[index].current.load();
    if (current == nullptr || member >= current->members.size() || member >= EngineEvent::anyMember)
        return false;
    EngineEvent event;
    event.member = static_cast<std::uint8_t>(member);
    event.type = EngineEvent::Type::strike;
    event.role = static_cast<std::uint8_t>(index);
    event.velocity = static_cast<std::uint8_t>(std::clamp(velocity, 1, 127));
    event.gain = velocityGain(velocity);
    if (s.squaredVelocity.load(std::memory_order_relaxed))
        event.gain *= event.gain;
    event.generation = s.generation.load();
    if (!s.events.push(event))
        s.droppedEvents.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void AudioEngine::strike(PadRole role, int velocity, std::uint32_t frameOffset) noexcept {
    strike(role, velocity, {timing::EventTime::Kind::frameInCycle, frameOffset});
}

void AudioEngine::choke(std::span<const PadRole> roles, timing::EventTime time) noexcept {
    fadeOut(roles, false, time);
}

void AudioEngine::damp(std::span<const PadRole> roles, timing::EventTime time) noexcept {
    fadeOut(roles, true, time);
}

void AudioEngine::release(PadRole role, timing::EventTime time) noexcept {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount || !s.running.load() ||
        s.releaseSeconds[index].load(std::memory_order_relaxed) < 0.0f)
        return;
    EngineEvent event;
    event.type = EngineEvent::Type::release;
    event.chokeMask = static_cast<std::uint16_t>(1u << index);
    event.role = static_cast<std::uint8_t>(index);
    event.generation = s.generation.load();
    event.time = time;
    if (!s.events.push(event))
        s.droppedEvents.fetch_add(1, std::memory_order_relaxed);
}

void AudioEngine::fadeOut(std::span<const PadRole> roles, bool damped,
                          timing::EventTime time) noexcept {
    Impl& s = *impl_;
    const std::uint16_t mask = maskOf(roles);
    if (mask == 0 || !s.running.load())
        return;
    EngineEvent event;
    event.type = damped ? EngineEvent::Type::damp : EngineEvent::Type::choke;
    event.chokeMask = mask;
    event.generation = s.generation.load();
    event.time = time;
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
    // A role the kit lacks chokes nothing.
    std::array<std::uint16_t, padRoleCount> chokes{};
    for (const DrumPad& pad : kit.pads) {
        const std::size_t index = indexOf(pad.role);
        if (index >= padRoleCount)
            continue;
        const bool audible = anySolo ? pad.soloed : !pad.muted;
        impl_->pads[index].gain.store(audible ? usableGain(pad.volume) : 0.0f);
        impl_->pads[index].pan.store(usablePan(pad.pan));
        std::uint32_t own = pad.ownMicrophones.empty() ? ~std::uint32_t{0} : 0;
        for (int microphone : pad.ownMicrophones)
            if (microphone >= 0 && microphone < int(maxMicrophones))
                own |= 1u << microphone;
        impl_->ownMicrophones[index].store(own);
        for (const PadChoke& choke : pad.chokes)
            if (const std::size_t choked = indexOf(choke.role); choked < padRoleCount) {
                impl_->chokeSeconds[index][choked].store(
                    std::clamp(choke.seconds, 0.0f, maxChokeSeconds));
                chokes[index] |= std::uint16_t(1u << choked);
            }
    }
    for (std::size_t r = 0; r < padRoleCount; ++r)
        impl_->chokes[r].store(chokes[r]);
    const auto& microphones = kit.microphones;
    const bool anyMicSolo = std::any_of(microphones.begin(), microphones.end(),
                                        [](const Microphone& m) { return m.soloed; });
    for (std::size_t m = 0; m < maxMicrophones; ++m) {
        float left = 1.0f;
        float right = 1.0f;
        float mono = 1.0f;
        int output = static_cast<int>(m);
        if (m < microphones.size()) {
            const Microphone& microphone = microphones[m];
            const bool audible = anyMicSolo ? microphone.soloed : !microphone.muted;
            const float gain = (audible ? usableGain(microphone.volume) : 0.0f) *
                               (microphone.inverted ? -1.0f : 1.0f);
            const float pan = usablePan(kit.audienceView ? -microphone.pan : microphone.pan);
            left = gain * std::min(1.0f, 1.0f - pan);
            right = gain * std::min(1.0f, 1.0f + pan);
            mono = gain;
            if (microphone.output > 0 && microphone.output <= int(maxMicrophoneOutputs))
                output = microphone.output - 1;
        }
        impl_->microphones[m].left.store(left);
        impl_->microphones[m].right.store(right);
        impl_->microphones[m].mono.store(mono);
        impl_->microphones[m].output.store(static_cast<std::uint8_t>(output));
    }
    impl_->bleed.store(std::isfinite(kit.bleed) ? std::clamp(kit.bleed, 0.0f, 1.0f) : 1.0f);
    impl_->squaredVelocity.store(kit.squaredVelocity);
    for (auto& seconds : impl_->releaseSeconds)
        seconds.store(-1.0f);
    for (const DrumPad& pad : kit.pads)
        if (const std::size_t index = indexOf(pad.role); index < padRoleCount && pad.release)
            impl_->releaseSeconds[index].store(std::isfinite(*pad.release)
                                                   ? std::clamp(*pad.release, 0.0f, maxChokeSeconds)
                                                   : 0.0f);
    setMasterVolume(kit.masterVolume);
}

void AudioEngine::setMasterVolume(float volume) {
    impl_->masterGain.store(usableGain(volume));
}

// --- samples ---

bool AudioEngine::Impl::publishLocked(std::size_t role, std::vector<LayeredBuffer> samples,
                                      TakeOrder order, const selection::VelocityTable* table) {
    try {
        retired.reserve(retired.size() + 1);
        std::unique_ptr<PlayableSet> fresh;
        if (!samples.empty()) {
            fresh = std::make_unique<PlayableSet>();
            std::vector<PadSample> layout;
            for (LayeredBuffer& sample : samples) {
                layout.push_back({FileUrl{},
                                  sample.low,
                                  sample.high,
                                  sample.gain,
                                  sample.pan,
                                  sample.together,
                                  {},
                                  sample.power,
                                  sample.normalized});
                if (sample.stream && !streamerOwner) {
                    streamerOwner = std::make_unique<SampleStreamer>(streamSlots);
                    streamer.store(streamerOwner.get(), std::memory_order_release);
                }
                fresh->members.push_back(std::make_unique<PlayableBuffer>(
                    std::move(sample.buffer), std::move(sample.stream)));
                fresh->members.back()->gain = usableGain(sample.gain);
                const float pan =
                    std::isfinite(sample.pan) ? std::clamp(sample.pan, -1.0f, 1.0f) : 0.0f;
                fresh->members.back()->pan = pan;
                fresh->members.back()->leftGain = std::min(1.0f, 1.0f - pan);
                fresh->members.back()->rightGain = std::min(1.0f, 1.0f + pan);
                PlayableBuffer& member = *fresh->members.back();
                member.normalized = sample.normalized;
                member.micChannels = static_cast<std::uint32_t>(
                    std::min<std::size_t>({sample.microphones.size(), maxMicrophones,
                                           member.buffer->format().channelCount}));
                for (std::uint32_t c = 0; c < member.micChannels; ++c) {
                    const int microphone = sample.microphones[c];
                    member.channel[c] = member.buffer->channel(c);
                    member.microphone[c] = static_cast<std::int8_t>(
                        microphone >= 0 && microphone < int(maxMicrophones) ? microphone : -1);
                }
            }
            fresh->table = table ? *table : selection::VelocityTable::build(layout);
            fresh->order = order;
            std::random_device random;
            fresh->seed = random() | 1u; // xorshift never leaves 0
        }
        PlayableSet* old = pads[role].current.exchange(fresh.release(), std::memory_order_seq_cst);
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
    std::erase_if(retired, [now](PlayableSet* set) {
        // Replaced outside a render, or that render is over: no render can pick it up again.
        const bool unreachable = set->retiredAt % 2 == 0 || now != set->retiredAt;
        if (!unreachable || !set->unread())
            return false;
        delete set;
        return true;
    });
    retiredCount.store(retired.size());
}

bool AudioEngine::setSample(PadRole role, SharedSampleBuffer buffer) {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount || !buffer || buffer->frameLength() == 0)
        return false;
    std::lock_guard lock(s.samplesMutex);
    return s.publishLocked(index,
                           oneSample(sampleLoader::convert(std::move(buffer), s.formatLocked())),
                           TakeOrder::cycle);
}

bool AudioEngine::setSamples(PadRole role, std::vector<LayeredBuffer> samples, TakeOrder order) {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    const bool usable =
        std::all_of(samples.begin(), samples.end(), [](const LayeredBuffer& sample) {
            return sample.buffer && sample.buffer->frameLength() > 0;
        });
    if (index >= padRoleCount || samples.empty() || samples.size() > selection::maxSamplesPerPad ||
        !usable)
        return false;
    std::lock_guard lock(s.samplesMutex);
    for (LayeredBuffer& sample : samples) {
        // A start loaded at a rate since left behind: the loader brings it again at this one.
        const AudioFormat& start = sample.buffer->format();
        if (sample.stream && (start.sampleRate != s.formatLocked().sampleRate ||
                              (sample.microphones.empty() && start.channelCount != 2)))
            return false;
        // A recording on the kit's microphones keeps every channel.
        const AudioFormat format = sample.microphones.empty()
                                       ? s.formatLocked()
                                       : AudioFormat{s.formatLocked().sampleRate, 0};
        sample.buffer = sampleLoader::convert(std::move(sample.buffer), format);
    }
    return s.publishLocked(index, std::move(samples), order);
}

void AudioEngine::clearSample(PadRole role) {
    Impl& s = *impl_;
    const std::size_t index = indexOf(role);
    if (index >= padRoleCount)
        return;
    std::lock_guard lock(s.samplesMutex);
    s.publishLocked(index, {}, TakeOrder::cycle);
}

AudioFormat AudioEngine::internalFormat() const {
    return {impl_->sampleRate.load(), 2};
}

void AudioEngine::setStreamSettings(const StreamSettings& settings) {
    StreamSettings usable = settings;
    usable.preloadSeconds = std::isfinite(settings.preloadSeconds)
                                ? std::clamp(settings.preloadSeconds, 0.01, 60.0)
                                : StreamSettings{}.preloadSeconds;
    const std::lock_guard lock(impl_->settingsMutex);
    impl_->streamSettings = std::move(usable);
}

StreamSettings AudioEngine::streamSettings() const {
    const std::lock_guard lock(impl_->settingsMutex);
    return impl_->streamSettings;
}

void AudioEngine::setWaitForStreams(bool wait) {
    impl_->waitForStreams.store(wait);
}

std::uint64_t AudioEngine::lateFrames() const noexcept {
    const SampleStreamer* streamer = impl_->streamer.load(std::memory_order_acquire);
    return streamer != nullptr ? streamer->lateFrames() : 0;
}

void AudioEngine::collectGarbage() {
    std::lock_guard lock(impl_->samplesMutex);
    impl_->collectLocked();
}

void AudioEngine::maintain() {
    Impl& s = *impl_;
    if (std::unique_lock lock(s.settingsMutex, std::try_to_lock); lock)
        s.playAlong.collect();
    if (const std::uint64_t dropped = s.droppedEvents.exchange(0, std::memory_order_relaxed))
        platform::logLine("Dropped " + std::to_string(dropped) +
                          " strikes or chokes: the event queue was full");
    if (const std::uint64_t late = lateFrames(); late > s.lateReported) {
        platform::logLine("Streamed samples came late from disk: " +
                          std::to_string(late - s.lateReported) + " frames played as silence");
        s.lateReported = late;
    }
    // A load in progress holds the lock for a while; the next call will do.
    if (s.retiredCount.load() > 0) {
        std::unique_lock lock(s.samplesMutex, std::try_to_lock);
        if (lock.owns_lock())
            s.collectLocked();
    }
}

} // namespace tamborel::audio
