#pragma once
// The one application state: owns the kit player, the audio output and the MIDI input,
// holds the kit and the settings, handles hits, learn, capture, kit, sample and mix
// operations, keeps every take (Takes.h), and publishes what the pages show.
//
// Threads: everything here runs on the main thread, except strike, controlChange and
// polyPressure, which run on a MIDI receive thread (with JACK, the audio thread) and are
// real-time safe: they read the mode flags lock-free, play through the kit player, and hand
// everything they publish to the main thread through a lock-free queue.

#include "controller/Published.h"
#include "controller/ScrollRule.h"
#include "model/AudioSettings.h"
#include "model/DrumKit.h"
#include "timing/EventTime.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::platform {
class MainQueue;
}
namespace tamborel::engine {
class KitPlayer;
}
namespace tamborel::midi {
class MIDIManager;
}

namespace tamborel::controller {

struct AppStateOptions {
    // Off for offline use (tests, tamborel-render): the engine is then rendered by the caller.
    bool openAudioDevices = true;
    bool openMidi = true;
    // Off: kit operations return with every sample loaded (still decoded on every core).
    bool loadInBackground = true;
};

// The rate the latency is figured at without an audio output.
inline constexpr double offlineSampleRate = 48000.0;

class AppState {
public:
    explicit AppState(platform::MainQueue& mainQueue, AppStateOptions options = {});
    ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Starts audio, loads the samples, connects MIDI. Called once the window is shown.
    void boot();

    // Published state. `setObserver`'s callback runs on the main thread after each change.
    const Published& published() const { return published_; }
    void setObserver(std::function<void(Field)> observer);

    // Presentation fields the pages write directly.
    void setHoveredRole(std::optional<PadRole> role);
    void setCapturingForAssign(bool capturing);
    void setCapturedRole(std::optional<PadRole> role);

    // A pad struck from the screen.
    void strikePad(PadRole role);

    // MIDI learn and capture-for-assign
    void startLearn(PadRole role);
    void cancelLearn();
    void assignNote(std::int64_t note, PadRole role);
    void armCaptureForAssign();
    void cancelCapture();
    // Gives the last note that no pad plays (published as unmappedNote) to the pad of the next
    // strike, through the capture sheet; the strike plays nothing and no sample is asked for.
    // Does nothing while no such note is waiting.
    void armAssignUnmappedNote();

    // Drum modules: gives every pad of the kit the module's notes (the kit becomes unsaved)
    // and, while the pedal is not calibrated, follows the module's pedal. An index past
    // moduleMaps::all() is ignored.
    void chooseDrumModule(std::size_t index);

    // Kit and sample operations
    void assignSample(const std::filesystem::path& file, PadRole role);
    // Makes the files the pad's samples, arranged into velocity layers and round-robin takes
    // by their names, then by their measured loudness (sampleSets::arrange). One file is
    // assignSample; files that cannot play are left out. Of several files the status line
    // says how many the pad took and names those left out, and says so when their names
    // belong to different sounds (sampleSets::unrelatedNames) that now play as one.
    void assignSamples(const std::vector<std::filesystem::path>& files, PadRole role);
    // Adds the files to the pad's samples: all of them are arranged again as assignSamples
    // arranges, the pad's own keeping their gain and pan. Files the pad holds already, files
    // that cannot play and those past selection::maxSamplesPerPad are left out, and named.
    // On a pad without samples, assignSamples.
    void addSamples(const std::vector<std::filesystem::path>& files, PadRole role);
    // Plays one of the pad's samples (an index into its playedSamples()) on its own, at the
    // top of its velocity range (no harder than a click on the pad plays).
    void auditionSample(PadRole role, std::size_t index);
    // Replaces the pad's samples as edited (ranges, gains, order, removals): the main sample
    // stays where it is among them, else the first becomes it; files that cannot play are
    // left out. Ignored when the list breaks the document's rules. Empty clears the pad.
    void setPadSamples(PadRole role, const std::vector<PadSample>& samples, TakeOrder order);
    void clearSample(PadRole role);
    void importFolder(const std::filesystem::path& folder);
    void importFiles(const std::vector<std::filesystem::path>& files);
    // Saves the kit in the kits folder; the status line says where, or that it could not.
    // (Operations that save the kit as they change it do so without a word.)
    void saveKit();
    void newKit();
    void loadKit(const std::filesystem::path& file);
    // Opens a kit document (.json), a Hydrogen kit (drumkit.xml, .h2drumkit) or an SFZ kit as
    // a new, unsaved kit; lastHit then says what was imported and left out, or why nothing was.
    // Reads the kit on a worker thread; the status bar shows "Importing <file> … 37 %" and
    // the kit is taken in (or the failure told) once it is done. One import at a time.
    // A SoundFont's drum preset by name (empty: its first).
    void importKit(const std::filesystem::path& file, const std::string& preset = {});
    // Stops the import under way; the kit in use stays.
    void cancelImport();
    // Lists the installed Hydrogen kits again (boot lists them once), and imports one of them.
    void refreshInstalledKits();
    void importInstalledKit(std::size_t index);
    // Writes the kit to the file; the status line says where, or that it could not.
    void exportKit(const std::filesystem::path& file);
    // Saves the kit (a preset plays the kit's file, so it plays what is saved) and writes it as
    // a preset of the LV2 plugin into ~/.lv2; the status line says where, or why it could not.
    void exportPluginPreset();
    void renameKit(const std::string& name);
    // Takes back, or does again, the last kit edit: samples assigned or removed, ranges,
    // clears, learnt notes, the mix, the name. Undoing a change of samples saves the kit
    // again, as the change did; other edits leave it unsaved. Loading, importing or starting
    // a kit begins a new history.
    void undo();
    void redo();

    // Mix controls
    void setVolume(float volume, PadRole role);
    void setPan(float pan, PadRole role);
    void toggleMute(PadRole role);
    void toggleSolo(PadRole role);
    void setMaster(float volume);
    // The mix of a kit recorded on several microphones: each microphone (by its index in the
    // kit's list) and the bleed and audience view beside them, heard at once and undone as
    // the pads' mix is. A kit without microphones, an index it lacks or a number that is not
    // finite changes nothing. Volumes below 0 are 0, pans beyond -1..1 and bleed beyond 0..1
    // are clamped; an output is 0 (the microphone's own) or 1..maxMicrophones, others are
    // ignored.
    void setMicrophoneVolume(std::size_t index, float volume);
    void setMicrophonePan(std::size_t index, float pan);
    void toggleMicrophoneMute(std::size_t index);
    void toggleMicrophoneSolo(std::size_t index);
    void toggleMicrophonePolarity(std::size_t index);
    void setMicrophoneOutput(std::size_t index, int output);
    void setBleed(float bleed);
    void setAudienceView(bool on);
    // Scroll-to-volume over the hovered pad. True when the event was used and must not
    // scroll anything else.
    bool handleScroll(const ScrollEvent& event);

    // Devices, MIDI sources and settings
    void refreshDevices();
    void refreshMIDISources();
    void applySettings(const AudioSettings& settings);
    // Each drum on an output pair of its own beside the master (JACK only), stored with the
    // settings; the master plays on without a gap.
    void setSeparateOutputs(bool on);
    // What those outputs carry: each drum's pair, or, for a kit recorded on microphones, a
    // mono output per microphone output named after its microphone; the ports follow the kit.
    void setOutputsBy(OutputsBy by);
    // Kits by program: the kit file a Program Change of `program` (1..128) loads, stored with
    // the settings; none takes the program off the list. Other programs are ignored.
    void setProgramKit(int program, const std::optional<std::filesystem::path>& kitFile);

    // The module's expression: stored with the settings and applied at once, without
    // touching the audio output. Values outside 1..127 (controller: 0..127) are clamped.
    void setVelocityCurve(VelocityCurve curve);
    void setLowestVelocity(int velocity);
    void setFixedVelocity(int velocity);
    void setPedalController(int controller);
    // Hi-hat pedal calibration; see PedalCalibrationStep. Cancelling keeps the previous
    // calibration; clearing takes the pedal's values as they come again.
    void startPedalCalibration();
    void advancePedalCalibration();
    void cancelPedalCalibration();
    void clearPedalCalibration();
    // The click: stored with the settings and played at once (engine side: audio/Click.h).
    void setMetronome(const Metronome& metronome);
    // `bars` bars of click from now, beat one first, whether the click is on or not.
    void countIn(int bars);
    // Play along (PlayAlong.cpp). The file is decoded whole at the engine's rate on a worker
    // thread (before returning when loading does not run in the background); a file that
    // cannot be decoded is refused with the reason (told, logged and published), and the song
    // before it stays. playAlong starts the song on the click's bar line after the settings'
    // count-in (metronome.countInBars), or stops it.
    void chooseSong(const std::filesystem::path& file);
    void playAlong(bool on);
    void setSongLevel(float level);
    // A tap of the tempo (TapTempo.h): from the second tap after a pause, the click takes the
    // taps' tempo.
    void tapTempo(std::chrono::steady_clock::time_point at = std::chrono::steady_clock::now());

    // --- the kept takes (Takes.h, TakePlayback.cpp) ---
    std::filesystem::path takesFolder() const;
    // Plays the take back through the kit now playing, sample-exact through the engine, with
    // the click it was recorded with (silent if it had none), from the start of the bar it
    // began in; replaces a take playing. False when the file cannot be read.
    bool playTake(const std::filesystem::path& file);
    void stopTake();
    std::optional<std::filesystem::path> playingTake() const;
    // Bounces the take through the kit now playing into `wav` and, given a folder, stems by
    // drum in it: tamborel-render's own code, on a worker thread; the status line tells how
    // it went.
    void bounceTake(const std::filesystem::path& file, const std::filesystem::path& wav,
                    const std::optional<std::filesystem::path>& stems);
    bool bouncing() const;

    // Whether the engine is producing sound right now (the status bar's "Running").
    bool isEngineRunning() const;

    // The MIDI handlers boot() installs; public so offline tools can feed events. A strike
    // plays through the kit player, as every host's does, unless learn or capture takes it.
    void strike(int note, int velocity, timing::EventTime time = {}) noexcept;
    void controlChange(int controller, int value, timing::EventTime time = {}) noexcept;
    void polyPressure(int note, int pressure, timing::EventTime time = {}) noexcept;
    // Program 0..127 as sent: the main thread loads the kit the settings give program + 1
    // (programKits), as choosing it from the kit menu would; other programs change nothing.
    void programChange(int program, timing::EventTime time = {}) noexcept;
    // Publishes what the MIDI thread has handed over. Runs by itself every few
    // milliseconds on the main queue; tests may call it directly.
    void drainRealtimeEvents();

    // What the driver renders; tests render it offline.
    engine::KitPlayer& player();
    midi::MIDIManager& midi();

    // The private state, named here so the files that implement each concern can share it.
    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    Published published_;
};

} // namespace tamborel::controller
