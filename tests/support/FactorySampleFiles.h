#pragma once
// The file each role's factory sample ships as: the acoustic set in "Samples", the analogue
// set in "Samples-808" with every name prefixed "808_" and the rim as a rimshot.

#include "model/PadRole.h"

#include <array>
#include <string>

namespace tamborel::test {

inline std::string factorySampleFile(PadRole role, bool analogue) {
    static constexpr std::array<const char*, padRoleCount> names{
        "kick.wav",     "snare.wav",     "sidestick.wav", "hightom.wav", "midtom.wav",
        "floortom.wav", "hh_closed.wav", "hh_half.wav",   "hh_open.wav", "hh_pedal.wav",
        "crash1.wav",   "crash2.wav",    "ride.wav",      "bell.wav"};
    if (!analogue)
        return names[indexOf(role)];
    return role == PadRole::snareRim ? "808_rimshot.wav"
                                     : "808_" + std::string(names[indexOf(role)]);
}

} // namespace tamborel::test
