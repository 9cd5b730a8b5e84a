#pragma once
// AppState's private parts, shared by the files that implement its concerns.

#include "audio/AudioEngine.h"
#include "audio/KitLoader.h"
#include "controller/AppState.h"
#include "controller/HitRouter.h"
#include "drivers/AudioDeviceOutput.h"
#include "midi/MIDIManager.h"
#include "platform/BoundedQueue.h"
#include "platform/MainQueue.h"

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <optional>

namespace tamborel::controller {

// What the MIDI thread hands to the main thread.
struct RealtimeEvent {
    enum class Kind : std::uint8_t { hit, learn, capture, pedal };
    Kind kind = Kind::hit;
    PadRole role = PadRole::kick;
    std::int16_t note = 0;
    std::int16_t velocity = 0; // hit: as played; pedal: the pedal's value
    std::int16_t incomingVelocity = 0;
};

inline constexpr std::chrono::milliseconds drainInterval{5};
inline constexpr std::chrono::duration<double> flashDuration{0.12};
inline constexpr int manualVelocity = 110;
inline constexpr int noRoleValue = -1;
// A calibration step ends once the pedal has sent nothing for this long.
inline constexpr std::chrono::duration<double> pedalRestTime{0.8};

struct AppState::Impl {
    Impl(AppState& owner, platform::MainQueue& queue, AppStateOptions options);

    AppState& self;
    platform::MainQueue& mainQueue;
    AppStateOptions options;

    // Everything a real-time thread touches is declared before `output`, which is
    // therefore destroyed first: once it is gone no driver thread calls into the rest.
    audio::AudioEngine engine;
    HitRouter router{engine};
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
    std::uint64_t pedalReadings = 0;

    // Runs the engine and hosts the MIDI input's JACK hook; see above.
    std::unique_ptr<audio::AudioDeviceOutput> output;
    // The kit's samples loading in the background; gone once published as done.
    std::unique_ptr<audio::KitLoader> loader;
    // A kit from another program being read on a worker thread; gone once taken in.
    struct Import {
        std::string name; // the file's, for the status bar
        std::shared_ptr<kitImport::ImportProgress> progress;
        std::future<kitImport::Result> result;
    };
    std::optional<Import> importing;

    // Helpers used across the concerns.
    void notify(Field field) const;
    void rebuildNoteMap();
    // Stores, publishes and applies settings that leave the audio output alone.
    void commitExpression(const AudioSettings& settings);
    void pedalReading(int value);
    void setCalibrationStep(PedalCalibrationStep step);
    void commitKitChange(bool dirty);
    void loadAllSamples();
    void clearAllSamples();
    // A pad the drummer changes while the kit loads keeps the drummer's change.
    void keepFromLoading(PadRole role) {
        if (loader)
            loader->leaveAlone(role);
    }
    void publishLoadingStatus();
    // Takes a finished import in, or shows how far it has got ("Importing … 37 %").
    void publishImportStatus();
    void takeImport(kitImport::Result imported, bool cancelled);
    void updateLatency();
    void flash(PadRole role, std::string text);
    void publishRealtimeEvent(const RealtimeEvent& event);
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
