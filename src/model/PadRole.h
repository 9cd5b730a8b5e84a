#pragma once
// The fourteen pad roles and their fixed tables. Plain data, usable from any thread.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tamborel {

enum class PadRole : std::uint8_t {
    kick,
    snare,
    snareRim,
    tom1,
    tom2,
    tom3,
    hhClosed,
    hhHalf,
    hhOpen,
    hhPedal,
    crash1,
    crash2,
    ride,
    rideBell,
};

inline constexpr std::size_t padRoleCount = 14;

// Every role in table order: the order of a new kit's pads and of every role listing.
inline constexpr std::array<PadRole, padRoleCount> allPadRoles{
    PadRole::kick,   PadRole::snare,    PadRole::snareRim, PadRole::tom1,     PadRole::tom2,
    PadRole::tom3,   PadRole::hhClosed, PadRole::hhHalf,   PadRole::hhOpen,   PadRole::hhPedal,
    PadRole::crash1, PadRole::crash2,   PadRole::ride,     PadRole::rideBell,
};

constexpr std::size_t indexOf(PadRole role) {
    return static_cast<std::size_t>(role);
}

// The stored text of a role, which is also its id.
std::string_view rawValue(PadRole role);
std::string_view displayName(PadRole role);
bool isHiHat(PadRole role);
std::span<const std::int64_t> defaultNotes(PadRole role);
// The first role, in table order, whose default notes hold the note.
std::optional<PadRole> defaultRoleForNote(int note);
std::span<const std::string_view> matchKeywords(PadRole role);

// Exact, case-sensitive match against the fourteen raw values.
std::optional<PadRole> padRoleFromRawValue(std::string_view text);

} // namespace tamborel
