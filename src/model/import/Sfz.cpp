// The drum-kit subset of SFZ: headers with inheritance, #define and #include, key and velocity
// ranges, round robins, hi-hat pedal ranges, chokes, tuning and slices of a file. Everything
// else is named as ignored.
#include "model/import/KitImport.h"

#include "model/SamplePiece.h"
#include "model/SampleSelection.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace tamborel::kitImport {

namespace {

struct Token {
    std::string header; // set for a header, else an opcode
    std::string name, value;
    std::string where; // "file.sfz:12", for errors
};

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

// Turns SFZ text into headers and opcodes, following #include and applying #define.
class Lexer {
public:
    explicit Lexer(fs::path root) : root_(std::move(root)) {}

    bool run(std::string_view text, const fs::path& file) {
        if (stack_.size() > maxIncludeDepth)
            return failed(file.filename().string() + ": #include nested too deeply");
        std::error_code ec;
        const fs::path canonical = fs::weakly_canonical(file, ec);
        if (std::find(stack_.begin(), stack_.end(), canonical) != stack_.end())
            return failed("recursive #include of " + file.filename().string());
        stack_.push_back(canonical);
        if (text.starts_with("\xEF\xBB\xBF")) // a byte-order mark, as Windows editors write
            text.remove_prefix(3);
        bool inComment = false;
        std::size_t lineNumber = 0;
        for (std::size_t start = 0; start <= text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string line(text.substr(start, end - start));
            start = end + 1;
            ++lineNumber;
            // The including file's lines measure the way; each line may stop a cancelled import.
            if (!keepGoing(stack_.size() == 1 ? 0.8 * double(start) / double(text.size() + 1)
                                              : 0.0))
                return failed("cancelled");
            const std::string where = file.filename().string() + ":" + std::to_string(lineNumber);
            stripComments(line, inComment);
            if (!handleLine(line, where, file))
                return false;
        }
        stack_.pop_back();
        return true;
    }

    std::vector<Token> tokens;
    std::string error;

private:
    bool failed(std::string why) {
        if (error.empty())
            error = std::move(why);
        return false;
    }

    static void stripComments(std::string& line, bool& inComment) {
        std::string kept;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (inComment) {
                if (line.compare(i, 2, "*/") == 0) {
                    inComment = false;
                    ++i;
                }
            } else if (line.compare(i, 2, "/*") == 0) {
                inComment = true;
                ++i;
            } else if (line.compare(i, 2, "//") == 0) {
                break;
            } else {
                kept += line[i];
            }
        }
        line = std::move(kept);
    }

    // False when the line grows past any sensible length, as defines that name each other
    // several times over can make it do.
    bool substitute(std::string& line) const {
        // Reverse order puts $KICK_HI before $KICK, so it is not read as $KICK and "_HI".
        for (auto it = defines_.rbegin(); it != defines_.rend(); ++it)
            for (std::size_t at = line.find(it->first); at != std::string::npos;
                 at = line.find(it->first, at + it->second.size())) {
                line.replace(at, it->first.size(), it->second);
                if (line.size() > maxLineBytes)
                    return false;
            }
        return true;
    }
    static constexpr std::size_t maxLineBytes = 1u << 16;

    bool handleLine(std::string line, const std::string& where, const fs::path& file) {
        const std::string head = trimmed(line);
        if (head.rfind("#define", 0) == 0) {
            std::string rest = trimmed(std::string_view(head).substr(7));
            const auto space = rest.find_first_of(" \t");
            if (rest.empty() || rest[0] != '$' || space == std::string::npos)
                return failed(where + ": malformed #define");
            defines_[rest.substr(0, space)] = trimmed(std::string_view(rest).substr(space));
            return true;
        }
        if (head.rfind("#include", 0) == 0) {
            const auto open = head.find('"');
            const auto close = head.find('"', open + 1);
            if (open == std::string::npos || close == std::string::npos)
                return failed(where + ": malformed #include");
            std::string name = head.substr(open + 1, close - open - 1);
            std::replace(name.begin(), name.end(), '\\', '/');
            fs::path included = root_ / name;
            std::error_code ec;
            if (!fs::exists(included, ec))
                included = file.parent_path() / name;
            if (++includes_ > 1000)
                return failed(where + ": too many #include lines");
            std::string whyNot;
            const auto text = readSourceFile(included, whyNot);
            if (!text)
                return failed(where + ": #include: " + whyNot);
            if ((includedBytes_ += text->size()) > 4 * maxSourceBytes)
                return failed(where + ": #include: the files add up to too much");
            return run(*text, included);
        }
        if (!substitute(line))
            return failed(where + ": line too long after #define");
        if ((expandedBytes_ += line.size()) > 4 * maxSourceBytes)
            return failed(where + ": too large after #define");
        std::size_t i = 0;
        while (i < line.size()) {
            if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
                ++i;
            } else if (line[i] == '<') {
                const auto close = line.find('>', i);
                if (close == std::string::npos)
                    return failed(where + ": unclosed header");
                tokens.push_back({line.substr(i + 1, close - i - 1), {}, {}, where});
                i = close + 1;
            } else {
                std::size_t nameEnd = i;
                while (nameEnd < line.size() && isNameChar(line[nameEnd]))
                    ++nameEnd;
                if (nameEnd == i || nameEnd >= line.size() || line[nameEnd] != '=')
                    return failed(where + ": expected an opcode, found \"" +
                                  trimmed(std::string_view(line).substr(i, 20)) + "\"");
                // A value runs to the next opcode or header: sample paths may hold spaces.
                // A run of blanks is looked past once, so a long one costs its length only.
                std::size_t end = nameEnd + 1;
                while (end < line.size()) {
                    if (line[end] != ' ' && line[end] != '\t') {
                        ++end;
                        continue;
                    }
                    const std::size_t next = line.find_first_not_of(" \t", end);
                    if (next == std::string::npos || startsNext(line, next)) {
                        end = next == std::string::npos ? line.size() : end;
                        break;
                    }
                    end = next;
                }
                tokens.push_back(
                    {{},
                     line.substr(i, nameEnd - i),
                     trimmed(std::string_view(line).substr(nameEnd + 1, end - nameEnd - 1)),
                     where});
                i = end;
            }
            if (tokens.size() > maxRegions * 8)
                return failed(where + ": too many opcodes");
        }
        return true;
    }

    // Whether the text at j, just after blanks, begins the next opcode or header.
    static bool startsNext(const std::string& line, std::size_t j) {
        if (line[j] == '<')
            return true;
        std::size_t k = j;
        while (k < line.size() && isNameChar(line[k]))
            ++k;
        return k > j && k < line.size() && line[k] == '=';
    }

    fs::path root_;
    std::vector<fs::path> stack_;
    std::map<std::string, std::string> defines_;
    int includes_ = 0;
    std::size_t includedBytes_ = 0, expandedBytes_ = 0;
};

using Opcodes = std::map<std::string, std::pair<std::string, std::string>>; // value, where

struct Region {
    fs::path sample;
    int lokey = 0, hikey = 127, lovel = 1, hivel = 127;
    int seqLength = 1, seqPosition = 1;
    bool random = false;
    double lorand = 0, hirand = 1;
    float gain = 1.0f, pan = 0.0f;
    long group = 0, offBy = 0;
    std::optional<std::pair<int, int>> cc4;
    std::string label;
    SamplePiece piece; // its slice of the file and its tuning
};

class Interpreter {
public:
    Interpreter(fs::path folder, Summary& summary)
        : folder_(std::move(folder)), summary_(summary) {}

    bool run(const std::vector<Token>& tokens) {
        Opcodes* current = &discard_;
        bool inRegion = false;
        for (const Token& token : tokens) {
            if (!token.name.empty()) {
                (*current)[token.name] = {token.value, token.where};
                noteIgnored(current, token.name);
                continue;
            }
            if (inRegion && !emit())
                return false;
            inRegion = false;
            const std::string& h = token.header;
            if (h == "control") {
                current = &control_;
            } else if (h == "global") {
                global_.clear(), master_.clear(), group_.clear();
                current = &global_;
            } else if (h == "master") {
                master_.clear(), group_.clear();
                current = &master_;
            } else if (h == "group") {
                group_.clear();
                current = &group_;
            } else if (h == "region") {
                region_.clear();
                current = &region_;
                inRegion = true;
            } else {
                summary_.ignored.insert("<" + h + ">");
                discard_.clear();
                current = &discard_;
            }
        }
        return !inRegion || emit();
    }

    std::vector<Region> regions;
    std::string error;

private:
    bool bad(const std::pair<std::string, std::string>& entry, const std::string& name) {
        error =
            entry.second + ": bad value for " + name + ": \"" + entry.first.substr(0, 40) + "\"";
        return false;
    }

    // A number, or a note name such as c4, f#3 or eb-1 (c4 being middle C, 60).
    static std::optional<double> parseNumber(const std::string& text, bool note) {
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc() && end == text.data() + text.size() && std::isfinite(value))
            return value;
        if (!note || text.empty())
            return std::nullopt;
        static constexpr int semitones[] = {9, 11, 0, 2, 4, 5, 7}; // a..g
        const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        if (letter < 'a' || letter > 'g')
            return std::nullopt;
        int semitone = semitones[letter - 'a'];
        std::size_t i = 1;
        if (i < text.size() && text[i] == '#')
            ++semitone, ++i;
        else if (i < text.size() && text[i] == 'b')
            --semitone, ++i;
        int octave = 0;
        const auto [octEnd, octEc] =
            std::from_chars(text.data() + i, text.data() + text.size(), octave);
        if (octEc != std::errc() || octEnd != text.data() + text.size() || octave < -2 ||
            octave > 9)
            return std::nullopt;
        return (octave + 1) * 12 + semitone;
    }

    bool emit() {
        if (regions.size() >= maxRegions) {
            error = "more than " + std::to_string(maxRegions) + " regions";
            return false;
        }
        // Only the opcodes we play, each from the nearest level that sets it.
        Opcodes merged;
        for (const char* name : knownNames)
            for (const Opcodes* level : {&region_, &group_, &master_, &global_})
                if (const auto it = level->find(name); it != level->end()) {
                    merged.insert(*it);
                    break;
                }
        Region r;
        double noteOffset = 0, octaveOffset = 0;
        const auto number = [&](const Opcodes& from, const std::string& name, double& into,
                                bool note = false, double lo = -1e9, double hi = 1e9) {
            const auto it = from.find(name);
            if (it == from.end())
                return true;
            const auto value = parseNumber(it->second.first, note);
            if (!value || *value < lo || *value > hi)
                return bad(it->second, name);
            into = *value;
            return true;
        };
        if (!number(control_, "note_offset", noteOffset, false, -127, 127) ||
            !number(control_, "octave_offset", octaveOffset, false, -10, 10))
            return false;
        double key = -1, lokey = 0, hikey = 127, lovel = 1, hivel = 127, seqLength = 1,
               seqPosition = 1, lorand = 0, hirand = 1, volume = 0, pan = 0, amplitude = 100,
               group = 0, offBy = 0, locc4 = 0, hicc4 = 127, tune = 0, transpose = 0,
               keycenter = -1, keytrack = 100, offset = 0, end = 0;
        const bool ok = number(merged, "key", key, true, 0, 127) &&
                        number(merged, "lokey", lokey, true, 0, 127) &&
                        number(merged, "hikey", hikey, true, 0, 127) &&
                        number(merged, "lovel", lovel, false, 0, 127) &&
                        number(merged, "hivel", hivel, false, 0, 127) &&
                        number(merged, "seq_length", seqLength, false, 1, 100) &&
                        number(merged, "seq_position", seqPosition, false, 1, 100) &&
                        number(merged, "lorand", lorand, false, 0, 1) &&
                        number(merged, "hirand", hirand, false, 0, 1) &&
                        number(merged, "volume", volume, false, -144, 48) &&
                        number(merged, "pan", pan, false, -100, 100) &&
                        number(merged, "amplitude", amplitude, false, 0, 100) &&
                        number(merged, "group", group, false, -1e9, 1e9) &&
                        number(merged, "off_by", offBy, false, -1e9, 1e9) &&
                        number(merged, "locc4", locc4, false, 0, 127) &&
                        number(merged, "hicc4", hicc4, false, 0, 127) &&
                        number(merged, "tune", tune, false, -9600, 9600) &&
                        number(merged, "transpose", transpose, false, -127, 127) &&
                        number(merged, "pitch_keycenter", keycenter, true, 0, 127) &&
                        number(merged, "pitch_keytrack", keytrack, false, -1200, 1200) &&
                        number(merged, "offset", offset, false, 0, 4294967296.0) &&
                        number(merged, "end", end, false, -1, 4294967296.0);
        if (!ok)
            return false;
        if (const auto trigger = merged.find("trigger");
            trigger != merged.end() && trigger->second.first != "attack") {
            summary_.ignored.insert("trigger=" + trigger->second.first);
            return true;
        }
        const auto sample = merged.find("sample");
        if (sample == merged.end() || sample->second.first.empty())
            return true;
        std::string path = (control_.count("default_path") ? control_["default_path"].first : "") +
                           sample->second.first;
        if (path.size() > 4096)
            return bad(sample->second, "sample");
        std::replace(path.begin(), path.end(), '\\', '/');
        if (path.rfind('*', 0) == 0) { // built-in generators (*sine, *noise) are no drums
            summary_.ignored.insert("sample=" + path);
            return true;
        }
        r.sample = (folder_ / path).lexically_normal();
        const double shift = noteOffset + 12 * octaveOffset;
        if (key >= 0)
            lokey = hikey = key;
        r.lokey = int(std::clamp(lokey + shift, 0.0, 127.0));
        r.hikey = int(std::clamp(hikey + shift, 0.0, 127.0));
        r.lovel = std::max(1, int(lovel));
        r.hivel = std::max(r.lovel, int(hivel));
        r.seqLength = int(seqLength);
        r.seqPosition = int(seqPosition);
        r.random = lorand > 0 || hirand < 1;
        r.lorand = lorand;
        r.hirand = hirand;
        r.gain = float(std::pow(10.0, volume / 20.0) * amplitude / 100.0);
        r.pan = float(pan / 100.0);
        r.group = long(group);
        r.offBy = long(offBy);
        if (merged.count("locc4") || merged.count("hicc4"))
            r.cc4 = std::pair{int(locc4), int(hicc4)};
        // A slice: from `offset` to the frame `end` names, inclusive.
        r.piece.start = static_cast<std::uint64_t>(offset);
        if (end > offset)
            r.piece.end = static_cast<std::uint64_t>(end) + 1;
        // Tuning, only where the region asks for it (`key` centres the pitch on its own key):
        // a region struck on its key plays that far from its pitch centre.
        if (merged.count("tune") || merged.count("transpose") || merged.count("pitch_keycenter") ||
            merged.count("pitch_keytrack")) {
            const double center = keycenter >= 0 ? keycenter + shift : key >= 0 ? key + shift : 60;
            const int struck = r.lokey == r.hikey ? r.lokey : int(center);
            r.piece.cents = std::clamp(tune + 100 * transpose + (struck - center) * keytrack,
                                       -maxPieceCents, maxPieceCents);
        }
        for (const char* label : {"region_label", "group_label", "master_label", "global_label"})
            if (const auto it = merged.find(label); it != merged.end() && r.label.empty())
                r.label = it->second.first.substr(0, 200);
        regions.push_back(std::move(r));
        return true;
    }

    static constexpr std::array knownNames{
        "sample",         "key",          "lokey",        "hikey",        "lovel",
        "hivel",          "seq_length",   "seq_position", "lorand",       "hirand",
        "volume",         "pan",          "amplitude",    "group",        "off_by",
        "locc4",          "hicc4",        "trigger",      "region_label", "group_label",
        "master_label",   "global_label", "tune",         "transpose",    "pitch_keycenter",
        "pitch_keytrack", "offset",       "end"};

    // Opcodes we do not play are named once, wherever they stand.
    void noteIgnored(const Opcodes* level, const std::string& name) {
        const bool known =
            level == &control_
                ? name == "default_path" || name == "note_offset" || name == "octave_offset"
                : std::find(knownNames.begin(), knownNames.end(), name) != knownNames.end();
        if (!known && level != &discard_)
            summary_.ignored.insert(name);
    }

    fs::path folder_;
    Summary& summary_;
    Opcodes control_, global_, master_, group_, region_, discard_;
};

bool hiHatByName(const Instrument& in) {
    const auto role = roleForName(in.name);
    const auto byNote = in.note ? roleForNote(*in.note) : std::nullopt;
    std::string lower = in.name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return (role && isHiHat(*role)) || (!role && byNote && isHiHat(*byNote)) ||
           lower.find("hat") != std::string::npos || lower.find("hh") != std::string::npos;
}

// Pedal ranges: CC4 rises as the pedal closes the hats.
PadRole hiHatFor(std::pair<int, int> range) {
    const int middle = (range.first + range.second) / 2;
    return middle < 43 ? PadRole::hhOpen : middle < 86 ? PadRole::hhHalf : PadRole::hhClosed;
}

// One instrument per key range and hi-hat position, in the order they first appear.
struct Built {
    Instrument instrument;
    std::vector<std::pair<int, PadSample>> takes; // by sequence position
    // Per take: what makes a strike play it. Regions alike in all of it sound together.
    std::vector<std::tuple<int, int, int, double, double>> when;
    std::vector<long> groups, offBys;
};

Instrument probeOf(const Region& r) {
    Instrument probe;
    probe.name = r.label.empty() ? r.sample.stem().string() : r.label;
    if (r.lokey == r.hikey)
        probe.note = r.lokey;
    return probe;
}

bool pedalRanged(const Region& r) {
    return r.cc4 && !(r.cc4->first == 0 && r.cc4->second == 127) && hiHatByName(probeOf(r));
}

// The role each pedal range of a hi-hat plays, by key range and pedal range; -1 for a level
// left out. A hi-hat split by pedal into more openness levels than we have roles keeps one
// per role, the nearest to closed, half and open.
std::map<std::tuple<int, int, int, int>, int> hiHatLevels(const std::vector<Region>& regions) {
    std::map<std::pair<int, int>, std::set<std::pair<int, int>>> levels; // per key range
    for (const Region& r : regions)
        if (pedalRanged(r))
            levels[{r.lokey, r.hikey}].insert(*r.cc4);
    std::map<std::tuple<int, int, int, int>, int> levelRole;
    for (const auto& [keys, ranges] : levels) {
        std::vector<std::pair<int, int>> byOpenness(ranges.begin(), ranges.end());
        const auto middle = [](std::pair<int, int> range) { return range.first + range.second; };
        std::sort(byOpenness.begin(), byOpenness.end(),
                  [&](auto a, auto b) { return middle(a) < middle(b); });
        std::size_t half = 1;
        for (std::size_t i = 1; i + 1 < byOpenness.size(); ++i)
            if (std::abs(middle(byOpenness[i]) - 127) < std::abs(middle(byOpenness[half]) - 127))
                half = i;
        for (std::size_t i = 0; i < byOpenness.size(); ++i) {
            int role = static_cast<int>(hiHatFor(byOpenness[i]));
            if (byOpenness.size() > 3)
                role = i == 0                       ? static_cast<int>(PadRole::hhOpen)
                       : i + 1 == byOpenness.size() ? static_cast<int>(PadRole::hhClosed)
                       : i == half                  ? static_cast<int>(PadRole::hhHalf)
                                                    : -1;
            levelRole[{keys.first, keys.second, byOpenness[i].first, byOpenness[i].second}] = role;
        }
    }
    return levelRole;
}

// The regions gathered into instruments; hi-hat levels left out are named in the summary.
std::vector<Built> gather(const std::vector<Region>& regions, Summary& summary) {
    const auto levelRole = hiHatLevels(regions);
    std::vector<Built> built;
    std::map<std::tuple<int, int, int>, std::size_t> index;
    std::set<std::string> unusedLevels;
    for (const Region& r : regions) {
        Instrument probe = probeOf(r);
        std::optional<PadRole> hiHat;
        if (pedalRanged(r)) {
            const int role = levelRole.at({r.lokey, r.hikey, r.cc4->first, r.cc4->second});
            if (role < 0) {
                const std::string name = probe.name + " (pedal " + std::to_string(r.cc4->first) +
                                         "-" + std::to_string(r.cc4->second) + ")";
                if (unusedLevels.insert(name).second)
                    summary.leftOut.push_back(name);
                continue;
            }
            hiHat = static_cast<PadRole>(role);
        }
        const auto key = std::tuple{r.lokey, r.hikey, hiHat ? int(*hiHat) : -1};
        auto [at, added] = index.try_emplace(key, built.size());
        if (added) {
            built.push_back({std::move(probe), {}, {}, {}, {}});
            built.back().instrument.hiHat = hiHat;
        }
        Built& b = built[at->second];
        PadSample sample{r.piece.in(FileUrl::fromPath(r.sample)), r.lovel, r.hivel, r.gain, r.pan};
        const int position = r.seqLength > 1 ? r.seqPosition : 0;
        b.takes.emplace_back(position, std::move(sample));
        b.when.emplace_back(r.lovel, r.hivel, position, r.lorand, r.hirand);
        if (r.random)
            b.instrument.order = TakeOrder::random;
        if (r.group != 0)
            b.groups.push_back(r.group);
        if (r.offBy != 0)
            b.offBys.push_back(r.offBy);
    }
    return built;
}

// The instrument with its takes in order, regions a strike plays together marked so, and its
// pan the pad's where all recordings share one.
Instrument finish(Built& b) {
    // Every region a strike matches plays: the microphones of one hit, a click and a body.
    // Takes (sequence positions, random ranges) still alternate.
    std::map<std::tuple<int, int, int, double, double>, std::vector<std::size_t>> alike;
    for (std::size_t i = 0; i < b.when.size(); ++i)
        alike[b.when[i]].push_back(i);
    int together = 0;
    for (const auto& [when, members] : alike)
        if (members.size() > 1 && together < int(selection::maxSamplesPerPad)) {
            ++together;
            for (std::size_t i : members)
                b.takes[i].second.together = together;
        }
    const float pan = b.takes.front().second.pan;
    const bool onePan = std::all_of(b.takes.begin(), b.takes.end(),
                                    [pan](const auto& take) { return take.second.pan == pan; });
    b.instrument.pan = onePan ? pan : 0.0f;
    for (auto& take : b.takes)
        take.second.pan = onePan ? 0.0f : take.second.pan;
    std::stable_sort(b.takes.begin(), b.takes.end(), [](const auto& x, const auto& y) {
        return std::tie(x.second.low, x.first) < std::tie(y.second.low, y.first);
    });
    for (auto& take : b.takes)
        b.instrument.samples.push_back(std::move(take.second));
    return b.instrument;
}

// A region that states off_by=G stops when a region of group G starts: the instrument
// holding that group chokes it, at once.
void addChokes(const std::vector<Built>& built, std::vector<Instrument>& instruments) {
    for (std::size_t stopped = 0; stopped < built.size(); ++stopped)
        for (long group : built[stopped].offBys)
            for (std::size_t starter = 0; starter < built.size(); ++starter)
                if (std::count(built[starter].groups.begin(), built[starter].groups.end(), group))
                    instruments[starter].chokes.push_back({stopped, 0.0f});
}

} // namespace

Result readSfzText(std::string_view text, const fs::path& path) {
    Result result;
    if (text.size() > maxSourceBytes) {
        result.error = path.filename().string() + " is too large";
        return result;
    }
    Lexer lexer(path.parent_path());
    if (!lexer.run(text, path)) {
        result.error = lexer.error;
        return result;
    }
    Interpreter interpreter(path.parent_path(), result.summary);
    if (!interpreter.run(lexer.tokens)) {
        result.error = interpreter.error;
        return result;
    }
    std::vector<Built> built = gather(interpreter.regions, result.summary);
    std::vector<Instrument> instruments;
    for (Built& b : built)
        instruments.push_back(finish(b));
    addChokes(built, instruments);
    result.kit = buildKit(path.stem().string(), instruments, result.summary);
    return result;
}

Result readSfz(const fs::path& file) {
    Result result;
    const auto text = readSourceFile(file, result.error);
    if (!text)
        return result;
    return readSfzText(*text, file);
}

} // namespace tamborel::kitImport
