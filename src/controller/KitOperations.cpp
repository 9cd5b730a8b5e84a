#include "controller/AppStateImpl.h"

#include "model/AutoMapper.h"
#include "model/SampleSelection.h"
#include "model/SampleSets.h"
#include "model/Storage.h"
#include "model/import/KitImport.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace fs = std::filesystem;

namespace tamborel::controller {

namespace {

// Loads each mapped file (with its set, if it has one) for its role, on every core; a pad
// gets the files that loaded, and nothing when its mapped file did not.
void assignMapped(AppState::Impl& d, DrumKit& kit, const autoMapper::Mapping& mapping,
                  const autoMapper::SetMapping& sets) {
    std::vector<audio::PadLoad> loads;
    std::vector<DrumPad> filled;
    for (const auto& [role, file] : mapping) {
        const auto set = sets.find(role);
        DrumPad pad(role);
        autoMapper::fill(pad, file, set == sets.end() ? std::vector<fs::path>{} : set->second);
        loads.push_back({role, pad.playedSamples(), pad.takeOrder});
        filled.push_back(std::move(pad));
    }
    const auto loaded = d.player.loadPads(loads);
    for (std::size_t i = 0; i < filled.size(); ++i) {
        DrumPad* pad = kit.findPad(filled[i].role);
        std::vector<PadSample> kept;
        for (std::size_t m = 0; m < loads[i].samples.size(); ++m)
            if (loaded[i][m])
                kept.push_back(loads[i].samples[m]);
        // Nothing loaded: the engine kept the pad's previous sound, and so does the kit.
        if (pad == nullptr || kept.empty())
            continue;
        const bool mainLoaded = std::any_of(kept.begin(), kept.end(), [&](const PadSample& s) {
            return s.url == *filled[i].sampleURL;
        });
        pad->sampleURL = mainLoaded ? filled[i].sampleURL : kept.front().url;
        pad->samples = kept.size() > 1 ? std::move(kept) : std::vector<PadSample>{};
    }
}

// The RMS of the first 30 ms from where the sound reaches a quarter of its peak, in dB: how
// hard a recording was struck, with its decay and any silence before it left out.
double attackDb(const audio::SampleBuffer& buffer) {
    const std::uint32_t channels = buffer.format().channelCount;
    const std::uint32_t length = buffer.frameLength();
    float peak = 0.0f;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = 0; i < length; ++i)
            peak = std::max(peak, std::fabs(buffer.channel(c)[i]));
    std::uint32_t onset = length;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = 0; i < length && i < onset; ++i)
            if (std::fabs(buffer.channel(c)[i]) >= 0.25f * peak) {
                onset = i;
                break;
            }
    const auto window = static_cast<std::uint32_t>(buffer.format().sampleRate * 0.03);
    const std::uint32_t end = std::min(length, onset + window);
    double sum = 0.0;
    for (std::uint32_t c = 0; c < channels; ++c)
        for (std::uint32_t i = onset; i < end; ++i)
            sum += double{buffer.channel(c)[i]} * buffer.channel(c)[i];
    const double count = std::max(1.0, double(end - onset) * channels);
    return 10.0 * std::log10(std::max(sum / count, 1e-20));
}

} // namespace

void AppState::assignSample(const fs::path& file, PadRole role) {
    impl_->player.keepPad(role);
    if (!impl_->engine.loadSample(file, role))
        return; // the engine logged it; a file that cannot play never reaches the kit
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->sampleURL = FileUrl::fromPath(file);
        pad->samples.clear();
        impl_->commitKitChange(true);
    }
    saveKit();
}

void AppState::assignSamples(const std::vector<fs::path>& files, PadRole role) {
    std::vector<fs::path> audioFiles;
    for (const fs::path& file : files)
        if (autoMapper::hasAudioExtension(file) && audioFiles.size() < selection::maxSamplesPerPad)
            audioFiles.push_back(file);
    // Cymbals of several sizes are several instruments: the pad takes the first.
    if (sampleSets::sizesNotTakes(audioFiles))
        audioFiles.resize(1);
    // Several files dropped on one pad say how many it took, as the other drops do.
    const auto report = [&](std::size_t taken) {
        if (files.size() <= 1)
            return;
        published_.lastHit = "Assigned " + std::to_string(taken) + " of " +
                             std::to_string(files.size()) + " file(s) to " +
                             std::string(displayName(role));
        impl_->notify(Field::lastHit);
    };
    if (audioFiles.size() <= 1) {
        if (!audioFiles.empty())
            assignSample(audioFiles.front(), role);
        report(audioFiles.size());
        return;
    }
    // Decoded once: measured here, then handed to the engine as they are.
    const audio::AudioFormat format = impl_->engine.internalFormat();
    std::vector<sampleSets::Recording> recordings;
    std::map<fs::path, audio::SharedSampleBuffer> buffers;
    for (const fs::path& file : audioFiles) {
        auto buffer = audio::AudioEngine::loadBuffer(file, format);
        if (!buffer || buffer->frameLength() == 0) {
            platform::logLine("Failed to load sample: " + file.filename().string());
            continue;
        }
        recordings.push_back({file, attackDb(*buffer)});
        buffers[file] = std::move(buffer);
    }
    if (recordings.empty()) {
        report(0);
        return;
    }
    DrumPad* pad = published_.kit.findPad(role);
    const std::vector<PadSample> samples = sampleSets::arrange(recordings);
    std::vector<audio::LayeredBuffer> layered;
    for (const PadSample& sample : samples)
        layered.push_back({buffers[*sample.url.toPath()], sample.low, sample.high, sample.gain,
                           sample.url.toPath()});
    impl_->player.keepPad(role);
    if (!impl_->engine.setSamples(role, std::move(layered),
                                  pad ? pad->takeOrder : TakeOrder::cycle) ||
        pad == nullptr)
        return;
    pad->sampleURL = samples[sampleSets::mainOf(samples)].url;
    pad->samples = samples.size() > 1 ? samples : std::vector<PadSample>{};
    report(samples.size());
    impl_->commitKitChange(true);
    saveKit();
}

void AppState::setPadSamples(PadRole role, const std::vector<PadSample>& samples, TakeOrder order) {
    if (samples.empty()) {
        clearSample(role);
        return;
    }
    DrumPad* pad = published_.kit.findPad(role);
    const bool valid = std::all_of(samples.begin(), samples.end(), [](const PadSample& s) {
        return s.low >= 1 && s.high <= 127 && s.low <= s.high && s.gain >= 0.0f &&
               std::isfinite(s.gain);
    });
    if (pad == nullptr || !valid || samples.size() > selection::maxSamplesPerPad)
        return;
    const auto loaded = impl_->player.loadPads({{role, samples, order}}).front();
    std::vector<PadSample> kept;
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (loaded[i])
            kept.push_back(samples[i]);
    if (kept.empty())
        return; // the engine kept the pad's previous sound, and so does the kit
    const bool mainKept = pad->sampleURL && std::any_of(kept.begin(), kept.end(), [&](auto& s) {
                              return s.url == *pad->sampleURL;
                          });
    if (!mainKept)
        pad->sampleURL = kept.front().url;
    // One sample over the whole range at unity is what a one-sample pad plays anyway.
    const bool plain =
        kept.size() == 1 && kept[0].low == 1 && kept[0].high == 127 && kept[0].gain == 1.0f;
    pad->samples = plain ? std::vector<PadSample>{} : std::move(kept);
    pad->takeOrder = order;
    impl_->commitKitChange(true);
    saveKit();
}

void AppState::clearSample(PadRole role) {
    impl_->player.clearPad(role);
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->sampleURL.reset();
        pad->samples.clear();
        impl_->commitKitChange(true);
    }
    saveKit();
}

void AppState::importFolder(const fs::path& folder) {
    const auto files = autoMapper::audioFiles(folder);
    const autoMapper::Mapping mapping = autoMapper::map(files);
    assignMapped(*impl_, published_.kit, mapping, autoMapper::sets(mapping, files));
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
    assignMapped(*impl_, published_.kit, mapping, autoMapper::sets(mapping, audioFiles));
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
    impl_->fittedTo = nullptr;
    impl_->fitKitToModule(published_.kit);
    impl_->loadAllSamples();
    impl_->commitKitChange(false);
}

void AppState::loadKit(const fs::path& file) {
    auto kit = storage::loadKit(file);
    if (!kit)
        return;
    published_.kit = std::move(*kit);
    impl_->fittedTo = nullptr;
    impl_->fitKitToModule(published_.kit);
    impl_->loadAllSamples();
    impl_->commitKitChange(false);
}

void AppState::importKit(const fs::path& file) {
    Impl& d = *impl_;
    if (d.importing)
        return; // one at a time; the status bar offers to cancel the one under way
    auto progress = std::make_shared<kitImport::ImportProgress>();
    // Unpacking a large archive or reading a large SFZ takes long: off the main thread.
    auto result = std::async(std::launch::async, [file, progress] {
        return kitImport::importFile(file, progress.get());
    });
    d.importing = Impl::Import{file.filename().string(), progress, std::move(result)};
    if (!d.options.loadInBackground)
        d.importing->result.wait();
    d.publishImportStatus();
}

void AppState::cancelImport() {
    if (impl_->importing)
        impl_->importing->progress->cancelled.store(true);
}

void AppState::Impl::publishImportStatus() {
    if (!importing)
        return;
    if (importing->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        std::string text = "Importing " + kitImport::printable(importing->name) + " … " +
                           std::to_string(importing->progress->percent.load()) + " %";
        if (text != self.published_.loadingStatus) {
            self.published_.loadingStatus = std::move(text);
            notify(Field::loadingStatus);
        }
        return;
    }
    kitImport::Result imported = importing->result.get();
    const bool cancelled = importing->progress->cancelled.load();
    importing.reset();
    if (!self.published_.loadingStatus.empty()) {
        self.published_.loadingStatus.clear();
        notify(Field::loadingStatus);
    }
    takeImport(std::move(imported), cancelled);
}

void AppState::Impl::takeImport(kitImport::Result imported, bool cancelled) {
    self.published_.lastHit = cancelled  ? std::string("Import cancelled")
                              : imported ? imported.summary.text()
                                         : "Import failed: " + imported.error;
    notify(Field::lastHit);
    if (cancelled || !imported)
        return;
    self.published_.kit = std::move(*imported.kit);
    loadAllSamples();
    commitKitChange(true);
}

void AppState::refreshInstalledKits() {
    auto kits = kitImport::installedHydrogenKits();
    if (kits == published_.installedKits)
        return;
    published_.installedKits = std::move(kits);
    impl_->notify(Field::installedKits);
}

void AppState::importInstalledKit(std::size_t index) {
    if (index < published_.installedKits.size())
        importKit(published_.installedKits[index].file);
}

void AppState::exportKit(const fs::path& file) {
    storage::writeKit(published_.kit, file);
}

void AppState::renameKit(const std::string& name) {
    published_.kit.name = name;
    impl_->commitKitChange(true);
}

} // namespace tamborel::controller
