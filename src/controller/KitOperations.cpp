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
        // One file over a pad of several says what went, since Undo can bring them back.
        if (const std::size_t replaced = pad->playedSamples().size(); replaced > 1)
            impl_->tell("Replaced " + std::to_string(replaced) + " samples on " +
                        std::string(displayName(role)));
        pad->sampleURL = FileUrl::fromPath(file);
        pad->samples.clear();
        impl_->commitKitChange(true);
    }
    impl_->save();
}

void AppState::assignSamples(const std::vector<fs::path>& files, PadRole role) {
    impl_->arrangeSamples(files, role, {});
}

void AppState::addSamples(const std::vector<fs::path>& files, PadRole role) {
    const DrumPad* pad = published_.kit.findPad(role);
    if (pad == nullptr || !pad->sampleURL) {
        assignSamples(files, role);
        return;
    }
    impl_->arrangeSamples(files, role, pad->playedSamples());
}

void AppState::Impl::arrangeSamples(const std::vector<fs::path>& files, PadRole role,
                                    const std::vector<PadSample>& kept) {
    const bool adding = !kept.empty();
    std::vector<fs::path> audioFiles;
    std::vector<std::string> leftOut;
    std::vector<fs::path> onPad;
    for (const PadSample& sample : kept)
        if (auto path = sample.url.toPath())
            onPad.push_back(*path);
    for (const fs::path& file : files) {
        const bool already =
            std::find(onPad.begin(), onPad.end(), file) != onPad.end() ||
            std::find(audioFiles.begin(), audioFiles.end(), file) != audioFiles.end();
        if (autoMapper::hasAudioExtension(file) && !already &&
            onPad.size() + audioFiles.size() < selection::maxSamplesPerPad)
            audioFiles.push_back(file);
        else
            leftOut.push_back(file.filename().string());
    }
    // Cymbals of several sizes are several instruments: the pad takes the first.
    if (!adding && sampleSets::sizesNotTakes(audioFiles)) {
        for (std::size_t i = 1; i < audioFiles.size(); ++i)
            leftOut.push_back(audioFiles[i].filename().string());
        audioFiles.resize(1);
    }
    // Several files for one pad say how many it took, as the other drops do, name the ones
    // left out, and say when names that belong to different sounds were taken as one.
    const auto report = [&](std::size_t taken, const std::vector<PadSample>& arranged) {
        if (files.size() <= 1 && !adding && leftOut.empty())
            return;
        std::string text = (adding ? "Added " : "Assigned ") + std::to_string(taken) + " of " +
                           std::to_string(files.size()) + " file(s) to " +
                           std::string(displayName(role));
        std::vector<fs::path> names;
        for (const PadSample& sample : arranged)
            if (auto path = sample.url.toPath())
                names.push_back(*path);
        if (names.size() > 1 && sampleSets::unrelatedNames(names)) {
            const bool oneLayer = std::all_of(arranged.begin(), arranged.end(), [&](auto& s) {
                return s.low == arranged.front().low && s.high == arranged.front().high;
            });
            text += oneLayer ? " as takes of one sound, though their names differ"
                             : " as layers of one sound, though their names differ";
        }
        for (std::size_t i = 0; i < leftOut.size() && i < 3; ++i)
            text += (i == 0 ? "; left out " : ", ") + leftOut[i];
        if (leftOut.size() > 3)
            text += " and " + std::to_string(leftOut.size() - 3) + " more";
        tell(std::move(text));
    };
    if (!adding && audioFiles.size() <= 1) {
        if (!audioFiles.empty())
            self.assignSample(audioFiles.front(), role);
        report(audioFiles.size(), {});
        return;
    }
    if (audioFiles.empty()) {
        report(0, {});
        return;
    }
    // Decoded once: measured here, then handed to the engine as they are. The pad's own
    // samples are measured again beside the new ones.
    const audio::AudioFormat format = engine.internalFormat();
    std::vector<sampleSets::Recording> recordings;
    std::map<fs::path, audio::SharedSampleBuffer> buffers;
    std::vector<fs::path> all = onPad;
    all.insert(all.end(), audioFiles.begin(), audioFiles.end());
    for (const fs::path& file : all) {
        auto buffer = audio::AudioEngine::loadBuffer(file, format);
        if (!buffer || buffer->frameLength() == 0) {
            platform::logLine("Failed to load sample: " + file.filename().string());
            leftOut.push_back(file.filename().string());
            continue;
        }
        recordings.push_back({file, attackDb(*buffer)});
        buffers[file] = std::move(buffer);
    }
    DrumPad* pad = self.published_.kit.findPad(role);
    if (recordings.empty() || pad == nullptr) {
        report(0, {});
        return;
    }
    std::vector<PadSample> samples = sampleSets::arrange(recordings);
    // The pad's own samples keep the gain and place they had.
    for (PadSample& sample : samples)
        for (const PadSample& before : kept)
            if (before.url == sample.url) {
                sample.gain = before.gain;
                sample.pan = before.pan;
            }
    std::vector<audio::LayeredBuffer> layered;
    for (const PadSample& sample : samples)
        layered.push_back({buffers[*sample.url.toPath()], sample.low, sample.high, sample.gain,
                           sample.url.toPath(), sample.pan});
    player.keepPad(role);
    if (!engine.setSamples(role, std::move(layered), pad->takeOrder))
        return;
    const auto added = static_cast<std::size_t>(
        std::count_if(audioFiles.begin(), audioFiles.end(),
                      [&](const fs::path& f) { return buffers.contains(f); }));
    pad->sampleURL = samples[sampleSets::mainOf(samples)].url;
    pad->samples = samples.size() > 1 ? samples : std::vector<PadSample>{};
    report(adding ? added : samples.size(), samples);
    commitKitChange(true);
    save();
}

void AppState::auditionSample(PadRole role, std::size_t index) {
    const DrumPad* pad = published_.kit.findPad(role);
    if (pad == nullptr)
        return;
    const std::vector<PadSample> samples = pad->playedSamples();
    if (index >= samples.size())
        return;
    const PadSample& sample = samples[index];
    const auto file = sample.url.toPath();
    // As the hardest strike it plays for, no harder than a click on the pad.
    if (file)
        impl_->engine.triggerSample(role, *file, std::min(sample.high, manualVelocity));
    impl_->flash(role, std::string(displayName(role)) + "  \u2022  " + sample.url.fileName(), true);
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
    impl_->save();
}

void AppState::clearSample(PadRole role) {
    impl_->player.clearPad(role);
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->sampleURL.reset();
        pad->samples.clear();
        impl_->commitKitChange(true);
    }
    impl_->save();
}

void AppState::importFolder(const fs::path& folder) {
    const auto files = autoMapper::audioFiles(folder);
    const autoMapper::Mapping mapping = autoMapper::map(files);
    assignMapped(*impl_, published_.kit, mapping, autoMapper::sets(mapping, files));
    impl_->tell("Auto-mapped " + std::to_string(mapping.size()) + " sample(s)");
    impl_->commitKitChange(true);
    impl_->save();
}

void AppState::importFiles(const std::vector<fs::path>& files) {
    std::vector<fs::path> audioFiles;
    for (const fs::path& file : files) {
        if (autoMapper::hasAudioExtension(file))
            audioFiles.push_back(file);
    }
    const autoMapper::Mapping mapping = autoMapper::map(audioFiles);
    assignMapped(*impl_, published_.kit, mapping, autoMapper::sets(mapping, audioFiles));
    impl_->tell("Mapped " + std::to_string(mapping.size()) + " of " +
                std::to_string(audioFiles.size()) + " file(s)");
    impl_->commitKitChange(true);
    impl_->save();
}

std::optional<fs::path> AppState::Impl::save() {
    // A failed write leaves the kit marked unsaved, so the user is not told it is safe.
    auto file = storage::saveKit(self.published_.kit);
    self.published_.dirty = !file.has_value();
    notify(Field::dirty);
    return file;
}

void AppState::saveKit() {
    const std::string& name = published_.kit.name;
    if (const auto file = impl_->save())
        impl_->tell("Saved " + name + " to " + file->string());
    else
        impl_->tell("Could not save " + name + " in " + storage::kitsFolder().string(), true);
}

void AppState::newKit() {
    published_.kit = DrumKit("New Kit");
    impl_->fittedTo = nullptr;
    impl_->fitKitToModule(published_.kit);
    impl_->loadAllSamples();
    impl_->commitKitChange(false);
    impl_->startHistory();
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
    impl_->startHistory();
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
    tell(cancelled  ? std::string("Import cancelled")
         : imported ? imported.summary.text()
                    : "Import failed: " + imported.error,
         !cancelled && !imported);
    if (cancelled || !imported)
        return;
    self.published_.kit = std::move(*imported.kit);
    loadAllSamples();
    commitKitChange(true);
    startHistory();
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
    if (storage::writeKit(published_.kit, file))
        impl_->tell("Exported " + published_.kit.name + " to " + file.string());
    else
        impl_->tell("Could not export " + published_.kit.name + " to " + file.string(), true);
}

void AppState::renameKit(const std::string& name) {
    published_.kit.name = name;
    impl_->commitKitChange(true);
}

} // namespace tamborel::controller
