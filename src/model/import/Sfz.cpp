// The drum-kit subset of SFZ: headers with inheritance, #define and #include, key and velocity
// ranges, round robins, hi-hat pedal ranges, chokes, tuning and slices of a file. Everything
// else is named as ignored.
#include "model/import/KitImport.h"

#include "model/Expression.h"
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
    static constexpr std::size_t maxDefines = 4096;

    bool handleLine(std::string line, const std::string& where, const fs::path& file) {
        std::string head = trimmed(line);
        // Several may share a line: each value runs to the next #define.
        for (int defined = 0; head.rfind("#define", 0) == 0; ++defined) {
            if (defined >= 256)
                return failed(where + ": too many #define on one line");
            std::string rest = trimmed(std::string_view(head).substr(7));
            const auto space = rest.find_first_of(" \t");
            if (rest.empty() || rest[0] != '$' || space == std::string::npos)
                return failed(where + ": malformed #define");
            const auto next = rest.find("#define", space);
            if (defines_.size() >= maxDefines && !defines_.count(rest.substr(0, space)))
                return failed(where + ": too many #define lines");
            defines_[rest.substr(0, space)] = trimmed(std::string_view(rest).substr(
                space, next == std::string::npos ? std::string::npos : next - space));
            if (next == std::string::npos)
                return true;
            head = rest.substr(next);
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

// A controller's value (0..1) mapped by a curve: a <curve> header's 128 points, or one of
// the built-in shapes.
using Curve = std::array<float, 128>;

Curve builtInCurve(int index) {
    Curve curve{};
    for (int i = 0; i < 128; ++i) {
        const double x = i / 127.0;
        double y = x;
        switch (index) {
        case 1:
            y = 2 * x - 1;
            break; // bipolar
        case 2:
            y = 1 - x;
            break; // inverted
        case 3:
            y = 1 - 2 * x;
            break; // bipolar inverted
        case 4:
            y = x * x;
            break; // concave
        case 5:
            y = std::sqrt(x);
            break; // convex
        case 6:
            y = std::sqrt(1 - x);
            break; // convex inverted
        default:
            break; // 0 and unknown ones: linear
        }
        curve[std::size_t(i)] = float(y);
    }
    return curve;
}

float onCurve(const Curve& curve, double value) {
    const double at = std::clamp(value, 0.0, 1.0) * 127.0;
    const auto low = std::size_t(at);
    const std::size_t high = std::min<std::size_t>(low + 1, 127);
    const double part = at - double(low);
    return float(curve[low] * (1 - part) + curve[high] * part);
}

// Opcodes that end in a number: amplitude_oncc30 is ("amplitude_oncc", 30).
std::optional<int> indexOf(const std::string& name, std::string_view prefix, int highest = 127) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 3 ||
        name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    int index = 0;
    const auto [end, ec] =
        std::from_chars(name.data() + prefix.size(), name.data() + name.size(), index);
    if (ec != std::errc() || end != name.data() + name.size() || index < 0 || index > highest)
        return std::nullopt;
    return index;
}

struct Region {
    fs::path sample;
    bool silent = false; // *silence, or a slice of nothing: it only stops others
    int lokey = 0, hikey = 127, lovel = 1, hivel = 127;
    int seqLength = 1, seqPosition = 1;
    bool random = false;
    double lorand = 0, hirand = 1;
    float gain = 1.0f, pan = 0.0f;
    long group = 0, offBy = 0;
    float offSeconds = 0.0f;                      // how it fades when another stops it
    bool monophonic = false;                      // a new strike of its note stops the last
    std::map<int, std::pair<int, int>> ccRanges;  // locc/hicc narrower than 0..127
    std::optional<std::pair<int, int>> pedal;     // its range on the kit's hi-hat controller
    std::optional<std::pair<int, int>> keyswitch; // the last keyswitch it sounds after
    int fader = -1;                               // the labelled controller that scales it
    float faderLevel = 1.0f;                      // that controller's share at its default
    std::string label;
    SamplePiece piece; // its slice of the file and its tuning
};

inline constexpr int maxCurves = 256;

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
                if (current == &control_)
                    control(token.name, {token.value, token.where});
                noteIgnored(current, token.name);
                continue;
            }
            if (inRegion && !emit())
                return false;
            if (current == &curve_)
                addCurve();
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
            } else if (h == "curve") {
                curve_.clear();
                current = &curve_;
            } else {
                summary_.ignored.insert("<" + h + ">");
                discard_.clear();
                current = &discard_;
            }
        }
        if (current == &curve_)
            addCurve();
        return !inRegion || emit();
    }

    std::vector<Region> regions;
    std::string error;
    // What selects a keyswitched set, as the kit states it: sw_default, else the lowest key
    // of sw_lokey..sw_hikey.
    std::optional<int> swDefault, swLowest;
    std::map<int, std::string> labels; // label_ccN
    std::array<double, 128> ccValue{}; // each controller's default, 0..1
    int silentAtDefaults = 0;          // regions whose levels come to nothing

private:
    bool bad(const std::string& where, const std::string& why) {
        error = where + ": " + why;
        return false;
    }

    // One line in the summary per opcode whose value we could not play as written.
    void warn(const std::string& name, const std::string& value, const std::string& played) {
        if (warned_.insert(name).second && summary_.clamped.size() < 100)
            summary_.clamped.push_back(name + "=" + value.substr(0, 40) + " (" + played + ")");
    }

    static std::string shortNumber(double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
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

    // The value an opcode states, clamped to its range as players do; unreadable ones keep
    // the default. Either way the summary says so, once per opcode.
    double value(const std::string& name, const std::string& text, double fallback, double lo,
                 double hi, bool note = false) {
        const auto parsed = parseNumber(text, note);
        if (!parsed) {
            warn(name, text, "default");
            return fallback;
        }
        if (*parsed < lo || *parsed > hi) {
            const double clamped = std::clamp(*parsed, lo, hi);
            warn(name, text, shortNumber(clamped));
            return clamped;
        }
        return *parsed;
    }
    double number(const Opcodes& from, const std::string& name, double fallback, double lo,
                  double hi, bool note = false) {
        const auto it = from.find(name);
        return it == from.end() ? fallback : value(name, it->second.first, fallback, lo, hi, note);
    }

    void control(const std::string& name, const std::pair<std::string, std::string>& entry) {
        if (const auto cc = indexOf(name, "set_cc"))
            ccValue[std::size_t(*cc)] = value(name, entry.first, 0, 0, 127) / 127.0;
        else if (const auto hd = indexOf(name, "set_hdcc"))
            ccValue[std::size_t(*hd)] = value(name, entry.first, 0, 0, 1);
        else if (const auto real = indexOf(name, "set_realcc"))
            ccValue[std::size_t(*real)] = value(name, entry.first, 0, 0, 1);
        else if (const auto label = indexOf(name, "label_cc"))
            labels[*label] = entry.first.substr(0, 100);
    }

    void addCurve() {
        const int index = int(number(curve_, "curve_index", -1, -1, maxCurves - 1));
        if (index < 0)
            return;
        // Points not given lie on straight lines between those given; 0 and 127 default to
        // the ends of a rising line.
        std::array<std::optional<float>, 128> given;
        given[0] = 0.0f;
        given[127] = 1.0f;
        for (const auto& [name, entry] : curve_)
            if (name.size() == 4 && name[0] == 'v')
                if (const auto at = indexOf(name, "v"))
                    given[std::size_t(*at)] = float(value(name, entry.first, 0, -1e6, 1e6));
        Curve curve{};
        std::size_t last = 0;
        for (std::size_t i = 1; i < 128; ++i)
            if (given[i]) {
                for (std::size_t j = last; j <= i; ++j)
                    curve[j] = *given[last] +
                               (*given[i] - *given[last]) * float(j - last) / float(i - last);
                last = i;
            }
        curves_[index] = curve;
    }

    const Curve& curveOf(int index) {
        if (const auto it = curves_.find(index); it != curves_.end())
            return it->second;
        return curves_[index] = builtInCurve(index);
    }

    // A controller's effect at its default, through the curve the region names for it.
    float shaped(const Opcodes& merged, const std::string& curvePrefix, int cc) {
        const int index =
            int(number(merged, curvePrefix + std::to_string(cc), 0, 0, maxCurves - 1));
        return onCurve(curveOf(index), ccValue[std::size_t(cc)]);
    }

    // A strike's level at velocity v, as SFZ players shape it: amp_velcurve_N points (a
    // straight line between them), else the square of v's share, scaled by amp_veltrack.
    static double velocityLevel(const std::map<int, double>& points, double track, int v) {
        double curve = (v / 127.0) * (v / 127.0);
        if (!points.empty()) {
            auto above = points.lower_bound(v);
            const auto below = above == points.begin() ? points.end() : std::prev(above);
            const std::pair<int, double> lo =
                below == points.end() ? std::pair{0, 0.0} : std::pair<int, double>(*below);
            const std::pair<int, double> hi =
                above == points.end() ? std::pair{127, 1.0} : std::pair<int, double>(*above);
            curve = hi.first == lo.first ? hi.second
                                         : lo.second + (hi.second - lo.second) * (v - lo.first) /
                                                           (hi.first - lo.first);
        }
        const double t = track / 100.0;
        return t >= 0 ? 1 - t + t * curve : 1 + t * curve;
    }

    bool emit() {
        if (regions.size() >= maxRegions) {
            error = "more than " + std::to_string(maxRegions) + " regions";
            return false;
        }
        // Each opcode from the nearest level that sets it.
        Opcodes merged = region_;
        for (const Opcodes* level : {&group_, &master_, &global_})
            merged.insert(level->begin(), level->end());
        const auto has = [&](const char* name) { return merged.count(name) > 0; };
        Region r;
        const double noteOffset = number(control_, "note_offset", 0, -127, 127);
        const double octaveOffset = number(control_, "octave_offset", 0, -10, 10);
        if (const auto trigger = merged.find("trigger");
            trigger != merged.end() && trigger->second.first != "attack") {
            summary_.ignored.insert("trigger=" + trigger->second.first.substr(0, 40));
            return true;
        }
        // Played by polyphonic pressure: a grabbed cymbal, which the pad's own grab damps.
        if (number(merged, "lopolyaft", 0, 0, 127) > 0)
            return true;
        const auto sample = merged.find("sample");
        if (sample == merged.end() || sample->second.first.empty())
            return true;
        std::string path = (control_.count("default_path") ? control_["default_path"].first : "") +
                           sample->second.first;
        if (path.size() > 4096)
            return bad(sample->second.second, "sample path too long");
        std::replace(path.begin(), path.end(), '\\', '/');
        if (sample->second.first == "*silence") {
            r.silent = true;
        } else if (sample->second.first.rfind('*', 0) == 0) {
            summary_.ignored.insert("sample=" + sample->second.first.substr(0, 40));
            return true;
        } else {
            r.sample = (folder_ / path).lexically_normal();
        }
        const double shift = noteOffset + 12 * octaveOffset;
        const double key = number(merged, "key", -1, 0, 127, true);
        double lokey = number(merged, "lokey", 0, 0, 127, true);
        double hikey = number(merged, "hikey", 127, 0, 127, true);
        const bool keyed = key >= 0; // an unreadable key is as good as none
        if (keyed)
            lokey = hikey = key;
        r.lokey = int(std::clamp(lokey + shift, 0.0, 127.0));
        r.hikey = int(std::clamp(hikey + shift, 0.0, 127.0));
        r.lovel = std::max(1, int(number(merged, "lovel", 1, 0, 127)));
        r.hivel = std::max(r.lovel, int(number(merged, "hivel", 127, 0, 127)));
        r.seqLength = int(number(merged, "seq_length", 1, 1, 100));
        r.seqPosition = int(number(merged, "seq_position", 1, 1, 100));
        r.lorand = number(merged, "lorand", 0, 0, 1);
        r.hirand = std::max(r.lorand, number(merged, "hirand", 1, 0, 1));
        r.random = r.lorand > 0 || r.hirand < 1;
        r.group = long(number(merged, "group", 0, -1e9, 1e9));
        r.offBy = long(number(merged, "off_by", 0, -1e9, 1e9));
        if (!levels(merged, r)) {
            ++silentAtDefaults; // as good as absent
            return true;
        }
        // Stopped by another: at once (fast), over its release (normal) or off_time.
        if (const auto mode = merged.find("off_mode"); mode != merged.end()) {
            if (mode->second.first == "normal")
                r.offSeconds = float(number(merged, "ampeg_release", 0, 0, 100));
            else if (mode->second.first == "time")
                r.offSeconds = float(number(merged, "off_time", 0, 0, 100));
        } else if (has("off_time")) {
            r.offSeconds = float(number(merged, "off_time", 0, 0, 100));
        }
        r.monophonic = number(merged, "note_polyphony", 0, 0, 1e6) == 1 ||
                       number(merged, "polyphony", 0, 0, 1e6) == 1;
        for (const auto& [name, entry] : merged) {
            const bool hd = name.rfind("lohdcc", 0) == 0 || name.rfind("hihdcc", 0) == 0;
            const auto lo = hd ? indexOf(name, "lohdcc") : indexOf(name, "locc");
            const auto hi = hd ? indexOf(name, "hihdcc") : indexOf(name, "hicc");
            const double scale = hd ? 127.0 : 1.0;
            if (lo || hi) {
                auto [at, added] = r.ccRanges.try_emplace(lo ? *lo : *hi, 0, 127);
                (lo ? at->second.first : at->second.second) = int(std::lround(
                    value(name, entry.first, lo ? 0 : 127 / scale, 0, 127 / scale) * scale));
            }
        }
        std::erase_if(r.ccRanges, [](const auto& range) {
            return range.second == std::pair{0, 127};
        });
        // Keyswitches: the set this region belongs to, and what the kit starts on.
        if (has("sw_last") || has("sw_lolast") || has("sw_hilast")) {
            const double last = number(merged, "sw_last", 0, 0, 127, true);
            r.keyswitch = std::pair{int(number(merged, "sw_lolast", last, 0, 127, true)),
                                    int(number(merged, "sw_hilast", last, 0, 127, true))};
        }
        if (has("sw_default") && !swDefault)
            swDefault = int(number(merged, "sw_default", 0, 0, 127, true));
        if (has("sw_lokey")) {
            const int lowest = int(number(merged, "sw_lokey", 0, 0, 127, true));
            swLowest = std::min(swLowest.value_or(127), lowest);
        } else if (r.keyswitch) {
            swLowest = std::min(swLowest.value_or(127), r.keyswitch->first);
        }
        // A slice: from `offset` to the frame `end` names, inclusive; end=0 or -1 plays
        // nothing.
        const double offset = number(merged, "offset", 0, 0, 4294967296.0);
        const double end = number(merged, "end", 0, -1, 4294967296.0);
        r.piece.start = static_cast<std::uint64_t>(offset);
        if (has("end") && end <= 0)
            r.silent = true;
        else if (end > offset)
            r.piece.end = static_cast<std::uint64_t>(end) + 1;
        // Tuning, only where the region asks for it (`key` centres the pitch on its own key):
        // a region struck on its key plays that far from its pitch centre.
        if (has("tune") || has("transpose") || has("pitch_keycenter") || has("pitch_keytrack")) {
            const double tune = number(merged, "tune", 0, -9600, 9600);
            const double transpose = number(merged, "transpose", 0, -127, 127);
            const double keycenter = number(merged, "pitch_keycenter", -1, 0, 127, true);
            const double keytrack = number(merged, "pitch_keytrack", 100, -1200, 1200);
            const double center = keycenter >= 0 ? keycenter + shift : keyed ? key + shift : 60;
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

    // The region's gain and pan at every level and controller default; false when that
    // leaves it silent (its microphone fader aside, which the mixer may raise).
    bool levels(const Opcodes& merged, Region& r) {
        double volume = number(merged, "volume", 0, -144, 6);
        double amplitude = number(merged, "amplitude", 100, 0, 100) / 100;
        for (const char* level : {"group", "master", "global"}) {
            volume += number(merged, std::string(level) + "_volume", 0, -144, 6);
            amplitude *= number(merged, std::string(level) + "_amplitude", 100, 0, 100) / 100;
        }
        double pan = number(merged, "pan", 0, -100, 100);
        std::map<int, double> velocityPoints;
        for (const auto& [name, entry] : merged) {
            if (const auto cc = indexOf(name, "amplitude_oncc")) {
                const double depth = value(name, entry.first, 0, -10000, 10000) / 100;
                const float share = shaped(merged, "amplitude_curvecc", *cc);
                // A labelled fader scaling the region is a microphone's level, kept apart.
                if (labels.count(*cc) && r.fader < 0) {
                    r.fader = *cc;
                    r.faderLevel = share;
                    amplitude *= depth;
                } else {
                    amplitude *= depth * share;
                }
            } else if (const auto vol = indexOf(name, "volume_oncc")) {
                volume +=
                    value(name, entry.first, 0, -144, 48) * shaped(merged, "volume_curvecc", *vol);
            } else if (const auto gain = indexOf(name, "gain_oncc")) {
                volume +=
                    value(name, entry.first, 0, -144, 48) * shaped(merged, "gain_curvecc", *gain);
            } else if (const auto panCc = indexOf(name, "pan_oncc")) {
                pan +=
                    value(name, entry.first, 0, -200, 200) * shaped(merged, "pan_curvecc", *panCc);
            } else if (const auto v = indexOf(name, "amp_velcurve_")) {
                velocityPoints[*v] = value(name, entry.first, 0, 0, 1);
            }
        }
        // Our strikes play at the square of the velocity's share (the kit asks for it, as
        // SFZ players default to), and a region's samples hold one gain for their whole
        // velocity range. Another velocity response is matched at the top of the region's
        // range: its hardest strike plays as the SFZ player would, softer ones follow the
        // square, so layers meet where they did and the loudest keep their level.
        const double track = number(merged, "amp_veltrack", 100, -100, 100);
        const double top = double(r.hivel) / 127.0;
        amplitude *= velocityLevel(velocityPoints, track, r.hivel) / (top * top);
        r.gain = float(std::pow(10.0, std::clamp(volume, -144.0, 48.0) / 20.0) *
                       std::clamp(amplitude, 0.0, 16.0));
        r.pan = float(std::clamp(pan, -100.0, 100.0) / 100.0);
        return r.gain > 1e-6f;
    }

    // Opcodes we do not play are named once, wherever they stand.
    static bool known(const std::string& name) {
        static constexpr std::array plain{"sample",
                                          "key",
                                          "lokey",
                                          "hikey",
                                          "lovel",
                                          "hivel",
                                          "seq_length",
                                          "seq_position",
                                          "lorand",
                                          "hirand",
                                          "volume",
                                          "pan",
                                          "amplitude",
                                          "group",
                                          "off_by",
                                          "trigger",
                                          "region_label",
                                          "group_label",
                                          "master_label",
                                          "global_label",
                                          "tune",
                                          "transpose",
                                          "pitch_keycenter",
                                          "pitch_keytrack",
                                          "offset",
                                          "end",
                                          "count",
                                          "group_volume",
                                          "master_volume",
                                          "global_volume",
                                          "group_amplitude",
                                          "master_amplitude",
                                          "global_amplitude",
                                          "amp_veltrack",
                                          "off_mode",
                                          "off_time",
                                          "sw_lokey",
                                          "sw_hikey",
                                          "sw_last",
                                          "sw_lolast",
                                          "sw_hilast",
                                          "sw_default",
                                          "lopolyaft",
                                          "hipolyaft",
                                          "note_polyphony",
                                          "polyphony"};
        static constexpr std::array<std::string_view, 11> indexed{
            "locc",        "hicc",           "lohdcc",
            "hihdcc",      "amplitude_oncc", "amplitude_curvecc",
            "volume_oncc", "volume_curvecc", "gain_oncc",
            "pan_oncc",    "pan_curvecc"};
        return std::find(plain.begin(), plain.end(), name) != plain.end() ||
               indexOf(name, "amp_velcurve_") ||
               std::any_of(indexed.begin(), indexed.end(),
                           [&](std::string_view prefix) { return bool(indexOf(name, prefix)); });
    }
    void noteIgnored(const Opcodes* level, const std::string& name) {
        bool isKnown = false;
        if (level == &control_)
            isKnown = name == "default_path" || name == "note_offset" || name == "octave_offset" ||
                      indexOf(name, "set_cc") || indexOf(name, "set_hdcc") ||
                      indexOf(name, "set_realcc") || indexOf(name, "label_cc");
        else if (level == &curve_)
            isKnown = name == "curve_index" || (name.size() == 4 && indexOf(name, "v"));
        else
            isKnown = known(name);
        if (!isKnown && level != &discard_ && summary_.ignored.size() < 200)
            summary_.ignored.insert(name.substr(0, 60));
    }

    fs::path folder_;
    Summary& summary_;
    Opcodes control_, global_, master_, group_, region_, curve_, discard_;
    std::map<int, Curve> curves_;
    std::set<std::string> warned_;
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

// Pedal ranges: the controller rises as the pedal closes the hats.
PadRole hiHatFor(std::pair<int, int> range) {
    const int middle = (range.first + range.second) / 2;
    return middle < 43 ? PadRole::hhOpen : middle < 86 ? PadRole::hhHalf : PadRole::hhClosed;
}

Instrument probeOf(const Region& r) {
    Instrument probe;
    probe.name = r.label.empty() ? r.sample.stem().string() : r.label;
    if (r.lokey == r.hikey)
        probe.note = r.lokey;
    return probe;
}

std::string noteName(int note) {
    static constexpr std::array names{"c",  "c#", "d",  "d#", "e",  "f",
                                      "f#", "g",  "g#", "a",  "a#", "b"};
    return names[std::size_t(note % 12)] + std::to_string(note / 12 - 1);
}

std::string regionCount(int count) {
    return std::to_string(count) + (count == 1 ? " region" : " regions");
}

// Only the keyswitched set the kit starts on plays; the others are named.
void keepDefaultKeyswitch(Interpreter& in, Summary& summary) {
    const auto chosen = in.swDefault ? in.swDefault : in.swLowest;
    if (!chosen)
        return;
    std::map<int, int> others; // set's lowest key, regions
    std::erase_if(in.regions, [&](const Region& r) {
        const bool other =
            r.keyswitch && (*chosen < r.keyswitch->first || *chosen > r.keyswitch->second);
        if (other)
            ++others[r.keyswitch->first];
        return other;
    });
    for (const auto& [key, count] : others)
        summary.leftOut.push_back("keyswitch " + noteName(key) + " (" + regionCount(count) + ")");
}

// The controller the kit's hi-hat openness follows: the one that splits a hi-hat key into
// the most levels (CC4 when others tie); none when no hi-hat is split.
std::optional<int> hiHatController(const std::vector<Region>& regions) {
    // Per controller and hi-hat key range, the distinct ranges its regions take on it.
    std::map<int, std::map<std::pair<int, int>, std::set<std::pair<int, int>>>> split;
    // A controller that also gates other drums switches sets of recordings, not the hats.
    std::set<int> controllers, gates;
    for (const Region& r : regions)
        for (const auto& [cc, range] : r.ccRanges)
            (hiHatByName(probeOf(r)) ? controllers : gates).insert(cc);
    for (int gate : gates)
        controllers.erase(gate);
    for (const Region& r : regions)
        if (hiHatByName(probeOf(r)))
            for (int cc : controllers) {
                const auto it = r.ccRanges.find(cc);
                split[cc][{r.lokey, r.hikey}].insert(it == r.ccRanges.end() ? std::pair{0, 127}
                                                                            : it->second);
            }
    std::optional<int> best;
    std::size_t bestCount = 0;
    for (const auto& [cc, keys] : split) {
        const auto count = std::size_t(std::count_if(
            keys.begin(), keys.end(), [](const auto& k) { return k.second.size() > 1; }));
        if (count > bestCount || (count == bestCount && count > 0 && cc == 4)) {
            best = cc;
            bestCount = count;
        }
    }
    return best;
}

// Regions gated on other controllers play or not by those controllers' defaults; hi-hat
// regions take their range on the pedal, those on a split key without one the range the
// others leave free (a closed hat under semi-open ones that state theirs).
void settleControllers(Interpreter& in, std::optional<int> pedal, Summary& summary) {
    std::map<std::string, int> off;
    std::erase_if(in.regions, [&](const Region& r) {
        for (const auto& [cc, range] : r.ccRanges) {
            if (pedal && cc == *pedal)
                continue;
            const double at = in.ccValue[std::size_t(cc)] * 127.0;
            if (at < range.first - 1e-6 || at > range.second + 1e-6) {
                ++off["cc" + std::to_string(cc) + " at " + std::to_string(int(std::lround(at)))];
                return true;
            }
        }
        return false;
    });
    for (const auto& [why, count] : off)
        summary.leftOut.push_back(regionCount(count) + " (" + why + ")");
    if (!pedal)
        return;
    std::map<std::pair<int, int>, std::array<bool, 128>> covered;
    for (Region& r : in.regions)
        if (const auto it = r.ccRanges.find(*pedal);
            it != r.ccRanges.end() && hiHatByName(probeOf(r))) {
            r.pedal = it->second;
            auto& keys = covered[{r.lokey, r.hikey}];
            for (int v = std::max(0, it->second.first); v <= std::min(127, it->second.second); ++v)
                keys[std::size_t(v)] = true;
        }
    for (Region& r : in.regions) {
        const auto keys = covered.find({r.lokey, r.hikey});
        if (r.pedal || keys == covered.end() || !hiHatByName(probeOf(r)))
            continue;
        std::pair<int, int> widest{0, -1};
        for (int v = 0; v < 128;) {
            if (keys->second[std::size_t(v)]) {
                ++v;
                continue;
            }
            int w = v;
            while (w + 1 < 128 && !keys->second[std::size_t(w + 1)])
                ++w;
            if (w - v > widest.second - widest.first)
                widest = {v, w};
            v = w + 1;
        }
        if (widest.second >= widest.first)
            r.pedal = widest;
    }
}

// The role each pedal range of a hi-hat plays, by key range and pedal range; -1 for a level
// left out. A hi-hat split by pedal into more openness levels than we have roles keeps one
// per role, the nearest to closed, half and open.
std::map<std::tuple<int, int, int, int>, int> hiHatLevels(const std::vector<Region>& regions) {
    std::map<std::pair<int, int>, std::set<std::pair<int, int>>> levels; // per key range
    for (const Region& r : regions)
        if (r.pedal)
            levels[{r.lokey, r.hikey}].insert(*r.pedal);
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

// One instrument per key range and hi-hat position, in the order they first appear.
struct Built {
    Instrument instrument;
    std::vector<std::pair<int, PadSample>> takes; // by sequence position
    // Per take: what makes a strike play it. Regions alike in all of it sound together.
    std::vector<std::tuple<int, int, int, double, double>> when;
    std::vector<long> groups;
    std::vector<std::pair<long, float>> offBys; // stopped by a group, fading this long
    std::optional<FileUrl> file;                // a file it plays, for a silent stand-in
    std::optional<float> monophonic;            // stops its own last strike, over this long
};

// The regions gathered into instruments; hi-hat levels left out are named in the summary.
// Microphone faders (`fader` controllers) number the kit's microphones, in `microphones`.
std::vector<Built> gather(const std::vector<Region>& regions, const std::map<int, int>& microphones,
                          Summary& summary) {
    const auto levelRole = hiHatLevels(regions);
    std::vector<Built> built;
    std::map<std::tuple<int, int, int>, std::size_t> index;
    std::set<std::string> unusedLevels;
    for (const Region& r : regions) {
        Instrument probe = probeOf(r);
        if (r.sample.empty() && r.label.empty())
            probe.name = "choke " + noteName(r.lokey);
        const std::string name = probe.name;
        std::optional<PadRole> hiHat;
        if (r.pedal) {
            const int role = levelRole.at({r.lokey, r.hikey, r.pedal->first, r.pedal->second});
            if (role < 0) {
                const std::string name = probe.name + " (pedal " + std::to_string(r.pedal->first) +
                                         "-" + std::to_string(r.pedal->second) + ")";
                if (unusedLevels.insert(name).second)
                    summary.leftOut.push_back(name);
                continue;
            }
            hiHat = static_cast<PadRole>(role);
        }
        const auto key = std::tuple{r.lokey, r.hikey, hiHat ? int(*hiHat) : -1};
        auto [at, added] = index.try_emplace(key, built.size());
        if (added) {
            built.push_back({std::move(probe), {}, {}, {}, {}, {}, {}});
            built.back().instrument.hiHat = hiHat;
        }
        Built& b = built[at->second];
        // Each group once: a thousand regions of one group cost one look each.
        if (r.group != 0 && std::find(b.groups.begin(), b.groups.end(), r.group) == b.groups.end())
            b.groups.push_back(r.group);
        if (r.offBy != 0 && std::none_of(b.offBys.begin(), b.offBys.end(),
                                         [&](const auto& o) { return o.first == r.offBy; }))
            b.offBys.emplace_back(r.offBy, r.offSeconds);
        if (r.monophonic)
            b.monophonic = r.offSeconds;
        if (r.silent)
            continue;
        if (b.takes.empty())
            b.instrument.name = name; // named by its first sounding region
        PadSample sample{r.piece.in(FileUrl::fromPath(r.sample)), r.lovel, r.hivel, r.gain, r.pan};
        if (const auto mic = microphones.find(r.fader); mic != microphones.end())
            sample.microphones = {mic->second, mic->second};
        b.file = FileUrl::fromPath(r.sample);
        const int position = r.seqLength > 1 ? r.seqPosition : 0;
        b.takes.emplace_back(position, std::move(sample));
        b.when.emplace_back(r.lovel, r.hivel, position, r.lorand, r.hirand);
        if (r.random)
            b.instrument.order = TakeOrder::random;
    }
    return built;
}

// The instrument with its takes in order, regions a strike plays together marked so, and its
// pan the pad's where all recordings share one.
Instrument finish(Built& b) {
    if (b.takes.empty())
        return b.instrument;
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
// holding that group chokes it, over the stopped region's off time. An instrument of silent
// regions only (a choke note) plays a silent frame of a file it stops, so it has a pad.
void addChokes(const std::vector<Built>& built, std::vector<Instrument>& instruments) {
    for (std::size_t i = 0; i < built.size(); ++i)
        if (built[i].monophonic)
            instruments[i].chokes.push_back({i, *built[i].monophonic});
    for (std::size_t stopped = 0; stopped < built.size(); ++stopped)
        for (const auto& [group, seconds] : built[stopped].offBys)
            for (std::size_t starter = 0; starter < built.size(); ++starter) {
                if (!std::count(built[starter].groups.begin(), built[starter].groups.end(), group))
                    continue;
                auto& chokes = instruments[starter].chokes;
                if (std::none_of(chokes.begin(), chokes.end(),
                                 [&](const InstrumentChoke& c) { return c.instrument == stopped; }))
                    chokes.push_back({stopped, seconds});
                if (instruments[starter].samples.empty() && built[stopped].file) {
                    SamplePiece frame;
                    frame.end = 1;
                    instruments[starter].samples.push_back(
                        {frame.in(*built[stopped].file), 1, 127, 0.0f});
                }
            }
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
    if (interpreter.silentAtDefaults > 0)
        result.summary.leftOut.push_back(regionCount(interpreter.silentAtDefaults) +
                                         " (silent at the controllers' defaults)");
    keepDefaultKeyswitch(interpreter, result.summary);
    const auto pedal = hiHatController(interpreter.regions);
    settleControllers(interpreter, pedal, result.summary);
    // Labelled faders that scale the regions of two or more microphones become the kit's
    // microphones at their default levels; a lone one is only a level.
    std::map<int, int> microphones;
    for (const Region& r : interpreter.regions)
        if (r.fader >= 0 && !r.silent)
            microphones.emplace(r.fader, 0);
    if (microphones.size() < 2 || microphones.size() > maxMicrophones)
        microphones.clear();
    std::vector<Microphone> mixer;
    for (auto& [fader, number] : microphones) {
        number = int(mixer.size());
        const auto controller = fader; // a structured binding is not captured by clang 14
        const auto level = std::find_if(interpreter.regions.begin(), interpreter.regions.end(),
                                        [&](const Region& r) { return r.fader == controller; });
        mixer.push_back({.name = printable(interpreter.labels[fader]),
                         .volume = std::clamp(level->faderLevel, 0.0f, 16.0f)});
    }
    for (Region& r : interpreter.regions)
        if (!microphones.count(r.fader))
            r.gain *= r.faderLevel;
    std::vector<Built> built = gather(interpreter.regions, microphones, result.summary);
    std::vector<Instrument> instruments;
    for (Built& b : built)
        instruments.push_back(finish(b));
    addChokes(built, instruments);
    for (const Instrument& in : instruments)
        if (in.samples.empty())
            result.summary.leftOut.push_back(in.name + " (silent)");
    result.kit = buildKit(path.stem().string(), instruments, result.summary);
    // SFZ players play a strike at the square of its velocity's share unless told otherwise
    // (the regions' levels above are matched to that).
    result.kit->squaredVelocity = true;
    result.kit->microphones = std::move(mixer);
    if (pedal && *pedal != defaultPedalController &&
        std::any_of(interpreter.regions.begin(), interpreter.regions.end(),
                    [](const Region& r) { return r.pedal.has_value(); }))
        result.kit->hiHatController = *pedal;
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
