#pragma once
// The voice engine. Its real-time contract: render() never allocates, frees, locks, logs or
// blocks, and every hand-off to it (hits, chokes, mix values, sample buffers) is lock-free.
//
// Fourteen role channels of six voices each, created once. A hit takes its role's next voice
// in round-robin order at gain velocity/127 (clamped to 1..127); each role's voices are
// summed, scaled by the role's mix gain and panned, then all roles are summed and scaled by
// the master volume; last, a stateless safety stage (SafetyLimiter.h) bends anything above
// about -1 dBFS softly under full scale and leaves the rest untouched. Where the block has
// more channels than the master pair, each drum group's roles (OutputGroups.h) are also
// summed into the group's own pair, after their mix gain and pan and before the master. Pan is a
// balance that leaves the centre at unity:
//     left  x min(1, 1 - pan),   right x min(1, 1 + pan),   pan in -1 (left) .. +1 (right).
// So that nothing clicks, a voice that is stopped (choke, steal, the next hit on the same
// voice) fades out over 2 ms (a damped one over 50 ms), and mix and master gains move over 5 ms; a
// stolen voice fades in a spare tail slot, so the new hit starts on time at full level.
//
// A pad may hold several samples, each with a velocity range and a gain: a hit plays one of
// those whose range holds its velocity, picked on the audio thread by the pad's selection
// table (model/SampleSelection.h) with turn and random state that thread owns. A pad whose
// takes go by power picks by the recordings' powers instead, and plays a recording that was
// not levelled at its recorded level, whatever the velocity.
//
// Microphones. A kit recorded on several microphones at once has recordings of as many
// channels, each feeding one of up to 32 microphones. A voice of such a recording mixes each
// channel into the pad's pair at its microphone's gain and pan (polarity, mute and solo
// included, the kit heard from the drummer's seat or the audience), times the bleed control
// where the microphone is not one of the pad's own; those gains glide over 5 ms as the pads'
// do. A silent microphone's channels are not mixed at all, and a recording heard on none but
// silent ones is not played (nor streamed).
//
// Threads: strike, choke, damp, hasSample and setMasterVolume (atomic stores) from any thread
// at any time; applyMix from the main thread; the sample operations from any non-real-time
// thread (they take turns on a lock the audio thread never touches); prepareToRender and the
// rendering notifications from the driver; render from the driver's audio thread.

#include "audio/AudioRenderer.h"
#include "audio/PlayAlong.h"
#include "audio/PlayedEvent.h"
#include "audio/SampleBuffer.h"
#include "audio/StreamSettings.h"
#include "model/AudioSettings.h"
#include "model/DrumKit.h"
#include "model/FileUrl.h"
#include "model/PadRole.h"
#include "timing/EventTime.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tamborel::audio {

struct StreamSource;

// One decoded sample of a pad with its velocity range and gain.
struct LayeredBuffer {
    SharedSampleBuffer buffer;
    int low = 1;
    int high = 127;
    float gain = 1.0f;
    float pan = 0.0f; // and `together`: as the PadSample's
    int together = 0;
    // Where the rest is, when `buffer` holds only the sample's start.
    std::shared_ptr<const StreamSource> stream = nullptr;
    // As the PadSample's: the microphone each channel feeds (empty: a stereo recording),
    // how hard it was struck, and whether it was levelled.
    std::vector<int> microphones = {};
    float power = 0.0f;
    bool normalized = false;
};

class AudioEngine final : public AudioRenderer {
public:
    static constexpr int voicesPerPad = 6;
    static constexpr double defaultSampleRate = 48000.0;

    AudioEngine();
    ~AudioEngine() override;
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Driver side. A new rate converts every sample held in memory to it, on the calling
    // thread; a streamed sample keeps only its start until it is loaded again at that rate.
    // The engine reads no files: loading is the loader's (KitLoader.h).
    void prepareToRender(double sampleRate, std::uint32_t maxFrames) override;
    // Fills the master pair and, where the block has them, the output groups' pairs
    // (OutputGroups.h): each group carries its pads after their own volume, pan, mute and
    // solo, before the master volume and the safety stage. Laid out by microphone, output n
    // carries the microphones whose output is n+1, mono: after their volume, polarity, mute,
    // solo and the bleed control and each pad's volume, before pan, the master volume and the
    // safety stage; with every pan centred, the outputs add up to either side of the master.
    void render(const AudioBlock& block) noexcept override;
    void renderingStarted() noexcept override;
    void renderingStopped() noexcept override;
    // True between renderingStarted and renderingStopped; hits are ignored otherwise.
    bool isRunning() const noexcept;

    // The gain a velocity plays at: min(max(velocity, 1), 127) / 127.
    static float velocityGain(int velocity) noexcept;

    // Plays the role's sample once on its next voice (of a pad of several, the one the
    // velocity picks, chosen when the hit is rendered). Sounds when `time` says (see
    // timing/EventTime.h): by default at the start of the next rendered block. Does nothing, and
    // leaves the round robin where it was, while not running or without a sample.
    void strike(PadRole role, int velocity, timing::EventTime time = {}) noexcept;
    // As above, at frame `frameOffset` of the next rendered block (clamped into the block).
    void strike(PadRole role, int velocity, std::uint32_t frameOffset) noexcept;
    // Plays one of the role's samples (its index among those last set) alone, not its takes
    // nor the samples that sound with it, at the velocity's gain times its own, at the start
    // of the next block: auditioning one sample of a pad. False when the role has no such
    // sample, or while not running.
    bool strikeMember(PadRole role, std::size_t member, int velocity) noexcept;
    // Fades out every sounding voice of the listed roles, when `time` says; the round robin
    // stays.
    void choke(std::span<const PadRole> roles, timing::EventTime time = {}) noexcept;
    void choke(std::initializer_list<PadRole> roles, timing::EventTime time = {}) noexcept {
        choke(std::span<const PadRole>(roles.begin(), roles.size()), time);
    }
    // Damps every sounding voice of the listed roles as a hand on a cymbal does: a 50 ms
    // fade, long enough not to sound like a gate. A later choke still cuts it short.
    void damp(std::span<const PadRole> roles, timing::EventTime time = {}) noexcept;
    // A note-off for the role: what it rings fades over its pad's release, if it has one
    // (DrumPad::release); otherwise nothing happens.
    void release(PadRole role, timing::EventTime time = {}) noexcept;
    bool hasSample(PadRole role) const noexcept;

    // Mix gain per listed pad (its volume, or 0 by the mute/solo rule: while any pad is
    // soloed only soloed pads sound, else muted pads are silent), pan per listed pad, and
    // the kit's master volume. Roles the kit lacks keep their gain and pan. The kit's
    // microphones likewise (the same mute/solo rule among them), its bleed control, each
    // pad's own microphones, and the pads each one chokes when it sounds (from the strike's
    // frame, before its own voices start; a role the kit lacks chokes nothing).
    void applyMix(const DrumKit& kit);
    void setMasterVolume(float volume);

    // Makes an already decoded buffer the role's sample (false for an empty one). Voices
    // still playing the old one finish it.
    bool setSample(PadRole role, SharedSampleBuffer buffer);
    // Makes the buffers the role's samples at once, in order: false, keeping the previous
    // ones, when the list is empty, longer than selection::maxSamplesPerPad or holds an empty
    // buffer, or a streamed sample's start in another format (loaded before a rate change,
    // whose rest would play at the old rate). Whole buffers in another format are converted.
    bool setSamples(PadRole role, std::vector<LayeredBuffer> samples,
                    TakeOrder order = TakeOrder::cycle);
    // Later hits of the role are silent; voices still playing finish.
    void clearSample(PadRole role);
    // The rendering rate, two channels.
    AudioFormat internalFormat() const;

    // Takes effect for the samples loaded after the call.
    void setStreamSettings(const StreamSettings& settings);
    StreamSettings streamSettings() const;
    // For renders that are not real time (a file render, a test): streamed voices wait for
    // their data instead of playing silence where it came late. Never for a live driver.
    void setWaitForStreams(bool wait);
    // Frames of streamed samples that came too late from disk and played as silence, since
    // the engine was made. maintain() logs them as they happen.
    std::uint64_t lateFrames() const noexcept;

    // The click (Click.h): sounds in the master after its volume, at its own level, never in
    // the separate outputs; on the block's click pair instead where it has one. Real-time
    // safe from any thread.
    void setMetronome(const Metronome& metronome) noexcept;
    void countIn(int bars) noexcept;
    bool countingIn() const noexcept;
    // Beat one on the next block (a take played back starts there), and where the click's
    // last bar began on the engine's clock (Click::lastBarFrame).
    void restartClick() noexcept;
    std::optional<std::uint64_t> clickBarFrame() const noexcept;
    // A song to play along with (PlayAlong.h): two channels at the engine's rate, decoded by
    // the caller off the audio thread; none removes it. It sounds where the click does, at
    // its own level. playSong starts the click at beat one on the next block, counts in
    // `countInBars` bars (none for 0) and starts the song on the bar line after them;
    // songStartFrame is that frame of clock(), while it waits or plays. Real-time safe but
    // setSong.
    void setSong(SharedSampleBuffer song);
    void playSong(int countInBars) noexcept;
    void stopSong() noexcept;
    void setSongLevel(float level) noexcept;
    PlayAlong::State songState() const noexcept;
    std::optional<std::uint64_t> songStartFrame() const noexcept;

    // What was played, for a host that keeps takes. While kept, each message handed to
    // `played` goes through the event queue with the hits and leaves the audio thread,
    // stamped with the frame it sounded at, through a lock-free queue that nextPlayed drains
    // (any one thread). Messages are dropped while nothing is kept, while not running, and
    // when that queue is full (a host that stopped draining it).
    void keepPlayed(bool on) noexcept;
    void played(PlayedEvent::Kind kind, int number, int value, timing::EventTime time) noexcept;
    std::optional<PlayedEvent> nextPlayed() noexcept;
    // Frames rendered since the engine was made: the clock played events are stamped by.
    std::uint64_t clock() const noexcept;

    // Frees replaced sample buffers that no voice can read any more. Sample operations do
    // this too.
    void collectGarbage();
    // Main-thread housekeeping, for a timer every few milliseconds; never waits. Logs
    // "Dropped N strikes or chokes: the event queue was full" when any were dropped since
    // the last call, and frees replaced buffers once their last voice has ended (skipped
    // while a sample operation holds the samples).
    void maintain();

private:
    void fadeOut(std::span<const PadRole> roles, bool damped, timing::EventTime time) noexcept;

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tamborel::audio
