#pragma once
// The drums that get an output of their own, each a stereo pair, for recording every drum on
// its own track; they are listed once, in OutputGroups.def. A hi-hat's four articulations
// share one output, so a closing pedal's choke stays inside it; the rim goes with its snare
// and the bell with its ride. Plain values, usable from any thread.

#include "model/PadRole.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace tamborel::audio {

enum class OutputGroup : std::uint8_t {
#define TAMBOREL_OUTPUT_GROUP(name, label) name,
#include "audio/OutputGroups.def"
#undef TAMBOREL_OUTPUT_GROUP
};

inline constexpr std::array allOutputGroups{
#define TAMBOREL_OUTPUT_GROUP(name, label) OutputGroup::name,
#include "audio/OutputGroups.def"
#undef TAMBOREL_OUTPUT_GROUP
};
inline constexpr std::size_t outputGroupCount = allOutputGroups.size();

constexpr OutputGroup outputGroupOf(PadRole role) {
    switch (role) {
    case PadRole::kick:
        return OutputGroup::kick;
    case PadRole::snare:
    case PadRole::snareRim:
        return OutputGroup::snare;
    case PadRole::tom1:
        return OutputGroup::tom1;
    case PadRole::tom2:
        return OutputGroup::tom2;
    case PadRole::tom3:
        return OutputGroup::tom3;
    case PadRole::hhClosed:
    case PadRole::hhHalf:
    case PadRole::hhOpen:
    case PadRole::hhPedal:
        return OutputGroup::hihat;
    case PadRole::crash1:
        return OutputGroup::crash1;
    case PadRole::crash2:
        return OutputGroup::crash2;
    case PadRole::ride:
    case PadRole::rideBell:
        return OutputGroup::ride;
    }
    return OutputGroup::kick;
}

// The group's name in port and file names: "kick", "snare", "tom1" … "ride".
constexpr std::string_view outputGroupName(OutputGroup group) {
    constexpr std::array<std::string_view, outputGroupCount> names{
#define TAMBOREL_OUTPUT_GROUP(name, label) #name,
#include "audio/OutputGroups.def"
#undef TAMBOREL_OUTPUT_GROUP
    };
    return names[static_cast<std::size_t>(group)];
}

// Channels of a block: the stereo master, then each group's pair in the order above.
inline constexpr std::uint32_t masterChannelCount = 2;
inline constexpr std::uint32_t allChannelCount =
    masterChannelCount + 2 * static_cast<std::uint32_t>(outputGroupCount);
constexpr std::uint32_t firstChannelOf(OutputGroup group) {
    return masterChannelCount + 2 * static_cast<std::uint32_t>(group);
}

} // namespace tamborel::audio
