#include "ui/PracticeBridge.h"

#include <array>
#include <cmath>
#include <filesystem>

namespace tamborel::ui {

namespace {

constexpr std::array<const char*, 4> subdivisions{"none", "eighths", "triplets", "sixteenths"};
constexpr std::array<const char*, 2> outputs{"master", "own"};

template <std::size_t N> int indexOf(const std::array<const char*, N>& names, const QString& name) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == QLatin1String(names[i]))
            return static_cast<int>(i);
    return -1;
}

} // namespace

PracticeBridge::PracticeBridge(controller::AppState& state, QObject* parent)
    : PracticeViewModel(parent), state_(state) {
    publishFrom(state_.published());
}

void PracticeBridge::publishFrom(const controller::Published& p) {
    const Metronome& click = p.settings.metronome;
    const auto& song = p.playAlong;
    publish({{QStringLiteral("beatsPerBar"), click.beatsPerBar},
             {QStringLiteral("noteValue"), click.noteValue},
             {QStringLiteral("subdivision"),
              QString::fromLatin1(subdivisions[static_cast<std::size_t>(click.subdivision)])},
             {QStringLiteral("clickLevel"), static_cast<double>(click.level)},
             {QStringLiteral("clickOutput"),
              QString::fromLatin1(outputs[static_cast<std::size_t>(click.output)])},
             {QStringLiteral("countInBars"), click.countInBars},
             {QStringLiteral("songName"),
              QString::fromStdString(std::filesystem::path(song.song).filename().string())},
             {QStringLiteral("songLoading"), song.loading},
             {QStringLiteral("songWaiting"), song.waiting},
             {QStringLiteral("songPlaying"), song.playing},
             {QStringLiteral("songLevel"), static_cast<double>(song.level)},
             {QStringLiteral("songError"), QString::fromStdString(song.error)}});
}

void PracticeBridge::setMeter(int beatsPerBar, int noteValue) {
    if (beatsPerBar < 1 || beatsPerBar > Metronome::mostBeatsPerBar || noteValue < 1 ||
        noteValue > 16 || (noteValue & (noteValue - 1)) != 0)
        return;
    Metronome click = state_.published().settings.metronome;
    click.beatsPerBar = beatsPerBar;
    click.noteValue = noteValue;
    state_.setMetronome(click);
}

void PracticeBridge::setSubdivision(const QString& subdivision) {
    if (const int index = indexOf(subdivisions, subdivision); index >= 0) {
        Metronome click = state_.published().settings.metronome;
        click.subdivision = static_cast<Subdivision>(index);
        state_.setMetronome(click);
    }
}

void PracticeBridge::setClickLevel(double level) {
    if (!std::isfinite(level))
        return;
    Metronome click = state_.published().settings.metronome;
    click.level = static_cast<float>(level);
    state_.setMetronome(click);
}

void PracticeBridge::setClickOutput(const QString& output) {
    if (const int index = indexOf(outputs, output); index >= 0) {
        Metronome click = state_.published().settings.metronome;
        click.output = static_cast<ClickOutput>(index);
        state_.setMetronome(click);
    }
}

void PracticeBridge::setCountInBars(int bars) {
    if (bars < 0 || bars > Metronome::mostCountInBars)
        return;
    Metronome click = state_.published().settings.metronome;
    click.countInBars = bars;
    state_.setMetronome(click);
}

void PracticeBridge::tapTempo() {
    state_.tapTempo();
}

void PracticeBridge::chooseSong(const QUrl& file) {
    if (file.isLocalFile())
        state_.chooseSong(file.toLocalFile().toStdString());
}

void PracticeBridge::playAlong(bool on) {
    state_.playAlong(on);
}

void PracticeBridge::setSongLevel(double level) {
    if (std::isfinite(level))
        state_.setSongLevel(static_cast<float>(level));
}

} // namespace tamborel::ui
