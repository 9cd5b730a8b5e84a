#include "model/PadRole.h"

namespace tamborel {

namespace {

struct RoleInfo {
    std::string_view raw;
    std::string_view display;
    bool hiHat;
    std::span<const std::int64_t> notes;
    std::span<const std::string_view> keywords;
};

using namespace std::string_view_literals;

constexpr std::int64_t kickNotes[] = {36};
constexpr std::int64_t snareNotes[] = {38};
constexpr std::int64_t rimNotes[] = {40, 37};
constexpr std::int64_t tom1Notes[] = {48, 50};
constexpr std::int64_t tom2Notes[] = {45, 47};
constexpr std::int64_t tom3Notes[] = {43, 58};
constexpr std::int64_t closedNotes[] = {42, 22};
constexpr std::int64_t openNotes[] = {46, 26};
constexpr std::int64_t pedalNotes[] = {44};
constexpr std::int64_t crash1Notes[] = {49, 55};
constexpr std::int64_t crash2Notes[] = {57, 52};
constexpr std::int64_t rideNotes[] = {51, 59};
constexpr std::int64_t bellNotes[] = {53};

constexpr std::string_view kickWords[] = {"kick"sv, "bd"sv, "bassdrum"sv, "bass_drum"sv};
constexpr std::string_view snareWords[] = {"snare"sv, "sd"sv};
constexpr std::string_view rimWords[] = {"rim"sv, "rimshot"sv, "crossstick"sv, "cross_stick"sv,
                                         "sidestick"sv};
constexpr std::string_view tom1Words[] = {"tom1"sv, "tom_1"sv, "hightom"sv, "high_tom"sv,
                                          "rack1"sv};
constexpr std::string_view tom2Words[] = {"tom2"sv, "tom_2"sv, "midtom"sv, "mid_tom"sv, "rack2"sv};
constexpr std::string_view tom3Words[] = {"tom3"sv, "tom_3"sv, "floortom"sv, "floor_tom"sv,
                                          "floor"sv};
constexpr std::string_view closedWords[] = {"hh_closed"sv,  "hhclosed"sv,   "closedhat"sv,
                                            "closed_hat"sv, "hat_closed"sv, "chh"sv,
                                            "closed"sv};
constexpr std::string_view halfWords[] = {"hh_half"sv,  "hhhalf"sv,   "halfhat"sv,
                                          "half_hat"sv, "hat_half"sv, "half"sv};
constexpr std::string_view openWords[] = {"hh_open"sv,  "hhopen"sv, "openhat"sv, "open_hat"sv,
                                          "hat_open"sv, "ohh"sv,    "open"sv};
constexpr std::string_view pedalWords[] = {"hh_pedal"sv, "hhpedal"sv, "pedalhat"sv,
                                           "foot"sv,     "chick"sv,   "splash_foot"sv};
constexpr std::string_view crash1Words[] = {"crash1"sv, "crash_1"sv, "crash"sv};
constexpr std::string_view crash2Words[] = {"crash2"sv, "crash_2"sv};
constexpr std::string_view rideWords[] = {"ride"sv};
constexpr std::string_view bellWords[] = {"bell"sv, "ridebell"sv, "ride_bell"sv};

constexpr std::array<RoleInfo, padRoleCount> table{{
    {"kick", "Kick", false, kickNotes, kickWords},
    {"snare", "Snare", false, snareNotes, snareWords},
    {"snareRim", "Snare Rim", false, rimNotes, rimWords},
    {"tom1", "Tom 1", false, tom1Notes, tom1Words},
    {"tom2", "Tom 2", false, tom2Notes, tom2Words},
    {"tom3", "Tom 3", false, tom3Notes, tom3Words},
    {"hhClosed", "HH Closed", true, closedNotes, closedWords},
    {"hhHalf", "HH Half", true, {}, halfWords},
    {"hhOpen", "HH Open", true, openNotes, openWords},
    {"hhPedal", "HH Pedal", true, pedalNotes, pedalWords},
    {"crash1", "Crash 1", false, crash1Notes, crash1Words},
    {"crash2", "Crash 2", false, crash2Notes, crash2Words},
    {"ride", "Ride", false, rideNotes, rideWords},
    {"rideBell", "Ride Bell", false, bellNotes, bellWords},
}};

const RoleInfo& info(PadRole role) {
    return table[indexOf(role)];
}

} // namespace

std::string_view rawValue(PadRole role) {
    return info(role).raw;
}
std::string_view displayName(PadRole role) {
    return info(role).display;
}
bool isHiHat(PadRole role) {
    return info(role).hiHat;
}
std::span<const std::int64_t> defaultNotes(PadRole role) {
    return info(role).notes;
}
std::span<const std::string_view> matchKeywords(PadRole role) {
    return info(role).keywords;
}

std::optional<PadRole> padRoleFromRawValue(std::string_view text) {
    for (PadRole role : allPadRoles) {
        if (rawValue(role) == text)
            return role;
    }
    return std::nullopt;
}

std::optional<PadRole> defaultRoleForNote(int note) {
    for (PadRole role : allPadRoles)
        for (std::int64_t n : defaultNotes(role))
            if (n == note)
                return role;
    return std::nullopt;
}

} // namespace tamborel
