#pragma once
// The fields the pages show, written by AppState on the main thread only.

#include "controller/KitChange.h"
#include "drivers/AudioDeviceManager.h"
#include "model/AudioSettings.h"
#include "model/DrumKit.h"
#include "model/ModuleMaps.h"
#include "model/import/KitImport.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::controller {

// One entry per published field, for change notifications. Fields that belong together
// share one: `settings` also covers velocityCurve and the pedal calibration's step and
// reading, `lastHit` the last strike's velocities and whether the line tells of an error.
enum class Field : std::uint8_t {
    kit,
    settings,
    outputDevices,
    midiSources,
    td17Detected,
    activeRoles,
    heroRole,
    hoveredRole,
    lastHit,
    latencyMs,
    dirty,
    learningRole,
    capturingForAssign,
    capturedRole,
    engineRunning,
    loadingStatus,
    installedKits,
    drumModule,
    recentMidi,
    unmappedNote,
    // canUndo and canRedo
    history,
    playAlong,
};

// Where the hi-hat pedal's calibration stands: the drummer presses the pedal fully closed,
// then lifts it fully open; each step ends once the pedal has rested for a moment, or on
// advancePedalCalibration().
enum class PedalCalibrationStep : std::uint8_t { idle, pressClosed, liftOpen };

struct Published {
    DrumKit kit;
    // With each `kit` notification: the pads it changed (all of them for a kit taken in
    // whole), and of those the pads whose samples changed, and whether the microphones, the
    // bleed or the audience view changed; the name and master volume are published with every
    // one.
    RoleSet changedPads = RoleSet().set();
    RoleSet changedSamples = RoleSet().set();
    bool changedMicrophones = true;
    AudioSettings settings;
    std::vector<drivers::AudioOutputDevice> outputDevices;
    std::vector<std::string> midiSources;
    bool td17Detected = false;
    RoleSet activeRoles;
    std::optional<PadRole> heroRole;
    std::optional<PadRole> hoveredRole;
    // The status line: the last strike, or what an operation did or why it failed. A strike
    // does not replace an operation's line for a few seconds (statusHold).
    std::string lastHit = "\u2014";
    // The line tells of a failure (an import or a save that did not work), to be read as such.
    bool lastHitIsError = false;
    double latencyMs = 0;
    // Published with latencyMs: the buffer size the output really runs at (0 when its driver
    // cannot tell), and whether that size is the whole desktop's (JACK on PipeWire).
    std::uint32_t bufferFramesInForce = 0;
    bool bufferSharedWithDesktop = false;
    // Published with latencyMs: whether the output plays through JACK, whose ports can give
    // each drum its own output (settings.separateOutputs).
    bool groupOutputsAvailable = false;
    bool dirty = false;
    std::optional<PadRole> learningRole;
    bool capturingForAssign = false;
    std::optional<PadRole> capturedRole;
    bool engineRunning = false;
    // Until boot() has tried to start the audio output (published with engineRunning): a
    // window shown before then says the audio is starting, not that it stopped.
    bool audioStarting = true;
    // The settings' velocity curve for every incoming velocity 0..127, for drawing it.
    std::array<std::uint8_t, 128> velocityCurve{};
    // The last strike from the module: the velocity it sent and the one it played at; 0 before
    // the first.
    int lastIncomingVelocity = 0;
    int lastResultingVelocity = 0;
    PedalCalibrationStep pedalCalibrationStep = PedalCalibrationStep::idle;
    // The pedal's latest value while calibrating, as it comes from the module.
    std::optional<int> pedalReading;
    // For the status bar while a kit's samples load ("Loading 37 of 124 samples"), and after
    // a load in which some failed ("2 of 124 samples failed to load"); empty otherwise.
    std::string loadingStatus;
    // Hydrogen drum kits and SoundFont drum presets installed on this machine, which importing
    // opens as our own kits.
    std::vector<kitImport::InstalledKit> installedKits;
    // The modules the MIDI sources name ("Roland TD-17, Alesis Nitro", "Unknown module: General
    // MIDI map"), empty without a source; and the module whose notes and pedal apply: the one
    // chosen by hand, else the one recognised first (null for none).
    std::string drumModuleText;
    const ModuleMap* drumModule = nullptr;
    // What each MIDI source sent lately, in the order the sources were first heard; per source its
    // name (with the module it is recognised as: "Alesis Nitro  \u2022  Nitro:out"), then one line
    // per strike ("Note 38  vel 100  Snare", "Note 23  vel 90  no pad") or pedal reading
    // ("Pedal 90"), newest first; and whether the device has gone (unplugged) since.
    struct MidiSourceLog {
        std::uint32_t source = 0;
        std::string name;
        std::vector<std::string> lines;
        bool lastWasPedal = false;
        std::uint64_t lastHeard = 0; // orders the sources by when they last sent
        bool gone = false;
    };
    std::vector<MidiSourceLog> recentMidi;
    // The last strike that no pad plays, until it is given to one or a pad plays again.
    std::optional<int> unmappedNote;
    // The note the capture sheet is giving to the next pad struck, while it does.
    std::optional<int> noteBeingAssigned;
    // Whether Undo and Redo have a kit edit to take back or do again.
    bool canUndo = false;
    bool canRedo = false;
    // What they would take back ("Kick Volume"), empty when nothing.
    std::string undoName;
    std::string redoName;
    // The song to play along with: its file (empty for none), whether it is being decoded,
    // waiting for its bar line or playing, its level (0..1), and why the last file chosen
    // could not be played (empty when it could).
    struct PlayAlong {
        std::string song;
        bool loading = false;
        bool waiting = false;
        bool playing = false;
        float level = 0.8f;
        std::string error;
        friend bool operator==(const PlayAlong&, const PlayAlong&) = default;
    };
    PlayAlong playAlong;
};

} // namespace tamborel::controller
