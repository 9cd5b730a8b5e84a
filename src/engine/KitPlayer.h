#pragma once
// Everything a host needs to play a kit: the voice engine, the hit routing (note map, hi-hat
// pedal, chokes, grabs, velocity curve) and the kit loader, behind one object. The
// application, tamborel-render and the LV2 plugin all play through it; it reaches no device,
// no MIDI API and no toolkit.
//
// Threads:
// - render, noteOn, controlChange, polyPressure and midi are real-time safe (no allocation,
//   lock, log or wait). With frame offsets, the MIDI calls belong on the thread that renders,
//   before the block they land in; with EventTime, on any thread. setExpression and
//   setMasterVolume are atomic stores, real-time safe from any thread.
// - everything else from non-real-time threads, one at a time (the host's main thread, or
//   its worker thread for the loading calls).

#include "audio/AudioEngine.h"
#include "audio/AudioRenderer.h"
#include "audio/KitLoader.h"
#include "engine/HitRouter.h"
#include "model/DrumKit.h"
#include "model/Expression.h"
#include "timing/EventTime.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tamborel::engine {

class KitPlayer {
public:
    struct LoadProgress {
        std::size_t done = 0; // samples loaded or failed
        std::size_t total = 0;
        std::size_t failed = 0;
        bool finished() const { return done == total; }
    };
    enum class Loading { background, beforeReturning };

    KitPlayer();
    ~KitPlayer();
    KitPlayer(const KitPlayer&) = delete;
    KitPlayer& operator=(const KitPlayer&) = delete;

    // The host's rate and largest block, before rendering and whenever they change (never
    // while rendering). Samples already loaded are converted to the new rate.
    void prepare(double sampleRate, std::uint32_t maxFrames);
    // How much of a kit stays in memory, for the kits set after: a kit larger than the
    // budget keeps the start of each sample and streams the rest from disk as it plays.
    // By default, the engine's budget with converted samples cached in the user's cache
    // folder ($XDG_CACHE_HOME/tamborel/converted).
    void setStreamSettings(const audio::StreamSettings& settings);
    // Only the budget: kits whose files take more than `bytes` on disk are streamed.
    void keepKitsWholeUpTo(std::uint64_t bytes);
    // For hosts that render faster than real time (a render to a file): streamed samples
    // are waited for rather than played as silence when the disk cannot keep up. Never for
    // a live driver.
    void setRenderingOffline(bool offline);
    // Hits are ignored outside startRendering .. stopRendering.
    void startRendering() noexcept;
    void stopRendering() noexcept;

    // Plays `kit`: its note map at once, its mix, and its samples loaded on worker threads
    // (one per core). Each pad keeps its old sound until its new samples are in; pads the kit
    // leaves empty fall silent. A kit set while another still loads stops that load.
    void setKit(const DrumKit& kit, Loading loading = Loading::background);
    // Of the kit last set; finished (0 of 0) before any.
    LoadProgress loadProgress() const noexcept;
    // Blocks until the kit last set is loaded; per pad of that kit with samples, in its
    // order, whether each of the pad's played samples loaded.
    std::vector<std::vector<bool>> waitUntilLoaded();
    // A pad the drummer changes while the kit loads keeps the drummer's change: once this
    // returns, the kit's load hands nothing more to the role.
    void keepPad(PadRole role);
    // Loads these pads' samples now, on every core, and plays them; per pad, whether each
    // sample loaded. A pad none of whose samples loaded keeps its previous sound.
    std::vector<std::vector<bool>> loadPads(std::vector<audio::PadLoad> pads);
    // Later strikes of the role are silent; voices still sounding finish.
    void clearPad(PadRole role);

    // The velocity curve, lowest and fixed velocity, pedal controller and calibration.
    void setExpression(const Expression& expression);
    // Volumes, pans, mutes and solos of the kit's pads, and its master volume.
    void applyMix(const DrumKit& kit);
    void setMasterVolume(float volume);

    // MIDI-level input. `frame` is the event's frame in the next rendered block; an
    // EventTime may also say "as soon as possible" or carry an arrival time. noteOn returns
    // the role that sounded, none for a note no pad plays.
    std::optional<PadRole> noteOn(int note, int velocity, std::uint32_t frame) noexcept;
    std::optional<PadRole> noteOn(int note, int velocity, audio::EventTime time) noexcept;
    void controlChange(int controller, int value, std::uint32_t frame) noexcept;
    void controlChange(int controller, int value, audio::EventTime time) noexcept;
    void polyPressure(int note, int pressure, std::uint32_t frame) noexcept;
    void polyPressure(int note, int pressure, audio::EventTime time) noexcept;
    // Raw MIDI bytes (one or more messages, running status within them) at `frame` of the next
    // rendered block, decoded as engine/MidiDecoder.h says: note-ons, the pedal's controller
    // and key pressure play as the three calls above do; everything else is ignored.
    // Real-time safe.
    void midi(std::span<const std::uint8_t> bytes, std::uint32_t frame) noexcept;

    // Fills every channel of the block (see AudioBlock): the stereo master first.
    void render(const audio::AudioBlock& block) noexcept;

    // Non-real-time housekeeping, for a timer every few milliseconds: frees retired sample
    // buffers once no voice can read them, and logs dropped events.
    void maintain();

    // For hosts that do more than play (the application's learn, capture and editing).
    audio::AudioEngine& engine() noexcept;
    HitRouter& router() noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tamborel::engine
