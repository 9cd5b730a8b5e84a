// The audio thread's side of the engine: nothing here allocates, frees, locks or logs.

#include "audio/EngineState.h"
#include "audio/SafetyLimiter.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace tamborel::audio {

static_assert(std::atomic<float>::is_always_lock_free);
static_assert(std::atomic<double>::is_always_lock_free);
static_assert(std::atomic<PlayableSet*>::is_always_lock_free);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

namespace {

// Fading tails decay into denormal numbers, which are very slow on x86; flush them to zero
// for the duration of a render and restore the caller's mode after.
class DenormalGuard {
public:
#if defined(__SSE__)
    DenormalGuard() noexcept : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | 0x8040u);
    }
    ~DenormalGuard() {
        _mm_setcsr(saved_);
    }

private:
    unsigned saved_;
#endif
};

std::int64_t monotonicNanos() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::uint32_t framesFor(double rate, double seconds) {
    return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(rate * seconds)));
}

} // namespace

void AudioEngine::render(const AudioBlock& block) noexcept {
    DenormalGuard denormals;
    Impl& s = *impl_;
    s.renderSequence.fetch_add(1, std::memory_order_seq_cst);
    const std::uint32_t frames = block.frames;
    for (std::uint32_t c = 0; c < block.channelCount; ++c)
        std::fill_n(block.channels[c], frames, 0.0f);
    if (frames > 0 && block.channelCount >= masterChannelCount) {
        Impl::Outputs out{};
        const std::uint32_t used =
            std::min(block.channelCount, block.layout == OutputLayout::drums
                                             ? allChannelCount
                                             : masterChannelCount + maxMicrophoneOutputs);
        std::copy_n(block.channels, used, out.begin());
        s.renderBlock(out, used, frames, block.startNanos, block.layout);
        s.click.prepare(s.renderRate);
        // The song goes where the click goes: on the click's own pair it is the drummer's
        // cue mix, and the master stays the drums alone.
        float* cueLeft = out[0];
        float* cueRight = out[1];
        if (block.clickLeft != nullptr && block.clickRight != nullptr) {
            cueLeft = block.clickLeft;
            cueRight = block.clickRight;
            std::fill_n(cueLeft, frames, 0.0f);
            std::fill_n(cueRight, frames, 0.0f);
        }
        const std::uint64_t clickClock = s.click.clock();
        s.click.render(cueLeft, cueRight, frames);
        s.playAlong.render(cueLeft, cueRight, frames, clickClock, s.click.takeCue(), s.renderRate);
        // Each side on its own: a loud left must not dip the right. The groups are taken
        // before the master's stage, for a mix that has its own.
        safetyLimiter::apply(out[0], frames);
        safetyLimiter::apply(out[1], frames);
    }
    s.renderSequence.fetch_add(1, std::memory_order_seq_cst);
}

void AudioEngine::Impl::renderBlock(Outputs& out, std::uint32_t channelCount, std::uint32_t frames,
                                    std::int64_t blockStartNanos, OutputLayout layout) noexcept {
    renderRate = sampleRate.load(std::memory_order_relaxed);
    renderStreamer = streamer.load(std::memory_order_acquire);
    if (renderStreamer != nullptr)
        renderStreamer->reclaim();
    fadeFrames = framesFor(renderRate, fadeSeconds);
    dampFrames = framesFor(renderRate, dampSeconds);
    rampFrames = framesFor(renderRate, rampSeconds);
    if (resetPending.exchange(false, std::memory_order_acq_rel))
        releaseAll();
    gatherEvents(frames, blockStartNanos);
    updateGainTargets();

    // Render up to each event's frame, apply it, carry on: hits land on their exact frame.
    std::size_t next = 0;
    std::uint32_t position = 0;
    while (position < frames) {
        eventFrame = renderedFrames + position;
        while (next < pendingCount && pending[next].offset <= position)
            apply(pending[next++].event);
        std::uint32_t end = std::min(frames, position + chunkFrames);
        if (next < pendingCount)
            end = std::min(end, pending[next].offset);
        Outputs segment{};
        for (std::uint32_t c = 0; c < channelCount; ++c)
            segment[c] = out[c] + position;
        mixSegment(segment, channelCount, end - position, layout);
        position = end;
    }
    renderedFrames += frames;
    clock.store(renderedFrames, std::memory_order_release);
}

void AudioEngine::Impl::gatherEvents(std::uint32_t frames, std::int64_t blockStart) noexcept {
    pendingCount = 0;
    const std::uint32_t current = generation.load(std::memory_order_acquire);
    // Events held back from the last block first: they arrived before anything queued now.
    const std::size_t carried = heldCount;
    heldCount = 0;
    for (std::size_t i = 0; i < carried; ++i)
        if (held[i].generation == current)
            schedule(held[i], frames, blockStart, true);
    while (pendingCount < maxEventsPerBlock) {
        const auto popped = events.pop();
        if (!popped)
            break;
        if (popped->generation == current)
            schedule(*popped, frames, blockStart, false);
    }
}

void AudioEngine::Impl::schedule(const EngineEvent& event, std::uint32_t frames,
                                 std::int64_t& blockStart, bool heldBefore) noexcept {
    const std::uint32_t last = frames - 1;
    std::uint32_t offset = 0;
    switch (event.time.kind) {
    case timing::EventTime::Kind::nextBlock:
        break;
    case timing::EventTime::Kind::frameInCycle:
        offset = static_cast<std::uint32_t>(std::min<std::uint64_t>(event.time.value, last));
        break;
    case timing::EventTime::Kind::monotonicNanos: {
        // Without the driver's word on when this block starts, now will have to do.
        if (blockStart == 0)
            blockStart = monotonicNanos();
        const timing::EventPlacement placed =
            timing::placeTimestamped(static_cast<std::int64_t>(event.time.value), blockStart,
                                     renderRate, maxFrames.load(std::memory_order_relaxed), frames);
        // Held once, an event is due within this block; should the block times stall, it
        // plays now rather than never.
        if (placed.nextBlock && !heldBefore && heldCount < maxHeldEvents) {
            held[heldCount++] = event;
            return;
        }
        offset = placed.nextBlock ? (heldBefore ? 0 : last) : placed.frame;
        break;
    }
    }
    // Insertion keeps events of equal offset in arrival order (a choke before its hit).
    std::size_t at = pendingCount++;
    while (at > 0 && pending[at - 1].offset > offset) {
        pending[at] = pending[at - 1];
        --at;
    }
    pending[at] = {event, offset};
}

void AudioEngine::Impl::updateGainTargets() noexcept {
    bool anyActive = false;
    for (std::size_t r = 0; r < padRoleCount; ++r) {
        RoleVoices& voices = roles[r];
        const float gain = pads[r].gain.load(std::memory_order_relaxed);
        const float pan = pads[r].pan.load(std::memory_order_relaxed);
        const float leftGain = gain * std::min(1.0f, 1.0f - pan);
        const float rightGain = gain * std::min(1.0f, 1.0f + pan);
        // With nothing sounding a jump cannot click, and the next hit gets its gain at once.
        if (voices.active == 0) {
            voices.left.snap(leftGain);
            voices.right.snap(rightGain);
        } else {
            voices.left.moveTo(leftGain, rampFrames);
            voices.right.moveTo(rightGain, rampFrames);
            anyActive = true;
        }
    }
    const float masterTarget = masterGain.load(std::memory_order_relaxed);
    const float bleedTarget = bleed.load(std::memory_order_relaxed);
    if (anyActive) {
        master.moveTo(masterTarget, rampFrames);
        bleedRamp.moveTo(bleedTarget, rampFrames);
    } else {
        master.snap(masterTarget);
        bleedRamp.snap(bleedTarget);
    }
    for (std::size_t m = 0; m < maxMicrophones; ++m) {
        const float left = microphones[m].left.load(std::memory_order_relaxed);
        const float right = microphones[m].right.load(std::memory_order_relaxed);
        const float mono = microphones[m].mono.load(std::memory_order_relaxed);
        if (anyActive) {
            micLeft[m].moveTo(left, rampFrames);
            micRight[m].moveTo(right, rampFrames);
            micMono[m].moveTo(mono, rampFrames);
        } else {
            micLeft[m].snap(left);
            micRight[m].snap(right);
            micMono[m].snap(mono);
        }
    }
}

void AudioEngine::Impl::apply(const EngineEvent& event) noexcept {
    if (event.type == EngineEvent::Type::played)
        playedOut.push({event.playedKind, event.role, event.velocity, eventFrame});
    else if (event.type == EngineEvent::Type::strike)
        startVoice(event.role, event.velocity, event.gain, event.member);
    else if (event.type == EngineEvent::Type::release)
        chokeRoles(event.chokeMask,
                   std::max(fadeFrames, std::uint32_t(double(releaseSeconds[event.role].load(
                                                          std::memory_order_relaxed)) *
                                                      renderRate)));
    else
        chokeRoles(event.chokeMask,
                   event.type == EngineEvent::Type::damp ? dampFrames : fadeFrames);
}

void AudioEngine::Impl::startVoice(std::size_t role, int velocity, float gain,
                                   std::uint8_t member) noexcept {
    const PlayableSet* set = pads[role].current.load(std::memory_order_seq_cst);
    if (set == nullptr)
        return;
    // One sample asked for by its place: of a set replaced meanwhile, it may be gone.
    const std::uint8_t asked[1] = {member};
    if (member != EngineEvent::anyMember && member >= set->members.size())
        return;
    chokeChokedBy(role);
    RoleVoices& voices = roles[role];
    // A new set's turns start afresh, its random ones from its own seed.
    if (voices.takesOf != set) {
        voices.takes = selection::TakeState{};
        voices.takes.random = set->seed;
        voices.takesOf = set;
    }
    // One voice for each sample of the strike that sounds together with the picked one.
    const std::span<const std::uint8_t> chosen =
        member != EngineEvent::anyMember
            ? std::span<const std::uint8_t>(asked)
            : set->pick(voices.takes, velocity, eventFrame, renderRate);
    for (const std::uint8_t index : chosen) {
        PlayableBuffer* buffer = set->members[index].get();
        // A buffer left at another rate (its conversion failed) would play at the wrong pitch.
        if (buffer->length == 0 || buffer->sampleRate != renderRate)
            continue;
        // Heard on none but muted microphones: neither streamed nor mixed.
        if (silentMicrophones(*buffer))
            continue;
        Voice& voice = voices.slots[voices.roundRobin];
        voices.roundRobin = (voices.roundRobin + 1) % AudioEngine::voicesPerPad;
        if (voice.active())
            moveToTail(voices, voice);
        // Going by power, the recording carries the dynamics: one that was not levelled
        // plays as loud as it was struck.
        const float strikeGain =
            set->order == TakeOrder::power && !buffer->normalized ? 1.0f : gain;
        voice = Voice{buffer, 0, 0, strikeGain * buffer->gain};
        buffer->voices.fetch_add(1, std::memory_order_relaxed);
        // The streamer is made just before the first streamed sample is published: a set
        // picked up since this block began may be the first.
        if (buffer->stream && renderStreamer == nullptr)
            renderStreamer = streamer.load(std::memory_order_acquire);
        // Without a free slot the voice plays the start it has and ends there.
        if (buffer->stream && renderStreamer != nullptr)
            voice.stream = renderStreamer->start(*buffer->stream, buffer->voices);
        ++voices.active;
        if (voices.active == 1) {
            // The role was silent until now: its gain may jump without a click.
            voices.left.snap(voices.left.target());
            voices.right.snap(voices.right.target());
        }
    }
}

void AudioEngine::Impl::moveToTail(RoleVoices& voices, Voice& voice) noexcept {
    Voice* tail = nullptr;
    for (std::size_t i = AudioEngine::voicesPerPad; i < voices.slots.size(); ++i) {
        Voice& candidate = voices.slots[i];
        if (!candidate.active()) {
            tail = &candidate;
            break;
        }
        if (tail == nullptr || candidate.fadeLeft < tail->fadeLeft)
            tail = &candidate;
    }
    // Every tail busy: cut the one closest to silence anyway.
    if (tail->active())
        release(voices, *tail);
    *tail = voice;
    startFade(*tail, fadeFrames, fadeFrames);
    voice.source = nullptr; // its reading moved to the tail, with its count and stream
    voice.stream = SampleStreamer::noSlot;
}

void AudioEngine::Impl::chokeRoles(std::uint16_t mask, std::uint32_t frames) noexcept {
    for (std::size_t r = 0; r < padRoleCount; ++r) {
        if ((mask & (1u << r)) == 0)
            continue;
        for (int v = 0; v < AudioEngine::voicesPerPad; ++v) {
            Voice& voice = roles[r].slots[static_cast<std::size_t>(v)];
            if (voice.active())
                startFade(voice, frames, fadeFrames);
        }
    }
}

void AudioEngine::Impl::chokeChokedBy(std::size_t role) noexcept {
    const std::uint16_t mask = chokes[role].load(std::memory_order_relaxed);
    for (std::size_t r = 0; r < padRoleCount; ++r)
        if ((mask & (1u << r)) != 0) {
            const float seconds = chokeSeconds[role][r].load(std::memory_order_relaxed);
            chokeRoles(std::uint16_t(1u << r),
                       std::max(fadeFrames, std::uint32_t(double(seconds) * renderRate)));
        }
}

void AudioEngine::Impl::release(RoleVoices& voices, Voice& voice) noexcept {
    // A streaming voice's count goes with its slot, once the streamer has let the file go.
    if (voice.stream != SampleStreamer::noSlot)
        renderStreamer->stop(voice.stream);
    else
        voice.source->voices.fetch_sub(1, std::memory_order_release);
    voice.stream = SampleStreamer::noSlot;
    voice.source = nullptr;
    --voices.active;
}

void AudioEngine::Impl::releaseAll() noexcept {
    for (RoleVoices& voices : roles)
        for (Voice& voice : voices.slots)
            if (voice.active())
                release(voices, voice);
}

bool AudioEngine::Impl::mixStreamed(Voice& voice, std::uint32_t ownMask, float* left, float* right,
                                    std::uint32_t frames) noexcept {
    constexpr std::uint32_t faded = ~std::uint32_t{0};
    const PlayableBuffer& source = *voice.source;
    // A file that went missing or shrank: fade out before its data runs out, not cut.
    const bool wait = waitForStreams.load(std::memory_order_relaxed);
    if (voice.stream != SampleStreamer::noSlot && voice.fadeLeft == 0) {
        // Offline, the disk is waited for, so it must be waited for here too to tell.
        if (wait && voice.position + frames + fadeFrames > source.length)
            renderStreamer->awaitFrames(voice.stream,
                                        voice.position + frames + fadeFrames - source.length);
        const std::uint64_t brokenEnd = renderStreamer->brokenEnd(voice.stream);
        const std::uint64_t stop = brokenEnd + source.length;
        if (brokenEnd != ~std::uint64_t{0} && voice.position + frames + fadeFrames >= stop)
            startFade(voice,
                      static_cast<std::uint32_t>(std::clamp<std::uint64_t>(
                          stop > voice.position ? stop - voice.position : 1, 1, fadeFrames)),
                      fadeFrames);
    }
    // A stereo recording through its two channels, one on microphones through all of them.
    const bool onMicrophones = source.micChannels > 0;
    const auto mixFrom = [&](const float* const* in, std::uint32_t available, std::uint32_t at) {
        return onMicrophones ? mixMicrophoneInput(voice, ownMask, in, available, left + at,
                                                  right + at, frames - at, at, frames)
                             : mixInput(voice, in[0], in[1], available, left + at, right + at,
                                        frames - at, fadeFrames);
    };
    std::uint32_t done = 0;
    if (voice.position < source.length) {
        std::array<const float*, maxMicrophones> start{source.left + voice.position,
                                                       source.right + voice.position};
        for (std::uint32_t c = 0; c < source.micChannels; ++c)
            start[c] = source.channel[c] + voice.position;
        done = mixFrom(start.data(), source.length - voice.position, 0);
        if (voice.position == faded)
            return false;
    }
    if (done == frames)
        return true;
    if (voice.stream == SampleStreamer::noSlot)
        return false;
    std::array<float*, maxMicrophones> fetched{};
    for (std::uint32_t c = 0; c < maxMicrophones; ++c)
        fetched[c] = streamChannels.data() + std::size_t{c} * chunkFrames;
    while (done < frames) {
        const std::uint64_t from = voice.position - source.length;
        const std::uint32_t got =
            renderStreamer->fetch(voice.stream, from, fetched.data(), frames - done, wait);
        if (got == 0)
            return false;
        const std::uint32_t mixed = mixFrom(fetched.data(), got, done);
        if (voice.position == faded)
            return false;
        done += mixed;
        if (mixed < got) // the fade ended inside: cannot happen without marking the end
            return false;
    }
    return !renderStreamer->endedBy(voice.stream, voice.position - source.length);
}

std::uint32_t AudioEngine::Impl::mixMicrophoneInput(Voice& voice, std::uint32_t ownMask,
                                                    const float* const* in, std::uint32_t available,
                                                    float* left, float* right, std::uint32_t frames,
                                                    std::uint32_t at,
                                                    std::uint32_t segmentFrames) noexcept {
    const PlayableBuffer& source = *voice.source;
    // The voice's own gain over the frames it plays: steady, or its fade.
    std::uint32_t count = 0;
    bool fadeOver = false;
    if (voice.fadeLeft == 0) {
        count = std::min(frames, available);
        std::fill_n(voiceGains.data(), count, voice.gain);
    } else {
        const std::uint32_t length = voice.fadeLength != 0 ? voice.fadeLength : fadeFrames;
        const std::uint32_t fadeLeft = std::min(voice.fadeLeft, length);
        count = std::min({frames, available, fadeLeft});
        const float step = voice.gain / static_cast<float>(length);
        for (std::uint32_t i = 0; i < count; ++i)
            voiceGains[i] = step * static_cast<float>(fadeLeft - i);
        voice.fadeLeft = fadeLeft - count;
        fadeOver = voice.fadeLeft == 0;
    }
    // Each channel at its microphone's gains, gliding from the segment's start to its end.
    const SegmentGains& g = segmentGains;
    const float perFrame = 1.0f / static_cast<float>(segmentFrames);
    for (std::uint32_t c = 0; c < source.micChannels; ++c) {
        const int m = source.microphone[c];
        if (m < 0)
            continue;
        const bool own = (ownMask >> m) & 1u;
        const float bleedFrom = own ? 1.0f : g.bleedFrom;
        const float bleedTo = own ? 1.0f : g.bleedTo;
        const float leftFrom = g.leftFrom[m] * bleedFrom * source.leftGain;
        const float leftTo = g.leftTo[m] * bleedTo * source.leftGain;
        const float rightFrom = g.rightFrom[m] * bleedFrom * source.rightGain;
        const float rightTo = g.rightTo[m] * bleedTo * source.rightGain;
        if (leftFrom == 0.0f && leftTo == 0.0f && rightFrom == 0.0f && rightTo == 0.0f)
            continue; // a silent microphone costs nothing
        const float* __restrict x = in[c];
        const float* __restrict gains = voiceGains.data();
        if (float* const output = g.output[m]; output != nullptr) {
            // Its own output: mono, before pan, after the pad's volume.
            const float from = g.monoFrom[m] * bleedFrom * g.padGain;
            const float step = (g.monoTo[m] * bleedTo * g.padGain - from) * perFrame;
            float* __restrict o = output + at;
            for (std::uint32_t i = 0; i < count; ++i)
                o[i] += x[i] * gains[i] * (from + step * static_cast<float>(at + i + 1));
        }
        if (leftFrom == leftTo && rightFrom == rightTo) {
            for (std::uint32_t i = 0; i < count; ++i) {
                const float v = x[i] * gains[i];
                left[i] += v * leftFrom;
                right[i] += v * rightFrom;
            }
            continue;
        }
        const float leftStep = (leftTo - leftFrom) * perFrame;
        const float rightStep = (rightTo - rightFrom) * perFrame;
        for (std::uint32_t i = 0; i < count; ++i) {
            const float v = x[i] * gains[i];
            const auto k = static_cast<float>(at + i + 1);
            left[i] += v * (leftFrom + leftStep * k);
            right[i] += v * (rightFrom + rightStep * k);
        }
    }
    voice.position += count;
    // A fade that ran out leaves nothing to play: marked as mixInput marks it.
    if (fadeOver)
        voice.position = ~std::uint32_t{0};
    return count;
}

bool AudioEngine::Impl::mixMicrophones(Voice& voice, std::uint32_t ownMask, float* left,
                                       float* right, std::uint32_t frames) noexcept {
    const PlayableBuffer& source = *voice.source;
    std::array<const float*, maxMicrophones> in{};
    for (std::uint32_t c = 0; c < source.micChannels; ++c)
        in[c] = source.channel[c] + voice.position;
    mixMicrophoneInput(voice, ownMask, in.data(), source.length - voice.position, left, right,
                       frames, 0, frames);
    return voice.position < source.length;
}

bool AudioEngine::Impl::silentMicrophones(const PlayableBuffer& buffer) const noexcept {
    for (std::uint32_t c = 0; c < buffer.micChannels; ++c) {
        const int m = buffer.microphone[c];
        if (m >= 0 && (microphones[m].left.load(std::memory_order_relaxed) != 0.0f ||
                       microphones[m].right.load(std::memory_order_relaxed) != 0.0f))
            return false;
    }
    return buffer.micChannels > 0;
}

namespace {

// Adds the bus at the role's gain to the master, and to the role's group when the block has it.
void addBus(const float* __restrict busLeft, const float* __restrict busRight, GainRamp& left,
            GainRamp& right, float* __restrict masterLeft, float* __restrict masterRight,
            float* __restrict groupLeft, float* __restrict groupRight,
            std::uint32_t frames) noexcept {
    if (!left.ramping() && !right.ramping()) {
        const float gainLeft = left.current();
        const float gainRight = right.current();
        if (groupLeft == nullptr) {
            for (std::uint32_t i = 0; i < frames; ++i) {
                masterLeft[i] += busLeft[i] * gainLeft;
                masterRight[i] += busRight[i] * gainRight;
            }
            return;
        }
        for (std::uint32_t i = 0; i < frames; ++i) {
            const float l = busLeft[i] * gainLeft;
            const float r = busRight[i] * gainRight;
            masterLeft[i] += l;
            masterRight[i] += r;
            groupLeft[i] += l;
            groupRight[i] += r;
        }
        return;
    }
    for (std::uint32_t i = 0; i < frames; ++i) {
        const float l = busLeft[i] * left.next();
        const float r = busRight[i] * right.next();
        masterLeft[i] += l;
        masterRight[i] += r;
        if (groupLeft != nullptr) {
            groupLeft[i] += l;
            groupRight[i] += r;
        }
    }
}

} // namespace

void AudioEngine::Impl::mixSegment(const Outputs& out, std::uint32_t channelCount,
                                   std::uint32_t frames, OutputLayout layout) noexcept {
    bool anyActive = false;
    float* __restrict busLeft = scratchLeft.data();
    float* __restrict busRight = scratchRight.data();
    float* const left = out[0];
    float* const right = out[1];
    SegmentGains& g = segmentGains;
    for (std::size_t m = 0; m < maxMicrophones; ++m) {
        g.leftFrom[m] = micLeft[m].current();
        g.rightFrom[m] = micRight[m].current();
        micLeft[m].advance(frames);
        micRight[m].advance(frames);
        g.leftTo[m] = micLeft[m].current();
        g.rightTo[m] = micRight[m].current();
        g.monoFrom[m] = micMono[m].current();
        micMono[m].advance(frames);
        g.monoTo[m] = micMono[m].current();
        const std::uint32_t output =
            masterChannelCount + microphones[m].output.load(std::memory_order_relaxed);
        g.output[m] =
            layout == OutputLayout::microphones && output < channelCount ? out[output] : nullptr;
    }
    g.bleedFrom = bleedRamp.current();
    bleedRamp.advance(frames);
    g.bleedTo = bleedRamp.current();
    for (std::size_t r = 0; r < padRoleCount; ++r) {
        RoleVoices& voices = roles[r];
        if (voices.active == 0)
            continue;
        anyActive = true;
        std::fill_n(busLeft, frames, 0.0f);
        std::fill_n(busRight, frames, 0.0f);
        const std::uint32_t own = ownMicrophones[r].load(std::memory_order_relaxed);
        g.padGain = pads[r].gain.load(std::memory_order_relaxed);
        for (Voice& voice : voices.slots) {
            if (!voice.active())
                continue;
            const PlayableBuffer& source = *voice.source;
            const bool more = source.stream ? mixStreamed(voice, own, busLeft, busRight, frames)
                              : source.micChannels > 0
                                  ? mixMicrophones(voice, own, busLeft, busRight, frames)
                                  : mixVoice(voice, busLeft, busRight, frames, fadeFrames);
            if (!more)
                release(voices, voice);
        }
        const std::uint32_t group = firstChannelOf(outputGroupOf(allPadRoles[r]));
        const bool hasGroup = layout == OutputLayout::drums && group + 1 < channelCount;
        addBus(busLeft, busRight, voices.left, voices.right, left, right,
               hasGroup ? out[group] : nullptr, hasGroup ? out[group + 1] : nullptr, frames);
    }
    if (!anyActive)
        return;
    if (master.ramping()) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            const float gain = master.next();
            left[i] *= gain;
            right[i] *= gain;
        }
    } else if (master.current() != 1.0f) {
        const float gain = master.current();
        for (std::uint32_t i = 0; i < frames; ++i) {
            left[i] *= gain;
            right[i] *= gain;
        }
    }
}

} // namespace tamborel::audio
