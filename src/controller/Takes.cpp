#include "controller/Takes.h"

#include "midi/MidiFile.h"
#include "platform/Files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <system_error>
#include <tuple>
#include <utility>

namespace tamborel::controller {

namespace fs = std::filesystem;
using audio::PlayedEvent;

namespace {

constexpr std::string_view starMark = " starred";
constexpr std::string_view extension = ".mid";
// "2026-12-08 15.31.24": the names sort as the takes began.
constexpr std::size_t stampLength = 19;
// The text event that carries what a take is played back and judged by.
constexpr std::string_view textMark = "tamborel take ";

bool isTakeName(const std::string& name) {
    if (name.size() < stampLength + extension.size() || !name.ends_with(extension))
        return false;
    for (std::size_t i = 0; i < stampLength; ++i) {
        const char c = name[i];
        const bool digit = c >= '0' && c <= '9';
        const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        if (digit == separator)
            return false;
    }
    return true;
}

} // namespace

// --- the recorder ---

std::uint64_t TakeRecorder::silenceFrames() const {
    const double rate = current_ ? current_->sampleRate : 48000.0;
    return static_cast<std::uint64_t>(std::llround(silenceSeconds * rate));
}

void TakeRecorder::add(const PlayedEvent& event, double sampleRate, std::uint64_t clock,
                       std::chrono::system_clock::time_point now, const TakeMeter& meter) {
    const bool strike = event.kind == PlayedEvent::Kind::note;
    if (current_ && strike && event.frame >= lastStrike_ + silenceFrames())
        done_.push_back(*std::exchange(current_, std::nullopt));
    if (!current_ && !strike) {
        if (event.kind == PlayedEvent::Kind::controller)
            pedal_ = event;
        return;
    }
    if (!current_) {
        Take take;
        // The wall clock when the strike sounded: now, less what the engine played since.
        const double ago = clock > event.frame ? double(clock - event.frame) / sampleRate : 0.0;
        take.began = now - std::chrono::duration_cast<std::chrono::system_clock::duration>(
                               std::chrono::duration<double>(ago));
        take.sampleRate = sampleRate;
        take.meter = meter;
        take.firstFrame = event.frame;
        if (song_)
            take.song = TakeSong{*song_, (double(event.frame) - double(songStart_)) / sampleRate};
        if (pedal_) {
            take.events.push_back(*pedal_);
            take.events.back().frame = event.frame;
        }
        current_ = std::move(take);
    }
    if (event.kind == PlayedEvent::Kind::controller)
        pedal_ = event;
    current_->events.push_back(event);
    if (strike)
        lastStrike_ = event.frame;
}

std::vector<Take> TakeRecorder::ended(std::uint64_t clock) {
    if (current_ && clock >= lastStrike_ + silenceFrames())
        done_.push_back(*std::exchange(current_, std::nullopt));
    return std::exchange(done_, {});
}

std::optional<Take> TakeRecorder::finish() {
    return std::exchange(current_, std::nullopt);
}

void TakeRecorder::setSong(std::optional<fs::path> file, std::uint64_t startFrame) {
    song_ = std::move(file);
    songStart_ = startFrame;
}

// --- the folder ---

namespace takes {

fs::path fileFor(const fs::path& folder, std::chrono::system_clock::time_point began) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(began);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H.%M.%S", &local);
    fs::path file = folder / (std::string(stamp) + std::string(extension));
    std::error_code ec;
    for (int n = 2;
         fs::exists(file, ec) ||
         fs::exists(folder / (std::string(stamp) + std::string(starMark) + std::string(extension)),
                    ec);
         ++n)
        file = folder / (std::string(stamp) + " " + std::to_string(n) + std::string(extension));
    return file;
}

std::string midiBytes(const Take& take) {
    midi::MidiFilePerformance performance;
    performance.bpm = take.meter.bpm;
    performance.beatsPerBar = take.meter.beatsPerBar;
    performance.noteValue = take.meter.noteValue;
    performance.ticksPerQuarter = 34 * 960;
    for (const PlayedEvent& e : take.events) {
        midi::MidiFileEvent out;
        out.seconds = double(e.frame - std::min(e.frame, take.firstFrame)) / take.sampleRate;
        out.kind = e.kind == PlayedEvent::Kind::note ? midi::MidiFileEvent::Kind::noteOn
                   : e.kind == PlayedEvent::Kind::controller
                       ? midi::MidiFileEvent::Kind::controlChange
                       : midi::MidiFileEvent::Kind::polyPressure;
        out.channel = 9; // the drum channel, 10 as modules count
        out.number = e.number;
        out.value = e.value;
        performance.events.push_back(out);
    }
    nlohmann::json about{{"kit", take.meter.kit},
                         {"click", take.meter.click},
                         {"pulsesPerBeat", take.meter.pulsesPerBeat},
                         {"bpm", take.meter.bpm},
                         {"beatsPerBar", take.meter.beatsPerBar},
                         {"noteValue", take.meter.noteValue},
                         {"barStart", 0.0}};
    if (take.meter.click && take.meter.barFrame && take.meter.bpm > 0.0 && take.sampleRate > 0.0) {
        // The bar that was sounding when the take began: its start, at or before time zero.
        const double bar = 60.0 / take.meter.bpm * take.meter.beatsPerBar;
        const double since =
            (double(take.firstFrame) - double(*take.meter.barFrame)) / take.sampleRate;
        double phase = std::fmod(since, bar);
        if (phase < 0.0)
            phase += bar;
        about["barStart"] = -phase;
    }
    performance.text = std::string(textMark) + about.dump();
    return withSongMarker(midi::writeMidiFile(performance), take);
}

std::string withSongMarker(std::string smf, const Take& take) {
    // The track's chunk follows the 14-byte header: "MTrk", its length, then its events.
    constexpr std::size_t trackLength = 14 + 4;
    if (!take.song || smf.size() < trackLength + 4 || smf.compare(14, 4, "MTrk") != 0)
        return smf;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " at %.3f s", take.song->seconds);
    std::string text = "Play along: " + take.song->file.string() + seconds;
    std::string size(1, static_cast<char>(text.size() & 0x7F)); // variable-length
    for (std::size_t rest = text.size() >> 7; rest != 0; rest >>= 7)
        size.insert(0, 1, static_cast<char>(0x80 | (rest & 0x7F)));
    const std::string marker = std::string("\x00\xFF\x06", 3) + size + text;
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i)
        length = length << 8 | static_cast<unsigned char>(smf[trackLength + i]);
    length += static_cast<std::uint32_t>(marker.size());
    for (std::size_t i = 0; i < 4; ++i)
        smf[trackLength + i] = static_cast<char>((length >> (8 * (3 - i))) & 0xFF);
    smf.insert(trackLength + 4, marker);
    return smf;
}

std::optional<fs::path> write(const fs::path& folder, const Take& take, std::string& error,
                              std::size_t keep) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path file = fileFor(folder, take.began);
    error = platform::writeFileAtomically(file, midiBytes(take));
    if (!error.empty())
        return std::nullopt;
    prune(folder, keep);
    return file;
}

void prune(const fs::path& folder, std::size_t keep) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && isTakeName(entry.path().filename().string()))
            files.push_back(entry.path());
    if (files.size() <= keep)
        return;
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() > b.filename().string(); // newest first
    });
    for (std::size_t i = keep; i < files.size(); ++i)
        if (!isStarred(files[i]))
            fs::remove(files[i], ec);
}

bool isStarred(const fs::path& file) {
    return file.stem().string().ends_with(starMark);
}

std::optional<fs::path> setStarred(const fs::path& file, bool starred) {
    if (isStarred(file) == starred)
        return file;
    std::string stem = file.stem().string();
    if (starred)
        stem += starMark;
    else
        stem.resize(stem.size() - starMark.size());
    const fs::path renamed = file.parent_path() / (stem + std::string(extension));
    std::error_code ec;
    if (fs::exists(renamed, ec))
        return std::nullopt;
    fs::rename(file, renamed, ec);
    return ec ? std::nullopt : std::optional<fs::path>(renamed);
}

namespace {

// "<stamp>[ title][ starred]": the stamp and the title.
std::pair<std::string, std::string> nameParts(const fs::path& file) {
    std::string stem = file.stem().string();
    if (stem.ends_with(starMark))
        stem.resize(stem.size() - starMark.size());
    std::string title = stem.size() > stampLength + 1 ? stem.substr(stampLength + 1) : "";
    stem.resize(std::min(stem.size(), stampLength));
    return {stem, title};
}

void readAbout(const std::string& text, TakeFile& take) {
    const auto about = nlohmann::json::parse(text.substr(textMark.size()), nullptr, false);
    if (!about.is_object())
        return;
    take.kit = about.value("kit", std::string());
    take.click = about.value("click", false);
    take.pulsesPerBeat = std::clamp(about.value("pulsesPerBeat", 1), 1, 4);
    take.bpm = about.value("bpm", take.bpm);
    take.beatsPerBar = about.value("beatsPerBar", take.beatsPerBar);
    take.noteValue = about.value("noteValue", take.noteValue);
    take.barStart = about.value("barStart", 0.0);
    if (!(take.bpm > 0.0) || !std::isfinite(take.bpm) || !std::isfinite(take.barStart)) {
        take.bpm = 120.0;
        take.click = false;
    }
}

} // namespace

std::optional<TakeFile> read(const fs::path& file) {
    const auto bytes = platform::readFile(file, midi::maxMidiFileBytes);
    if (!bytes)
        return std::nullopt;
    auto midiFile = midi::readMidiFile(*bytes);
    if (!midiFile.events)
        return std::nullopt;
    TakeFile take;
    take.path = file;
    std::tie(take.stamp, take.title) = nameParts(file);
    take.starred = isStarred(file);
    if (midiFile.quarterBpm)
        take.bpm = *midiFile.quarterBpm;
    for (const std::string& text : midiFile.texts)
        if (text.starts_with(textMark))
            readAbout(text, take);
    take.events = std::move(*midiFile.events);
    for (const midi::MidiFileEvent& e : take.events)
        if (e.kind == midi::MidiFileEvent::Kind::noteOn) {
            ++take.strikes;
            take.seconds = std::max(take.seconds, e.seconds);
        } else if (e.kind != midi::MidiFileEvent::Kind::noteOff) {
            take.seconds = std::max(take.seconds, e.seconds);
        }
    return take;
}

std::vector<TakeFile> list(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && isTakeName(entry.path().filename().string()))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() > b.filename().string(); // newest first
    });
    std::vector<TakeFile> out;
    for (const fs::path& file : files)
        if (auto take = read(file))
            out.push_back(std::move(*take));
    return out;
}

std::optional<fs::path> rename(const fs::path& file, const std::string& title) {
    std::string clean;
    for (const char c : title)
        clean += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    const auto first = clean.find_first_not_of(' ');
    clean = first == std::string::npos ? "" : clean.substr(first);
    while (!clean.empty() && (clean.back() == ' ' || clean.back() == '.'))
        clean.pop_back();
    const auto [stamp, old] = nameParts(file);
    const fs::path renamed = file.parent_path() / (stamp + (clean.empty() ? "" : " " + clean) +
                                                   (isStarred(file) ? std::string(starMark) : "") +
                                                   std::string(extension));
    if (renamed == file)
        return file;
    std::error_code ec;
    if (fs::exists(renamed, ec))
        return std::nullopt;
    fs::rename(file, renamed, ec);
    return ec ? std::nullopt : std::optional<fs::path>(renamed);
}

bool remove(const fs::path& file) {
    std::error_code ec;
    return fs::remove(file, ec);
}

bool copyTo(const fs::path& file, const fs::path& target) {
    const auto bytes = platform::readFile(file, midi::maxMidiFileBytes);
    return bytes && platform::writeFileAtomically(target, *bytes).empty();
}

} // namespace takes

} // namespace tamborel::controller
