#include "ui/AppBridge.h"

#include "model/Storage.h"
#include "ui/StatusText.h"

#include <cmath>
#include <filesystem>
#include <optional>

namespace tamborel::ui {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString roleText(const std::optional<PadRole>& role) {
    return role ? qs(rawValue(*role)) : QString();
}

std::optional<PadRole> roleOf(const QString& text) {
    return padRoleFromRawValue(text.toStdString());
}

std::filesystem::path toPath(const QString& local) {
    return std::filesystem::path(local.toStdString());
}

// A local file or folder named by a file URL or by an absolute path; none otherwise.
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

QVariantMap padMap(const DrumPad& pad) {
    QVariantList notes;
    for (std::int64_t note : pad.notes)
        notes.append(QVariant::fromValue(static_cast<qlonglong>(note)));
    return {
        {QStringLiteral("role"), qs(rawValue(pad.role))},
        {QStringLiteral("displayName"), qs(displayName(pad.role))},
        {QStringLiteral("notes"), notes},
        {QStringLiteral("sampleURL"),
         pad.sampleURL ? QString::fromStdString(pad.sampleURL->text) : QString()},
        {QStringLiteral("sampleName"),
         pad.sampleURL ? QString::fromStdString(pad.sampleURL->fileName()) : QString()},
        {QStringLiteral("hasSample"), pad.sampleURL.has_value()},
        {QStringLiteral("volume"), static_cast<double>(pad.volume)},
        {QStringLiteral("pan"), static_cast<double>(pad.pan)},
        {QStringLiteral("muted"), pad.muted},
        {QStringLiteral("soloed"), pad.soloed},
    };
}

QVariantMap kitMap(const DrumKit& kit) {
    QVariantList pads;
    for (const DrumPad& pad : kit.pads)
        pads.append(padMap(pad));
    return {
        {QStringLiteral("id"), QString::fromStdString(kit.id.toString())},
        {QStringLiteral("name"), QString::fromStdString(kit.name)},
        {QStringLiteral("masterVolume"), static_cast<double>(kit.masterVolume)},
        {QStringLiteral("pads"), pads},
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
    : QObject(parent), state_(state), kit_(kitMap(state.published().kit)) {
    state_.setObserver([this](controller::Field field) { onFieldChanged(field); });
}

AppBridge::~AppBridge() {
    state_.setObserver(nullptr);
}

void AppBridge::onFieldChanged(controller::Field field) {
    using controller::Field;
    switch (field) {
    case Field::kit:
        kit_ = kitMap(published().kit);
        emit kitChanged();
        break;
    case Field::settings:
        emit settingsChanged();
        break;
    case Field::outputDevices:
        emit outputDevicesChanged();
        break;
    case Field::midiSources:
        emit midiSourcesChanged();
        break;
    case Field::td17Detected:
        emit td17DetectedChanged();
        break;
    case Field::activeRoles:
        emit activeRolesChanged();
        break;
    case Field::heroRole:
        emit heroRoleChanged();
        break;
    case Field::hoveredRole:
        emit hoveredRoleChanged();
        break;
    case Field::lastHit:
        emit lastHitChanged();
        break;
    case Field::latencyMs:
        emit latencyMsChanged();
        break;
    case Field::dirty:
        emit dirtyChanged();
        break;
    case Field::learningRole:
        emit learningRoleChanged();
        break;
    case Field::capturingForAssign:
        emit capturingForAssignChanged();
        break;
    case Field::capturedRole:
        emit capturedRoleChanged();
        break;
    case Field::engineRunning:
        emit engineRunningChanged();
        break;
    case Field::loadingStatus: // shown by the status bar once it binds to it
    case Field::installedKits: // listed by the Load menu once it binds to it
        break;
    }
}

QVariantMap AppBridge::settings() const {
    const AudioSettings& s = published().settings;
    return {
        {QStringLiteral("outputDeviceUID"),
         s.outputDeviceUID ? QVariant(QString::fromStdString(*s.outputDeviceUID))
                           : QVariant::fromValue(nullptr)},
        {QStringLiteral("bufferFrames"), static_cast<qlonglong>(s.bufferFrames)},
        {QStringLiteral("sampleRate"), s.sampleRate},
    };
}

QVariantList AppBridge::outputDevices() const {
    QVariantList list;
    for (const auto& device : published().outputDevices)
        list.append(QVariantMap{
            {QStringLiteral("id"), static_cast<qlonglong>(device.id)},
            {QStringLiteral("uid"), QString::fromStdString(device.uid)},
            {QStringLiteral("name"), QString::fromStdString(device.name)},
        });
    return list;
}

QStringList AppBridge::midiSources() const {
    QStringList list;
    for (const auto& name : published().midiSources)
        list.append(QString::fromStdString(name));
    return list;
}

bool AppBridge::td17Detected() const {
    return published().td17Detected;
}

QStringList AppBridge::activeRoles() const {
    QStringList list;
    for (PadRole role : allPadRoles)
        if (published().activeRoles.test(indexOf(role)))
            list.append(qs(rawValue(role)));
    return list;
}

QString AppBridge::heroRole() const {
    return roleText(published().heroRole);
}

QString AppBridge::hoveredRole() const {
    return roleText(published().hoveredRole);
}

void AppBridge::setHoveredRole(const QString& role) {
    // Leaving a pad is written as "", which clears the hover; unknown text does too, so a
    // stale role can never keep scroll-to-volume pointed at the wrong pad.
    state_.setHoveredRole(roleOf(role));
}

QString AppBridge::lastHit() const {
    return QString::fromStdString(published().lastHit);
}

double AppBridge::latencyMs() const {
    return published().latencyMs;
}

bool AppBridge::dirty() const {
    return published().dirty;
}

QString AppBridge::learningRole() const {
    return roleText(published().learningRole);
}

bool AppBridge::capturingForAssign() const {
    return published().capturingForAssign;
}

void AppBridge::setCapturingForAssign(bool capturing) {
    state_.setCapturingForAssign(capturing);
}

QString AppBridge::capturedRole() const {
    return roleText(published().capturedRole);
}

void AppBridge::setCapturedRole(const QString& role) {
    state_.setCapturedRole(roleOf(role));
}

bool AppBridge::engineRunning() const {
    return published().engineRunning;
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

QVariantMap AppBridge::pad(const QString& role) const {
    const auto r = roleOf(role);
    if (!r)
        return {};
    const auto found = published().kit.pad(*r);
    return found ? padMap(*found) : QVariantMap();
}

void AppBridge::triggerManual(const QString& role) {
    if (const auto r = roleOf(role))
        state_.triggerManual(*r);
}

void AppBridge::startLearn(const QString& role) {
    if (const auto r = roleOf(role))
        state_.startLearn(*r);
}

void AppBridge::assignNote(int note, const QString& role) {
    if (const auto r = roleOf(role))
        state_.assignNote(note, *r);
}

void AppBridge::armCaptureForAssign() {
    state_.armCaptureForAssign();
}

void AppBridge::cancelCapture() {
    state_.cancelCapture();
}

void AppBridge::assignSample(const QUrl& file, const QString& role) {
    const auto r = roleOf(role);
    const auto path = localPath(file);
    if (r && path)
        state_.assignSample(*path, *r);
}

void AppBridge::clearSample(const QString& role) {
    if (const auto r = roleOf(role))
        state_.clearSample(*r);
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
    state_.newKit();
}

void AppBridge::loadKit(const QUrl& file) {
    if (const auto path = localPath(file))
        state_.loadKit(*path);
}

void AppBridge::importKit(const QUrl& file) {
    if (const auto path = localPath(file))
        state_.importKit(*path);
}

void AppBridge::exportKit(const QUrl& file) {
    if (const auto path = localPath(file))
        state_.exportKit(*path);
}

void AppBridge::renameKit(const QString& name) {
    state_.renameKit(name.toStdString());
}

void AppBridge::setVolume(double volume, const QString& role) {
    const auto r = roleOf(role);
    if (r && std::isfinite(volume))
        state_.setVolume(static_cast<float>(volume), *r);
}

void AppBridge::setPan(double pan, const QString& role) {
    const auto r = roleOf(role);
    if (r && std::isfinite(pan))
        state_.setPan(static_cast<float>(pan), *r);
}

void AppBridge::toggleMute(const QString& role) {
    if (const auto r = roleOf(role))
        state_.toggleMute(*r);
}

void AppBridge::toggleSolo(const QString& role) {
    if (const auto r = roleOf(role))
        state_.toggleSolo(*r);
}

void AppBridge::setMaster(double volume) {
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
    AudioSettings s = published().settings;
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

} // namespace tamborel::ui
