#pragma once
// The fields the pages show, written by AppState on the main thread only.

#include "audio/AudioDeviceManager.h"
#include "model/DrumKit.h"
#include "model/import/KitImport.h"

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamborel::controller {

// One entry per published field, for change notifications.
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
};

// A set of roles, indexed by indexOf(role).
using RoleSet = std::bitset<padRoleCount>;

struct Published {
    DrumKit kit;
    AudioSettings settings;
    std::vector<audio::AudioOutputDevice> outputDevices;
    std::vector<std::string> midiSources;
    bool td17Detected = false;
    RoleSet activeRoles;
    std::optional<PadRole> heroRole;
    std::optional<PadRole> hoveredRole;
    std::string lastHit = "\u2014";
    double latencyMs = 0;
    bool dirty = false;
    std::optional<PadRole> learningRole;
    bool capturingForAssign = false;
    std::optional<PadRole> capturedRole;
    bool engineRunning = false;
    // For the status bar while a kit's samples load ("Loading 37 of 124 samples"), and after
    // a load in which some failed ("2 of 124 samples failed to load"); empty otherwise.
    std::string loadingStatus;
    // Hydrogen drum kits installed on this machine, which importing opens as our own kits.
    std::vector<kitImport::InstalledKit> installedKits;
};

} // namespace tamborel::controller
