#include "AppFolder.h"
#include "SoundFiles.h"

#include "model/Documents.h"
#include "model/MicrophonePlacement.h"
#include "model/SampleSelection.h"
#include "model/import/DrumGizmo.h"
#include "model/import/KitImport.h"

#include <gtest/gtest.h>

using namespace tamborel;
namespace fs = std::filesystem;
namespace dg = kitImport::drumGizmo;

namespace {

// One hit: channel c of the sound file feeds the instrument file's channel channels[c].
std::string hit(const std::string& name, const std::string& attributes, const std::string& file,
                const std::vector<std::string>& channels = {"AmbL", "AmbR", "KickMic"}) {
    std::string s = "<sample name='" + name + "' " + attributes + ">";
    for (std::size_t c = 0; c < channels.size(); ++c)
        s += "<audiofile channel='" + channels[c] + "' file='" + file + "' filechannel='" +
             std::to_string(c + 1) + "'/>";
    return s + "</sample>";
}

std::string instrumentFile(const std::string& head, const std::string& samples,
                           const std::string& rest = "") {
    return "<?xml version='1.0'?><instrument " + head + "><samples>" + samples + "</samples>" +
           rest + "</instrument>";
}

// A kit of three microphones: a kick in version 2.0 (graded powers, its own microphone mapped
// and main), two hi-hats in version 1.0 sharing a group, the closed one choking the open one,
// and `extra` instruments. Every hit is one 3-channel sound file.
fs::path writeKit(const std::string& extra = "", const std::string& extraFiles = "") {
    test::resetAppFolder();
    const fs::path folder = storage::folder() / "dg";
    fs::create_directories(folder / "kick" / "samples");
    fs::create_directories(folder / "hh");
    for (const char* wav : {"kick/samples/1.wav", "kick/samples/2.wav", "kick/samples/3.wav",
                            "hh/c1.wav", "hh/c2.wav", "hh/o1.wav"})
        audio::testing::writeWithSndfile(folder / wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 3,
                                         std::vector<float>(300, 0.1f));
    const std::string maps = "<channelmap in='AmbL' out='AmbL'/><channelmap in='AmbR' out='AmbR'/>";
    test::writeText(folder / "drumkit.xml",
                    "<?xml version='1.0'?><drumkit name='Test' samplerate='48000' version='2.0'>"
                    "<metadata><description>For tests</description></metadata><channels>"
                    "<channel name='AmbL'/><channel name='AmbR'/><channel name='Kick'/></channels>"
                    "<instruments><instrument name='Kick' file='kick/kick.xml'>" +
                        maps +
                        "<channelmap in='KickMic' out='Kick' main='true'/></instrument>"
                        "<instrument name='HHClosed' group='hihat' file='hh/closed.xml'>" +
                        maps +
                        "<channelmap in='KickMic' out='Kick'/><chokes><choke instrument='HHOpen' "
                        "choketime='20'/></chokes></instrument>"
                        "<instrument name='HHOpen' group='hihat' file='hh/open.xml'>" +
                        maps + "<channelmap in='KickMic' out='Kick'/></instrument>" + extra +
                        "</instruments></drumkit>");
    test::writeText(folder / "kick/kick.xml",
                    instrumentFile("version='2.0' name='Kick'",
                                   hit("k3", "power='0.9'", "samples/3.wav") +
                                       hit("k1", "power='0.1' normalized='true'", "samples/1.wav") +
                                       hit("k2", "power='0.5'", "samples/2.wav") +
                                       hit("gone", "power='1'", "samples/4.wav") +
                                       hit("wide", "power='1'", "samples/1.wav",
                                           {"AmbL", "AmbR", "KickMic", "AmbL"})));
    test::writeText(folder / "hh/closed.xml",
                    instrumentFile("version='1.0' name='HHClosed'",
                                   hit("c1", "", "c1.wav") + hit("c2", "", "c2.wav"),
                                   "<velocities><velocity lower='0' upper='0.5'><sampleref "
                                   "name='c1' probability='1'/></velocity><velocity lower='0.5' "
                                   "upper='1'><sampleref name='c2' probability='1'/></velocity>"
                                   "</velocities>"));
    test::writeText(folder / "hh/open.xml",
                    instrumentFile("name='HHOpen'", hit("o1", "", "o1.wav"),
                                   "<velocities><velocity lower='0' upper='1'><sampleref "
                                   "name='o1' probability='1'/></velocity></velocities>"));
    test::writeText(folder / "Midimap_full.xml",
                    "<?xml version='1.0'?><midimap><map note='36' instr='Kick'/><map note='35' "
                    "instr='Kick'/><map note='42' instr='HHClosed'/><map note='46' "
                    "instr='HHOpen'/><map note='50' instr='Tom'/></midimap>");
    test::writeText(folder / "extra.xml", extraFiles);
    return folder;
}

std::vector<double> powers(const dg::Instrument& in) {
    std::vector<double> out;
    for (const auto& recording : in.recordings)
        out.push_back(recording.power);
    return out;
}

} // namespace

TEST(DrumGizmo, AKitReadsIntoChannelsInstrumentsPowersNotesGroupsAndChokes) {
    const fs::path folder = writeKit();
    const auto result = dg::read(folder);
    ASSERT_TRUE(result.kit) << result.error;
    const dg::Kit& kit = *result.kit;
    EXPECT_EQ(kit.name, "Test");
    EXPECT_EQ(kit.description, "For tests");
    EXPECT_EQ(kit.sampleRate, 48000.0);
    EXPECT_EQ(kit.channels, (std::vector<std::string>{"AmbL", "AmbR", "Kick"}));
    ASSERT_EQ(kit.instruments.size(), 3u);
    EXPECT_TRUE(kit.leftOut.empty());
    EXPECT_EQ(kit.problems, std::vector<std::string>{"MIDI map: no instrument Tom"});

    const dg::Instrument& kick = kit.instruments[0];
    EXPECT_EQ(powers(kick), (std::vector<double>{0.9, 0.1, 0.5}));
    EXPECT_TRUE(kick.recordings[1].normalized);
    EXPECT_EQ(
        kick.recordings[0].audioFiles[2],
        (dg::AudioFile{folder / "kick/samples/3.wav", 3, "Kick", 3})); // its microphone, mapped
    EXPECT_EQ(kick.mainChannels, std::vector<std::string>{"Kick"});
    EXPECT_EQ(kick.notes, (std::vector<int>{35, 36}));
    EXPECT_EQ(kick.dropped, (std::vector<std::string>{"gone: missing 4.wav",
                                                      "wide: 1.wav has no channel 4 (it has 3)"}));

    const dg::Instrument& closed = kit.instruments[1];
    const dg::Instrument& open = kit.instruments[2];
    EXPECT_EQ(powers(closed), (std::vector<double>{0.25, 0.75})); // from velocity ranges
    EXPECT_EQ(closed.group, "hihat");
    EXPECT_EQ(open.group, "hihat");
    EXPECT_EQ(closed.chokes, (std::vector<dg::Choke>{{"HHOpen", 20.0}}));
    EXPECT_TRUE(open.chokes.empty());
    EXPECT_EQ(open.notes, std::vector<int>{46});

    // The kit file named directly reads the same.
    EXPECT_EQ(dg::read(folder / "drumkit.xml").kit->instruments.size(), 3u);
}

TEST(DrumGizmo, BadInstrumentsAreLeftOutAndNamedAndABadKitIsRefusedWithAReason) {
    std::string many, tooMany;
    for (std::size_t i = 0; i <= dg::maxRecordings; ++i)
        (i < 200 ? many : tooMany) +=
            hit("h" + std::to_string(i), "power='1'", "hh/c1.wav", {"AmbL", "AmbR", "Kick"});
    const fs::path folder = writeKit(
        "<instrument name='Absent' file='absent.xml'/><instrument name='Stray' "
        "file='extra.xml'><channelmap in='AmbL' out='Room'/></instrument>"
        "<instrument name='Many' file='many.xml'/><instrument name='TooMany' file='extra.xml'/>",
        instrumentFile("version='2.0'", many + tooMany));
    test::writeText(folder / "many.xml", instrumentFile("version='2.0'", many));
    const auto result = dg::read(folder);
    ASSERT_TRUE(result.kit) << result.error;
    EXPECT_EQ(result.kit->instruments.size(), 4u);
    EXPECT_EQ(result.kit->instruments.back().recordings.size(), 200u);
    EXPECT_EQ(result.kit->leftOut,
              (std::vector<std::string>{"Absent (cannot read absent.xml)",
                                        "Stray (channel Room is not the kit's)",
                                        "TooMany (more than 4096 recordings)"}));

    const std::vector<std::pair<std::string, std::string>> kits{
        {"<drumkit><channels>", "drumkit.xml is not valid XML"},
        {"<instrument/>", "drumkit.xml holds no DrumGizmo kit"},
        {"<drumkit><instruments/></drumkit>", "the kit names no channels"},
        {"<drumkit><channels><channel name='A'/></channels><instruments><instrument name='X' "
         "file='kick/kick.xml'/></instruments></drumkit>",
         "no instrument could be read: X (channel AmbL is not the kit's)"},
    };
    for (const auto& [xml, reason] : kits) {
        test::writeText(folder / "drumkit.xml", xml);
        const auto refused = dg::read(folder);
        EXPECT_FALSE(refused.kit) << xml;
        EXPECT_EQ(refused.error.rfind(reason, 0), 0u) << refused.error;
    }
    EXPECT_EQ(dg::read(folder / "kick").error, "kick holds no DrumGizmo kit");
}

TEST(DrumGizmo, AKitImportsAsPadsOfRecordingsByPowerOnTheKitsMicrophones) {
    const fs::path folder =
        writeKit("<instrument name='Snare' file='extra.xml'><chokes><choke instrument='Kick' "
                 "choketime='250'/><choke instrument='Cowbell'/></chokes></instrument>"
                 "<instrument name='Cowbell' group='hihat' "
                 "file='hh/open.xml'><channelmap in='KickMic' out='Kick'/></instrument>",
                 instrumentFile("version='2.0'",
                                "<sample name='s' power='2'><audiofile channel='AmbL' "
                                "file='hh/c1.wav' filechannel='1'/><audiofile "
                                "channel='Kick' file='hh/o1.wav' filechannel='3'/></sample>"));
    const auto result = kitImport::importFile(folder / "drumkit.xml");
    ASSERT_TRUE(result) << result.error;
    const DrumKit& kit = *result.kit;
    ASSERT_EQ(kit.microphones.size(), 3u);
    EXPECT_EQ(kit.microphones[2], (Microphone{.name = "Kick"}));
    EXPECT_EQ(kit.microphones[0].pan, -kit.microphones[1].pan);
    EXPECT_LT(kit.microphones[0].pan, -0.5f); // the ambience pair, apart

    const DrumPad& kick = *kit.findPad(PadRole::kick);
    EXPECT_EQ(kick.takeOrder, TakeOrder::power);
    EXPECT_EQ(kick.notes, (std::vector<std::int64_t>{35, 36}));
    EXPECT_EQ(kick.ownMicrophones, std::vector<int>{2});
    ASSERT_EQ(kick.samples.size(), 3u); // softest first; the missing and the too narrow left out
    EXPECT_EQ(kick.samples[0], (PadSample{.url = FileUrl::fromPath(folder / "kick/samples/1.wav"),
                                          .microphones = {0, 1, 2},
                                          .power = 0.1f,
                                          .normalized = true}));
    EXPECT_EQ(kick.samples[2].power, 0.9f);
    EXPECT_EQ(kick.sampleURL->fileName(), "3.wav"); // the power velocity 100 aims at
    const DrumPad& closed = *kit.findPad(PadRole::hhClosed);
    EXPECT_EQ(closed.notes, std::vector<std::int64_t>{42});
    EXPECT_EQ(closed.samples[1].power, 0.75f);
    EXPECT_TRUE(closed.ownMicrophones.empty());
    EXPECT_EQ(kit.findPad(PadRole::hhOpen)->samples.size(), 1u);
    // One recording on two files: both sound together, each channel on its microphone.
    const auto& snare = kit.findPad(PadRole::snare)->samples;
    ASSERT_EQ(snare.size(), 2u);
    EXPECT_EQ(snare[0].microphones, (std::vector<int>{0, -1, -1}));
    EXPECT_EQ(snare[1].microphones, (std::vector<int>{-1, -1, 2}));
    EXPECT_TRUE(snare[0].together == 1 && snare[1].together == 1);

    const kitImport::Summary& summary = result.summary;
    EXPECT_EQ(summary.pads, 4);
    EXPECT_EQ(summary.leftOut, std::vector<std::string>{"Cowbell"});
    EXPECT_EQ(summary.missingSamples, 1);
    EXPECT_EQ(summary.unreadableSamples, 1);
    // Chokes between pads: the closed hat's own is every kit's; the open hat's from its group.
    EXPECT_TRUE(closed.chokes.empty());
    EXPECT_EQ(kit.findPad(PadRole::hhOpen)->chokes,
              (std::vector<PadChoke>{{PadRole::hhClosed, 0.068f}}));
    EXPECT_EQ(kit.findPad(PadRole::snare)->chokes, (std::vector<PadChoke>{{PadRole::kick, 0.25f}}));
    EXPECT_EQ(summary.ignored, std::set<std::string>{"MIDI map: no instrument Tom"});
    EXPECT_EQ(*documents::readKit(*documents::writeKit(kit)).value, kit);
}

TEST(DrumGizmo, ImportNamesWhatItLeavesOutThinsLargePadsAndRefusesWhatCannotPlay) {
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += hit("h" + std::to_string(i), "power='" + std::to_string(i) + "'", "hh/c1.wav",
                    {"AmbL", "AmbR", "Kick"});
    const fs::path folder = writeKit(
        "<instrument name='Absent' file='absent.xml'/><instrument name='Ride' file='extra.xml'>"
        "<channelmap in='AmbL' out='Room'/></instrument><instrument name='Crash' "
        "file='extra.xml'/>",
        instrumentFile("version='2.0'", many));
    const auto result = kitImport::importFile(folder);
    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.summary.leftOut,
              (std::vector<std::string>{"Absent (cannot read absent.xml)",
                                        "Ride (channel Room is not the kit's)"}));
    // A pad keeps as many as it holds, from the softest to the hardest.
    const auto& crash = result.kit->findPad(PadRole::crash1)->samples;
    ASSERT_EQ(crash.size(), selection::maxSamplesPerPad);
    EXPECT_EQ(crash.front().power, 0.0f);
    EXPECT_EQ(crash.back().power, 299.0f);
    for (std::size_t i = 1; i < crash.size(); ++i)
        EXPECT_LE(crash[i].power - crash[i - 1].power, 2.0f) << i;
    EXPECT_EQ(result.summary.droppedSamples, 300 - int(selection::maxSamplesPerPad));

    std::string channels = "<channel name='AmbL'/><channel name='AmbR'/><channel name='Kick'/>";
    const auto kitOf = [&](const std::string& name) {
        return "<drumkit><channels>" + channels + "</channels><instruments><instrument name='" +
               name + "' file='kick/kick.xml'><channelmap in='KickMic' out='Kick'/></instrument>" +
               "</instruments></drumkit>";
    };
    const std::string cowbells = kitOf("Cowbell");
    for (int i = 0; i < 30; ++i)
        channels += "<channel name='C" + std::to_string(i) + "'/>";
    const std::vector<std::pair<std::string, std::string>> kits{
        {"<drumkit><channels>", "drumkit.xml is not valid XML"},
        {cowbells, "no playable pad (left out: Cowbell;"},
        {kitOf("Kick"), "the kit has 33 microphones; at most 32 can play"},
    };
    for (const auto& [xml, reason] : kits) {
        test::writeText(folder / "drumkit.xml", xml);
        const auto refused = kitImport::importFile(folder);
        EXPECT_FALSE(refused) << xml;
        EXPECT_EQ(refused.error.rfind(reason, 0), 0u) << refused.error;
    }
}

TEST(DrumGizmo, MicrophonesArePlacedAsTheDrumsStandFromTheSeat) {
    const std::vector<std::string> names{"OHLeft", "OH R",  "AmbL", "Room 2", "Hihat",
                                         "Snare",  "Kdrum", "Tom1", "Tom2",   "FTom1",
                                         "RideR",  "Crash", "Click"};
    const std::vector<float> expected{-0.7f, 0.7f, -0.9f, 0.9f, -0.5f, -0.15f, 0.0f,
                                      -0.2f, 0.2f, 0.5f,  0.7f, -0.6f, 0.0f};
    const std::vector<float> pans = defaultMicrophonePans(names);
    ASSERT_EQ(pans.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_NEAR(pans[i], expected[i], 1e-6) << names[i];
}
