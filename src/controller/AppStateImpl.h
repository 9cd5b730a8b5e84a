#pragma once
// AppState's private parts, shared by the files that implement its concerns.

#include "audio/MicrophoneOutputs.h"
#include "controller/AppState.h"
#include "controller/KitChange.h"
#include "controller/KitHistory.h"
#include "controller/Takes.h"
#include "controller/TapTempo.h"
#include "drivers/AudioDeviceOutput.h"
#include "engine/HitRouter.h"
#include "engine/KitPlayer.h"
#include "midi/MIDIManager.h"
#include "model/AutoMapper.h"
#include "platform/BoundedQueue.h"
#include "platform/MainQueue.h"

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <future>
#include <optional>
#include <unordered_map>

namespace tamborel::controller {

// What the MIDI thread hands to the main thread.
struct RealtimeEvent {
    enum class Kind : std::uint8_t { hit, learn, capture, pedal, unmapped, program };
    Kind kind = Kind::hit;
    PadRole role = PadRole::kick;
    std::int16_t note = 0;     // program: the program, 1..128
    std::int16_t velocity = 0; // hit: as played; pedal: the pedal's value
    std::int16_t incomingVelocity = 0;
    std::uint32_t source = 0; // as the event's time carries it
};

inline constexpr std::chrono::milliseconds drainInterval{5};
inline constexpr std::chrono::duration<double> flashDuration{0.12};
inline constexpr int manualVelocity = 110;
// How long after the last of a run of kit changes (a fader drag, a wheel sweep) the kit is
// remembered for the next start.
inline constexpr std::chrono::milliseconds rememberDelay{250};
inline constexpr int noRoleValue = -1;
// A calibration step ends once the pedal has sent nothing for this long.
inline constexpr std::chrono::duration<double> pedalRestTime{0.8};
// How long what an operation told the status line stays there against strikes.
inline constexpr std::chrono::duration<double> statusHold{4.0};

struct AppState::Impl {
    Impl(AppState& owner, platform::MainQueue& queue, AppStateOptions options);

    AppState& self;
    platform::MainQueue& mainQueue;
    AppStateOptions options;

    // Everything a real-time thread touches is declared before `output`, which is
    // therefore destroyed first: once it is gone no driver thread calls into the rest.
    engine::KitPlayer player;
    std::atomic<int> learningRole{noRoleValue};
    std::atomic<bool> capturing{false};
    std::atomic<bool> calibratingPedal{false};
    platform::BoundedQueue<RealtimeEvent, 1024> events;
    midi::MIDIManager midi;

    std::function<void(Field)> observer;
    // Tasks posted to the main queue hold this weakly and do nothing once the state is gone.
    std::shared_ptr<Impl*> alive;
    // Main thread: the closed value a calibration has taken, and a count of the pedal's
    // readings, which tells a rest timer whether the pedal moved since it was set.
    int calibratedClosed = 0;
    // The pedal controller the settings held before a kit with its own hi-hat controller
    // moved it there, and where it moved it; a kit without one puts it back, unless the
    // player has chosen another since.
    std::optional<std::pair<int, int>> pedalBeforeKit;
    std::uint64_t pedalReadings = 0;
    // Main thread: the module the sources name, and one the drummer picked instead.
    const ModuleMap* recognisedModule = nullptr;
    const ModuleMap* chosenModule = nullptr;
    // The module whose notes fitting last gave the kit; null once a kit is opened or its notes
    // are picked by hand.
    const ModuleMap* fittedTo = nullptr;
    // Source names by id, as last looked up; cleared whenever the sources change.
    std::unordered_map<std::uint32_t, std::string> sourceNames;
    // The sources as the last rescan found them, and the maps their notes are read by as last
    // handed to the player.
    std::vector<midi::ConnectedSource> sources;
    std::vector<engine::SourceNoteMap> sourceNotes;
    std::uint64_t heardCount = 0;

    // Runs the engine and hosts the MIDI input's JACK hook; see above.
    std::unique_ptr<drivers::AudioDeviceOutput> output;
    // Main thread: the kit's edits for Undo, and what the edit being committed changed, for
    // joining one fader drag into one step.
    KitHistory history;
    std::string editKind;
    // Whether the kit's samples are still loading, as last published.
    bool loading = false;
    // A kit from another program being read on a worker thread; gone once taken in.
    struct Import {
        std::string name; // the file's, for the status bar
        std::shared_ptr<kitImport::ImportProgress> progress;
        std::future<kitImport::Result> result;
    };
    std::optional<Import> importing;
    // The drum presets of SoundFonts imported from elsewhere, offered with the installed kits
    // from then on, so that the others can be chosen too.
    std::vector<kitImport::InstalledKit> soundFontsOpened;

    // Every take kept (Takes.h): what the engine hands over goes to the recorder on each
    // drain, and each take that ended is written on a worker thread, one at a time. A failed
    // write is told once, until a write succeeds again.
    TakeRecorder takeRecorder;
    std::filesystem::path takesFolder;
    std::future<std::string> writingTake; // why it failed; empty when it did not
    bool takeFailureTold = false;
    void keepTakes();
    void writeTake(Take take, bool wait = false);
    void takeWritten();
    // A take played back (TakePlayback.cpp): until the engine's clock passes its end, when
    // the click goes back to the settings'. A bounce runs on a worker thread.
    std::optional<std::filesystem::path> playingTake;
    std::uint64_t playbackEnds = 0;
    std::future<std::string> bouncing; // why it failed; empty when it did not
    std::filesystem::path bouncingTo;
    void followTakes();
    void endPlayback();

    // Play along (PlayAlong.cpp): the song being decoded on a worker thread, the one the
    // engine holds and the rate it was decoded at, and the tempo being tapped.
    struct SongLoad {
        std::filesystem::path file;
        double rate = 0.0;
        std::future<std::pair<audio::SharedSampleBuffer, std::string>> decoded;
    };
    std::optional<SongLoad> songLoad;
    std::optional<std::filesystem::path> songNext; // chosen while another was decoding
    std::filesystem::path songFile;
    double songRate = 0.0;
    TapTempo tapTempo;
    void loadSong(std::filesystem::path file);
    void takeSong(SongLoad& load);
    // On each drain: takes a decoded song in, decodes it again at a new engine rate, publishes
    // whether it plays, and tells the take recorder.
    void followPlayAlong();

    // Helpers used across the concerns.
    void notify(Field field) const;
    // Stores, publishes and applies settings that leave the audio output alone.
    void commitExpression(const AudioSettings& settings);
    // Hands the router the settings, with the active module's pedal where the drummer has
    // not calibrated one.
    void applyExpression();
    const ModuleMap* activeModule() const {
        return chosenModule != nullptr ? chosenModule : recognisedModule;
    }
    void publishModule();
    // The module whose notes the kit holds while they are the program's to change: a new
    // kit's notes, or those this session fitted and nobody changed since; else none.
    const ModuleMap* followedModule(const DrumKit& kit) const;
    // Gives the active module's notes to a kit that follows the modules; false when it was
    // left as it was.
    bool fitKitToModule(DrumKit& kit);
    // Hands the player the maps that read each connected module's notes where the kit follows
    // the modules (none otherwise), when they changed.
    void publishSourceNotes();
    // Marks the recent-MIDI logs of devices that have gone, and unmarks those that are back.
    void markGoneSources();
    void noteRecentMidi(std::uint32_t source, std::string line, bool pedal);
    void strikeGoesNowhere(int note, int velocity, std::uint32_t source);
    // What the drummer knows a source by: the module its name is recognised as, else its
    // name, else the module in use (or "MIDI input") where the source is not known.
    std::string sourceLabel(std::uint32_t source);
    const std::string& sourceName(std::uint32_t source);
    void pedalReading(int value);
    void setCalibrationStep(PedalCalibrationStep step);
    // Publishes what a kit edit changed, plays it (the note map when notes changed),
    // records it for Undo and remembers the kit for the next start once the edits stop.
    void commitKitChange(const KitChange& change, bool dirty, bool undoable = true);
    // A new document: its edits start afresh.
    void startHistory();
    void publishHistory();
    // Plays what Undo or Redo put back: reloads the pads whose samples changed, reapplies
    // the mix and notes, and saves the kit when samples changed, as assigning them does.
    void restored(const KitChange& change);
    void rememberKitSoon();
    // Writes the kit to remember, if a change is waiting: on a worker thread, or, with
    // `wait`, before returning (on exit).
    void rememberKitNow(bool wait = false);
    bool rememberPending = false;
    std::uint64_t rememberSerial = 0;
    std::future<void> remembering;

    // Pads loading for an edit, which is finished on the main thread once they are in.
    using PadEditDone = std::function<void(Impl&, std::vector<audio::PadLoaded>)>;
    struct PadEdit {
        engine::KitPlayer::PadLoading loading;
        PadEditDone done;
    };
    std::deque<PadEdit> padEdits;
    // Loads the pads through the player and finishes the edit once they are in; before
    // returning when loading does not run in the background.
    void loadForEdit(std::vector<audio::PadLoad> pads, PadEditDone done);
    // Finishes the edits whose pads are in, in the order they were made; with `wait`, every
    // one. Operations that read or replace the kit's samples wait first, so that they see
    // the edits before them.
    void finishPadEdits(bool wait);
    // Plays the published kit: its note map, its mix and its samples.
    void loadAllSamples();
    void publishLoadingStatus();
    // Takes a finished import in, or shows how far it has got ("Importing … 37 %").
    void publishImportStatus();
    void takeImport(kitImport::Result imported, bool cancelled);
    void updateLatency();
    // Points the separate outputs at the kit's microphone outputs when they go by microphone
    // (none otherwise, or for a kit without microphones: the drums' pairs), and republishes
    // the note under the switch when that changed.
    void routeMicrophoneOutputs();
    std::vector<audio::MicrophoneOutput> microphoneOutputs;
    // A click (on a pad, or a sample's play button) replaces a line `tell` holds; strikes do not.
    void flash(PadRole role, std::string text, bool clicked = false);
    // The status line. `tell` says what an operation did or why it failed (an error); strikes
    // leave it there for statusHold. `showStrike` writes a strike's line unless a told one is
    // still held.
    void tell(std::string text, bool error = false);
    // The hi-hat pedal follows the controller a kit's hi-hat was made for (see
    // pedalBeforeKit).
    void followKitPedal(const DrumKit& kit);
    void showStrike(std::string text);
    bool statusHeld = false;
    std::uint64_t statusSerial = 0;
    // Writes the kit where saveKit does, quietly: the file, or none when the write failed (the
    // kit then stays unsaved).
    std::optional<std::filesystem::path> save();
    // Makes the files the pad's samples, arranged into layers and takes; `kept` are samples
    // the pad holds already, arranged with them, which keep their gain and pan. Tells what it
    // did when several files were given, files were left out, or files were added.
    void arrangeSamples(const std::vector<std::filesystem::path>& files, PadRole role,
                        const std::vector<PadSample>& kept);
    // Gives the pads the files the auto-mapper picked (with their sets), as each one loaded,
    // and tells `told`.
    void assignMapped(const autoMapper::Mapping& mapping, const autoMapper::SetMapping& sets,
                      std::string told);
    // Makes `kit` the one in use (fitted to the module with `fit`): played, published, with a
    // new history.
    void takeKit(DrumKit kit, bool dirty, bool fit);
    void publishRealtimeEvent(const RealtimeEvent& event);
    // The kit of a program of the settings' list, loaded as the kit menu loads a kit.
    void playProgram(int program);
    // Loads ahead the kits around the program played last in the list (before any, the
    // list's first), so that the next Program Change plays at once.
    void loadProgramsAhead();
    int programPlayed = 0;
    void scheduleDrain();
    template <typename F> void postWeak(F&& task);
    template <typename F> void postWeakAfter(std::chrono::duration<double> delay, F&& task);
};

template <typename F> void AppState::Impl::postWeak(F&& task) {
    postWeakAfter(std::chrono::duration<double>{0}, std::forward<F>(task));
}

template <typename F>
void AppState::Impl::postWeakAfter(std::chrono::duration<double> delay, F&& task) {
    std::weak_ptr<Impl*> weak = alive;
    mainQueue.postAfter(delay, [weak, task = std::forward<F>(task)]() mutable {
        if (auto strong = weak.lock())
            task(**strong);
    });
}

inline int roleValue(std::optional<PadRole> role) {
    return role ? static_cast<int>(indexOf(*role)) : noRoleValue;
}

} // namespace tamborel::controller
