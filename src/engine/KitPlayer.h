#pragma once
// The one door into the engine: everything a host needs to play a kit (the voice engine, the
// hit routing with its note map, hi-hat pedal, chokes, grabs and velocity curve, and the one
// loader through which every file reaches a pad) behind one object. The application,
// tamborel-render and the LV2 plugin all play through it, and a driver renders it; it reaches
// no device, no MIDI API and no toolkit.
//
// Threads:
// - render, strike, controlChange, polyPressure, midi and the queries marked noexcept are
//   real-time safe (no allocation, lock, log or wait). With frame offsets, the MIDI calls belong
//   on the thread that renders, before the block they land in; with timing::EventTime, on any
//   thread. setExpression and setMasterVolume are atomic stores, real-time safe from any thread.
// - prepareToRender and renderingStarted/Stopped come from the driver, as AudioRenderer says.
// - everything else from non-real-time threads, one at a time (the host's main thread, or
//   its worker thread for the loading calls).

#include "audio/AudioRenderer.h"
#include "audio/PadLoad.h"
#include "audio/PlayAlong.h"
#include "audio/PlayedEvent.h"
#include "audio/StreamSettings.h"
#include "engine/TimedMessage.h"
#include "model/AudioSettings.h"
#include "model/DrumKit.h"
#include "model/Expression.h"
#include "timing/EventTime.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tamborel::audio {
class KitLoader;
}

namespace tamborel::engine {

struct SourceNoteMap;

class KitPlayer final : public audio::AudioRenderer {
public:
    struct LoadProgress {
        std::size_t done = 0; // samples loaded or failed
        std::size_t total = 0;
        std::size_t failed = 0;
        bool finished() const { return done == total; }
    };
    enum class Loading { background, beforeReturning };
    // A strike that sounded: its role and the velocity it played at, after the curve.
    struct Played {
        PadRole role = PadRole::kick;
        int velocity = 0;
    };

    // Some pads being loaded (loadPads): poll it, or wait for it, from the thread that asked.
    class PadLoading {
    public:
        bool finished() const noexcept;
        LoadProgress progress() const noexcept;
        void wait();
        // Once finished: per pad asked for, in order, which samples loaded and what it plays.
        std::vector<audio::PadLoaded> results() const;

    private:
        friend class KitPlayer;
        std::shared_ptr<audio::KitLoader> loader_;
    };

    KitPlayer();
    ~KitPlayer() override;
    KitPlayer(const KitPlayer&) = delete;
    KitPlayer& operator=(const KitPlayer&) = delete;

    // --- the driver's side (AudioRenderer) ---
    // A new rate converts the samples in memory at once, then loads the kit's pads again at
    // that rate through the loader (from the converted cache where it has them), in the
    // background, or before returning for offline renders.
    void prepareToRender(double sampleRate, std::uint32_t maxFrames) override;
    // Fills every channel of the block (see AudioBlock): the stereo master first.
    void render(const audio::AudioBlock& block) noexcept override;
    // Strikes are ignored outside renderingStarted .. renderingStopped.
    void renderingStarted() noexcept override;
    void renderingStopped() noexcept override;
    bool isRunning() const noexcept;

    // --- how kits are held ---
    // By default a kit whose files take more than 64 MiB keeps the start of each sample and
    // streams the rest from disk as it plays, with samples of another rate converted once
    // into the user's cache folder ($XDG_CACHE_HOME/tamborel/converted).
    void setStreamSettings(const audio::StreamSettings& settings);
    // Only the budget: kits whose files take more than `bytes` on disk are streamed. For the
    // kits set after.
    void keepKitsWholeUpTo(std::uint64_t bytes);
    // For hosts that render faster than real time (a render to a file): streamed samples
    // are waited for rather than played as silence when the disk cannot keep up, and a rate
    // change loads again before returning. Never for a live driver.
    void setRenderingOffline(bool offline);

    // --- kits and pads ---
    // Plays `kit`: its note map at once, its mix, and its samples loaded on worker threads
    // (one per core). Each pad keeps its old sound until its new samples are in; pads the kit
    // leaves empty fall silent. A kit set while another (or some pads) still loads stops
    // that load. Whether the kit streams is decided here, for its pads loaded later too.
    void setKit(const DrumKit& kit, Loading loading = Loading::background);
    // Loads the files of kits likely to be set next (the neighbours of the playing kit in the
    // Program Change list) in the background, held as setKit would hold them, so that setting
    // one of them plays at once. Replaces the kits asked for before; none frees them.
    void loadAhead(const std::vector<DrumKit>& kits);
    // Whether the kits last asked for are all loaded ahead; waitUntilAhead blocks until then.
    bool aheadReady() const;
    void waitUntilAhead();
    // Of the kit last set; finished (0 of 0) before any.
    LoadProgress loadProgress() const noexcept;
    // Blocks until the kit last set is loaded; per pad of that kit with samples, in its
    // order, whether each of the pad's played samples loaded.
    std::vector<std::vector<bool>> waitUntilLoaded();
    // Loads these pads' samples on every core, held as the kit's are (whole or streamed, from
    // the converted cache), and plays each pad as soon as it is in; arranges those that ask.
    // A pad none of whose samples loaded keeps its previous sound. What a still loading kit
    // or an earlier call would bring to these pads is not handed over any more.
    PadLoading loadPads(std::vector<audio::PadLoad> pads);
    // Later strikes of the role are silent; voices still sounding finish.
    void clearPad(PadRole role);
    // The kit's new note map: which role each note plays.
    void setNotes(const DrumKit& kit);
    // Sources whose notes a map of their own reads instead (see HitRouter.h).
    void setSourceNotes(std::vector<SourceNoteMap> maps);
    // Volumes, pans, mutes and solos of the kit's pads, and its master volume.
    void applyMix(const DrumKit& kit);
    void setMasterVolume(float volume);
    // The velocity curve, lowest and fixed velocity, pedal controller and calibration.
    void setExpression(const Expression& expression);

    // --- playing ---
    // A note at its frame in the next rendered block, or when an timing::EventTime says; returns
    // what sounded, none for a note no pad plays.
    std::optional<Played> strike(int note, int velocity, std::uint32_t frame) noexcept;
    std::optional<Played> strike(int note, int velocity, timing::EventTime time = {}) noexcept;
    void controlChange(int controller, int value, std::uint32_t frame) noexcept;
    void controlChange(int controller, int value, timing::EventTime time = {}) noexcept;
    void polyPressure(int note, int pressure, std::uint32_t frame) noexcept;
    void polyPressure(int note, int pressure, timing::EventTime time = {}) noexcept;
    // A note-off: releases the note's pad where the kit asks for it (DrumPad::release).
    void release(int note, timing::EventTime time = {}) noexcept;
    // A pad struck from the screen, at the next block: no velocity curve nor pedal, but a
    // closing hat still chokes.
    void strikePad(PadRole role, int velocity) noexcept;
    // Plays the one sample of the pad loaded from `url` alone (not its takes nor the samples
    // that sound with it) at the next block; false when the pad plays no such sample or
    // while not running.
    bool audition(PadRole role, const FileUrl& url, int velocity);
    // Raw MIDI bytes (one or more messages, running status within them) at `frame` of the next
    // rendered block, decoded as engine/MidiDecoder.h says: note-ons, the pedal's controller
    // and key pressure play as the three calls above do; everything else is ignored.
    // Real-time safe.
    void midi(std::span<const std::uint8_t> bytes, std::uint32_t frame) noexcept;

    // --- practice ---
    // The click (audio/Click.h), in the master at its own level: real-time safe.
    void setMetronome(const Metronome& metronome) noexcept;
    void countIn(int bars) noexcept;
    bool countingIn() const noexcept;
    // A song to play along with (audio/PlayAlong.h, AudioEngine::setSong and the rest).
    void setSong(audio::SharedSampleBuffer song);
    void playSong(int countInBars) noexcept;
    void stopSong() noexcept;
    void setSongLevel(float level) noexcept;
    audio::PlayAlong::State songState() const noexcept;
    std::optional<std::uint64_t> songStartFrame() const noexcept;
    // While on, every note-on, pedal controller and key pressure played through the calls
    // above leaves the audio thread stamped with the frame it sounded at (clock()), whether a
    // pad plays it or not, for nextPlayed to drain on one non-real-time thread.
    void keepPlayed(bool on) noexcept;
    std::optional<audio::PlayedEvent> nextPlayed() noexcept;
    std::uint64_t clock() const noexcept;
    double sampleRate() const;
    // Where the click's last bar began on clock() (audio/Click.h), none before it sounded one.
    std::optional<std::uint64_t> clickBarFrame() const noexcept;

    // --- playing a performance back (a kept take; engine/Playback.h) ---
    // From the next block on, each message at its frame from there, sample-exact, with the
    // click set to `click` and at beat one there when given (the host sets its own back
    // after). Replaces what plays back; an empty list stops it. Not kept as played.
    // Non-real-time, one thread.
    void playBack(std::vector<TimedMessage> messages, std::optional<Metronome> click);
    // Frames played back while messages remain to be sent; none otherwise. Real-time safe.
    std::optional<std::uint64_t> playbackPosition() const noexcept;

    // --- what the host may ask, real-time safe ---
    // The role a strike of `note` plays now: its mapped role, with an open hat's note
    // following the pedal to the half-open or closed hat; by the source's own map where it
    // has one.
    std::optional<PadRole> playedRole(int note, std::uint32_t source = 0) const noexcept;
    bool isPedalController(int controller) const noexcept;
    bool hasSample(PadRole role) const noexcept;
    // Frames of streamed samples that came too late from disk and played as silence.
    std::uint64_t lateFrames() const noexcept;

    // Non-real-time housekeeping, for a timer every few milliseconds: frees retired sample
    // buffers once no voice can read them, lets finished loads go, and logs dropped events.
    void maintain();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tamborel::engine
