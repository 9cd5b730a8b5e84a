// DrumGizmo kits: the kit file, instrument files in both of their versions, the MIDI map.
#include "model/import/DrumGizmo.h"

#include "model/import/KitImport.h"

#include <pugixml.hpp>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace tamborel::kitImport::drumGizmo {

namespace {

// Names in these files identify channels and instruments across files, so every one is made
// printable the same way wherever it is read.
std::string text(const pugi::xml_attribute& attribute) {
    return printable(attribute.as_string());
}

std::optional<double> number(const pugi::xml_attribute& attribute) {
    if (!attribute)
        return std::nullopt;
    const double value = attribute.as_double(NAN);
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// A path as a kit writes it: relative to the folder of the file naming it, maybe with the
// separators of Windows.
fs::path pathIn(const fs::path& folder, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return (folder / fs::path(name)).lexically_normal();
}

// Reads and parses an XML file; why it could not, or empty.
std::string load(const fs::path& file, pugi::xml_document& document) {
    std::string whyNot;
    const auto source = readSourceFile(file, whyNot);
    if (!source)
        return whyNot;
    const pugi::xml_parse_result parsed = document.load_buffer(source->data(), source->size());
    if (!parsed)
        return file.filename().string() + " is not valid XML: " + parsed.description() +
               " at byte " + std::to_string(parsed.offset);
    return {};
}

// The channel counts of sound files, each file opened once however many hits share it.
class SoundFiles {
public:
    // Why one channel of a file cannot be played, or empty; then the file's channel count is
    // noted in audio.
    std::string problem(AudioFile& audio) {
        auto [count, added] = channels_.try_emplace(audio.file, missing);
        std::error_code ec;
        if (added && fs::is_regular_file(audio.file, ec)) {
            SF_INFO info{};
            SNDFILE* sound = sf_open(audio.file.c_str(), SFM_READ, &info);
            count->second = sound != nullptr ? info.channels : notSound;
            if (sound != nullptr)
                sf_close(sound);
        }
        const std::string name = audio.file.filename().string();
        if (count->second == missing)
            return "missing " + name;
        if (count->second == notSound)
            return name + " is not a sound file";
        if (audio.fileChannel < 1 || audio.fileChannel > count->second)
            return name + " has no channel " + std::to_string(audio.fileChannel) + " (it has " +
                   std::to_string(count->second) + ")";
        audio.fileChannels = count->second;
        return {};
    }

private:
    static constexpr int missing = -1;
    static constexpr int notSound = 0;
    std::map<fs::path, int> channels_;
};

// What the kit file says of one instrument's channels.
struct Wiring {
    std::map<std::string, std::string> map; // instrument file channel -> kit channel
    const std::set<std::string>* kitChannels = nullptr;
};

// Version 1.0 instrument files give no powers: a hit is chosen among the samples of the
// velocity range (0..1) that holds the strike. Each sample takes as its power the middle of
// the ranges naming it, so choosing the recording nearest in power keeps the ranges' order
// and picks a range's samples around its middle. Their probabilities are not kept: the
// samples of one range are alike to us.
std::map<std::string, double> powersFromVelocities(const pugi::xml_node& root) {
    std::map<std::string, std::pair<double, double>> spans;
    for (const pugi::xml_node velocity : root.child("velocities").children("velocity")) {
        const double lower =
            std::clamp(number(velocity.attribute("lower")).value_or(0.0), 0.0, 1.0);
        const double upper =
            std::clamp(number(velocity.attribute("upper")).value_or(1.0), lower, 1.0);
        for (const pugi::xml_node ref : velocity.children("sampleref")) {
            const auto [span, added] = spans.try_emplace(text(ref.attribute("name")), lower, upper);
            span->second = {std::min(span->second.first, lower),
                            std::max(span->second.second, upper)};
        }
    }
    std::map<std::string, double> powers;
    for (const auto& [name, span] : spans)
        powers[name] = (span.first + span.second) / 2.0;
    return powers;
}

// An instrument file read into in.recordings, dropping the hits that cannot be played; why
// the whole instrument must be left out, or empty.
std::string readInstrument(const fs::path& file, const Wiring& wiring, SoundFiles& sounds,
                           Instrument& in) {
    pugi::xml_document document;
    if (std::string why = load(file, document); !why.empty())
        return why;
    const pugi::xml_node root = document.child("instrument");
    if (!root)
        return file.filename().string() + " holds no instrument";
    if (in.name.empty()) // the kit file's name for it comes first
        in.name = text(root.attribute("name"));
    const bool fromVelocities = root.attribute("version").as_double(1.0) < 2.0;
    const auto velocityPowers =
        fromVelocities ? powersFromVelocities(root) : std::map<std::string, double>{};
    std::size_t count = 0;
    for (const pugi::xml_node sample : root.child("samples").children("sample")) {
        if (++count > maxRecordings)
            return "more than " + std::to_string(maxRecordings) + " recordings";
        Recording hit;
        hit.name = text(sample.attribute("name"));
        if (hit.name.empty())
            hit.name = "recording " + std::to_string(count);
        hit.normalized = sample.attribute("normalized").as_bool(false);
        std::string why;
        if (fromVelocities) {
            const auto power = velocityPowers.find(hit.name);
            if (power == velocityPowers.end())
                why = "in no velocity range";
            else
                hit.power = power->second;
        } else if (const auto power = number(sample.attribute("power")); power && *power >= 0.0)
            hit.power = *power;
        else
            why = "no power";
        for (const pugi::xml_node node : sample.children("audiofile")) {
            if (hit.audioFiles.size() == maxChannels)
                return "a recording with more than " + std::to_string(maxChannels) + " files";
            AudioFile audio;
            audio.channel = text(node.attribute("channel"));
            if (const auto mapped = wiring.map.find(audio.channel); mapped != wiring.map.end())
                audio.channel = mapped->second;
            if (!wiring.kitChannels->contains(audio.channel))
                return "channel " + audio.channel + " is not the kit's";
            audio.file = pathIn(file.parent_path(), node.attribute("file").as_string());
            audio.fileChannel = node.attribute("filechannel").as_int(1);
            if (why.empty())
                why = sounds.problem(audio);
            hit.audioFiles.push_back(std::move(audio));
        }
        if (why.empty() && hit.audioFiles.empty())
            why = "no audio files";
        if (why.empty())
            in.recordings.push_back(std::move(hit));
        else
            in.dropped.push_back(printable(hit.name + ": " + why));
    }
    return {};
}

// The XML files in a folder, sorted, at most 64 of them.
std::vector<fs::path> xmlFilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end && files.size() < 64;
         entry.increment(ec))
        if (entry->path().extension() == ".xml")
            files.push_back(entry->path());
    std::sort(files.begin(), files.end());
    return files;
}

// The kit file in a folder: drumkit.xml, else the one XML file there with a drumkit root.
std::optional<fs::path> kitFileIn(const fs::path& folder, std::string& whyNot) {
    std::error_code ec;
    if (fs::is_regular_file(folder / "drumkit.xml", ec))
        return folder / "drumkit.xml";
    std::vector<fs::path> found;
    for (const fs::path& file : xmlFilesIn(folder)) {
        pugi::xml_document document;
        if (load(file, document).empty() && document.child("drumkit"))
            found.push_back(file);
    }
    if (found.size() == 1)
        return found.front();
    if (found.empty()) {
        whyNot = printable(folder.filename().string() + " holds no DrumGizmo kit");
    } else {
        whyNot = "the folder holds " + std::to_string(found.size()) + " kits (";
        for (const fs::path& file : found)
            whyNot += file.filename().string() + (file == found.back() ? "" : ", ");
        whyNot = printable(whyNot + "): open one of them");
    }
    return std::nullopt;
}

// The kit's own MIDI map: the one the kit file names, else midimap.xml beside it, else the
// one file beside it with "midimap" in its name (kits with several leave the choice open).
std::optional<fs::path> midiMapOf(const pugi::xml_node& root, const fs::path& kitFile) {
    std::string named = root.attribute("defaultmidimap").as_string();
    for (const pugi::xml_node node :
         {root.child("defaultmidimap"), root.child("metadata").child("defaultmidimap")}) {
        if (named.empty())
            named = node.attribute("src").as_string();
        if (named.empty())
            named = node.text().as_string();
    }
    if (!named.empty())
        return pathIn(kitFile.parent_path(), named);
    std::error_code ec;
    if (const fs::path beside = kitFile.parent_path() / "midimap.xml";
        fs::is_regular_file(beside, ec))
        return beside;
    std::vector<fs::path> maps;
    for (const fs::path& file : xmlFilesIn(kitFile.parent_path())) {
        std::string name = file.filename().string();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (name.find("midimap") != std::string::npos)
            maps.push_back(file);
    }
    return maps.size() == 1 ? std::optional(maps.front()) : std::nullopt;
}

Instrument* named(Kit& kit, const std::string& name) {
    const auto found = std::find_if(kit.instruments.begin(), kit.instruments.end(),
                                    [&](const Instrument& in) { return in.name == name; });
    return found == kit.instruments.end() ? nullptr : &*found;
}

void readMidiMap(const fs::path& file, Kit& kit) {
    pugi::xml_document document;
    if (std::string why = load(file, document); !why.empty())
        return kit.problems.push_back(printable("MIDI map: " + why));
    if (!document.child("midimap"))
        return kit.problems.push_back(
            printable("MIDI map: " + file.filename().string() + " holds no MIDI map"));
    std::set<std::string> unknown;
    for (const pugi::xml_node map : document.child("midimap").children("map")) {
        const int note = map.attribute("note").as_int(-1);
        const std::string instrument = text(map.attribute("instr"));
        Instrument* in = named(kit, instrument);
        if (in == nullptr && unknown.insert(instrument).second)
            kit.problems.push_back("MIDI map: no instrument " + instrument);
        if (in != nullptr && note >= 0 && note <= 127 &&
            std::find(in->notes.begin(), in->notes.end(), note) == in->notes.end())
            in->notes.insert(std::upper_bound(in->notes.begin(), in->notes.end(), note), note);
    }
}

} // namespace

ReadResult read(const fs::path& given) {
    ReadResult result;
    fs::path file = given;
    std::error_code ec;
    if (fs::is_directory(given, ec)) {
        const auto found = kitFileIn(given, result.error);
        if (!found)
            return result;
        file = *found;
    }
    pugi::xml_document document;
    if (std::string why = load(file, document); !why.empty()) {
        result.error = printable(why);
        return result;
    }
    const pugi::xml_node root = document.child("drumkit");
    if (!root) {
        result.error = printable(file.filename().string() + " holds no DrumGizmo kit");
        return result;
    }
    const pugi::xml_node metadata = root.child("metadata");
    Kit kit;
    kit.name = printable(root.attribute("name").as_string());
    if (kit.name.empty())
        kit.name = printable(metadata.child("title").text().as_string());
    if (kit.name.empty())
        kit.name = printable(file.parent_path().filename().string());
    kit.description = root.attribute("description").as_string();
    if (kit.description.empty())
        kit.description = metadata.child("description").text().as_string();
    kit.description = printable(kit.description);
    if (const auto rate = number(root.attribute("samplerate")); rate && *rate > 0.0)
        kit.sampleRate = rate;

    std::set<std::string> channels;
    for (const pugi::xml_node node : root.child("channels").children("channel")) {
        const std::string name = text(node.attribute("name"));
        if (name.empty() || !channels.insert(name).second)
            continue;
        if (channels.size() > maxChannels) {
            result.error = "more than " + std::to_string(maxChannels) + " channels";
            return result;
        }
        kit.channels.push_back(name);
    }
    if (kit.channels.empty()) {
        result.error = "the kit names no channels";
        return result;
    }

    std::vector<pugi::xml_node> nodes;
    for (const pugi::xml_node node : root.child("instruments").children("instrument"))
        nodes.push_back(node);
    if (nodes.size() > maxInstruments) {
        result.error = "more than " + std::to_string(maxInstruments) + " instruments";
        return result;
    }
    SoundFiles sounds;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!keepGoing(0.95 * double(i) / double(nodes.size()))) {
            result.error = "cancelled";
            return result;
        }
        const pugi::xml_node node = nodes[i];
        Instrument in;
        in.name = text(node.attribute("name"));
        in.group = text(node.attribute("group"));
        Wiring wiring{{}, &channels};
        for (const pugi::xml_node map : node.children("channelmap")) {
            const std::string out = text(map.attribute("out"));
            wiring.map[text(map.attribute("in"))] = out;
            if (map.attribute("main").as_bool(false) && channels.contains(out) &&
                std::find(in.mainChannels.begin(), in.mainChannels.end(), out) ==
                    in.mainChannels.end())
                in.mainChannels.push_back(out);
        }
        for (const pugi::xml_node choke : node.child("chokes").children("choke"))
            in.chokes.push_back(
                {text(choke.attribute("instrument")), number(choke.attribute("choketime"))});
        const std::string instrumentFile = node.attribute("file").as_string();
        std::string why =
            instrumentFile.empty()
                ? "no instrument file"
                : readInstrument(pathIn(file.parent_path(), instrumentFile), wiring, sounds, in);
        if (in.name.empty())
            in.name = "instrument " + std::to_string(i + 1);
        if (why.empty() && named(kit, in.name) != nullptr)
            why = "a second instrument of that name";
        if (why.empty() && in.recordings.empty())
            why = "no recording could be read" + (in.dropped.empty() ? "" : ": " + in.dropped[0]);
        if (why.empty())
            kit.instruments.push_back(std::move(in));
        else
            kit.leftOut.push_back(printable(in.name + " (" + why + ")"));
    }
    if (kit.instruments.empty()) {
        result.error = nodes.empty() ? "the kit names no instruments"
                                     : "no instrument could be read: " + kit.leftOut.front();
        return result;
    }

    for (Instrument& in : kit.instruments)
        std::erase_if(in.chokes, [&](const Choke& choke) {
            const bool known = named(kit, choke.instrument) != nullptr;
            if (!known)
                kit.problems.push_back(in.name + " chokes no instrument " + choke.instrument);
            return !known;
        });
    if (const auto map = midiMapOf(root, file))
        readMidiMap(*map, kit);
    if (!keepGoing(1.0)) {
        result.error = "cancelled";
        return result;
    }
    result.kit = std::move(kit);
    return result;
}

} // namespace tamborel::kitImport::drumGizmo
