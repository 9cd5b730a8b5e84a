#include "model/import/KitImport.h"

#include "model/SampleSelection.h"
#include "model/SampleSets.h"
#include "model/Storage.h"
#include "platform/Files.h"
#include "platform/Paths.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <map>

namespace fs = std::filesystem;
using namespace std::string_view_literals;

namespace tamborel::kitImport {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return out;
}

// Words drum-kit authors use for our roles that file-name keywords do not cover.
struct KitWord {
    std::string_view word;
    PadRole role;
};
constexpr std::array kitWords{
    KitWord{"semiopen"sv, PadRole::hhHalf},      KitWord{"semi_open"sv, PadRole::hhHalf},
    KitWord{"rim_click"sv, PadRole::snareRim},   KitWord{"side_stick"sv, PadRole::snareRim},
    KitWord{"cross_stick"sv, PadRole::snareRim}, KitWord{"stick"sv, PadRole::snareRim},
    KitWord{"ride_bell"sv, PadRole::rideBell},   KitWord{"china"sv, PadRole::crash2},
    KitWord{"splash"sv, PadRole::crash2},        KitWord{"floor_tom"sv, PadRole::tom3},
    KitWord{"tom_low"sv, PadRole::tom3},         KitWord{"low_tom"sv, PadRole::tom3},
    KitWord{"tom_mid"sv, PadRole::tom2},         KitWord{"mid_tom"sv, PadRole::tom2},
    KitWord{"tom_hi"sv, PadRole::tom1},          KitWord{"high_tom"sv, PadRole::tom1},
    KitWord{"hi_tom"sv, PadRole::tom1},          KitWord{"pedal"sv, PadRole::hhPedal},
    KitWord{"hat_pedal"sv, PadRole::hhPedal},    KitWord{"hat_half"sv, PadRole::hhHalf},
    KitWord{"ride_cup"sv, PadRole::rideBell},    KitWord{"cup"sv, PadRole::rideBell},
    KitWord{"middle_tom"sv, PadRole::tom2},      KitWord{"tom_middle"sv, PadRole::tom2},
    KitWord{"tom_floor"sv, PadRole::tom3},       KitWord{"tom_high"sv, PadRole::tom1},
};
// Run-together names, as DrumGizmo kits give their instruments: "KDrumL", "SnareRim", "FTom1",
// "HihatFoot".
constexpr std::array runTogetherWords{
    KitWord{"kdrum"sv, PadRole::kick},
    KitWord{"snarerim"sv, PadRole::snareRim},
    KitWord{"ftom"sv, PadRole::tom3},
    KitWord{"hatfoot"sv, PadRole::hhPedal},
};

// Percussion we have no pad for; "cowbell" would otherwise read as a bell.
constexpr std::array foreignWords{"cowbell"sv, "clap"sv,     "tambourine"sv, "shaker"sv,
                                  "cabasa"sv,  "conga"sv,    "bongo"sv,      "clave"sv,
                                  "maracas"sv, "triangle"sv, "agogo"sv,      "guiro"sv};

// Extra General MIDI percussion notes beyond the roles' default notes.
constexpr std::array<std::pair<int, PadRole>, 2> extraNotes{
    {{35, PadRole::kick}, {41, PadRole::tom3}}};

// A status line stays one readable line: long lists end in a count.
std::string joined(const std::vector<std::string>& items) {
    constexpr std::size_t shown = 8;
    std::string out;
    for (std::size_t i = 0; i < items.size() && i < shown; ++i)
        out += (out.empty() ? "" : ", ") + items[i];
    if (items.size() > shown)
        out += " and " + std::to_string(items.size() - shown) + " more";
    return out;
}

std::string count(int n, std::string_view one) {
    return std::to_string(n) + " " + std::string(one) + (n == 1 ? "" : "s");
}

// Our documents hold UTF-8 only; a source in another encoding keeps its ASCII and gets "?"
// for each byte that does not form a valid sequence. Control characters (a name written
// over several lines) become spaces, so a name or the summary stays on one line.
std::string validUtf8(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80           ? 1
                                   : (c >> 5) == 0x6  ? 2
                                   : (c >> 4) == 0xE  ? 3
                                   : (c >> 3) == 0x1E ? 4
                                                      : 0;
        bool valid = length > 0 && i + length <= text.size() && !(length == 2 && c < 0xC2);
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length >= 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            // No overlong forms, no surrogates, nothing past U+10FFFF.
            valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0) &&
                    !(c == 0xF0 && second < 0x90) && !(c > 0xF4 || (c == 0xF4 && second >= 0x90));
        }
        out += !valid ? "?" : c < 0x20 || c == 0x7F ? " " : text.substr(i, length);
        i += valid ? length : 1;
    }
    return out;
}

// Kits written on Windows name "samples\\Kick.WAV" for "Samples/kick.wav": where the exact
// path is missing, each missing component is looked up in its folder regardless of case.
fs::path resolvedPath(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(path, ec))
        return path;
    fs::path found = path.root_path();
    for (const fs::path& part : path.relative_path()) {
        const fs::path exact = found / part;
        if (fs::exists(exact, ec)) {
            found = exact;
            continue;
        }
        const std::string wanted = lower(part.string());
        std::optional<fs::path> match;
        for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec))
            if (lower(it->path().filename().string()) == wanted) {
                match = it->path();
                break;
            }
        if (!match)
            return path;
        found = *match;
    }
    return found;
}

thread_local ImportProgress* watched = nullptr;

struct Watching {
    explicit Watching(ImportProgress* progress) { watched = progress; }
    ~Watching() { watched = nullptr; }
    Watching(const Watching&) = delete;
    Watching& operator=(const Watching&) = delete;
};

} // namespace

bool keepGoing(double fraction) {
    if (watched == nullptr)
        return true;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent > watched->percent.load(std::memory_order_relaxed))
        watched->percent.store(percent, std::memory_order_relaxed);
    return !watched->cancelled.load(std::memory_order_relaxed);
}

std::string printable(const std::string& text) {
    return validUtf8(text);
}

std::string Summary::text() const {
    std::string out = "Imported " + count(pads, "pad") + ", " + count(samples, "sample");
    if (!leftOut.empty())
        out += "; left out: " + joined(leftOut);
    if (missingSamples > 0)
        out += "; " + count(missingSamples, "sample") + " missing";
    if (unreadableSamples > 0)
        out += "; " + count(unreadableSamples, "sample") + " unreadable";
    if (droppedSamples > 0)
        out += "; " + count(droppedSamples, "sample") + " over a pad's limit";
    if (!clamped.empty())
        out += "; clamped: " + joined(clamped);
    if (!ignored.empty())
        out += "; ignored: " + joined({ignored.begin(), ignored.end()});
    return validUtf8(out);
}

namespace {

// The name's words, lower-cased: "VariBreaks Hat 1 Cl" gives varibreaks, hat, 1, cl.
std::vector<std::string> wordsOf(std::string_view name) {
    std::vector<std::string> words(1);
    for (char c : lower(name)) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (letter)
            words.back() += c;
        else if (!words.back().empty())
            words.emplace_back();
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

bool hasWord(const std::vector<std::string>& words, std::initializer_list<std::string_view> any) {
    return std::any_of(words.begin(), words.end(), [&](const std::string& word) {
        return std::find(any.begin(), any.end(), word) != any.end();
    });
}

// A hi-hat named by its position in the short words kit makers use: "Hat 1 Cl", "Hat Op
// Dirty", "HH Pd", "Half Open Hat". Half is read before open, so "Semi-Open" is half.
std::optional<PadRole> hiHatByWords(const std::vector<std::string>& words) {
    if (!hasWord(words, {"hat", "hh", "hihat", "hats"}))
        return std::nullopt;
    if (hasWord(words, {"semi", "half", "semiopen", "halfopen"}))
        return PadRole::hhHalf;
    if (hasWord(words, {"pd", "ped", "pedal", "foot", "chick"}))
        return PadRole::hhPedal;
    if (hasWord(words, {"op", "open", "opened"}))
        return PadRole::hhOpen;
    if (hasWord(words, {"cl", "closed", "close", "tight"}))
        return PadRole::hhClosed;
    return std::nullopt;
}

std::optional<PadRole> roleForKeywords(std::string_view name) {
    // Names are matched as written, with spaces and hyphens read as underscores, and with
    // them removed, so "Hi-Hat Open", "hihat_open" and "HiHatOpen" all find the open hi-hat.
    const std::string plain = lower(name);
    std::string underscored = plain, squeezed;
    for (char& c : underscored)
        if (c == ' ' || c == '-')
            c = '_';
    for (char c : underscored)
        if (c != '_')
            squeezed += c;
    const std::array<const std::string*, 3> forms{&plain, &underscored, &squeezed};
    std::optional<PadRole> best;
    std::size_t bestLength = 0;
    const auto consider = [&](std::string_view word, PadRole role) {
        for (const std::string* form : forms)
            if (word.size() > bestLength && form->find(word) != std::string::npos) {
                best = role;
                bestLength = word.size();
            }
    };
    for (const KitWord& kitWord : kitWords)
        consider(kitWord.word, kitWord.role);
    for (const KitWord& kitWord : runTogetherWords)
        consider(kitWord.word, kitWord.role);
    for (PadRole role : allPadRoles)
        for (std::string_view word : matchKeywords(role))
            consider(word, role);
    return best;
}

bool foreign(std::string_view name) {
    const std::string plain = lower(name);
    return std::any_of(foreignWords.begin(), foreignWords.end(), [&](std::string_view word) {
        return plain.find(word) != std::string::npos;
    });
}

bool secondCrash(std::string_view name) {
    const std::string plain = lower(name);
    return plain.find("splash") != std::string::npos || plain.find("china") != std::string::npos;
}

bool crashRide(std::string_view name) {
    const std::string plain = lower(name);
    return plain.find("crash") != std::string::npos && plain.find("ride") != std::string::npos;
}

// Roles an instrument may take when its own is taken or its name leaves a choice, best
// first: a second crash or tom falls to its twin; a crash/ride is a ride, else a crash; a
// splash, china or plain cymbal is a second crash, after the crashes named as such.
std::vector<PadRole> fallbackRoles(std::string_view name, std::optional<PadRole> role) {
    if (foreign(name))
        return {};
    const std::vector<std::string> words = wordsOf(name);
    if (secondCrash(name))
        return {PadRole::crash2};
    if (crashRide(name) && role != PadRole::rideBell)
        return {PadRole::ride, PadRole::crash1, PadRole::crash2};
    if (role == PadRole::crash1 || role == PadRole::crash2 || hasWord(words, {"cymbal", "cym"}))
        return {PadRole::crash1, PadRole::crash2};
    if (role == PadRole::tom1 || role == PadRole::tom2 || role == PadRole::tom3 ||
        hasWord(words, {"tom", "toms"}))
        return {PadRole::tom1, PadRole::tom2, PadRole::tom3};
    return {};
}

// The role a name claims outright; a crash/ride, splash or china only claims one when a
// free role is left for it after the others (fallbackRoles).
std::optional<PadRole> claimedRole(std::string_view name) {
    const std::optional<PadRole> role = roleForName(name);
    if ((secondCrash(name) && role == PadRole::crash2) ||
        (crashRide(name) && role != PadRole::rideBell))
        return std::nullopt;
    return role;
}

} // namespace

std::optional<PadRole> roleForName(std::string_view name) {
    if (foreign(name))
        return std::nullopt;
    if (const auto hat = hiHatByWords(wordsOf(name)))
        return hat;
    return roleForKeywords(name);
}

std::optional<PadRole> roleForNote(int note) {
    if (auto role = defaultRoleForNote(note))
        return role;
    for (const auto& [n, role] : extraNotes)
        if (n == note)
            return role;
    return std::nullopt;
}

namespace {

// Each instrument's samples that are on disk, found again where the source's path is stale;
// none when the import is cancelled.
std::optional<std::vector<std::vector<PadSample>>>
presentSamples(const std::vector<Instrument>& instruments, Summary& summary) {
    std::vector<std::vector<PadSample>> present(instruments.size());
    for (std::size_t i = 0; i < instruments.size(); ++i)
        for (PadSample sample : instruments[i].samples) {
            if (!keepGoing(0.9 + 0.1 * double(i) / double(instruments.size())))
                return std::nullopt;
            auto path = sample.url.toPath();
            std::error_code ec;
            if (path && !fs::is_regular_file(*path, ec)) {
                path = resolvedPath(*path);
                sample.url = FileUrl::fromPath(*path);
            }
            if (!path || !fs::is_regular_file(*path, ec))
                ++summary.missingSamples;
            else if (present[i].size() >= selection::maxSamplesPerPad)
                ++summary.droppedSamples;
            else
                present[i].push_back(sample);
        }
    return present;
}

// Named roles first, so an instrument named for a role wins it over one that only sits on the
// role's note, wherever each stands in the source; then notes; then the free twin of a taken
// role; then splashes, chinas and crash/rides. An instrument with nothing on disk claims none.
std::vector<std::optional<PadRole>> rolesOf(const std::vector<Instrument>& instruments,
                                            const std::vector<std::vector<PadSample>>& present) {
    std::vector<std::optional<PadRole>> roles(instruments.size());
    std::set<PadRole> claimed;
    std::vector<bool> taken(instruments.size(), false); // its role went to another
    for (int pass = 0; pass < 4; ++pass) {
        for (std::size_t i = 0; i < instruments.size(); ++i) {
            const Instrument& in = instruments[i];
            if (roles[i] || present[i].empty())
                continue;
            if (pass >= 2) {
                // Splashes, chinas and crash/rides last: a second crash named as one comes
                // first.
                if ((pass == 3) != (secondCrash(in.name) || crashRide(in.name)))
                    continue;
                const auto named = in.hiHat ? in.hiHat : roleForName(in.name);
                for (PadRole role : fallbackRoles(in.name, named))
                    if (!roles[i] && claimed.insert(role).second)
                        roles[i] = role;
                continue;
            }
            if (taken[i])
                continue;
            std::optional<PadRole> role = pass == 0
                                              ? (in.hiHat    ? in.hiHat
                                                 : in.byNote ? std::nullopt
                                                             : claimedRole(in.name))
                                              : (in.note ? roleForNote(*in.note) : std::nullopt);
            if (role && !claimed.insert(*role).second)
                taken[i] = true;
            else
                roles[i] = role;
        }
    }
    return roles;
}

// The sample a strike at velocity 100 plays first: by its range, or in a pad that goes by
// power the one nearest the power such a strike aims at.
std::size_t mainSample(const std::vector<PadSample>& samples, TakeOrder order) {
    if (order != TakeOrder::power)
        return sampleSets::mainOf(samples);
    const auto [soft, hard] = std::minmax_element(
        samples.begin(), samples.end(), [](auto& a, auto& b) { return a.power < b.power; });
    const float aim = soft->power + (hard->power - soft->power) * 100.0f / 127.0f;
    return std::size_t(std::min_element(samples.begin(), samples.end(),
                                        [&](auto& a, auto& b) {
                                            return std::abs(a.power - aim) <
                                                   std::abs(b.power - aim);
                                        }) -
                       samples.begin());
}

// What every kit does already: a closing hat stops the open one.
bool closingHatChoke(PadRole choker, PadRole choked) {
    return (choker == PadRole::hhClosed || choker == PadRole::hhPedal) &&
           (choked == PadRole::hhOpen || choked == PadRole::hhHalf);
}

} // namespace

DrumKit buildKit(std::string name, const std::vector<Instrument>& instruments, Summary& summary) {
    auto present = presentSamples(instruments, summary);
    if (!present)
        return DrumKit(validUtf8(name)); // cancelled: the caller drops it
    const auto roles = rolesOf(instruments, *present);
    DrumKit kit(validUtf8(name));
    for (std::size_t i = 0; i < instruments.size(); ++i) {
        const Instrument& in = instruments[i];
        if (in.samples.empty())
            continue; // an empty slot, as Hydrogen kits keep for their 32 instruments
        DrumPad* pad = roles[i] ? kit.findPad(*roles[i]) : nullptr;
        if (pad == nullptr) {
            // Fits no role, came after another that took it, or has no file on disk.
            summary.leftOut.push_back((*present)[i].empty() ? in.name + " (no samples)" : in.name);
            continue;
        }
        std::vector<PadSample>& samples = (*present)[i];
        // A group left with one member (the others missing) sounds alone.
        for (PadSample& sample : samples)
            if (std::count_if(samples.begin(), samples.end(), [&](const PadSample& other) {
                    return other.together == sample.together;
                }) < 2)
                sample.together = 0;
        // The sample a strike at velocity 100 plays names the pad, not the softest.
        pad->sampleURL = samples[mainSample(samples, in.order)].url;
        const bool plain = samples.size() == 1 && samples[0] == PadSample{samples[0].url};
        summary.samples += static_cast<int>(samples.size());
        pad->samples = plain ? std::vector<PadSample>{} : std::move(samples);
        pad->takeOrder = in.order;
        pad->volume = in.volume;
        pad->pan = std::clamp(in.pan, -1.0f, 1.0f);
        if (!in.notes.empty())
            pad->notes = in.notes;
        pad->ownMicrophones = in.ownMicrophones;
        pad->release = in.release;
        ++summary.pads;
    }
    // Chokes between instruments that found pads, each pad's first for a role.
    for (std::size_t i = 0; i < instruments.size(); ++i) {
        DrumPad* pad = roles[i] ? kit.findPad(*roles[i]) : nullptr;
        for (const InstrumentChoke& choke : instruments[i].chokes) {
            const auto choked =
                choke.instrument < roles.size() ? roles[choke.instrument] : std::nullopt;
            if (pad == nullptr || !choked || kit.findPad(*choked) == nullptr ||
                closingHatChoke(pad->role, *choked) ||
                std::any_of(pad->chokes.begin(), pad->chokes.end(),
                            [&](const PadChoke& c) { return c.role == *choked; }))
                continue;
            pad->chokes.push_back(
                {*choked, choke.seconds > 0.0f ? std::min(choke.seconds, maxChokeSeconds) : 0.0f});
        }
    }
    return kit;
}

Result playableOrRefused(Result result) {
    if (result && result.summary.pads == 0) {
        // "Imported 0 pads, 0 samples; left out: ..." says why; the count says nothing.
        const std::string why = result.summary.text();
        const auto details = why.find("; ");
        result.error =
            "no playable pad" +
            (details == std::string::npos ? std::string{} : " (" + why.substr(details + 2) + ")");
        result.kit.reset();
    }
    return result;
}

namespace {

// Both programs name their kit files drumkit.xml; DrumGizmo's root element is <drumkit>,
// Hydrogen's <drumkit_info>. Text that is not XML goes to Hydrogen's reader, which says so.
bool drumGizmoKit(const std::string& xml) {
    pugi::xml_document document;
    // A document that breaks off keeps what was read before the break, its root among it.
    document.load_buffer(xml.data(), xml.size(), pugi::parse_minimal);
    return std::string_view(document.document_element().name()) == "drumkit";
}

} // namespace

Result importFile(const fs::path& given, ImportProgress* progress, std::string_view preset) {
    const Watching watching(progress);
    Result result;
    // A path relative to the working folder would leave every sample relative to it too.
    std::error_code absoluteError;
    const fs::path file = fs::absolute(given, absoluteError).lexically_normal();
    const std::string extension = lower(file.extension().string());
    if (extension == ".json") {
        auto read = storage::readKitFile(file);
        if (!read) {
            result.error = read.error;
            return result;
        }
        read.value->id = Uuid::random();
        for (const DrumPad& pad : read.value->pads)
            if (pad.sampleURL) {
                ++result.summary.pads;
                result.summary.samples +=
                    static_cast<int>(std::max<std::size_t>(1, pad.samples.size()));
            }
        result.kit = std::move(read.value);
        return result;
    }
    const auto finished = [](Result r) {
        if (!keepGoing(1.0)) {
            r.kit.reset();
            r.error = "cancelled";
        }
        return r;
    };
    if (extension == ".sfz")
        return finished(playableOrRefused(readSfz(file)));
    if (extension == ".sf2" || extension == ".sf3")
        return finished(playableOrRefused(readSoundFont(file, preset)));
    fs::path xml = file;
    std::error_code ec;
    if (fs::is_directory(file, ec)) {
        // A kit's folder: its drumkit.xml, whichever program's, else DrumGizmo's kit file in it.
        xml = file / "drumkit.xml";
        if (!fs::is_regular_file(xml, ec))
            return finished(playableOrRefused(readDrumGizmo(file)));
    } else if (extension == ".h2drumkit") {
        auto unpacked =
            unpackHydrogenArchive(file, storage::folder() / "Hydrogen Kits", result.error);
        if (!unpacked)
            return result;
        xml = *unpacked;
    } else if (extension != ".xml") {
        result.error = "not a kit file: " + file.filename().string();
        return result;
    }
    const auto text = readSourceFile(xml, result.error);
    if (!text)
        return result;
    if (drumGizmoKit(*text))
        return finished(playableOrRefused(readDrumGizmo(xml)));
    return playableOrRefused(readHydrogen(*text, xml.parent_path(),
                                          extension == ".h2drumkit" ? file.stem().string() : ""));
}

std::optional<std::string> readSourceFile(const fs::path& file, std::string& whyNot) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        whyNot = "cannot read " + file.filename().string();
        return std::nullopt;
    }
    auto text = platform::readFile(file, maxSourceBytes);
    if (!text)
        whyNot = "cannot read " + file.filename().string();
    else if (text->size() > maxSourceBytes)
        whyNot = file.filename().string() + " is too large";
    else
        return text;
    return std::nullopt;
}

std::vector<fs::path> hydrogenKitFolders() {
    std::vector<fs::path> folders{"/usr/share/hydrogen/data/drumkits"};
    if (const char* home = std::getenv("HOME"); home && *home)
        folders.push_back(fs::path(home) / ".hydrogen/data/drumkits");
    if (const auto data = platform::userDataDirectory())
        folders.push_back(*data / "hydrogen/data/drumkits");
    return folders;
}

std::vector<InstalledKit> installedHydrogenKits() {
    std::vector<InstalledKit> kits;
    for (const fs::path& folder : hydrogenKitFolders()) {
        std::vector<InstalledKit> here;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path xml = it->path() / "drumkit.xml";
            std::error_code fileError;
            if (fs::is_regular_file(xml, fileError))
                here.push_back({it->path().filename().string(), xml});
        }
        // As a person reads a list: "circAfrique" between "BJA_Pacific" and "ForzeeStereo".
        std::sort(here.begin(), here.end(), [](const InstalledKit& a, const InstalledKit& b) {
            return std::lexicographical_compare(
                a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
        });
        kits.insert(kits.end(), here.begin(), here.end());
    }
    return kits;
}

std::vector<fs::path> soundFontFolders() {
    std::vector<fs::path> folders{"/usr/share/sounds/sf2", "/usr/share/soundfonts"};
    if (const auto data = platform::userDataDirectory())
        folders.push_back(*data / "soundfonts");
    return folders;
}

std::vector<InstalledKit> installedSoundFontKits() {
    std::vector<InstalledKit> kits;
    // Each SoundFont once, by its own name: default-GM.sf2 is a link to another one there.
    std::set<fs::path> seen;
    for (const fs::path& folder : soundFontFolders()) {
        std::vector<std::pair<bool, fs::path>> found; // links last
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string extension = lower(it->path().extension().string());
            std::error_code linkError;
            if (extension == ".sf2" || extension == ".sf3")
                found.emplace_back(fs::is_symlink(it->path(), linkError), it->path());
        }
        std::sort(found.begin(), found.end());
        std::vector<fs::path> files;
        for (const auto& [link, file] : found) {
            std::error_code fileError;
            if (const fs::path real = fs::canonical(file, fileError);
                !fileError && seen.insert(real).second)
                files.push_back(file);
        }
        std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
            return lower(a.filename().string()) < lower(b.filename().string());
        });
        for (const fs::path& file : files) {
            std::string whyNot;
            for (const SoundFontPreset& preset : soundFontDrumPresets(file, whyNot))
                kits.push_back({file.stem().string() + ": " + preset.name, file, preset.name});
        }
    }
    return kits;
}

const std::vector<KitFileFormat>& kitFileFormats() {
    static const std::vector<KitFileFormat> formats = {
        {"Tamborel kits", {"*.json"}},
        {"Hydrogen drum kits", {"drumkit.xml", "*.h2drumkit"}},
        {"SFZ", {"*.sfz"}},
        {"DrumGizmo kit", {"*.xml"}},
        {"SoundFont", {"*.sf2", "*.sf3"}},
    };
    return formats;
}

bool isKitFile(const fs::path& file) {
    const std::string name = lower(file.filename().string());
    for (const KitFileFormat& format : kitFileFormats())
        for (std::string_view pattern : format.patterns) {
            const bool suffix = pattern.starts_with('*');
            const std::string_view tail = suffix ? pattern.substr(1) : pattern;
            if (suffix ? name.ends_with(tail) && name.size() > tail.size() : name == tail)
                return true;
        }
    return false;
}

} // namespace tamborel::kitImport
