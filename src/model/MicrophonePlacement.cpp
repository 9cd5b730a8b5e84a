#include "model/MicrophonePlacement.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace tamborel {

namespace {

enum class Side { none, left, right };

// The name in lower case with only its letters and digits: "OH_Left 1" gives "ohleft1".
std::string squeezed(std::string_view name) {
    std::string out;
    for (unsigned char c : name)
        if (std::isalnum(c))
            out += static_cast<char>(std::tolower(c));
    return out;
}

bool startsWithAny(const std::string& text, std::initializer_list<std::string_view> stems) {
    return std::any_of(stems.begin(), stems.end(),
                       [&](std::string_view stem) { return text.starts_with(stem); });
}

bool holdsAny(const std::string& text, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view word) { return text.find(word) != std::string::npos; });
}

// The side a name's ending gives. A lone trailing l or r counts when it is written in capitals
// after another letter ("OHL", "KdrumR") or set apart ("OH l"), or after the stem of a pair in
// any case ("ambr"); digits 1 and 2 only for pairs, whose numbers are sides, not drums.
Side sideOf(std::string_view name, bool pair) {
    const std::string plain = squeezed(name);
    if (plain.ends_with("left"))
        return Side::left;
    if (plain.ends_with("right"))
        return Side::right;
    if (plain.size() < 2)
        return Side::none;
    const char last = plain.back();
    const std::string stem = plain.substr(0, plain.size() - 1);
    std::size_t end = name.size();
    while (end > 0 && !std::isalnum(static_cast<unsigned char>(name[end - 1])))
        --end;
    const bool apart = end >= 2 && !std::isalnum(static_cast<unsigned char>(name[end - 2]));
    const bool capital = end >= 2 && std::isupper(static_cast<unsigned char>(name[end - 1])) &&
                         std::isalpha(static_cast<unsigned char>(name[end - 2]));
    const bool pairStem = pair && (stem == "oh" || stem == "amb" || stem == "room" ||
                                   stem == "overhead" || stem == "ambience" || stem == "ambient");
    if ((last == 'l' || last == 'r') && (apart || capital || pairStem))
        return last == 'l' ? Side::left : Side::right;
    if (pair && (last == '1' || last == '2'))
        return last == '1' ? Side::left : Side::right;
    return Side::none;
}

float sided(Side side, float place) {
    return side == Side::left ? -place : side == Side::right ? place : 0.0f;
}

// The number a drum's name ends in, for ordering toms: "Tom 3" gives 3; none gives 0.
int numberOf(const std::string& plain) {
    int number = 0, scale = 1;
    for (std::size_t k = plain.size(); k > 0 && scale <= 1000; --k, scale *= 10) {
        if (!std::isdigit(static_cast<unsigned char>(plain[k - 1])))
            break;
        number += (plain[k - 1] - '0') * scale;
    }
    return number;
}

} // namespace

std::vector<float> defaultMicrophonePans(const std::vector<std::string>& names) {
    std::vector<float> pans(names.size(), 0.0f);
    std::vector<std::size_t> racks, floors;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string plain = squeezed(names[i]);
        if (plain.starts_with("oh") || holdsAny(plain, {"overhead"})) {
            pans[i] = sided(sideOf(names[i], true), 0.7f);
            continue;
        }
        if (holdsAny(plain, {"room", "amb"})) {
            pans[i] = sided(sideOf(names[i], true), 0.9f);
            continue;
        }
        const Side side = sideOf(names[i], false);
        float place = 0.0f;
        // Snares and kicks first: "Snare_bottom" is no tom.
        if (holdsAny(plain, {"snare"}) || startsWithAny(plain, {"sn", "sd"}))
            place = -0.15f;
        else if (holdsAny(plain, {"kick", "kdrum", "bassdrum"}) || startsWithAny(plain, {"bd"}))
            place = 0.0f;
        else if (holdsAny(plain, {"hihat", "hat"}) || startsWithAny(plain, {"hh"}))
            place = -0.5f;
        else if (holdsAny(plain, {"ride"}))
            place = 0.6f;
        else if (holdsAny(plain, {"floor"}) || startsWithAny(plain, {"ft", "ftom"}))
            floors.push_back(i);
        else if (holdsAny(plain, {"tom"}))
            racks.push_back(i);
        else if (holdsAny(plain, {"china"}))
            place = side == Side::left ? -0.6f : 0.6f;
        else if (holdsAny(plain, {"crash", "splash", "cym"}))
            place = side == Side::right ? 0.6f : -0.6f;
        else {
            // A pair we do not know stands where overheads do; a single one in the middle.
            pans[i] = sided(side, 0.7f);
            continue;
        }
        pans[i] = std::clamp(place + sided(side, 0.1f), -1.0f, 1.0f);
    }
    // Toms in the order of their numbers: rack toms from left of centre rightwards, floor toms
    // on the right; where none is named a floor tom, the last tom is taken to be one.
    const auto byNumber = [&](std::size_t a, std::size_t b) {
        return numberOf(squeezed(names[a])) < numberOf(squeezed(names[b]));
    };
    std::stable_sort(racks.begin(), racks.end(), byNumber);
    std::stable_sort(floors.begin(), floors.end(), byNumber);
    const float rightmost = floors.empty() ? 0.5f : 0.2f;
    for (std::size_t k = 0; k < racks.size(); ++k)
        pans[racks[k]] = racks.size() == 1
                             ? -0.1f
                             : -0.2f + (rightmost + 0.2f) * float(k) / float(racks.size() - 1);
    for (std::size_t k = 0; k < floors.size(); ++k)
        pans[floors[k]] = std::min(0.7f, 0.5f + 0.1f * float(k));
    return pans;
}

} // namespace tamborel
