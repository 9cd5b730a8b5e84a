// The bridge's side of the kept takes: the list, the timing of one, and what can be done
// with each, every take named by its file's URL and only ever one in the Takes folder.

#include "ui/AppBridge.h"

#include "controller/TakeTiming.h"
#include "controller/Takes.h"
#include "engine/KitPlayer.h"
#include "model/PadRole.h"

#include <cmath>

namespace tamborel::ui {

namespace fs = std::filesystem;
using namespace controller;

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString urlOf(const fs::path& file) {
    return QUrl::fromLocalFile(text(file.string())).toString();
}

// "2026-12-08 15.31.24" as "2026-12-08 15:31:24".
QString dateOf(const std::string& stamp) {
    QString date = text(stamp);
    if (date.size() == 19) {
        date[13] = u':';
        date[16] = u':';
    }
    return date;
}

QString lengthOf(double seconds) {
    const auto whole = static_cast<int>(std::ceil(seconds));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QChar(u'0'));
}

// The take a URL names, when it is one of the Takes folder's files.
std::optional<fs::path> takeFile(const AppState& state, const QString& url) {
    const QUrl u(url);
    if (!u.isLocalFile())
        return std::nullopt;
    const fs::path file(u.toLocalFile().toStdString());
    std::error_code ec;
    if (file.parent_path() != state.takesFolder() || !fs::is_regular_file(file, ec))
        return std::nullopt;
    return file;
}

} // namespace

void AppBridge::refreshTakes() {
    std::error_code ec;
    takesChanged_ = fs::last_write_time(state_.takesFolder(), ec);
    QVariantList list;
    for (const takes::TakeFile& take : takes::list(state_.takesFolder()))
        list.append(
            QVariantMap{{"url", urlOf(take.path)},
                        {"name", take.title.empty() ? dateOf(take.stamp) : text(take.title)},
                        {"date", dateOf(take.stamp)},
                        {"length", lengthOf(take.seconds)},
                        {"strikes", take.strikes},
                        {"tempo", QStringLiteral("%1 BPM").arg(std::round(take.bpm * 10) / 10)},
                        {"kit", text(take.kit)},
                        {"click", take.click},
                        {"starred", take.starred}});
    const auto playing = state_.playingTake();
    publish({{"takes", list}, {"playingTake", playing ? urlOf(*playing) : QString()}});
}

void AppBridge::showTiming(const QString& url) {
    const auto file = takeFile(state_, url);
    const auto take = file ? takes::read(*file) : std::nullopt;
    if (!take) {
        publish({{"takeTiming", QVariantMap{}}});
        return;
    }
    const TakeTiming timing = takeTiming::judge(*take);
    const auto drumName = [&](int note) {
        if (const auto role = state_.player().playedRole(note))
            return text(std::string(displayName(*role)));
        return QStringLiteral("Note %1").arg(note);
    };
    QVariantList strikes;
    for (const StrikeTiming& strike : timing.strikes)
        strikes.append(QVariantMap{{"seconds", strike.seconds},
                                   {"offsetMs", strike.offsetMs},
                                   {"drum", drumName(strike.note)}});
    QVariantList drums;
    for (const DrumTiming& drum : timing.drums) {
        QVariantList bins;
        for (const int count : takeTiming::histogram(drum.offsetsMs))
            bins.append(count);
        drums.append(QVariantMap{{"name", drumName(drum.note)},
                                 {"count", static_cast<int>(drum.offsetsMs.size())},
                                 {"meanMs", drum.meanMs},
                                 {"spreadMs", drum.spreadMs},
                                 {"histogram", bins}});
    }
    publish({{"takeTiming", QVariantMap{{"url", url},
                                        {"judged", timing.judged},
                                        {"pulseMs", timing.pulseMs},
                                        {"seconds", take->seconds},
                                        {"strikes", strikes},
                                        {"drums", drums},
                                        {"binMs", takeTiming::histogramBinMs}}}});
}

void AppBridge::watchTakes() {
    refreshTakes();
    takesTimer_ = new QTimer(this);
    takesTimer_->setInterval(250);
    connect(takesTimer_, &QTimer::timeout, this, [this] {
        std::error_code ec;
        const auto changed = fs::last_write_time(state_.takesFolder(), ec);
        if (!ec && changed != takesChanged_)
            refreshTakes();
        followPlayback();
    });
    takesTimer_->start();
}

void AppBridge::playTake(const QString& url) {
    const auto file = takeFile(state_, url);
    if (file && state_.playTake(*file))
        publish({{"playingTake", urlOf(*file)}});
}

void AppBridge::stopTake() {
    state_.stopTake();
    followPlayback();
}

void AppBridge::followPlayback() {
    const auto playing = state_.playingTake();
    publish({{"playingTake", playing ? urlOf(*playing) : QString()}});
}

void AppBridge::starTake(const QString& url, bool starred) {
    if (const auto file = takeFile(state_, url))
        takes::setStarred(*file, starred);
    refreshTakes();
}

void AppBridge::renameTake(const QString& url, const QString& title) {
    if (const auto file = takeFile(state_, url))
        takes::rename(*file, title.toStdString());
    refreshTakes();
}

void AppBridge::deleteTake(const QString& url) {
    if (const auto file = takeFile(state_, url)) {
        if (state_.playingTake() == *file)
            state_.stopTake();
        takes::remove(*file);
    }
    refreshTakes();
}

void AppBridge::saveTakeAs(const QString& url, const QUrl& target) {
    const auto file = takeFile(state_, url);
    if (file && target.isLocalFile())
        takes::copyTo(*file, fs::path(target.toLocalFile().toStdString()));
}

void AppBridge::bounceTake(const QString& url, const QUrl& target, bool stems) {
    const auto file = takeFile(state_, url);
    if (!file || !target.isLocalFile())
        return;
    fs::path wav(target.toLocalFile().toStdString());
    if (wav.extension() != ".wav")
        wav += ".wav";
    std::optional<fs::path> folder;
    if (stems)
        folder = wav.parent_path() / (wav.stem().string() + " stems");
    state_.bounceTake(*file, wav, folder);
}

} // namespace tamborel::ui
