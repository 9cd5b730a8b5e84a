#pragma once
// The fields the pages show, written by AppState on the main thread only.

#include "audio/AudioDeviceManager.h"
#include "model/DrumKit.h"

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
    // Published with latencyMs: the buffer size the output really runs at (0 when its driver
    // cannot tell), and whether that size is the whole desktop's (JACK on PipeWire).
    std::uint32_t bufferFramesInForce = 0;
    bool bufferSharedWithDesktop = false;
    bool dirty = false;
    std::optional<PadRole> learningRole;
    bool capturingForAssign = false;
    std::optional<PadRole> capturedRole;
    bool engineRunning = false;
};

} // namespace tamborel::controller
