// DrumGizmo kits as our own: microphones from the kit's channels, one sample per sound file of
// each recording, pads that take their recordings by power.
#include "model/MicrophonePlacement.h"
#include "model/SampleSelection.h"
#include "model/import/DrumGizmo.h"
#include "model/import/KitImport.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace fs = std::filesystem;

namespace tamborel::kitImport {

namespace {

// The sound files a recording uses, in the order it names them.
std::vector<fs::path> filesOf(const drumGizmo::Recording& recording) {
    std::vector<fs::path> files;
    for (const drumGizmo::AudioFile& audio : recording.audioFiles)
        if (std::find(files.begin(), files.end(), audio.file) == files.end())
            files.push_back(audio.file);
    return files;
}

// At most `room` of the recordings, softest first: all of them when they fit, else those
// nearest to evenly spaced powers from the softest to the hardest.
std::vector<const drumGizmo::Recording*> spread(const std::vector<drumGizmo::Recording>& all,
                                                std::size_t room) {
    std::vector<const drumGizmo::Recording*> sorted;
    for (const drumGizmo::Recording& recording : all)
        sorted.push_back(&recording);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto* a, const auto* b) { return a->power < b->power; });
    if (sorted.size() <= room)
        return sorted;
    const double lowest = sorted.front()->power, highest = sorted.back()->power;
    std::vector<bool> kept(sorted.size(), false);
    for (std::size_t k = 0; k < room; ++k) {
        const double aim = room == 1 ? (lowest + highest) / 2.0
                                     : lowest + (highest - lowest) * double(k) / double(room - 1);
        std::size_t nearest = sorted.size();
        for (std::size_t i = 0; i < sorted.size(); ++i)
            if (!kept[i] &&
                (nearest == sorted.size() ||
                 std::abs(sorted[i]->power - aim) < std::abs(sorted[nearest]->power - aim)))
                nearest = i;
        kept[nearest] = true;
    }
    std::vector<const drumGizmo::Recording*> chosen;
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (kept[i])
            chosen.push_back(sorted[i]);
    return chosen;
}

// One DrumGizmo instrument as an instrument to give a pad: each recording kept becomes one
// sample per sound file, those of one recording sounding together.
Instrument instrumentOf(const drumGizmo::Instrument& source,
                        const std::vector<std::string>& channels, Summary& summary) {
    Instrument in;
    in.name = source.name;
    in.order = TakeOrder::power;
    for (int note : source.notes)
        in.notes.push_back(note);
    // The note that gives a role, for an instrument whose name gives none.
    for (int note : source.notes)
        if (!in.note && roleForNote(note))
            in.note = note;
    const auto microphone = [&](const std::string& channel) {
        return int(std::find(channels.begin(), channels.end(), channel) - channels.begin());
    };
    for (const std::string& channel : source.mainChannels)
        in.ownMicrophones.push_back(microphone(channel));
    for (const std::string& dropped : source.dropped)
        ++(dropped.find(": missing ") != std::string::npos ? summary.missingSamples
                                                           : summary.unreadableSamples);

    std::size_t widest = 1;
    for (const drumGizmo::Recording& recording : source.recordings)
        widest = std::max(widest, filesOf(recording).size());
    const auto kept = spread(source.recordings, selection::maxSamplesPerPad / widest);
    summary.droppedSamples += int(source.recordings.size() - kept.size());
    int together = 0;
    for (const drumGizmo::Recording* recording : kept) {
        const std::vector<fs::path> files = filesOf(*recording);
        std::vector<PadSample> samples;
        for (const fs::path& file : files) {
            PadSample sample{FileUrl::fromPath(file)};
            sample.power = static_cast<float>(recording->power);
            sample.normalized = recording->normalized;
            for (const drumGizmo::AudioFile& audio : recording->audioFiles) {
                if (audio.file != file)
                    continue;
                sample.microphones.resize(std::size_t(std::max(audio.fileChannels, 1)), -1);
                const auto at = std::size_t(audio.fileChannel - 1);
                if (at < sample.microphones.size() && sample.microphones[at] == -1)
                    sample.microphones[at] = microphone(audio.channel);
            }
            samples.push_back(std::move(sample));
        }
        // Files of more channels than a kit has microphones are none we can place.
        if (std::any_of(samples.begin(), samples.end(),
                        [](const PadSample& s) { return s.microphones.size() > maxMicrophones; })) {
            ++summary.unreadableSamples;
            continue;
        }
        if (samples.size() > 1) {
            ++together;
            for (PadSample& sample : samples)
                sample.together = together;
        }
        in.samples.insert(in.samples.end(), samples.begin(), samples.end());
    }
    return in;
}

// DrumGizmo's ramp for a choke that states no time, and for the members of a group.
constexpr float defaultChokeSeconds = 0.068f;

// The source's directed chokes and groups (striking one member of a group silences the
// others) between the instruments kept, by their places in `kept`.
void addChokes(const drumGizmo::Kit& source, std::vector<Instrument>& kept) {
    const auto place = [&](const std::string& name) {
        return std::size_t(std::find_if(kept.begin(), kept.end(),
                                        [&](const Instrument& in) { return in.name == name; }) -
                           kept.begin());
    };
    for (const drumGizmo::Instrument& in : source.instruments) {
        const std::size_t choker = place(in.name);
        if (choker == kept.size())
            continue;
        for (const drumGizmo::Choke& choke : in.chokes)
            if (const std::size_t choked = place(choke.instrument); choked != kept.size())
                kept[choker].chokes.push_back({choked, choke.chokeTime && *choke.chokeTime >= 0.0
                                                           ? float(*choke.chokeTime / 1000.0)
                                                           : defaultChokeSeconds});
        for (const drumGizmo::Instrument& other : source.instruments)
            if (!in.group.empty() && other.group == in.group && other.name != in.name)
                if (const std::size_t choked = place(other.name); choked != kept.size())
                    kept[choker].chokes.push_back({choked, defaultChokeSeconds});
    }
}

} // namespace

Result readDrumGizmo(const fs::path& kitFileOrFolder) {
    Result result;
    drumGizmo::ReadResult read = drumGizmo::read(kitFileOrFolder);
    if (!read.kit) {
        result.error = read.error;
        return result;
    }
    const drumGizmo::Kit& source = *read.kit;
    if (source.channels.size() > maxMicrophones) {
        result.error = "the kit has " + std::to_string(source.channels.size()) +
                       " microphones; at most " + std::to_string(maxMicrophones) + " can play";
        return result;
    }
    Summary& summary = result.summary;
    std::vector<Instrument> instruments;
    for (const drumGizmo::Instrument& in : source.instruments) {
        instruments.push_back(instrumentOf(in, source.channels, summary));
        if (instruments.back().samples.empty()) {
            summary.leftOut.push_back(in.name + " (no playable recording)");
            instruments.pop_back();
        }
    }
    addChokes(source, instruments);
    DrumKit kit = buildKit(source.name, instruments, summary);
    summary.leftOut.insert(summary.leftOut.end(), source.leftOut.begin(), source.leftOut.end());
    summary.ignored.insert(source.problems.begin(), source.problems.end());
    const std::vector<float> pans = defaultMicrophonePans(source.channels);
    for (std::size_t i = 0; i < source.channels.size(); ++i)
        kit.microphones.push_back({.name = source.channels[i], .pan = pans[i]});
    result.kit = std::move(kit);
    return result;
}

} // namespace tamborel::kitImport
