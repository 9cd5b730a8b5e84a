#include "controller/AppStateImpl.h"

#include "model/AutoMapper.h"
#include "model/PluginPreset.h"
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

// What the pad plays once `played` loaded: its main sample kept where it loaded, else the
// first; one sample alone as the plain pad of one sample.
void takeSamples(DrumPad& pad, const std::vector<PadSample>& played, const FileUrl& main) {
    const bool mainLoaded = std::any_of(played.begin(), played.end(),
                                        [&](const PadSample& s) { return s.url == main; });
    pad.sampleURL = mainLoaded ? main : played.front().url;
    pad.samples = played.size() > 1 ? played : std::vector<PadSample>{};
}

// Whether a pad's samples lie as our own arrangement of them would lay them: then samples
// added to it are arranged again with them. A pad arranged by hand or by its kit's maker
// keeps its ranges.
bool keptArrangement(const std::vector<PadSample>& kept,
                     const std::vector<sampleSets::Recording>& measured) {
    std::vector<sampleSets::Recording> own;
    for (const sampleSets::Recording& recording : measured)
        if (std::any_of(kept.begin(), kept.end(),
                        [&](const PadSample& s) { return s.url.toPath() == recording.file; }))
            own.push_back(recording);
    const std::vector<PadSample> ours = sampleSets::arrange(own);
    return ours.size() == kept.size() &&
           std::all_of(kept.begin(), kept.end(), [&](const PadSample& s) {
               return std::any_of(ours.begin(), ours.end(), [&](const PadSample& o) {
                   return o.url == s.url && o.low == s.low && o.high == s.high;
               });
           });
}

// The pad's samples as they are, each new one a further take of the kept range that its
// layer in `arranged` (the new and kept ones arranged together) shares with a kept sample,
// else of the kept range that holds the middle of its own.
std::vector<PadSample> slotIn(const std::vector<PadSample>& kept,
                              const std::vector<PadSample>& arranged) {
    const auto keptOne = [&](const FileUrl& url) {
        return std::find_if(kept.begin(), kept.end(),
                            [&](const PadSample& k) { return k.url == url; });
    };
    std::vector<PadSample> samples = kept;
    for (const PadSample& sample : arranged) {
        if (keptOne(sample.url) != kept.end())
            continue;
        auto range = kept.end();
        for (const PadSample& other : arranged)
            if (other.low == sample.low && other.high == sample.high &&
                keptOne(other.url) != kept.end())
                range = keptOne(other.url);
        if (range == kept.end()) {
            const int middle = (sample.low + sample.high) / 2;
            const auto distance = [&](const PadSample& k) {
                return middle < k.low ? k.low - middle : middle > k.high ? middle - k.high : 0;
            };
            range = std::min_element(kept.begin(), kept.end(),
                                     [&](auto& a, auto& b) { return distance(a) < distance(b); });
        }
        PadSample added = sample;
        added.low = range->low;
        added.high = range->high;
        added.together = 0;
        // After the range's last take, so the kept ones keep their turns.
        auto at = samples.end();
        for (auto it = samples.begin(); it != samples.end(); ++it)
            if (it->low == added.low && it->high == added.high)
                at = it + 1;
        samples.insert(at, added);
    }
    return samples;
}

// What a drop or an "Add samples…" tells: how many of the files given the pad took, the
// files left out, and whether names that belong to different sounds were taken as one. None
// for one file dropped that the pad took.
struct ArrangeReport {
    PadRole role;
    std::size_t given;
    bool adding;

    std::optional<std::string> text(std::size_t taken, const std::vector<PadSample>& arranged,
                                    const std::vector<std::string>& leftOut) const {
        if (given <= 1 && !adding && leftOut.empty())
            return std::nullopt;
        std::string text = (adding ? "Added " : "Assigned ") + std::to_string(taken) + " of " +
                           std::to_string(given) + " file(s) to " + std::string(displayName(role));
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
        return text;
    }
};

KitChange samplesOf(PadRole role) {
    KitChange change = KitChange::pad(role);
    change.samples.set(indexOf(role));
    return change;
}

} // namespace

void AppState::Impl::assignMapped(const autoMapper::Mapping& mapping,
                                  const autoMapper::SetMapping& sets, std::string told) {
    finishPadEdits(true);
    // Each mapped file with its set, if it has one; the mapped file stays the main sample
    // where it loads.
    std::vector<audio::PadLoad> loads;
    std::map<PadRole, FileUrl> mains;
    for (const auto& [role, file] : mapping) {
        const auto set = sets.find(role);
        DrumPad pad(role);
        autoMapper::fill(pad, file, set == sets.end() ? std::vector<fs::path>{} : set->second);
        loads.push_back({role, pad.playedSamples(), pad.takeOrder});
        mains[role] = *pad.sampleURL;
    }
    loadForEdit(std::move(loads),
                [mains, told = std::move(told)](Impl& d, std::vector<audio::PadLoaded> results) {
                    KitChange change;
                    for (const audio::PadLoaded& result : results) {
                        DrumPad* pad = d.self.published_.kit.findPad(result.role);
                        // Nothing loaded: the pad keeps its previous sound, and so does the kit.
                        if (pad == nullptr || result.played.empty())
                            continue;
                        takeSamples(*pad, result.played, mains.at(result.role));
                        change |= samplesOf(result.role);
                    }
                    d.tell(told);
                    d.commitKitChange(change, true);
                    d.save();
                });
}

void AppState::assignSample(const fs::path& file, PadRole role) {
    Impl& d = *impl_;
    d.finishPadEdits(true);
    const DrumPad* pad = published_.kit.findPad(role);
    const TakeOrder order = pad ? pad->takeOrder : TakeOrder::cycle;
    d.loadForEdit({{role, {PadSample{FileUrl::fromPath(file)}}, order}},
                  [role, file](Impl& d, std::vector<audio::PadLoaded> results) {
                      // A file that cannot play never reaches the kit (the loader logged it).
                      if (results.front().played.empty())
                          return;
                      if (DrumPad* pad = d.self.published_.kit.findPad(role)) {
                          // One file over a pad of several says what went, since Undo can
                          // bring them back.
                          if (const auto replaced = pad->playedSamples().size(); replaced > 1)
                              d.tell("Replaced " + std::to_string(replaced) + " samples on " +
                                     std::string(displayName(role)));
                          pad->sampleURL = FileUrl::fromPath(file);
                          pad->samples.clear();
                          d.commitKitChange(samplesOf(role), true);
                      }
                      d.save();
                  });
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
    std::vector<fs::path> onPad;
    for (const PadSample& sample : kept)
        if (auto path = sample.url.toPath())
            onPad.push_back(*path);
    std::vector<fs::path> audioFiles;
    std::vector<std::string> leftOut;
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
    const ArrangeReport report{role, files.size(), adding};
    if (!adding && audioFiles.size() <= 1) {
        if (!audioFiles.empty())
            self.assignSample(audioFiles.front(), role);
        if (const auto text = report.text(audioFiles.size(), {}, leftOut))
            tell(*text);
        return;
    }
    const DrumPad* pad = self.published_.kit.findPad(role);
    if (audioFiles.empty() || pad == nullptr) {
        if (const auto text = report.text(0, {}, leftOut))
            tell(*text);
        return;
    }
    // Measured and arranged on the loader's workers as the files come in; the pad's own
    // samples are measured again beside the new ones, and keep their gain and place.
    std::vector<PadSample> all = kept;
    for (const fs::path& file : audioFiles)
        all.push_back({FileUrl::fromPath(file)});
    auto arrange = [kept](std::vector<audio::MeasuredSample> measured) {
        std::vector<sampleSets::Recording> recordings;
        for (const audio::MeasuredSample& m : measured)
            if (const auto path = m.sample.url.toPath())
                recordings.push_back({*path, m.attackDb});
        std::vector<PadSample> samples = sampleSets::arrange(recordings);
        for (PadSample& sample : samples)
            for (const PadSample& before : kept)
                if (before.url == sample.url) {
                    sample.gain = before.gain;
                    sample.pan = before.pan;
                }
        return keptArrangement(kept, recordings) ? samples : slotIn(kept, samples);
    };
    finishPadEdits(true);
    loadForEdit(
        {{role, all, pad->takeOrder, std::move(arrange)}},
        [report, all, leftOut, audioFiles](Impl& d, std::vector<audio::PadLoaded> results) mutable {
            const audio::PadLoaded& result = results.front();
            for (std::size_t i = 0; i < all.size(); ++i)
                if (!result.loaded[i])
                    leftOut.push_back(all[i].url.fileName());
            DrumPad* pad = d.self.published_.kit.findPad(report.role);
            if (result.played.empty() || pad == nullptr) {
                if (const auto text = report.text(0, {}, leftOut))
                    d.tell(*text);
                return;
            }
            const std::vector<PadSample>& samples = result.played;
            const auto added = static_cast<std::size_t>(
                std::count_if(audioFiles.begin(), audioFiles.end(), [&](const fs::path& f) {
                    return std::any_of(samples.begin(), samples.end(),
                                       [&](const PadSample& s) { return s.url.toPath() == f; });
                }));
            pad->sampleURL = samples[sampleSets::mainOf(samples)].url;
            pad->samples = samples.size() > 1 ? samples : std::vector<PadSample>{};
            if (const auto text =
                    report.text(report.adding ? added : samples.size(), samples, leftOut))
                d.tell(*text);
            d.commitKitChange(samplesOf(report.role), true);
            d.save();
        });
}

void AppState::auditionSample(PadRole role, std::size_t index) {
    const DrumPad* pad = published_.kit.findPad(role);
    if (pad == nullptr)
        return;
    const std::vector<PadSample> samples = pad->playedSamples();
    if (index >= samples.size())
        return;
    const PadSample& sample = samples[index];
    // As the hardest strike it plays for, no harder than a click on the pad.
    impl_->player.audition(role, sample.url, std::min(sample.high, manualVelocity));
    impl_->flash(role, std::string(displayName(role)) + "  \u2022  " + sample.url.fileName(), true);
}

void AppState::setPadSamples(PadRole role, const std::vector<PadSample>& samples, TakeOrder order) {
    if (samples.empty()) {
        clearSample(role);
        return;
    }
    const bool valid = std::all_of(samples.begin(), samples.end(), [](const PadSample& s) {
        return s.low >= 1 && s.high <= 127 && s.low <= s.high && s.gain >= 0.0f &&
               std::isfinite(s.gain);
    });
    if (published_.kit.findPad(role) == nullptr || !valid ||
        samples.size() > selection::maxSamplesPerPad)
        return;
    impl_->finishPadEdits(true);
    impl_->loadForEdit({{role, samples, order}}, [role, order](Impl& d,
                                                               std::vector<audio::PadLoaded> r) {
        std::vector<PadSample> kept = std::move(r.front().played);
        DrumPad* pad = d.self.published_.kit.findPad(role);
        if (kept.empty() || pad == nullptr)
            return; // the pad kept its previous sound, and so does the kit
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
        d.commitKitChange(samplesOf(role), true);
        d.save();
    });
}

void AppState::clearSample(PadRole role) {
    impl_->finishPadEdits(true);
    impl_->player.clearPad(role);
    if (DrumPad* pad = published_.kit.findPad(role)) {
        pad->sampleURL.reset();
        pad->samples.clear();
        impl_->commitKitChange(samplesOf(role), true);
    }
    impl_->save();
}

void AppState::importFolder(const fs::path& folder) {
    const auto files = autoMapper::audioFiles(folder);
    const autoMapper::Mapping mapping = autoMapper::map(files);
    impl_->assignMapped(mapping, autoMapper::sets(mapping, files),
                        "Auto-mapped " + std::to_string(mapping.size()) + " sample(s)");
}

void AppState::importFiles(const std::vector<fs::path>& files) {
    std::vector<fs::path> audioFiles;
    for (const fs::path& file : files) {
        if (autoMapper::hasAudioExtension(file))
            audioFiles.push_back(file);
    }
    const autoMapper::Mapping mapping = autoMapper::map(audioFiles);
    impl_->assignMapped(mapping, autoMapper::sets(mapping, audioFiles),
                        "Mapped " + std::to_string(mapping.size()) + " of " +
                            std::to_string(audioFiles.size()) + " file(s)");
}

void AppState::Impl::loadForEdit(std::vector<audio::PadLoad> pads, PadEditDone done) {
    padEdits.push_back({player.loadPads(std::move(pads)), std::move(done)});
    if (!options.loadInBackground)
        finishPadEdits(true);
    else
        publishLoadingStatus();
}

void AppState::Impl::finishPadEdits(bool wait) {
    while (!padEdits.empty()) {
        if (!padEdits.front().loading.finished()) {
            if (!wait)
                return;
            padEdits.front().loading.wait();
        }
        PadEdit edit = std::move(padEdits.front());
        padEdits.pop_front();
        edit.done(*this, edit.loading.results());
    }
}

std::optional<fs::path> AppState::Impl::save() {
    // A failed write leaves the kit marked unsaved, so the user is not told it is safe.
    auto file = storage::saveKit(self.published_.kit);
    self.published_.dirty = !file.has_value();
    notify(Field::dirty);
    return file;
}

void AppState::saveKit() {
    impl_->finishPadEdits(true);
    const std::string& name = published_.kit.name;
    if (const auto file = impl_->save())
        impl_->tell("Saved " + name + " to " + file->string());
    else
        impl_->tell("Could not save " + name + " in " + storage::kitsFolder().string(), true);
}

void AppState::newKit() {
    impl_->takeKit(DrumKit("New Kit"), false, true);
    impl_->tell("New Kit: drop samples on its pads, or import a kit");
}

void AppState::Impl::playProgram(int program) {
    for (const ProgramKit& entry : self.published_.settings.programKits) {
        if (entry.program != program)
            continue;
        const auto file = entry.kit.toPath();
        auto kit = file ? storage::loadKit(*file) : std::nullopt;
        if (!kit) {
            tell("Program " + std::to_string(program) + ": cannot open " + entry.kit.fileName(),
                 true);
            return;
        }
        const std::string name = kit->name;
        takeKit(std::move(*kit), false, true);
        tell("Program " + std::to_string(program) + ": " + name);
        programPlayed = program;
        loadProgramsAhead();
        return;
    }
}

void AppState::Impl::loadProgramsAhead() {
    auto list = self.published_.settings.programKits;
    std::sort(list.begin(), list.end(),
              [](const ProgramKit& a, const ProgramKit& b) { return a.program < b.program; });
    const auto played = std::find_if(list.begin(), list.end(), [this](const ProgramKit& e) {
        return e.program == programPlayed;
    });
    std::vector<const ProgramKit*> around;
    if (played == list.end()) {
        if (!list.empty())
            around.push_back(&list.front());
    } else {
        if (played != list.begin())
            around.push_back(&*std::prev(played));
        if (std::next(played) != list.end())
            around.push_back(&*std::next(played));
    }
    std::vector<DrumKit> kits;
    for (const ProgramKit* entry : around)
        if (const auto file = entry->kit.toPath())
            if (auto kit = storage::loadKit(*file))
                kits.push_back(std::move(*kit));
    player.loadAhead(kits);
}

void AppState::loadKit(const fs::path& file) {
    if (auto kit = storage::loadKit(file))
        impl_->takeKit(std::move(*kit), false, true);
}

void AppState::Impl::takeKit(DrumKit kit, bool dirty, bool fit) {
    finishPadEdits(true);
    followKitPedal(kit);
    self.published_.kit = std::move(kit);
    if (fit) {
        fittedTo = nullptr;
        fitKitToModule(self.published_.kit);
    }
    loadAllSamples();
    KitChange taken = KitChange::all();
    taken.notes = false; // the player took them with the kit
    commitKitChange(taken, dirty);
    startHistory();
}

void AppState::importKit(const fs::path& file, const std::string& preset) {
    Impl& d = *impl_;
    if (d.importing)
        return; // one at a time; the status bar offers to cancel the one under way
    auto progress = std::make_shared<kitImport::ImportProgress>();
    // Unpacking a large archive or reading a large SFZ takes long: off the main thread.
    auto result = std::async(std::launch::async, [file, preset, progress] {
        return kitImport::importFile(file, progress.get(), preset);
    });
    d.importing = Impl::Import{file.filename().string(), progress, std::move(result)};
    if (const std::string extension = file.extension().string();
        extension == ".sf2" || extension == ".sf3") {
        std::string whyNot;
        for (const auto& drums : kitImport::soundFontDrumPresets(file, whyNot)) {
            kitImport::InstalledKit kit{file.stem().string() + ": " + drums.name, file, drums.name};
            if (std::find(d.soundFontsOpened.begin(), d.soundFontsOpened.end(), kit) ==
                d.soundFontsOpened.end())
                d.soundFontsOpened.push_back(std::move(kit));
        }
        refreshInstalledKits();
    }
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
    takeKit(std::move(*imported.kit), true, false);
}

void AppState::refreshInstalledKits() {
    auto kits = kitImport::installedHydrogenKits();
    for (auto& soundFont : kitImport::installedSoundFontKits())
        kits.push_back(std::move(soundFont));
    for (const auto& opened : impl_->soundFontsOpened)
        if (std::none_of(kits.begin(), kits.end(), [&](const auto& kit) {
                return kit.file == opened.file && kit.preset == opened.preset;
            }))
            kits.push_back(opened);
    if (kits == published_.installedKits)
        return;
    published_.installedKits = std::move(kits);
    impl_->notify(Field::installedKits);
}

void AppState::importInstalledKit(std::size_t index) {
    if (index < published_.installedKits.size())
        importKit(published_.installedKits[index].file, published_.installedKits[index].preset);
}

void AppState::exportKit(const fs::path& file) {
    impl_->finishPadEdits(true);
    if (storage::writeKit(published_.kit, file))
        impl_->tell("Exported " + published_.kit.name + " to " + file.string());
    else
        impl_->tell("Could not export " + published_.kit.name + " to " + file.string(), true);
}

void AppState::exportPluginPreset() {
    impl_->finishPadEdits(true);
    const std::string& name = published_.kit.name;
    const auto lv2Folder = pluginPreset::userFolder();
    if (!lv2Folder) {
        impl_->tell("Could not export " + name + " as a plugin preset: no home folder", true);
        return;
    }
    const auto file = impl_->save();
    if (!file) {
        impl_->tell("Could not save " + name + " in " + storage::kitsFolder().string() +
                        ", so it cannot be a plugin preset",
                    true);
        return;
    }
    if (const auto bundle = pluginPreset::write(name, *file, *lv2Folder))
        impl_->tell("Saved " + name + " and exported it as a plugin preset to " + bundle->string());
    else
        impl_->tell("Could not export " + name + " as a plugin preset to " + lv2Folder->string(),
                    true);
}

void AppState::renameKit(const std::string& name) {
    published_.kit.name = name;
    KitChange change;
    change.name = true;
    impl_->commitKitChange(change, true);
}

} // namespace tamborel::controller
