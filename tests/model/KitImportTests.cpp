#include "AppFolder.h"

#include "model/Documents.h"
#include "model/SamplePiece.h"
#include "model/import/KitImport.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cmath>

using namespace tamborel;
namespace fs = std::filesystem;

namespace {

// A kit folder with (empty) sample files; importing checks only that they exist.
fs::path kitFolder(const std::string& name, std::initializer_list<const char*> samples) {
    const fs::path folder = storage::folder() / name;
    fs::create_directories(folder);
    for (const char* sample : samples) {
        fs::create_directories((folder / sample).parent_path());
        test::writeText(folder / sample, "");
    }
    return folder;
}

std::string fileOf(const DrumKit& kit, PadRole role) {
    const auto pad = kit.pad(role);
    return pad && pad->sampleURL ? pad->sampleURL->fileName() : "";
}

std::string hydrogenInstrument(const std::string& name, int note, const std::string& layers,
                               bool components, const std::string& extra = "") {
    return "<instrument><name>" + name + "</name><midiOutNote>" + std::to_string(note) +
           "</midiOutNote>" + extra +
           (components ? "<instrumentComponent><component_id>0</component_id>" + layers +
                             "</instrumentComponent>"
                       : layers) +
           "</instrument>";
}

std::string layer(const char* file, double min, double max, double gain = 1.0) {
    return "<layer><filename>" + std::string(file) + "</filename><min>" + std::to_string(min) +
           "</min><max>" + std::to_string(max) + "</max><gain>" + std::to_string(gain) +
           "</gain></layer>";
}

std::string hydrogenKit(bool components) {
    return "<?xml version='1.0'?><drumkit_info><name>Test Kit</name><instrumentList>" +
           hydrogenInstrument(
               "Kick", 36, layer("kick_soft.wav", 0, 0.5, 0.5) + layer("kick_hard.wav", 0.5, 1),
               components,
               "<volume>0.7</volume><pan_L>1</pan_L><pan_R>0.5</pan_R><muteGroup>1</muteGroup>") +
           hydrogenInstrument("Snare Jazz", 38, layer("snare.wav", 0, 1), components) +
           hydrogenInstrument("Snare Rock", 40, layer("snare2.wav", 0, 1), components) +
           hydrogenInstrument("Hi-Hat Semiopen", 0, layer("hh.wav", 0, 1), components) +
           hydrogenInstrument("Cowbell", 56, layer("cowbell.wav", 0, 1), components) +
           hydrogenInstrument("Splash", 55, layer("missing.wav", 0, 1), components) +
           hydrogenInstrument("17", 0, layer("emptySample.flac", 0, 1), components) +
           hydrogenInstrument("Perc 1", 51, layer("ride.wav", 0, 1), components,
                              "<muteGroup>1</muteGroup>") +
           "</instrumentList></drumkit_info>";
}

// Writes a gzip tarball of (path, contents) entries; contents starting "->" make a link.
void writeArchive(const fs::path& file,
                  const std::vector<std::pair<std::string, std::string>>& entries) {
    archive* a = archive_write_new();
    archive_write_add_filter_gzip(a);
    archive_write_set_format_pax_restricted(a);
    archive_write_open_filename(a, file.c_str());
    for (const auto& [path, contents] : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, path.c_str());
        const bool link = contents.rfind("->", 0) == 0;
        archive_entry_set_filetype(entry, link ? AE_IFLNK : AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        if (link)
            archive_entry_set_symlink(entry, contents.c_str() + 2);
        archive_entry_set_size(entry, link ? 0 : la_int64_t(contents.size()));
        archive_write_header(a, entry);
        if (!link)
            archive_write_data(a, contents.data(), contents.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}

} // namespace

TEST(KitImport, HydrogenKitsInBothLayoutsGiveRolesRangesGainsAndASummary) {
    for (const bool components : {false, true}) {
        test::resetAppFolder();
        const fs::path folder =
            kitFolder("h2", {"kick_soft.wav", "kick_hard.wav", "snare.wav", "snare2.wav", "hh.wav",
                             "cowbell.wav", "ride.wav"});
        const auto result = kitImport::readHydrogen(hydrogenKit(components), folder);
        ASSERT_TRUE(result) << result.error;
        const DrumKit& kit = *result.kit;
        EXPECT_EQ(kit.name, "Test Kit");
        const DrumPad kick = *kit.pad(PadRole::kick);
        ASSERT_EQ(kick.samples.size(), 2u) << components;
        EXPECT_EQ(kick.samples[0], (PadSample{kick.samples[0].url, 1, 63, 0.5f}));
        EXPECT_EQ(kick.samples[1], (PadSample{kick.samples[1].url, 64, 127, 1.0f}));
        EXPECT_FLOAT_EQ(kick.volume, 0.7f);
        EXPECT_EQ(fileOf(kit, PadRole::kick), "kick_hard.wav"); // what velocity 100 plays
        EXPECT_FLOAT_EQ(kick.pan, -0.5f);
        EXPECT_EQ(fileOf(kit, PadRole::snare), "snare.wav");
        EXPECT_EQ(fileOf(kit, PadRole::snareRim), ""); // the second snare is not a rim
        EXPECT_EQ(fileOf(kit, PadRole::hhHalf), "hh.wav");
        EXPECT_EQ(fileOf(kit, PadRole::ride), "ride.wav"); // by its General MIDI note
        // One mute group: each cuts the other.
        EXPECT_EQ(kick.chokes, (std::vector<PadChoke>{{PadRole::ride, 0.0f}}));
        EXPECT_EQ(kit.pad(PadRole::ride)->chokes, (std::vector<PadChoke>{{PadRole::kick, 0.0f}}));
        EXPECT_EQ(result.summary.text(),
                  "Imported 4 pads, 5 samples; left out: Snare Rock, Cowbell, Splash (no samples); "
                  "1 sample missing");
    }
}

TEST(KitImport, BadSourcesAreRefusedWithAOneLineReason) {
    test::resetAppFolder();
    const fs::path folder = kitFolder("bad", {});
    const std::vector<std::pair<std::string, std::string>> sfz{
        {"<region sample=a.wav", "unclosed header"},
        {"<region> just words", "expected an opcode"},
        {"#include \"loop.sfz\"", "recursive #include of loop.sfz"},
        {"#include \"absent.sfz\"", "cannot read absent.sfz"},
        {"#define NAME 1", "malformed #define"},
        {"#define $A " + std::string(70000, 'x') + "\n<region> sample=$A",
         "line too long after #define"},
    };
    test::writeText(folder / "loop.sfz", "#include \"loop.sfz\"\n");
    for (const auto& [text, reason] : sfz) {
        const auto result = kitImport::readSfzText(text, folder / "kit.sfz");
        EXPECT_FALSE(result.kit) << text;
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
    }
    for (const char* xml : {"<drumkit_info><name>x</name>", "<other/>", ""})
        EXPECT_FALSE(kitImport::readHydrogen(xml, folder)) << xml;
    std::string many;
    for (std::size_t i = 0; i <= kitImport::maxRegions; ++i)
        many += "<region> sample=a.wav\n";
    EXPECT_EQ(kitImport::readSfzText(many, folder / "kit.sfz").error, "more than 20000 regions");
    EXPECT_EQ(kitImport::importFile(folder / "kit.txt").error, "not a kit file: kit.txt");
}

TEST(KitImport, SfzInheritanceDefinesIncludesNotesRoundRobinsHiHatsAndChokes) {
    test::resetAppFolder();
    const fs::path folder =
        kitFolder("sfz", {"s/kick v1.wav", "s/kick v2.wav", "s/snare_rr1.wav", "s/snare_rr2.wav",
                          "s/hh_closed.wav", "s/hh_half.wav", "s/hh_open.wav", "s/tom.wav",
                          "s/crash.wav", "s/clap.wav"});
    test::writeText(folder / "toms.sfz", "<region> key=$TOM sample=tom.wav // low tom\n");
    const std::string text = R"(
/* A drum kit with
   a block comment */
<control> default_path=s/ octave_offset=1 set_cc4=127
#define $TOM 31
<global> volume=-6 ampeg_release=0.3
<group> key=c2 seq_length=2
<region> sample=kick v1.wav hivel=80 seq_position=1
<region> sample=kick v2.wav lovel=81
<group> key=d1 lorand=0 hirand=0.5 amplitude=50 group_label=Snare
<region> sample=snare_rr1.wav
<region> sample=snare_rr2.wav lorand=0.5 hirand=1
<region> sample=snare_rr1.wav trigger=release
<group> key=f#1 group=1 off_by=2
<region> locc4=90 hicc4=127 sample=hh_closed.wav
<region> locc4=41 hicc4=89 sample=hh_half.wav
<region> locc4=0 hicc4=40 sample=hh_open.wav
#include "toms.sfz"
<group> group=2 tune=10
<region> key=c#2 sample=crash.wav pan=-50 off_by=3 offset=100 end=199 transpose=-1
<region> key=d#0 sample=clap.wav group=3
)";
    const auto result = kitImport::readSfzText(text, folder / "My Kit.sfz");
    ASSERT_TRUE(result) << result.error;
    const DrumKit& kit = *result.kit;
    EXPECT_EQ(kit.name, "My Kit");
    const DrumPad kick = *kit.pad(PadRole::kick);
    ASSERT_EQ(kick.samples.size(), 2u);
    EXPECT_EQ(kick.samples[0].high, 80);
    EXPECT_EQ(kick.samples[1].low, 81);
    EXPECT_NEAR(kick.samples[1].gain, 0.501f, 1e-3f); // -6 dB from the global header
    const DrumPad snare = *kit.pad(PadRole::snare);
    ASSERT_EQ(snare.samples.size(), 2u); // the release region is skipped
    EXPECT_EQ(snare.takeOrder, TakeOrder::random);
    EXPECT_NEAR(snare.samples[0].gain, 0.2505f, 1e-3f);
    for (auto [role, file] : {std::pair{PadRole::hhClosed, "hh_closed.wav"},
                              {PadRole::hhHalf, "hh_half.wav"},
                              {PadRole::hhOpen, "hh_open.wav"},
                              {PadRole::tom3, "tom.wav"},
                              {PadRole::crash1, "crash.wav"}})
        EXPECT_EQ(fileOf(kit, role), file) << rawValue(role);
    EXPECT_FLOAT_EQ(kit.pad(PadRole::crash1)->pan, -0.5f);
    // Tuned and sliced: frames 100 to 199 of its file, 90 cents down.
    const auto crash = SamplePiece::of(*kit.pad(PadRole::crash1)->sampleURL);
    EXPECT_EQ(std::tuple(crash->start, crash->end, crash->cents), std::tuple(100u, 200u, -90.0));
    // off_by: the crash's group stops the hi-hat and the tom included under its header; the
    // clap that would stop the crash is left out.
    EXPECT_EQ(kit.pad(PadRole::crash1)->chokes,
              (std::vector<PadChoke>{
                  {PadRole::hhClosed}, {PadRole::hhHalf}, {PadRole::hhOpen}, {PadRole::tom3}}));
    EXPECT_TRUE(kit.pad(PadRole::hhOpen)->chokes.empty());
    EXPECT_EQ(result.summary.text(), "Imported 7 pads, 9 samples; left out: clap; ignored: "
                                     "ampeg_release, trigger=release");
}

TEST(KitImport, InstalledKitsAreFoundAndOnesWithNothingToPlayAreRefused) {
    test::resetAppFolder();
    const fs::path data = storage::folder() / "data";
    const std::string before = std::getenv("XDG_DATA_HOME");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    const fs::path kits = data / "hydrogen/data/drumkits";
    const fs::path folder = kitFolder("data/hydrogen/data/drumkits/B Kit", {"k.wav"});
    kitFolder("data/hydrogen/data/drumkits/A Kit", {});          // no drumkit.xml
    test::writeText(folder / "drumkit.xml", hydrogenKit(false)); // most samples missing
    const auto installed = kitImport::installedHydrogenKits();
    ASSERT_FALSE(installed.empty());
    EXPECT_EQ(installed.back(), (kitImport::InstalledKit{"B Kit", folder / "drumkit.xml"}));
    setenv("XDG_DATA_HOME", before.c_str(), 1);

    // Nothing to play is a failure with its reason, not an empty kit.
    const auto empty = kitImport::importFile(installed.back().file);
    EXPECT_FALSE(empty.kit);
    EXPECT_EQ(empty.error.rfind("no playable pad (left out: Kick (no samples), ", 0), 0u)
        << empty.error;
    EXPECT_EQ(kitImport::importFile(kits / "none.sfz").error, "cannot read none.sfz");
}

TEST(KitImport, HydrogenPlaysTheFirstLayerThatHoldsAVelocityUnlessTheKitAsksForTurns) {
    test::resetAppFolder();
    const fs::path folder = kitFolder("nested", {"t1.wav", "t2.wav", "t3.wav", "t4.wav"});
    const std::string layers = layer("t1.wav", 0, 0.3) + layer("t2.wav", 0, 0.5) +
                               layer("t3.wav", 0.2, 0.7) + layer("t4.wav", 0, 1);
    for (const std::string algorithm : {"", "VELOCITY", "ROUND_ROBIN"}) {
        const std::string extra =
            algorithm.empty() ? "" : "<sampleSelectionAlgo>" + algorithm + "</sampleSelectionAlgo>";
        const auto result =
            kitImport::readHydrogen("<drumkit_info><name>N</name><instrumentList>" +
                                        hydrogenInstrument("Tom Low", 43, layers, true, extra) +
                                        "</instrumentList></drumkit_info>",
                                    folder);
        ASSERT_TRUE(result) << result.error;
        std::vector<std::pair<int, int>> ranges;
        const DrumPad tom = *result.kit->pad(PadRole::tom3);
        for (const PadSample& sample : tom.samples)
            ranges.emplace_back(sample.low, sample.high);
        if (algorithm == "ROUND_ROBIN")
            EXPECT_EQ(ranges,
                      (std::vector<std::pair<int, int>>{{1, 38}, {1, 63}, {26, 88}, {1, 127}}));
        else // each strength plays one recording, as in Hydrogen
            EXPECT_EQ(ranges,
                      (std::vector<std::pair<int, int>>{{1, 38}, {39, 63}, {64, 88}, {89, 127}}))
                << algorithm;
    }
}

TEST(KitImport, RolesComeFromKitMakersWordsAndASecondCymbalOrTomTakesTheFreeTwin) {
    test::resetAppFolder();
    std::vector<std::pair<std::string, std::optional<PadRole>>> names{
        {"VariBreaks Hat 1 Cl", PadRole::hhClosed},
        {"VariBreaks Hat 1 Pd", PadRole::hhPedal},
        {"VariBreaks Hat 1 Op", PadRole::hhOpen},
        {"Half Open Hat", PadRole::hhHalf},
        {"VariBreaks Hat 2 Cl", std::nullopt}, // hi-hats have no twin
        {"Ride (22\")", PadRole::ride},
        {"ride-cup", PadRole::rideBell},
        {"China", std::nullopt},      // a second crash, but after the named crashes
        {"Crash/Ride", std::nullopt}, // a crash or a ride, whichever is free: neither
        {"Crash (18\")", PadRole::crash1},
        {"Crash Right", PadRole::crash2},
        {"Tom", PadRole::tom1},
        {"Floor Tom", PadRole::tom3},
        {"Tom", PadRole::tom2},
    };
    std::string instruments;
    const auto file = [](std::size_t i) { return std::to_string(i) + ".wav"; };
    const fs::path folder = kitFolder("names", {});
    for (std::size_t i = 0; i < names.size(); ++i) {
        test::writeText(folder / file(i), "");
        instruments += hydrogenInstrument(names[i].first, 0, layer(file(i).c_str(), 0, 1), false);
    }
    const auto result =
        kitImport::readHydrogen("<drumkit_info><name>N</name><instrumentList>" + instruments +
                                    "</instrumentList></drumkit_info>",
                                folder);
    ASSERT_TRUE(result) << result.error;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].second) {
            EXPECT_EQ(fileOf(*result.kit, *names[i].second), file(i)) << names[i].first;
        }
    EXPECT_EQ(result.summary.text(),
              "Imported 11 pads, 11 samples; left out: VariBreaks Hat 2 Cl, China, Crash/Ride");
}

TEST(KitImport, KitsMadeOnWindowsAndRelativePathsFindTheirSamples) {
    test::resetAppFolder();
    const fs::path folder = kitFolder("win", {"Samples/kick.wav", "Samples/Snare.wav"});
    test::writeText(folder / "kit.sfz", "\xEF\xBB\xBF<region> key=36 sample=samples\\Kick.WAV\n"
                                        "<region> key=38 sample=SAMPLES\\snare.wav\n");
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    const auto result = kitImport::importFile("kit.sfz");
    fs::current_path(before);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.summary.text(), "Imported 2 pads, 2 samples");
    EXPECT_EQ(result.kit->pad(PadRole::kick)->sampleURL->toPath(), folder / "Samples/kick.wav");
}

TEST(KitImport, AWholeSizedSfzOfBlanksReadsInLinearTime) {
    // 16 MB of blanks inside one value: quadratic reading would take days.
    std::string text = "<region> key=36 region_label=a" +
                       std::string(kitImport::maxSourceBytes - 64, ' ') + "b sample=x.wav";
    const auto result = kitImport::readSfzText(text, storage::folder() / "blank.sfz");
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.summary.missingSamples, 1);
}

TEST(KitImport, ArchivesUnpackUnderTheAppFolderAndHostileOrHugeOnesLeaveNothing) {
    test::resetAppFolder();
    const fs::path archive = storage::folder() / "kit.h2drumkit";
    const fs::path unpacked = storage::folder() / "Hydrogen Kits";
    const auto kitXml = [](const std::string& name, const char* sample) {
        return "<drumkit_info><name>" + name + "</name><instrumentList>" +
               hydrogenInstrument("Kick", 36, layer(sample, 0, 1), true) +
               "</instrumentList></drumkit_info>";
    };
    for (const auto& hostile : std::vector<std::pair<std::string, std::string>>{
             {"../evil.wav", ""}, {"/tmp/evil.wav", ""}, {"Boxed/link", "->../../x"}}) {
        writeArchive(
            archive,
            {{"Boxed/drumkit.xml", kitXml("Boxed", "k.wav")}, hostile, {"Boxed/k.wav", "w"}});
        const auto result = kitImport::importFile(archive);
        EXPECT_NE(result.error.find("refused"), std::string::npos) << result.error;
        EXPECT_TRUE(fs::is_empty(unpacked)) << hostile.first;
    }
    // A tar whose entry declares 5 GiB and holds none: refused on its header alone.
    std::vector<char> tar(1 << 16);
    std::size_t used = 0;
    struct archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_set_bytes_per_block(writer, 0);
    archive_write_open_memory(writer, tar.data(), tar.size(), &used);
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, "Bomb/k.wav");
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_size(entry, 5ll << 30);
    archive_write_header(writer, entry);
    test::writeText(archive, std::string(tar.data(), used) + std::string(4096, '\0'));
    archive_entry_free(entry);
    archive_write_free(writer);
    auto result = kitImport::importFile(archive);
    EXPECT_EQ(result.error, "kit.h2drumkit: too large to unpack");
    EXPECT_TRUE(fs::is_empty(unpacked));

    // An entry name with a newline stays on the error's one line.
    writeArchive(archive, {{"Boxed/drumkit.xml", kitXml("Boxed", "k.wav")}, {"../a\nb", ""}});
    result = kitImport::importFile(archive);
    EXPECT_EQ(result.error, "kit.h2drumkit: refused path ../a b");

    // Two different archives of one name each keep their own folder; the same one again
    // finds its copy. A kit that names itself nothing is named after the archive.
    writeArchive(archive, {{"Boxed/drumkit.xml", kitXml("Boxed", "k.wav")}, {"Boxed/k.wav", "1"}});
    const auto first = kitImport::importFile(archive);
    ASSERT_TRUE(first) << first.error;
    writeArchive(archive, {{"Boxed/drumkit.xml", kitXml("Boxed", "k.wav")}, {"Boxed/k.wav", "2"}});
    const auto second = kitImport::importFile(archive);
    ASSERT_TRUE(second) << second.error;
    const auto third = kitImport::importFile(archive);
    ASSERT_TRUE(third) << third.error;
    const auto fileOfKick = [](const kitImport::Result& r) {
        return *r.kit->pad(PadRole::kick)->sampleURL->toPath();
    };
    EXPECT_EQ(fileOfKick(first), unpacked / "Boxed" / "k.wav");
    EXPECT_EQ(fileOfKick(second), unpacked / "Boxed (2)" / "k.wav");
    EXPECT_EQ(fileOfKick(third), fileOfKick(second));
    EXPECT_EQ(test::readText(fileOfKick(first)), "1");
    EXPECT_EQ(test::readText(fileOfKick(second)), "2");
    // A broken archive of the same name leaves the earlier copies.
    test::writeText(archive, "not an archive");
    EXPECT_FALSE(kitImport::importFile(archive));
    EXPECT_EQ(test::readText(fileOfKick(first)), "1");

    const fs::path nameless = storage::folder() / "Vintage Rock.h2drumkit";
    writeArchive(nameless, {{"drumkit.xml", kitXml("", "k.wav")}, {"k.wav", "w"}});
    result = kitImport::importFile(nameless);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.kit->name, "Vintage Rock");
}

TEST(KitImport, SfzRegionsThatMatchOneStrikeSoundTogetherAndTheKitDocumentKeepsThem) {
    test::resetAppFolder();
    const fs::path folder =
        kitFolder("mics", {"close1.wav", "oh1.wav", "close2.wav", "oh2.wav", "snare.wav"});
    const std::string text = R"(
<group> key=36 seq_length=2 seq_position=1
<region> sample=close1.wav pan=-20
<region> sample=oh1.wav volume=-6 pan=40
<group> key=36 seq_length=2 seq_position=2
<region> sample=close2.wav pan=-20
<region> sample=oh2.wav volume=-6 pan=40
<region> key=38 sample=snare.wav pan=10
)";
    const auto result = kitImport::readSfzText(text, folder / "Mics.sfz");
    ASSERT_TRUE(result) << result.error;
    const DrumPad kick = *result.kit->pad(PadRole::kick);
    ASSERT_EQ(kick.samples.size(), 4u);
    std::vector<std::pair<std::string, int>> groups;
    for (const PadSample& sample : kick.samples)
        groups.emplace_back(sample.url.fileName(), sample.together);
    EXPECT_EQ(groups, (std::vector<std::pair<std::string, int>>{
                          {"close1.wav", 1}, {"oh1.wav", 1}, {"close2.wav", 2}, {"oh2.wav", 2}}));
    EXPECT_FLOAT_EQ(kick.samples[1].pan, 0.4f);
    EXPECT_FLOAT_EQ(kick.pan, 0.0f);
    EXPECT_FLOAT_EQ(result.kit->pad(PadRole::snare)->pan, 0.1f); // one pan is the pad's

    const auto written = documents::writeKit(*result.kit);
    ASSERT_TRUE(written);
    const auto read = documents::readKit(*written);
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(read.value->pad(PadRole::kick)->samples, kick.samples);
}

TEST(KitImport, AHiHatOfManyOpennessLevelsKeepsOnePerRole) {
    test::resetAppFolder();
    const fs::path folder = kitFolder("hats", {"h0.wav", "h1.wav", "h2.wav", "h3.wav", "h4.wav"});
    const std::string text = "<group> key=42 group_label=Hat\n"
                             "<region> locc4=0 hicc4=25 sample=h0.wav\n"
                             "<region> locc4=26 hicc4=50 sample=h1.wav\n"
                             "<region> locc4=51 hicc4=76 sample=h2.wav\n"
                             "<region> locc4=77 hicc4=101 sample=h3.wav\n"
                             "<region> locc4=102 hicc4=127 sample=h4.wav\n";
    const auto result = kitImport::readSfzText(text, folder / "Hats.sfz");
    ASSERT_TRUE(result) << result.error;
    for (auto [role, file] : {std::pair{PadRole::hhOpen, "h0.wav"},
                              {PadRole::hhHalf, "h2.wav"},
                              {PadRole::hhClosed, "h4.wav"}}) {
        EXPECT_EQ(fileOf(*result.kit, role), file) << rawValue(role);
        EXPECT_TRUE(result.kit->pad(role)->samples.empty()) << "one level, no takes";
    }
    EXPECT_EQ(result.summary.text(),
              "Imported 3 pads, 3 samples; left out: Hat (pedal 26-50), Hat (pedal 77-101)");
}

// Free kits as they are written: a typo players shrug off, several defines on a line and one
// inside an opcode's name, levels at every header, controller defaults through curves,
// keyswitched sets and regions gated off by a controller.
TEST(KitImport, SfzAsFreeKitsWriteItPlaysAtItsControllersDefaults) {
    test::resetAppFolder();
    const fs::path folder = kitFolder(
        "free", {"kick.wav", "kick2.wav", "snare.wav", "mic.wav", "off.wav", "rim.wav", "tom.wav"});
    test::writeText(folder / "macros.sfz", "#define $SNARE 38\n");
    const std::string text = R"(#define $MIC 21 #define $KICK 36
#include "macros.sfz"
<control> set_hdcc$MIC=0.5 set_cc30=127 set_cc100=0 // faders at rest
<curve> curve_index=7 v000=0 v127=0.5
<global> global_volume=-1 sw_lokey=24 sw_hikey=26 sw_default=25
<master> master_amplitude=50
<group> group_volume=-7 key=$KICK sw_last=25
<region> sample=kick.wav pan=-100 pan_oncc$MIC=200
<group> key=$KICK sw_last=24
<region> sample=kick2.wav
<group> key=$SNARE lorand=0.45 hirand=60 lovel=loud
<region> sample=snare.wav amplitude_oncc30=100 amplitude_curvecc30=7
<region> sample=mic.wav locc100=0 hicc100=0 lorand=0 hirand=0.45
<region> sample=off.wav locc100=1 hicc100=127
<region> key=37 sample=rim.wav end=0
<region> key=45 sample=tom.wav amp_veltrack=0 hivel=64 volume=60
)";
    const auto result = kitImport::readSfzText(text, folder / "Free.sfz");
    ASSERT_TRUE(result) << result.error;
    const DrumKit& kit = *result.kit;
    EXPECT_EQ(fileOf(kit, PadRole::kick), "kick.wav"); // only the set sw_default picks
    const DrumPad kick = *kit.pad(PadRole::kick);
    EXPECT_FLOAT_EQ(kick.pan, 0.0f); // -100 + 200 x 0.5
    // -1 - 7 dB and half by the master for the kick; for the snare -1 dB, half by the
    // master and half by the curve.
    ASSERT_EQ(kick.samples.size(), 1u);
    EXPECT_NEAR(kick.samples[0].gain, std::pow(10.0, -8 / 20.0) * 0.5, 1e-5);
    const DrumPad snare = *kit.pad(PadRole::snare);
    ASSERT_EQ(snare.samples.size(), 2u);
    EXPECT_EQ(snare.takeOrder, TakeOrder::random);
    EXPECT_NEAR(snare.samples[0].gain, std::pow(10.0, -1 / 20.0) * 0.25, 1e-5);
    EXPECT_EQ(snare.samples[1].url.fileName(), "mic.wav");
    // No velocity response: the top of its range (64) plays as loud as SFZ players play it.
    EXPECT_TRUE(kit.squaredVelocity);
    EXPECT_NEAR(
        kit.pad(PadRole::tom2)->samples.at(0).gain,
        std::pow(10.0, -1 / 20.0) * 0.5 * std::pow(10.0, 6 / 20.0) / std::pow(64 / 127.0, 2), 1e-4);
    EXPECT_EQ(
        result.summary.text(),
        "Imported 3 pads, 4 samples; left out: keyswitch c1 (1 region), 1 region (cc100 at 0), "
        "rim (silent); clamped: lovel=loud (default), hirand=60 (1), volume=60 (6)");
}

// A hi-hat split on the sustain pedal (a closed hat under zones that state their range), a
// silent note that chokes a crash, and microphones as labelled faders.
TEST(KitImport, SfzHiHatsOnAnyControllerSilentChokesAndMicrophoneFaders) {
    test::resetAppFolder();
    const fs::path folder = kitFolder("faders", {"kick_close.wav", "kick_oh.wav", "hh_closed.wav",
                                                 "hh_semi.wav", "hh_open.wav", "crash.wav"});
    const std::string text = R"(
<control> label_cc30=Kick Close label_cc31=Overheads set_hdcc30=1 set_hdcc31=0.1
<group> key=36
<region> sample=kick_close.wav amplitude_oncc30=100
<region> sample=kick_oh.wav amplitude_oncc31=100 volume=-6
<group> key=42 locc100=0 hicc100=0
<region> sample=hh_closed.wav
<region> sample=hh_semi.wav locc64=30 hicc64=89
<region> sample=hh_open.wav hicc64=29
<region> key=49 sample=crash.wav off_by=5 off_mode=time off_time=0.2 note_polyphony=1
<region> key=49 lopolyaft=64 sample=*silence group=6
<region> key=57 sample=*silence group=5
)";
    const auto result = kitImport::readSfzText(text, folder / "Faders.sfz");
    ASSERT_TRUE(result) << result.error;
    const DrumKit& kit = *result.kit;
    for (auto [role, file] : {std::pair{PadRole::hhClosed, "hh_closed.wav"},
                              {PadRole::hhHalf, "hh_semi.wav"},
                              {PadRole::hhOpen, "hh_open.wav"}})
        EXPECT_EQ(fileOf(kit, role), file) << rawValue(role);
    EXPECT_EQ(kit.hiHatController, 64);
    EXPECT_EQ(kit.pad(PadRole::crash2)->chokes, (std::vector<PadChoke>{{PadRole::crash1, 0.2f}}));
    EXPECT_EQ(kit.pad(PadRole::crash2)->samples.at(0).gain, 0.0f);
    EXPECT_EQ(kit.pad(PadRole::crash1)->chokes, // a new strike stops the last
              (std::vector<PadChoke>{{PadRole::crash1, 0.2f}}));
    ASSERT_EQ(kit.microphones.size(), 2u);
    EXPECT_EQ(kit.microphones[0].name, "Kick Close");
    EXPECT_EQ(kit.microphones[1].name, "Overheads");
    EXPECT_NEAR(kit.microphones[1].volume, 0.1f, 1e-6f);
    const auto kick = kit.pad(PadRole::kick)->samples;
    ASSERT_EQ(kick.size(), 2u);
    EXPECT_EQ(kick[0].microphones, (std::vector<int>{0, 0}));
    EXPECT_EQ(kick[1].microphones, (std::vector<int>{1, 1}));
    EXPECT_NEAR(kick[1].gain, 0.501f, 1e-3f);
    EXPECT_EQ(kick[0].together, kick[1].together);

    // The kit's hi-hat controller is kept in its document, and absent where it has none.
    const auto read = documents::readKit(*documents::writeKit(kit));
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(read.value->hiHatController, 64);
    EXPECT_EQ(documents::writeKit(DrumKit("x"))->find("hiHatController"), std::string::npos);
}
