#pragma once
// The engine's state, shared by its control side (AudioEngine.cpp) and its render side
// (EngineRender.cpp). Internal to the audio layer.

#include "audio/AudioEngine.h"
#include "audio/Click.h"
#include "audio/GainRamp.h"
#include "audio/OutputGroups.h"
#include "audio/PlayAlong.h"
#include "audio/SampleStreamer.h"
#include "audio/Voice.h"
#include "platform/BoundedQueue.h"
#include "timing/EventTime.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tamborel::audio {

// A hit or a choke on its way to the audio thread.
struct EngineEvent {
    static constexpr std::uint8_t anyMember = 0xFF;
    enum class Type : std::uint8_t { strike, choke, damp, release, played };
    Type type = Type::strike;
    std::uint8_t role = 0;       // strike; played: the note or controller
    std::uint16_t chokeMask = 0; // choke, damp and release: one bit per role index
    std::uint8_t velocity = 0;   // strike: picks among the pad's samples; played: the value
    PlayedEvent::Kind playedKind = PlayedEvent::Kind::note;
    std::uint8_t member = anyMember; // strike: this sample of the pad's alone
    float gain = 0.0f;               // strike
    std::uint32_t generation = 0;
    timing::EventTime time;
};

struct AudioEngine::Impl {
    static constexpr std::size_t queueCapacity = 1024;
    static constexpr std::size_t maxEventsPerBlock = 256;
    static constexpr std::size_t maxHeldEvents = 64;
    static constexpr std::uint32_t chunkFrames = 512;
    static constexpr int tailSlots = 4;
    static constexpr double fadeSeconds = 0.002;
    static constexpr double dampSeconds = 0.05;
    static constexpr double rampSeconds = 0.005;
    // Every voice of every pad may stream, and a stopped one holds its slot a moment longer.
    static constexpr std::uint32_t streamSlots =
        padRoleCount * (AudioEngine::voicesPerPad + tailSlots) + 32;

    // --- shared between threads ---
    struct PadChannel {
        std::atomic<PlayableSet*> current{nullptr};
        std::atomic<float> gain{1.0f};
        std::atomic<float> pan{0.0f};
    };
    std::array<PadChannel, padRoleCount> pads;
    std::atomic<float> masterGain{1.0f};
    // Each microphone's gain on each side: its volume, polarity, mute, solo and pan.
    struct MicChannel {
        std::atomic<float> left{1.0f};
        std::atomic<float> right{1.0f};
        std::atomic<float> mono{1.0f};       // before pan, for its own output
        std::atomic<std::uint8_t> output{0}; // that output's index
    };
    std::array<MicChannel, maxMicrophones> microphones;
    std::atomic<float> bleed{1.0f};
    std::atomic<bool> squaredVelocity{false}; // see DrumKit::squaredVelocity
    // Per role, the seconds a note-off fades it over; negative: note-offs leave it ringing.
    std::array<std::atomic<float>, padRoleCount> releaseSeconds{};
    // Per role, one bit per microphone that is the pad's own.
    std::array<std::atomic<std::uint32_t>, padRoleCount> ownMicrophones;
    // Per role, the roles a strike of it chokes (one bit each), and over how long each fades.
    std::array<std::atomic<std::uint16_t>, padRoleCount> chokes{};
    std::array<std::array<std::atomic<float>, padRoleCount>, padRoleCount> chokeSeconds{};
    std::atomic<bool> running{false};
    // Bumped when rendering (re)starts: hits queued before that are stale and dropped.
    std::atomic<std::uint32_t> generation{0};
    std::atomic<bool> resetPending{false};
    // Odd while a render is in progress; tells when a replaced buffer can no longer be
    // picked up by the audio thread.
    std::atomic<std::uint64_t> renderSequence{0};
    std::atomic<double> sampleRate{AudioEngine::defaultSampleRate};
    std::atomic<std::uint32_t> maxFrames{256};
    platform::BoundedQueue<EngineEvent, queueCapacity> events;
    // What was played, on its way out; a take of a few minutes' fast playing fits.
    std::atomic<bool> keepPlayed{false};
    platform::BoundedQueue<PlayedEvent, 8192> playedOut;
    std::atomic<std::uint64_t> clock{0};
    Click click;
    PlayAlong playAlong; // its control side under settingsMutex
    // Hits and chokes that found the queue full, since maintain() last reported them.
    std::atomic<std::uint64_t> droppedEvents{0};
    // retired.size(), readable without the mutex so that maintain() need not take it.
    std::atomic<std::size_t> retiredCount{0};
    // Made with the first streamed sample, then kept for the engine's life.
    std::atomic<SampleStreamer*> streamer{nullptr};
    // Offline renders wait for streamed data rather than play silence in its place.
    std::atomic<bool> waitForStreams{false};
    mutable std::mutex settingsMutex; // never taken by the audio thread
    StreamSettings streamSettings;
    std::uint64_t lateReported = 0; // main thread: late frames already logged

    // --- non-real-time side, under samplesMutex ---
    std::mutex samplesMutex;
    std::vector<PlayableSet*> retired;
    std::unique_ptr<SampleStreamer> streamerOwner;

    // Replaces the role's set; an empty list clears it. With a table, reuses it instead of
    // building one from the samples' ranges.
    bool publishLocked(std::size_t role, std::vector<LayeredBuffer> samples, TakeOrder order,
                       const selection::VelocityTable* table = nullptr);
    void collectLocked();
    AudioFormat formatLocked() const { return {sampleRate.load(), 2}; }

    // --- audio thread only ---
    struct RoleVoices {
        // The first voicesPerPad slots are the round-robin pool; the rest hold fading tails.
        std::array<Voice, AudioEngine::voicesPerPad + tailSlots> slots{};
        std::uint32_t roundRobin = 0;
        selection::TakeState takes;
        const PlayableSet* takesOf = nullptr; // the set `takes` belongs to
        std::uint32_t active = 0;
        GainRamp left;
        GainRamp right;
    };
    struct PendingEvent {
        EngineEvent event;
        std::uint32_t offset = 0;
    };
    std::array<RoleVoices, padRoleCount> roles;
    GainRamp master;
    std::array<GainRamp, maxMicrophones> micLeft;
    std::array<GainRamp, maxMicrophones> micRight;
    std::array<GainRamp, maxMicrophones> micMono;
    GainRamp bleedRamp;
    // Over the segment being mixed: each microphone's gain on each side at its start and its
    // end, and the bleed's, for voices to glide between.
    struct SegmentGains {
        std::array<float, maxMicrophones> leftFrom{};
        std::array<float, maxMicrophones> leftTo{};
        std::array<float, maxMicrophones> rightFrom{};
        std::array<float, maxMicrophones> rightTo{};
        std::array<float, maxMicrophones> monoFrom{};
        std::array<float, maxMicrophones> monoTo{};
        // Where each microphone's own output is in this segment, when the block has it.
        std::array<float*, maxMicrophones> output{};
        float padGain = 1.0f; // the pad being mixed, for the microphone outputs
        float bleedFrom = 1.0f;
        float bleedTo = 1.0f;
    };
    SegmentGains segmentGains;
    std::array<float, chunkFrames> voiceGains{};
    std::array<PendingEvent, maxEventsPerBlock> pending{};
    std::size_t pendingCount = 0;
    // Time-stamped events due after this block, placed again at the start of the next.
    std::array<EngineEvent, maxHeldEvents> held{};
    std::size_t heldCount = 0;
    std::array<float, chunkFrames> scratchLeft{};
    std::array<float, chunkFrames> scratchRight{};
    // What a streamed voice fetches: each channel's chunk, the first two a stereo one's.
    std::array<float, maxMicrophones * chunkFrames> streamChannels{};
    SampleStreamer* renderStreamer = nullptr;
    // Frames rendered since the engine was made, and the frame the event being applied is at.
    std::uint64_t renderedFrames = 0;
    std::uint64_t eventFrame = 0;
    double renderRate = AudioEngine::defaultSampleRate;
    std::uint32_t fadeFrames = 96;
    std::uint32_t dampFrames = 2400;
    std::uint32_t rampFrames = 240;

    // Room for either layout's channels.
    static constexpr std::uint32_t blockChannels =
        std::max(allChannelCount, masterChannelCount + maxMicrophoneOutputs);
    using Outputs = std::array<float*, blockChannels>;
    void renderBlock(Outputs& out, std::uint32_t channelCount, std::uint32_t frames,
                     std::int64_t blockStartNanos, OutputLayout layout) noexcept;
    void gatherEvents(std::uint32_t frames, std::int64_t blockStartNanos) noexcept;
    void schedule(const EngineEvent& event, std::uint32_t frames, std::int64_t& blockStartNanos,
                  bool heldBefore) noexcept;
    void updateGainTargets() noexcept;
    void apply(const EngineEvent& event) noexcept;
    void startVoice(std::size_t role, int velocity, float gain,
                    std::uint8_t member = EngineEvent::anyMember) noexcept;
    void chokeRoles(std::uint16_t mask, std::uint32_t frames) noexcept;
    void chokeChokedBy(std::size_t role) noexcept;
    void moveToTail(RoleVoices& voices, Voice& voice) noexcept;
    void release(RoleVoices& voices, Voice& voice) noexcept;
    void releaseAll() noexcept;
    bool mixStreamed(Voice& voice, std::uint32_t ownMask, float* left, float* right,
                     std::uint32_t frames) noexcept;
    bool mixMicrophones(Voice& voice, std::uint32_t ownMask, float* left, float* right,
                        std::uint32_t frames) noexcept;
    std::uint32_t mixMicrophoneInput(Voice& voice, std::uint32_t ownMask, const float* const* in,
                                     std::uint32_t available, float* left, float* right,
                                     std::uint32_t frames, std::uint32_t at,
                                     std::uint32_t segmentFrames) noexcept;
    bool silentMicrophones(const PlayableBuffer& buffer) const noexcept;
    void mixSegment(const Outputs& out, std::uint32_t channelCount, std::uint32_t frames,
                    OutputLayout layout) noexcept;
};

} // namespace tamborel::audio
