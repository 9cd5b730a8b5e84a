#include "ui/AppBridge.h"

#include "model/FactoryKits.h"
#include "model/Storage.h"
#include "model/import/KitImport.h"
#include "ui/PageText.h"
#include "ui/StatusText.h"

#include <QDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <utility>

namespace tamborel::ui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString roleText(const std::optional<PadRole>& role) {
    return role ? qs(rawValue(*role)) : QString();
}

std::filesystem::path toPath(const QString& local) {
    return std::filesystem::path(local.toStdString());
}

// A local file or folder named by a file URL or by an absolute path; none
// otherwise.
std::optional<std::filesystem::path> localPath(const QUrl& url) {
    if (url.isLocalFile()) {
        const QString local = url.toLocalFile();
        if (!local.isEmpty())
            return toPath(local);
        return std::nullopt;
    }
    if (url.scheme().isEmpty() && url.path().startsWith(u'/'))
        return toPath(url.path());
    return std::nullopt;
}

// Velocities next to a sample's range that no sample plays ("Velocities 60-63 play no
// sample"), above it, or below the lowest; empty when its neighbours are covered.
QString gapNextTo(const PadSample& sample, const std::array<bool, 128>& covered) {
    int from = 0;
    int to = 0;
    if (sample.high < 127 && !covered[static_cast<std::size_t>(sample.high + 1)]) {
        from = to = sample.high + 1;
        while (to < 127 && !covered[static_cast<std::size_t>(to + 1)])
            ++to;
    } else if (sample.low > 1 && !covered[static_cast<std::size_t>(sample.low - 1)]) {
        from = to = sample.low - 1;
        while (from > 1 && !covered[static_cast<std::size_t>(from - 1)])
            --from;
    } else {
        return {};
    }
    return from == to ? QStringLiteral("Velocity %1 plays no sample").arg(from)
                      : QStringLiteral("Velocities %1\u2013%2 play no sample").arg(from).arg(to);
}

QVariantList sampleList(const DrumPad& pad) {
    QVariantList samples;
    const std::vector<PadSample> played = pad.playedSamples();
    std::array<bool, 128> covered{};
    for (const PadSample& sample : played)
        for (int v = std::max(sample.low, 1); v <= std::min(sample.high, 127); ++v)
            covered[static_cast<std::size_t>(v)] = true;
    for (const PadSample& sample : played) {
        const auto path = sample.url.toPath();
        // Takes share their layer's range exactly; a range that only partly covers another
        // is most likely a slip, and the page tints it.
        const bool overlaps = std::any_of(played.begin(), played.end(), [&](const PadSample& o) {
            const bool same = o.low == sample.low && o.high == sample.high;
            return !same && o.low <= sample.high && sample.low <= o.high;
        });
        samples.append(QVariantMap{
            {QStringLiteral("name"), QString::fromStdString(sample.url.fileName())},
            {QStringLiteral("url"),
             path ? QUrl::fromLocalFile(QString::fromStdString(path->string())) : QUrl()},
            {QStringLiteral("low"), sample.low},
            {QStringLiteral("high"), sample.high},
            {QStringLiteral("gain"), static_cast<double>(sample.gain)},
            {QStringLiteral("overlaps"), overlaps},
            {QStringLiteral("gap"), gapNextTo(sample, covered)},
        });
    }
    return samples;
}

QVariantMap padFields(const DrumPad& pad, bool withSamples) {
    QVariantList notes;
    for (std::int64_t note : pad.notes)
        notes.append(QVariant::fromValue(static_cast<qlonglong>(note)));
    QVariantMap fields{
        {QStringLiteral("notes"), notes},
        {QStringLiteral("volume"), static_cast<double>(pad.volume)},
        {QStringLiteral("pan"), static_cast<double>(pad.pan)},
        {QStringLiteral("muted"), pad.muted},
        {QStringLiteral("soloed"), pad.soloed},
    };
    if (withSamples) {
        fields.insert(QStringLiteral("samples"), sampleList(pad));
        fields.insert(QStringLiteral("sampleName"),
                      pad.sampleURL ? QString::fromStdString(pad.sampleURL->fileName())
                                    : QString());
        fields.insert(QStringLiteral("hasSample"), pad.sampleURL.has_value());
    }
    return fields;
}

// The folders of the kit's samples, each once, in the kit's order; a handful at most.
std::vector<std::filesystem::path> sampleFoldersOf(const DrumKit& kit) {
    constexpr std::size_t most = 4;
    std::vector<std::filesystem::path> folders;
    for (const DrumPad& pad : kit.pads)
        for (const PadSample& sample : pad.playedSamples()) {
            const auto file = sample.url.toPath();
            if (!file || !file->has_parent_path())
                continue;
            const auto folder = file->parent_path().lexically_normal();
            if (std::find(folders.begin(), folders.end(), folder) == folders.end() &&
                folders.size() < most)
                folders.push_back(folder);
        }
    return folders;
}

// The file dialogs' places: those of the named folders that exist, each once.
QVariantList placesFor(const std::vector<std::filesystem::path>& sampleFolders) {
    namespace fs = std::filesystem;
    QVariantList places;
    std::vector<fs::path> listed;
    const auto add = [&](const QString& name, const fs::path& folder) {
        std::error_code error;
        const fs::path normal = folder.lexically_normal();
        if (folder.empty() || !fs::is_directory(normal, error) ||
            std::find(listed.begin(), listed.end(), normal) != listed.end())
            return;
        listed.push_back(normal);
        places.append(QVariantMap{
            {QStringLiteral("name"), name},
            {QStringLiteral("url"), QUrl::fromLocalFile(QString::fromStdString(normal.string()))},
        });
    };
    add(QStringLiteral("Home"), QDir::homePath().toStdString());
    add(QStringLiteral("Kits"), storage::kitsFolder());
    add(QStringLiteral("Factory samples"), factoryKits::samplesDir());
    add(QStringLiteral("Factory 808 samples"), factoryKits::techno808Dir());
    // A kit's folders are often named "samples" or "layers": their parent tells them apart.
    for (const fs::path& folder : sampleFolders) {
        const fs::path parent = folder.parent_path().filename();
        add(QString::fromStdString(
                (parent.empty() ? folder.filename() : parent / folder.filename()).string()),
            folder);
    }
    for (const fs::path& folder : kitImport::hydrogenKitFolders())
        add(folder.string().starts_with("/usr/") ? QStringLiteral("Hydrogen kits")
                                                 : QStringLiteral("Your Hydrogen kits"),
            folder);
    add(QStringLiteral("Computer"), "/");
    return places;
}

// Kits by program, each with the title the kit menu gives its file.
QVariantList programKitsList(const AudioSettings& s) {
    QVariantList list;
    for (const ProgramKit& entry : s.programKits) {
        const auto file = entry.kit.toPath();
        list.append(QVariantMap{
            {QStringLiteral("program"), entry.program},
            {QStringLiteral("title"),
             QString::fromStdString(file ? statusText::savedKitTitle(*file) : entry.kit.text)},
            {QStringLiteral("path"), QString::fromStdString(entry.kit.text)},
        });
    }
    return list;
}

QVariantMap settingsMap(const AudioSettings& s) {
    return {
        {QStringLiteral("outputDeviceUID"),
         s.outputDeviceUID ? QVariant(QString::fromStdString(*s.outputDeviceUID))
                           : QVariant::fromValue(nullptr)},
        {QStringLiteral("bufferFrames"), static_cast<qlonglong>(s.bufferFrames)},
        {QStringLiteral("sampleRate"), s.sampleRate},
        {QStringLiteral("separateOutputs"), s.separateOutputs},
        {QStringLiteral("outputsBy"),
         s.outputsBy == OutputsBy::mic ? QStringLiteral("mic") : QStringLiteral("drum")},
        {QStringLiteral("programKits"), programKitsList(s)},
    };
}

QString outputsNote(const controller::Published& p) {
    return pageText::separateOutputsNote(p.settings.separateOutputs, p.groupOutputsAvailable,
                                         p.settings.outputsBy == OutputsBy::mic,
                                         !p.kit.microphones.empty());
}

QVariantMap expressionFields(const controller::Published& p) {
    using controller::PedalCalibrationStep;
    QVariantList points;
    points.reserve(static_cast<qsizetype>(p.velocityCurve.size()));
    for (std::uint8_t v : p.velocityCurve)
        points.append(static_cast<int>(v));
    const auto step = [&] {
        switch (p.pedalCalibrationStep) {
        case PedalCalibrationStep::pressClosed:
            return QStringLiteral("pressClosed");
        case PedalCalibrationStep::liftOpen:
            return QStringLiteral("liftOpen");
        case PedalCalibrationStep::idle:
            break;
        }
        return QStringLiteral("idle");
    }();
    const auto& range = p.settings.pedalRange;
    return {
        {QStringLiteral("velocityCurve"), qs(rawValue(p.settings.velocity.curve))},
        {QStringLiteral("lowestVelocity"), p.settings.velocity.lowest},
        {QStringLiteral("fixedVelocity"), p.settings.velocity.fixed},
        {QStringLiteral("curvePoints"), points},
        {QStringLiteral("pedalController"), p.settings.pedalController},
        {QStringLiteral("pedalCalibrationStep"), step},
        {QStringLiteral("pedalReading"), p.pedalReading.value_or(-1)},
        {QStringLiteral("pedalRange"),
         range ? QStringLiteral("Closed at %1, open at %2").arg(range->closed).arg(range->open)
               : QStringLiteral("Not calibrated")},
    };
}

// A finite number from a QML value; none for anything else.
std::optional<double> finiteNumber(const QVariant& value) {
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

} // namespace

AppBridge::AppBridge(controller::AppState& state, QObject* parent)
    : AppViewModel(parent), state_(state) {
    publishPads(controller::RoleSet().set(), controller::RoleSet().set());
    for (auto f = static_cast<int>(controller::Field::kit);
         f <= static_cast<int>(controller::Field::engineRunning); ++f)
        publishField(static_cast<controller::Field>(f));
    for (auto f : {controller::Field::drumModule, controller::Field::recentMidi,
                   controller::Field::unmappedNote})
        publishField(f);
    state_.setObserver([this](controller::Field field) { publishField(field); });
    watchTakes();
}

AppBridge::~AppBridge() {
    state_.setObserver(nullptr);
}

namespace {

// The lists of the published state, as the pages read them.
QStringList textList(const std::vector<std::string>& texts) {
    QStringList list;
    for (const auto& text : texts)
        list.append(QString::fromStdString(text));
    return list;
}

QVariantList deviceList(const controller::Published& p) {
    QVariantList devices;
    for (const auto& device : p.outputDevices)
        devices.append(QVariantMap{
            {QStringLiteral("id"), static_cast<qlonglong>(device.id)},
            {QStringLiteral("uid"), QString::fromStdString(device.uid)},
            {QStringLiteral("name"), QString::fromStdString(device.name)},
        });
    return devices;
}

QStringList activeRoleList(const controller::Published& p) {
    QStringList roles;
    for (PadRole role : allPadRoles)
        if (p.activeRoles.test(indexOf(role)))
            roles.append(qs(rawValue(role)));
    return roles;
}

QVariantList installedKitList(const controller::Published& p) {
    QVariantList kits;
    for (const auto& kit : p.installedKits)
        kits.append(QVariantMap{{QStringLiteral("title"), QString::fromStdString(kit.name)},
                                {QStringLiteral("path"),
                                 QUrl::fromLocalFile(QString::fromStdString(kit.file.string()))},
                                {QStringLiteral("preset"), QString::fromStdString(kit.preset)}});
    return kits;
}

QVariantList recentMidiList(const controller::Published& p) {
    QVariantList sources;
    for (const auto& log : p.recentMidi)
        sources.append(QVariantMap{{QStringLiteral("name"), QString::fromStdString(log.name)},
                                   {QStringLiteral("lines"), textList(log.lines)},
                                   {QStringLiteral("gone"), log.gone}});
    return sources;
}

} // namespace

void AppBridge::publishField(controller::Field field) {
    using controller::Field;
    const controller::Published& p = state_.published();
    if (field == Field::settings || field == Field::playAlong)
        practice_->publishFrom(p);
    switch (field) {
    case Field::playAlong:
        return;
    case Field::kit:
        publish({{QStringLiteral("kitName"), QString::fromStdString(p.kit.name)},
                 {QStringLiteral("masterVolume"), static_cast<double>(p.kit.masterVolume)}});
        // Only the pads the change touched: a fader step republishes one pad, not fourteen.
        publishPads(p.changedPads, p.changedSamples);
        if (p.changedMicrophones)
            publishMicrophones();
        // The folders the kit's samples are in change only with its samples.
        if (p.changedSamples.none())
            return;
        return publishPlaces(false);
    case Field::settings: {
        QVariantMap fields = expressionFields(p);
        fields.insert(QStringLiteral("settings"), settingsMap(p.settings));
        fields.insert(QStringLiteral("separateOutputsNote"), outputsNote(p));
        fields.insert(QStringLiteral("clickOn"), p.settings.metronome.on);
        fields.insert(QStringLiteral("clickBpm"), p.settings.metronome.bpm);
        return publish(fields);
    }
    case Field::outputDevices:
        return publish({{QStringLiteral("outputDevices"), deviceList(p)}});
    case Field::midiSources:
        return publish({{QStringLiteral("midiSources"), textList(p.midiSources)}});
    case Field::td17Detected:
        return publish({{QStringLiteral("td17Detected"), p.td17Detected}});
    case Field::activeRoles:
        return publish({{QStringLiteral("activeRoles"), activeRoleList(p)}});
    case Field::heroRole:
        return publish({{QStringLiteral("heroRole"), roleText(p.heroRole)}});
    case Field::hoveredRole:
        return publish({{QStringLiteral("hoveredRole"), roleText(p.hoveredRole)}});
    case Field::lastHit:
        return publish({{QStringLiteral("lastHit"), QString::fromStdString(p.lastHit)},
                        {QStringLiteral("lastHitIsError"), p.lastHitIsError},
                        {QStringLiteral("lastIncomingVelocity"), p.lastIncomingVelocity},
                        {QStringLiteral("lastResultingVelocity"), p.lastResultingVelocity}});
    case Field::latencyMs:
        return publish({{QStringLiteral("latencyMs"), p.latencyMs},
                        {QStringLiteral("bufferNote"),
                         pageText::bufferNote(p.settings.bufferFrames, p.bufferFramesInForce,
                                              p.bufferSharedWithDesktop)},
                        {QStringLiteral("separateOutputsNote"), outputsNote(p)},
                        {QStringLiteral("playsThroughJack"), p.groupOutputsAvailable}});
    case Field::dirty:
        return publish({{QStringLiteral("dirty"), p.dirty}});
    case Field::learningRole:
        return publish({{QStringLiteral("learningRole"), roleText(p.learningRole)}});
    case Field::capturingForAssign:
        return publish({{QStringLiteral("capturingForAssign"), p.capturingForAssign}});
    case Field::capturedRole:
        return publish({{QStringLiteral("capturedRole"), roleText(p.capturedRole)}});
    case Field::engineRunning:
        return publish({{QStringLiteral("engineRunning"), p.engineRunning},
                        {QStringLiteral("audioStarting"), p.audioStarting}});
    case Field::loadingStatus:
        return publish(
            {{QStringLiteral("loadingStatus"), QString::fromStdString(p.loadingStatus)}});
    case Field::history:
        return setHistory(p.canUndo, p.canRedo, QString::fromStdString(p.undoName),
                          QString::fromStdString(p.redoName));
    case Field::installedKits: {
        publish({{QStringLiteral("installedKits"), installedKitList(p)}});
        // Hydrogen's folders are looked at again with its kits.
        return publishPlaces(true);
    }
    case Field::drumModule: {
        const auto index = moduleMaps::indexOf(p.drumModule);
        return publish(
            {{QStringLiteral("drumModuleText"), QString::fromStdString(p.drumModuleText)},
             {QStringLiteral("drumModuleIndex"),
              index < moduleMaps::all().size() ? static_cast<int>(index) : -1}});
    }
    case Field::recentMidi:
        return publish({{QStringLiteral("recentMidi"), recentMidiList(p)}});
    case Field::unmappedNote:
        return publish({{QStringLiteral("unmappedNote"), p.unmappedNote.value_or(-1)},
                        {QStringLiteral("noteBeingAssigned"), p.noteBeingAssigned.value_or(-1)}});
    }
}

void AppBridge::publishPads(const controller::RoleSet& roles,
                            const controller::RoleSet& withSamples) {
    const DrumKit& kit = state_.published().kit;
    for (PadRole role : allPadRoles)
        if (roles.test(indexOf(role))) {
            const DrumPad* found = kit.findPad(role);
            publishPad(role, found ? padFields(*found, withSamples.test(indexOf(role)))
                                   : PadViewModel::freshFields());
        }
}

void AppBridge::publishMicrophones() {
    const DrumKit& kit = state_.published().kit;
    QVariantList microphones;
    for (const Microphone& m : kit.microphones)
        microphones.append(QVariantMap{
            {QStringLiteral("name"), QString::fromStdString(m.name)},
            {QStringLiteral("volume"), static_cast<double>(m.volume)},
            {QStringLiteral("pan"), static_cast<double>(m.pan)},
            {QStringLiteral("muted"), m.muted},
            {QStringLiteral("soloed"), m.soloed},
            {QStringLiteral("inverted"), m.inverted},
            {QStringLiteral("output"), m.output},
        });
    AppViewModel::publishMicrophones(microphones);
    publish({{QStringLiteral("bleed"), static_cast<double>(kit.bleed)},
             {QStringLiteral("audienceView"), kit.audienceView}});
}

void AppBridge::publishPlaces(bool always) {
    auto folders = sampleFoldersOf(state_.published().kit);
    if (placesListed_ && !always && folders == sampleFolders_)
        return;
    placesListed_ = true;
    sampleFolders_ = std::move(folders);
    publish({{QStringLiteral("dialogPlaces"), placesFor(sampleFolders_)}});
}

void AppBridge::setSeparateOutputs(bool on) {
    state_.setSeparateOutputs(on);
}

void AppBridge::setClickOn(bool on) {
    Metronome metronome = state_.published().settings.metronome;
    metronome.on = on;
    state_.setMetronome(metronome);
}

void AppBridge::setClickBpm(double bpm) {
    if (!std::isfinite(bpm))
        return;
    Metronome metronome = state_.published().settings.metronome;
    metronome.bpm = bpm;
    state_.setMetronome(metronome);
}

void AppBridge::countIn(int bars) {
    state_.countIn(bars);
}

void AppBridge::setOutputsBy(const QString& by) {
    if (by == u"drum" || by == u"mic")
        state_.setOutputsBy(by == u"mic" ? OutputsBy::mic : OutputsBy::drum);
}

void AppBridge::chooseDrumModule(int index) {
    if (index >= 0)
        state_.chooseDrumModule(static_cast<std::size_t>(index));
}

void AppBridge::armAssignUnmappedNote() {
    state_.armAssignUnmappedNote();
}

QVariantList AppBridge::savedKits() const {
    QVariantList list;
    for (const auto& file : storage::savedKits())
        list.append(QVariantMap{
            {QStringLiteral("title"), QString::fromStdString(statusText::savedKitTitle(file))},
            {QStringLiteral("path"),
             QUrl::fromLocalFile(QString::fromStdString(file.string())).toString()},
        });
    return list;
}

void AppBridge::setHoveredRole(const QString& role) {
    // Leaving a pad is written as "", which clears the hover; unknown text does
    // too, so a stale role can never keep scroll-to-volume pointed at the wrong
    // pad.
    state_.setHoveredRole(roleOf(role));
}

void AppBridge::setCapturingForAssign(bool capturing) {
    state_.setCapturingForAssign(capturing);
}

void AppBridge::setCapturedRole(const QString& role) {
    state_.setCapturedRole(roleOf(role));
}

void AppBridge::strikePad(PadRole role) {
    state_.strikePad(role);
}

void AppBridge::startLearn(PadRole role) {
    // A second click on the armed pad's ear takes learn back.
    if (state_.published().learningRole == role)
        state_.cancelLearn();
    else
        state_.startLearn(role);
}

void AppBridge::cancelLearn() {
    state_.cancelLearn();
}

void AppBridge::armCaptureForAssign() {
    state_.armCaptureForAssign();
}

void AppBridge::cancelCapture() {
    state_.cancelCapture();
}

void AppBridge::assignSample(const QUrl& file, PadRole role) {
    if (const auto path = localPath(file))
        state_.assignSample(*path, role);
}

void AppBridge::clearSample(PadRole role) {
    state_.clearSample(role);
}

void AppBridge::assignSamples(const QList<QUrl>& files, PadRole role) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : files)
        if (const auto path = localPath(url))
            paths.push_back(*path);
    if (!paths.empty())
        state_.assignSamples(paths, role);
}

template <typename Edit> void AppBridge::editSamples(PadRole role, Edit edit) {
    const auto pad = state_.published().kit.pad(role);
    if (!pad)
        return;
    std::vector<PadSample> samples = pad->playedSamples();
    if (edit(samples))
        state_.setPadSamples(role, samples, pad->takeOrder);
}

void AppBridge::setSampleRange(PadRole role, int index, int low, int high) {
    editSamples(role, [&](std::vector<PadSample>& samples) {
        // The state refuses a range outside 1..127 or upside down.
        if (index < 0 || static_cast<std::size_t>(index) >= samples.size())
            return false;
        samples[static_cast<std::size_t>(index)].low = low;
        samples[static_cast<std::size_t>(index)].high = high;
        return true;
    });
}

void AppBridge::removeSample(PadRole role, int index) {
    // Removing the last sample clears the pad: that is the pad's own remove button.
    editSamples(role, [&](std::vector<PadSample>& samples) {
        if (index < 0 || static_cast<std::size_t>(index) >= samples.size() || samples.size() < 2)
            return false;
        samples.erase(samples.begin() + index);
        return true;
    });
}

void AppBridge::auditionSample(PadRole role, int index) {
    if (index >= 0)
        state_.auditionSample(role, static_cast<std::size_t>(index));
}

void AppBridge::addSamples(const QList<QUrl>& files, PadRole role) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : files)
        if (const auto path = localPath(url))
            paths.push_back(*path);
    if (!paths.empty())
        state_.addSamples(paths, role);
}

void AppBridge::importFolder(const QUrl& folder) {
    if (const auto path = localPath(folder))
        state_.importFolder(*path);
}

void AppBridge::importFiles(const QList<QUrl>& files) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : files)
        if (const auto path = localPath(url))
            paths.push_back(*path);
    if (!paths.empty())
        state_.importFiles(paths);
}

void AppBridge::saveKit() {
    state_.saveKit();
}

void AppBridge::newKit() {
    replacingKit([this] { state_.newKit(); });
}

void AppBridge::loadKit(const QUrl& file) {
    if (const auto path = localPath(file))
        replacingKit([this, path = *path] { state_.loadKit(path); });
}

void AppBridge::importSoundFontPreset(const QUrl& file, const QString& preset) {
    if (const auto path = localPath(file))
        replacingKit([this, path = *path, preset = preset.toStdString()] {
            state_.importKit(path, preset);
        });
}

void AppBridge::importKit(const QUrl& file) {
    if (const auto path = localPath(file))
        replacingKit([this, path = *path] { state_.importKit(path); });
}

void AppBridge::confirmQuit() {
    replacingKit([this] { emit quitConfirmed(); });
}

void AppBridge::replacingKit(std::function<void()> operation) {
    if (!state_.published().dirty) {
        operation();
        return;
    }
    // A second request while one waits takes its place: the question is the same.
    waiting_ = std::move(operation);
    setUnsavedQuestion(QStringLiteral("Save changes to %1?")
                           .arg(QString::fromStdString(state_.published().kit.name)));
}

void AppBridge::answerUnsaved(const QString& answer) {
    auto operation = std::exchange(waiting_, {});
    setUnsavedQuestion({});
    if (!operation)
        return;
    if (answer == QStringLiteral("save")) {
        state_.saveKit();
        if (state_.published().dirty)
            return; // the write failed: the kit stays, and so does the work in it
    } else if (answer != QStringLiteral("discard")) {
        return;
    }
    operation();
}

void AppBridge::undo() {
    state_.undo();
}

void AppBridge::redo() {
    state_.redo();
}

void AppBridge::cancelImport() {
    state_.cancelImport();
}

void AppBridge::exportKit(const QUrl& file) {
    if (const auto path = localPath(file))
        state_.exportKit(*path);
}

void AppBridge::setProgramKit(int program, const QUrl& kit) {
    state_.setProgramKit(program, kit.isEmpty() ? std::nullopt : localPath(kit));
}

void AppBridge::exportPluginPreset() {
    state_.exportPluginPreset();
}

void AppBridge::renameKit(const QString& name) {
    state_.renameKit(name.toStdString());
}

void AppBridge::setVolume(double volume, PadRole role) {
    if (std::isfinite(volume))
        state_.setVolume(static_cast<float>(volume), role);
}

void AppBridge::setPan(double pan, PadRole role) {
    if (std::isfinite(pan))
        state_.setPan(static_cast<float>(pan), role);
}

void AppBridge::toggleMute(PadRole role) {
    state_.toggleMute(role);
}

void AppBridge::toggleSolo(PadRole role) {
    state_.toggleSolo(role);
}

void AppBridge::setMicrophoneVolume(int index, double volume) {
    if (index >= 0 && std::isfinite(volume))
        state_.setMicrophoneVolume(static_cast<std::size_t>(index), static_cast<float>(volume));
}

void AppBridge::setMicrophonePan(int index, double pan) {
    if (index >= 0 && std::isfinite(pan))
        state_.setMicrophonePan(static_cast<std::size_t>(index), static_cast<float>(pan));
}

void AppBridge::toggleMicrophoneMute(int index) {
    if (index >= 0)
        state_.toggleMicrophoneMute(static_cast<std::size_t>(index));
}

void AppBridge::toggleMicrophoneSolo(int index) {
    if (index >= 0)
        state_.toggleMicrophoneSolo(static_cast<std::size_t>(index));
}

void AppBridge::toggleMicrophonePolarity(int index) {
    if (index >= 0)
        state_.toggleMicrophonePolarity(static_cast<std::size_t>(index));
}

void AppBridge::setMicrophoneOutput(int index, int output) {
    if (index >= 0)
        state_.setMicrophoneOutput(static_cast<std::size_t>(index), output);
}

void AppBridge::setBleed(double bleed) {
    if (std::isfinite(bleed))
        state_.setBleed(static_cast<float>(bleed));
}

void AppBridge::setAudienceView(bool on) {
    state_.setAudienceView(on);
}

void AppBridge::setMasterVolume(double volume) {
    if (std::isfinite(volume))
        state_.setMaster(static_cast<float>(volume));
}

void AppBridge::refreshDevices() {
    state_.refreshDevices();
}

void AppBridge::refreshMIDISources() {
    state_.refreshMIDISources();
}

void AppBridge::applySettings(const QVariantMap& map) {
    AudioSettings s = state_.published().settings;
    if (map.contains(QStringLiteral("outputDeviceUID"))) {
        const QVariant uid = map.value(QStringLiteral("outputDeviceUID"));
        const QString text = uid.isNull() ? QString() : uid.toString();
        s.outputDeviceUID = text.isEmpty() ? std::nullopt : std::optional(text.toStdString());
    }
    if (const auto frames = finiteNumber(map.value(QStringLiteral("bufferFrames")));
        frames && *frames >= 1 && *frames <= 65536 && std::floor(*frames) == *frames)
        s.bufferFrames = static_cast<std::uint32_t>(*frames);
    if (const auto rate = finiteNumber(map.value(QStringLiteral("sampleRate"))); rate && *rate > 0)
        s.sampleRate = *rate;
    state_.applySettings(s);
}

void AppBridge::setVelocityCurve(const QString& curve) {
    if (const auto parsed = velocityCurveFromRawValue(curve.toStdString()))
        state_.setVelocityCurve(*parsed);
}

void AppBridge::setLowestVelocity(int velocity) {
    state_.setLowestVelocity(velocity);
}

void AppBridge::setFixedVelocity(int velocity) {
    state_.setFixedVelocity(velocity);
}

void AppBridge::setPedalController(int controller) {
    state_.setPedalController(controller);
}

void AppBridge::startPedalCalibration() {
    state_.startPedalCalibration();
}

void AppBridge::advancePedalCalibration() {
    state_.advancePedalCalibration();
}

void AppBridge::cancelPedalCalibration() {
    state_.cancelPedalCalibration();
}

void AppBridge::clearPedalCalibration() {
    state_.clearPedalCalibration();
}

} // namespace tamborel::ui
