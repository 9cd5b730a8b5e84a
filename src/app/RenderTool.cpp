#include "app/RenderTool.h"

#include "audio/MicrophoneOutputs.h"
#include "audio/OutputGroups.h"
#include "audio/SampleLoader.h"
#include "engine/KitPlayer.h"
#include "midi/MidiFile.h"
#include "model/AudioSettings.h"
#include "model/Storage.h"
#include "platform/Files.h"
#include "timing/EventTime.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tamborel::app {

using midi::MidiFileEvent;

namespace {

constexpr int defaultRate = 48000;
constexpr int lowestRate = 8000;
constexpr int highestRate = 384000;
constexpr std::uint32_t blockFrames = 256;
// After the last event, rendering stops once this many seconds in a row are digital silence.
constexpr std::uint64_t silenceToStopSeconds = 1;
// Nothing in a drum kit rings this long after the last strike.
constexpr std::uint64_t longestTailSeconds = 120;
// A day is already 33 GB of output; a later note is a damaged file (one delta time alone can
// place a note 142 years out), which would render for ever.
constexpr double longestPerformanceSeconds = 24.0 * 60 * 60;

// The signal that asked the render to stop, or 0. Written only by the handler.
volatile std::sig_atomic_t stopSignal = 0;

// Turns SIGINT and SIGTERM into a request to stop, for as long as it lives, so an interrupted
// render returns through the writer, which removes its temporary file.
class StopOnSignals {
public:
    StopOnSignals() {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = [](int signal) { stopSignal = signal; };
        action.sa_flags = SA_RESTART; // a write in progress completes rather than fails
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopOnSignals() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

// Streams blocks of stereo pairs, one file a pair, each to a temporary file beside its
// target, and drops the silence after the last sound in any of them, so every file ends
// where the last sound died away and all are the same length. The targets appear only when
// all are finished.
// Files written side by side, each from its own channels of the rendered blocks (two for a
// stereo file, one for a mono one).
struct Target {
    fs::path file;
    std::vector<std::uint32_t> channels;
};

class WavWriter {
public:
    WavWriter(std::vector<Target> targets, int rate) {
        for (Target& target : targets) {
            targets_.push_back(std::move(target.file));
            channels_.push_back(std::move(target.channels));
        }
        for (std::size_t f = 0; f < targets_.size(); ++f) {
            const fs::path& target = targets_[f];
            temps_.push_back((target.parent_path().empty() ? fs::path(".") : target.parent_path()) /
                             (".tamborel-render-" + std::to_string(getpid()) + "-" +
                              std::to_string(f) + ".wav"));
            SF_INFO info{};
            info.samplerate = rate;
            info.channels = static_cast<int>(channels_[f].size());
            info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
            files_.push_back(sf_open(temps_.back().c_str(), SFM_WRITE, &info));
        }
    }
    ~WavWriter() {
        for (std::size_t f = 0; f < files_.size(); ++f) {
            if (files_[f] != nullptr)
                sf_close(files_[f]);
            std::error_code ec;
            fs::remove(temps_[f], ec); // a no-op after a successful finish
        }
    }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool ok() const {
        return !failed_ && std::all_of(files_.begin(), files_.end(),
                                       [](SNDFILE* file) { return file != nullptr; });
    }

    // `channels` holds every channel the targets name. Returns whether the block held any
    // sound.
    bool write(const float* const* channels, std::uint32_t frames) {
        std::uint32_t last = frames;
        for (const auto& used : channels_)
            for (const std::uint32_t c : used)
                for (std::uint32_t i = frames; i-- > 0 && (last == frames || i > last);)
                    if (channels[c][i] != 0.0f) {
                        last = i;
                        break;
                    }
        if (last == frames) {
            pendingSilence_ += frames;
            return false;
        }
        writeSilence();
        for (std::size_t f = 0; f < files_.size(); ++f) {
            const std::size_t width = channels_[f].size();
            interleaved_.resize(std::size_t{last + 1} * width);
            for (std::size_t k = 0; k < width; ++k)
                for (std::uint32_t i = 0; i <= last; ++i)
                    interleaved_[width * i + k] = channels[channels_[f][k]][i];
            put(f, interleaved_.data(), last + 1);
        }
        pendingSilence_ = frames - last - 1;
        return true;
    }

    bool finish() {
        if (!ok())
            return false;
        for (SNDFILE*& file : files_) {
            sf_close(file);
            file = nullptr;
        }
        for (std::size_t f = 0; f < targets_.size(); ++f) {
            std::error_code ec;
            fs::rename(temps_[f], targets_[f], ec);
            if (ec)
                return false;
        }
        return true;
    }

private:
    void writeSilence() {
        const std::vector<float> zeros(2 * blockFrames, 0.0f);
        while (pendingSilence_ > 0) {
            const auto n = std::min<std::uint64_t>(pendingSilence_, blockFrames);
            for (std::size_t f = 0; f < files_.size(); ++f)
                put(f, zeros.data(), n);
            pendingSilence_ -= n;
        }
    }
    void put(std::size_t f, const float* frames, std::uint64_t count) {
        if (files_[f] != nullptr &&
            sf_writef_float(files_[f], frames, static_cast<sf_count_t>(count)) !=
                static_cast<sf_count_t>(count))
            failed_ = true;
    }

    std::vector<fs::path> targets_, temps_;
    std::vector<std::vector<std::uint32_t>> channels_;
    std::vector<SNDFILE*> files_;
    bool failed_ = false;
    std::uint64_t pendingSilence_ = 0;
    std::vector<float> interleaved_;
};

// The event as the bytes a module would send, for the kit player's one MIDI door.
std::array<std::uint8_t, 3> messageOf(const MidiFileEvent& e) {
    std::uint8_t status = 0x90;
    if (e.kind == MidiFileEvent::Kind::controlChange)
        status = 0xB0;
    else if (e.kind == MidiFileEvent::Kind::polyPressure)
        status = 0xA0;
    else if (e.kind == MidiFileEvent::Kind::noteOff)
        status = 0x80;
    return {static_cast<std::uint8_t>(status | e.channel), e.number, e.value};
}

struct Performance {
    DrumKit kit;
    std::vector<MidiFileEvent> events;
};

struct Options {
    AudioSettings settings;
    std::optional<fs::path> stems;
    bool stemsByMicrophone = false;
    int rate = defaultRate; // 0: the rate the kit's samples are recorded at
};

constexpr const char* usage =
    "usage: tamborel-render [--settings FILE] [--velocity-curve "
    "linear|soft|hard|fixed] [--lowest-velocity N] [--fixed-velocity "
    "N] [--stems DIR] [--stems-by drum|mic] [--rate HZ|kit] KIT.json INPUT.mid "
    "OUTPUT.wav\n";

std::optional<int> velocityArgument(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 127)
        return std::nullopt;
    return value;
}

// A rate in Hz, or `kit`, which gives 0: the kit's own.
std::optional<int> rateArgument(const std::string& text) {
    if (text == "kit")
        return 0;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lowestRate ||
        value > highestRate)
        return std::nullopt;
    return value;
}

// Splits the options from the three file names; none, with the reason in `err`, when the
// arguments make no sense. Options may come anywhere, each followed by its value.
std::optional<std::vector<std::string>> parseOptions(const std::vector<std::string>& args,
                                                     Options& options, std::ostream& err) {
    AudioSettings& settings = options.settings;
    std::vector<std::string> files;
    std::optional<std::string> settingsFile;
    std::optional<VelocityCurve> curve;
    std::optional<int> lowest, fixed, rate;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            files.push_back(arg);
            continue;
        }
        if (i + 1 == args.size()) {
            err << "tamborel-render: " << arg << " needs a value\n" << usage;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool good = true;
        if (arg == "--settings")
            settingsFile = value;
        else if (arg == "--velocity-curve")
            good = (curve = velocityCurveFromRawValue(value)).has_value();
        else if (arg == "--lowest-velocity")
            good = (lowest = velocityArgument(value)).has_value();
        else if (arg == "--fixed-velocity")
            good = (fixed = velocityArgument(value)).has_value();
        else if (arg == "--stems")
            good = !(options.stems = fs::path(value))->empty();
        else if (arg == "--rate")
            good = (rate = rateArgument(value)).has_value();
        else if (arg == "--stems-by")
            good = (options.stemsByMicrophone = value == "mic") || value == "drum";
        else
            good = false;
        if (!good) {
            err << "tamborel-render: cannot use " << arg << " " << value;
            if (arg == "--rate")
                err << " (a rate from " << lowestRate << " to " << highestRate << " Hz, or kit)";
            err << '\n' << usage;
            return std::nullopt;
        }
    }
    if (files.size() != 3) {
        err << usage;
        return std::nullopt;
    }
    if (settingsFile) {
        const auto text = platform::readFile(*settingsFile, documents::maxDocumentBytes);
        auto read = text ? documents::readSettings(*text) : documents::ReadResult<AudioSettings>{};
        if (!read) {
            err << "tamborel-render: cannot use settings " << *settingsFile << ": "
                << (text ? read.error : "cannot read the file") << '\n';
            return std::nullopt;
        }
        settings = *read.value;
    } else {
        settings = storage::loadSettings();
    }
    settings.velocity.curve = curve.value_or(settings.velocity.curve);
    settings.velocity.lowest = lowest.value_or(settings.velocity.lowest);
    settings.velocity.fixed = fixed.value_or(settings.velocity.fixed);
    options.rate = rate.value_or(options.rate);
    return files;
}

// The sample files the kit's pads play that are on disk, each once.
// Each sound once, a piece of a file (a SoundFont's recording) as a sound of its own.
std::map<std::string, audio::SoundFile> sampleFilesOnDisk(const DrumKit& kit) {
    std::map<std::string, audio::SoundFile> files;
    for (const DrumPad& pad : kit.pads)
        for (const PadSample& sample : pad.playedSamples()) {
            std::error_code ec;
            const auto file = audio::SoundFile::of(sample.url);
            if (file && fs::is_regular_file(file->path, ec))
                files.emplace(sample.url.text, *file);
        }
    return files;
}

// The rate the kit's samples are recorded at: the one most of its files share (the higher of
// those tied), so that as few as possible are converted. Says so in one line when they
// disagree or none can be read. None, with the reason in `err`, when that rate is out of range.
std::optional<int> kitRate(const DrumKit& kit, std::ostream& err) {
    std::map<int, int> filesAt;
    for (const auto& [url, file] : sampleFilesOnDisk(kit))
        if (const auto rate = audio::sampleLoader::recordedRate(file))
            ++filesAt[*rate];
    if (filesAt.empty()) {
        err << "tamborel-render: no sample of the kit has a rate libsndfile can read; rendering at "
            << defaultRate << " Hz\n";
        return defaultRate;
    }
    auto most = filesAt.begin();
    for (auto at = filesAt.begin(); at != filesAt.end(); ++at)
        if (at->second >= most->second)
            most = at;
    if (most->first < lowestRate || most->first > highestRate) {
        err << "tamborel-render: the kit's samples are recorded at " << most->first
            << " Hz, outside " << lowestRate << " to " << highestRate << " Hz; give --rate\n";
        return std::nullopt;
    }
    if (filesAt.size() > 1) {
        err << "tamborel-render: the kit's samples are recorded at";
        const char* separator = " ";
        for (const auto& [rate, count] : filesAt) {
            err << separator << rate << " Hz (" << count << (count == 1 ? " file)" : " files)");
            separator = ", ";
        }
        err << "; rendering at " << most->first << " Hz, converting the rest\n";
    }
    return most->first;
}

// The kit's microphone outputs in use, each with a file name: that of the first microphone
// sent to it, made safe for a file name and told apart from the others'.
std::vector<std::pair<std::uint32_t, std::string>> microphoneOutputs(const DrumKit& kit) {
    std::vector<std::pair<std::uint32_t, std::string>> outputs;
    std::set<std::string> taken;
    for (const auto& [index, first] : audio::microphoneOutputsOf(kit)) {
        std::string name;
        for (const char c : first)
            name += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
        if (name.empty() || name.starts_with('.'))
            name = "mic" + std::to_string(index + 1) + name;
        std::string unique = name;
        for (int n = 2; !taken.insert(unique).second; ++n)
            unique = name + " " + std::to_string(n);
        outputs.emplace_back(index, unique);
    }
    return outputs;
}

std::optional<Performance> readInputs(const std::string& kitPath, const std::string& midiPath,
                                      std::ostream& err) {
    auto kit = storage::readKitFile(kitPath);
    if (!kit) {
        err << "tamborel-render: cannot use kit " << kitPath << ": " << kit.error << '\n';
        return std::nullopt;
    }
    // A render of silence would look like success; a kit that can sound nothing is refused.
    if (sampleFilesOnDisk(*kit.value).empty()) {
        err << "tamborel-render: cannot use kit " << kitPath
            << ": no playable pad (no pad has a sample file on disk)\n";
        return std::nullopt;
    }
    auto bytes = platform::readFile(midiPath, midi::maxMidiFileBytes);
    if (!bytes) {
        err << "tamborel-render: cannot read " << midiPath << '\n';
        return std::nullopt;
    }
    auto read = midi::readMidiFile(*bytes);
    if (!read.events) {
        err << "tamborel-render: " << midiPath << ": " << read.error << '\n';
        return std::nullopt;
    }
    if (!read.events->empty() && read.events->back().seconds > longestPerformanceSeconds) {
        err << "tamborel-render: " << midiPath << ": the performance lasts longer than 24 hours\n";
        return std::nullopt;
    }
    return Performance{std::move(*kit.value), std::move(*read.events)};
}

// Plays the performance into the files until its last strike has rung out; 0, or the exit
// status when a signal stopped it.
int play(engine::KitPlayer& player, const std::vector<MidiFileEvent>& events, int rate,
         WavWriter& out, std::uint32_t channelCount, audio::OutputLayout layout,
         std::ostream& err) {
    const auto framesPerSecond = static_cast<std::uint64_t>(rate);
    const std::uint64_t lastEventFrame =
        events.empty() ? 0 : static_cast<std::uint64_t>(std::llround(events.back().seconds * rate));
    const bool showProgress = lastEventFrame > 5 * framesPerSecond;
    int shownPercent = -1;

    std::vector<std::vector<float>> buffers(channelCount, std::vector<float>(blockFrames));
    std::vector<float*> channels;
    for (auto& buffer : buffers)
        channels.push_back(buffer.data());
    std::size_t next = 0;
    std::uint64_t silentFrames = 0;
    for (std::uint64_t start = 0;; start += blockFrames) {
        for (; next < events.size(); ++next) {
            const auto at = static_cast<std::uint64_t>(std::llround(events[next].seconds * rate));
            if (at >= start + blockFrames)
                break;
            player.midi(messageOf(events[next]), static_cast<std::uint32_t>(at - start));
        }
        player.render({channels.data(), channelCount, blockFrames, 0, layout});
        silentFrames = out.write(channels.data(), blockFrames) ? 0 : silentFrames + blockFrames;
        if (stopSignal != 0) {
            err << "tamborel-render: stopped, nothing written\n";
            return 128 + stopSignal;
        }
        if (next == events.size() &&
            (silentFrames >= silenceToStopSeconds * framesPerSecond ||
             start > lastEventFrame + longestTailSeconds * framesPerSecond))
            break;
        if (showProgress) {
            const int percent =
                static_cast<int>(std::min<std::uint64_t>(100, start * 100 / lastEventFrame));
            if (percent / 10 != shownPercent / 10) {
                err << "tamborel-render: " << percent << "%\n";
                shownPercent = percent;
            }
        }
    }
    return 0;
}

} // namespace

int runRenderTool(const std::vector<std::string>& arguments, std::ostream& err) {
    Options options;
    const auto files = parseOptions(arguments, options, err);
    if (!files)
        return 2;
    const std::vector<std::string>& args = *files;
    const AudioSettings& settings = options.settings;
    const std::optional<fs::path>& stems = options.stems;
    const StopOnSignals stopOnSignals; // before the writer, so it outlives the clean-up
    auto performance = readInputs(args[0], args[1], err);
    if (!performance)
        return 1;
    // At the kit's own rate, samples recorded at it play as they are, converted by nothing.
    const auto rate =
        options.rate != 0 ? std::optional(options.rate) : kitRate(performance->kit, err);
    if (!rate)
        return 1;

    // The same player, and so the same samples, selection and hit handling, as the live
    // program.
    engine::KitPlayer player;
    player.prepareToRender(*rate, blockFrames);
    player.setRenderingOffline(true);
    player.keepKitsWholeUpTo(settings.wholeKitBytes());
    player.setKit(performance->kit, engine::KitPlayer::Loading::beforeReturning);
    player.setExpression(settings.expression());
    player.renderingStarted();

    // With stems, one file per drum group beside the main one, all the same length; a group
    // that never sounds is written silent, so a DAW's template lines up. By microphone, one
    // mono file per microphone output, named after the first microphone sent to it.
    std::vector<Target> targets{{args[2], {0, 1}}};
    std::uint32_t channelCount = audio::masterChannelCount;
    audio::OutputLayout layout = audio::OutputLayout::drums;
    if (stems && options.stemsByMicrophone) {
        const auto outputs = microphoneOutputs(performance->kit);
        if (outputs.empty()) {
            err << "tamborel-render: cannot use --stems-by mic: kit " << args[0]
                << " has no microphones\n";
            return 1;
        }
        layout = audio::OutputLayout::microphones;
        for (const auto& [index, name] : outputs) {
            targets.push_back({*stems / (name + ".wav"), {audio::masterChannelCount + index}});
            channelCount = std::max(channelCount, audio::masterChannelCount + index + 1);
        }
    } else if (stems) {
        for (audio::OutputGroup group : audio::allOutputGroups) {
            const std::uint32_t first = audio::firstChannelOf(group);
            targets.push_back({*stems / (std::string(audio::outputGroupName(group)) + ".wav"),
                               {first, first + 1}});
        }
        channelCount = audio::allChannelCount;
    }
    if (stems) {
        std::error_code ec;
        fs::create_directories(*stems, ec);
    }
    WavWriter out(std::move(targets), *rate);
    if (!out.ok()) {
        err << "tamborel-render: cannot write "
            << (stems ? "the stems in " + stems->string() : args[2]) << '\n';
        return 1;
    }
    if (const int stopped =
            play(player, performance->events, *rate, out, channelCount, layout, err);
        stopped != 0)
        return stopped;
    if (!out.finish()) {
        err << "tamborel-render: cannot write " << args[2] << '\n';
        return 1;
    }
    return 0;
}

} // namespace tamborel::app
