#include "model/ModuleMaps.h"

#include <algorithm>
#include <cctype>

namespace tamborel {

namespace {

using namespace std::string_view_literals;
using Notes = std::span<const std::int64_t>;

// Roland's TD family sends what a new pad holds by default.
constexpr std::array<Notes, padRoleCount> rolandNotes() {
    std::array<Notes, padRoleCount> notes{};
    for (PadRole role : allPadRoles)
        notes[indexOf(role)] = defaultNotes(role);
    return notes;
}

// Yamaha DTX502 preset kits (the DTX400 and DTX700 send the same notes for these pads): the
// crash's bow on 59 and cup on 55, the ride's edge on 52, the hi-hat's edge on 78/79 and the
// foot splash on 83.
constexpr std::int64_t dtxKick[] = {36};
constexpr std::int64_t dtxSnare[] = {38};
constexpr std::int64_t dtxRim[] = {40, 37};
constexpr std::int64_t dtxTom1[] = {48};
constexpr std::int64_t dtxTom2[] = {47};
constexpr std::int64_t dtxTom3[] = {43};
constexpr std::int64_t dtxClosed[] = {42, 79};
constexpr std::int64_t dtxOpen[] = {46, 78};
constexpr std::int64_t dtxPedal[] = {44, 83};
constexpr std::int64_t dtxCrash1[] = {49, 59, 55};
constexpr std::int64_t dtxCrash2[] = {57};
constexpr std::int64_t dtxRide[] = {51, 52};
constexpr std::int64_t dtxBell[] = {53};

// Alesis Nitro and Surge: one note per zone, tom rims on their own notes and a half-open hat
// note of its own.
constexpr std::int64_t alesisKick[] = {36};
constexpr std::int64_t alesisSnare[] = {38};
constexpr std::int64_t alesisRim[] = {40};
constexpr std::int64_t alesisTom1[] = {48, 50};
constexpr std::int64_t alesisTom2[] = {45, 47};
constexpr std::int64_t alesisTom3[] = {43, 58};
constexpr std::int64_t alesisClosed[] = {42};
constexpr std::int64_t alesisHalf[] = {23};
constexpr std::int64_t alesisOpen[] = {46};
constexpr std::int64_t alesisPedal[] = {44};
constexpr std::int64_t alesisCrash1[] = {49};
constexpr std::int64_t alesisCrash2[] = {57};
constexpr std::int64_t alesisRide[] = {51};
constexpr std::int64_t alesisBell[] = {53};

// General MIDI's percussion key map, for pads, triggers and modules of other makers.
constexpr std::int64_t gmKick[] = {36, 35};
constexpr std::int64_t gmSnare[] = {38, 40};
constexpr std::int64_t gmRim[] = {37};
constexpr std::int64_t gmTom1[] = {50, 48};
constexpr std::int64_t gmTom2[] = {47, 45};
constexpr std::int64_t gmTom3[] = {43, 41};
constexpr std::int64_t gmClosed[] = {42};
constexpr std::int64_t gmOpen[] = {46};
constexpr std::int64_t gmPedal[] = {44};
constexpr std::int64_t gmCrash1[] = {49, 55};
constexpr std::int64_t gmCrash2[] = {57, 52};
constexpr std::int64_t gmRide[] = {51, 59};
constexpr std::int64_t gmBell[] = {53};

constexpr std::array<Notes, padRoleCount> yamahaNotes{
    dtxKick, dtxSnare, dtxRim,   dtxTom1,   dtxTom2,   dtxTom3, dtxClosed,
    Notes{}, dtxOpen,  dtxPedal, dtxCrash1, dtxCrash2, dtxRide, dtxBell,
};
constexpr std::array<Notes, padRoleCount> alesisNotes{
    alesisKick, alesisSnare, alesisRim,   alesisTom1,   alesisTom2,   alesisTom3, alesisClosed,
    alesisHalf, alesisOpen,  alesisPedal, alesisCrash1, alesisCrash2, alesisRide, alesisBell,
};
constexpr std::array<Notes, padRoleCount> gmNotes{
    gmKick,  gmSnare, gmRim,   gmTom1,   gmTom2,   gmTom3, gmClosed,
    Notes{}, gmOpen,  gmPedal, gmCrash1, gmCrash2, gmRide, gmBell,
};

constexpr std::string_view td17Words[] = {"td-17"sv, "td17"sv};
constexpr std::string_view td27Words[] = {"td-27"sv, "td27"sv};
constexpr std::string_view td50Words[] = {"td-50"sv, "td50"sv};
constexpr std::string_view td07Words[] = {"td-07"sv, "td07"sv};
constexpr std::string_view nitroWords[] = {"nitro"sv};
constexpr std::string_view surgeWords[] = {"alesis surge"sv, "surge mesh"sv};
constexpr std::string_view dtxWords[] = {"dtx"sv};
// The rest of the TD family (TD-11, TD-25, TD-30…) sends the same notes as the TD-17.
constexpr std::string_view rolandWords[] = {"td-"sv, "v-drums"sv};

constexpr PedalRange fullTravel{127, 0};
// The TD-07 reports its pedal fully closed at 90.
constexpr PedalRange td07Travel{90, 0};

const std::array<ModuleMap, 9> table{{
    {"Roland TD-17", td17Words, rolandNotes(), defaultPedalController, fullTravel},
    {"Roland TD-27", td27Words, rolandNotes(), defaultPedalController, fullTravel},
    {"Roland TD-50", td50Words, rolandNotes(), defaultPedalController, fullTravel},
    {"Roland TD-07", td07Words, rolandNotes(), defaultPedalController, td07Travel},
    {"Alesis Nitro", nitroWords, alesisNotes, defaultPedalController, fullTravel},
    {"Alesis Surge", surgeWords, alesisNotes, defaultPedalController, fullTravel},
    {"Yamaha DTX", dtxWords, yamahaNotes, defaultPedalController, fullTravel},
    {"Roland V-Drums", rolandWords, rolandNotes(), defaultPedalController, fullTravel},
    {"General MIDI", {}, gmNotes, defaultPedalController, fullTravel},
}};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool matches(const ModuleMap& module, const std::string& lowerName) {
    return std::any_of(
        module.matchWords.begin(), module.matchWords.end(),
        [&](std::string_view word) { return lowerName.find(word) != std::string::npos; });
}

bool follows(const DrumKit& kit, const ModuleMap& module) {
    return std::all_of(kit.pads.begin(), kit.pads.end(), [&](const DrumPad& pad) {
        const auto notes = module.notes[indexOf(pad.role)];
        return std::equal(pad.notes.begin(), pad.notes.end(), notes.begin(), notes.end());
    });
}

} // namespace

std::vector<std::int64_t> ModuleMap::notesFor(PadRole role) const {
    const auto list = notes[indexOf(role)];
    return {list.begin(), list.end()};
}

bool ModuleMap::sameNotes(const ModuleMap& other) const {
    return std::equal(notes.begin(), notes.end(), other.notes.begin(), [](Notes a, Notes b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    });
}

namespace moduleMaps {

std::span<const ModuleMap> all() {
    return table;
}

const ModuleMap& generalMidi() {
    return table.back();
}

const ModuleMap& td17() {
    return table.front();
}

const ModuleMap* recognise(const std::vector<std::string>& sourceNames) {
    bool anySource = false;
    for (const std::string& name : sourceNames) {
        const std::string lower = lowerCase(name);
        if (lower.find("midi through") != std::string::npos)
            continue;
        anySource = true;
        for (const ModuleMap& module : table)
            if (matches(module, lower))
                return &module;
    }
    return anySource ? &generalMidi() : nullptr;
}

std::string recognitionText(const ModuleMap* module) {
    if (module == nullptr)
        return {};
    if (module == &generalMidi())
        return "Unknown module: General MIDI map";
    return std::string(module->name);
}

const ModuleMap* followedBy(const DrumKit& kit) {
    if (kit.pads.empty())
        return nullptr;
    for (const ModuleMap& module : table)
        if (follows(kit, module))
            return &module;
    return nullptr;
}

void applyNotes(DrumKit& kit, const ModuleMap& module) {
    for (DrumPad& pad : kit.pads)
        pad.notes = module.notesFor(pad.role);
}

std::size_t indexOf(const ModuleMap* module) {
    return module == nullptr ? table.size() : static_cast<std::size_t>(module - table.data());
}

} // namespace moduleMaps

} // namespace tamborel
