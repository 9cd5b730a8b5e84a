#include "controller/AppStateImpl.h"

#include "model/AutoMapper.h"
#include "model/Storage.h"

namespace fs = std::filesystem;

namespace tamborel::controller {

namespace {

// Loads each mapped file for its role; a file that loads goes on the role's pad.
void assignMapped(AppState::Impl& d, DrumKit& kit, const autoMapper::Mapping& mapping) {
    for (const auto& [role, file] : mapping) {
        if (!d.engine.loadSample(file, role))
            continue;
        if (DrumPad* pad = kit.findPad(role))
            pad->sampleURL = FileUrl::fromPath(file);
    }
}

} // namespace

void AppState::assignSample(const fs::path& file, PadRole role) {
    if (!impl_->engine.loadSample(file, role))
        return; // the engine logged it; a file that cannot play never reaches the kit
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->sampleURL = FileUrl::fromPath(file);
        impl_->commitKitChange(true);
    }
    saveKit();
}

void AppState::clearSample(PadRole role) {
    impl_->engine.clearSample(role);
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->sampleURL.reset();
        impl_->commitKitChange(true);
    }
    saveKit();
}

void AppState::importFolder(const fs::path& folder) {
    const autoMapper::Mapping mapping = autoMapper::map(folder);
    assignMapped(*impl_, published_.kit, mapping);
    published_.lastHit = "Auto-mapped " + std::to_string(mapping.size()) + " sample(s)";
    impl_->notify(Field::lastHit);
    impl_->commitKitChange(true);
    saveKit();
}

void AppState::importFiles(const std::vector<fs::path>& files) {
    std::vector<fs::path> audioFiles;
    for (const fs::path& file : files) {
        if (autoMapper::hasAudioExtension(file))
            audioFiles.push_back(file);
    }
    const autoMapper::Mapping mapping = autoMapper::map(audioFiles);
    assignMapped(*impl_, published_.kit, mapping);
    published_.lastHit = "Mapped " + std::to_string(mapping.size()) + " of " +
                         std::to_string(audioFiles.size()) + " file(s)";
    impl_->notify(Field::lastHit);
    impl_->commitKitChange(true);
    saveKit();
}

void AppState::saveKit() {
    // A failed write leaves the kit marked unsaved, so the user is not told it is safe.
    published_.dirty = !storage::saveKit(published_.kit).has_value();
    impl_->notify(Field::dirty);
}

void AppState::newKit() {
    published_.kit = DrumKit("New Kit");
    impl_->clearAllSamples();
    impl_->engine.applyMix(published_.kit);
    impl_->commitKitChange(false);
}

void AppState::loadKit(const fs::path& file) {
    auto kit = storage::loadKit(file);
    if (!kit)
        return;
    published_.kit = std::move(*kit);
    impl_->clearAllSamples();
    impl_->loadAllSamples();
    impl_->engine.applyMix(published_.kit);
    impl_->commitKitChange(false);
}

void AppState::importKit(const fs::path& file) {
    auto kit = storage::loadKit(file);
    if (!kit)
        return;
    kit->id = Uuid::random();
    published_.kit = std::move(*kit);
    impl_->clearAllSamples();
    impl_->loadAllSamples();
    impl_->engine.applyMix(published_.kit);
    impl_->commitKitChange(true);
}

void AppState::exportKit(const fs::path& file) {
    storage::writeKit(published_.kit, file);
}

void AppState::renameKit(const std::string& name) {
    published_.kit.name = name;
    impl_->commitKitChange(true);
}

} // namespace tamborel::controller
