#include "model/Documents.h"
#include "model/SampleSelection.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tamborel;
using namespace tamborel::documents;

namespace {

const char* validPad =
    R"({"muted":false,"notes":[36],"pan":0,"role":"kick","soloed":false,"volume":1})";

std::string kitWithPad(const std::string& pad) {
    return R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","masterVolume":1,"name":"K","pads":[)" +
           pad + "]}";
}

DrumKit richKit() {
    DrumKit kit("Prog Rock (Lanternfield style)");
    kit.masterVolume = 0.95f;
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath("/home/me/My Samples/Kick 1.wav");
    kit.findPad(PadRole::snare)->sampleURL =
        FileUrl::fromPath("/home/me/Échantillons/caisse claire.wav");
    DrumPad& snare = *kit.findPad(PadRole::snare);
    snare.samples = {{FileUrl::fromPath("/s/snare soft.wav"), 1, 60, 1.5f},
                     {*snare.sampleURL, 61, 127, 1.0f},
                     {FileUrl::fromPath("/s/snare hard 2.wav"), 61, 127, 0.9f}};
    snare.takeOrder = TakeOrder::random;
    kit.findPad(PadRole::tom1)->volume = 1.15f;
    kit.findPad(PadRole::tom1)->pan = -0.3f;
    kit.findPad(PadRole::ride)->pan = 0.4f;
    kit.findPad(PadRole::crash2)->muted = true;
    kit.findPad(PadRole::rideBell)->soloed = true;
    kit.findPad(PadRole::hhOpen)->notes = {46, 26, -3, 1000};
    std::swap(kit.pads[0], kit.pads[5]);
    return kit;
}

} // namespace

TEST(KitDocument, RoundTripKeepsEveryValue) {
    const DrumKit kit = richKit();
    const auto text = writeKit(kit);
    ASSERT_TRUE(text);
    const auto read = readKit(*text);
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(*read.value, kit);
    EXPECT_EQ(read.value->pads[0].role, PadRole::tom3);
    EXPECT_EQ(read.value->pad(PadRole::snare)->sampleURL->toPath(),
              std::filesystem::path("/home/me/Échantillons/caisse claire.wav"));
}

TEST(KitDocument, MicrophonesRoundTripWhileKitsWithoutThemKeepTheirBytes) {
    DrumKit kit = richKit();
    const std::string plain = *writeKit(kit);
    for (const char* key : {"microphones", "bleed", "audienceView", "power", "normalized",
                            "ownMicrophones", "chokes"})
        EXPECT_EQ(plain.find(key), std::string::npos) << key;
    EXPECT_EQ(*writeKit(*readKit(plain).value), plain);

    kit.microphones = {{"OH L", 0.5f, -0.7f, true, false, true, 3}, {"Kick"}};
    kit.bleed = 0.25f;
    kit.audienceView = true;
    DrumPad& snare = *kit.findPad(PadRole::snare);
    snare.takeOrder = TakeOrder::power;
    snare.ownMicrophones = {1};
    snare.samples[0].microphones = {0, -1, 1};
    snare.samples[0].power = 0.75f;
    snare.samples[0].normalized = true;
    snare.chokes = {{PadRole::kick, 0.25f}, {PadRole::snare, 0.0f}};
    const auto read = readKit(*writeKit(kit));
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(*read.value, kit);
    // The writer refuses what the reader would: a microphone that is not the kit's.
    snare.ownMicrophones = {2};
    EXPECT_FALSE(writeKit(kit));
    snare.ownMicrophones = {1};
    snare.chokes.push_back({PadRole::kick, 0.5f}); // a role twice
    EXPECT_FALSE(writeKit(kit));
}

TEST(KitDocument, WriterProducesSortedPrettyTextWithShortFloatsAndEscapedSolidus) {
    DrumKit kit("A/B");
    kit.masterVolume = 1.1f;
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath("/s/Kick 1.wav");
    const std::string text = *writeKit(kit);

    EXPECT_NE(text.find("\"masterVolume\": 1.1,"), std::string::npos) << text;
    EXPECT_EQ(text.find("1.100000"), std::string::npos);
    EXPECT_NE(text.find(R"("sampleURL": "file:\/\/\/s\/Kick%201.wav")"), std::string::npos);
    EXPECT_NE(text.find(R"("name": "A\/B")"), std::string::npos);
    EXPECT_NE(text.find("\n  \"id\": \"" + kit.id.toString() + "\""), std::string::npos);
    // Upper-case UUID text.
    EXPECT_EQ(kit.id.toString().find_first_of("abcdef"), std::string::npos);

    // Keys in ascending order, at both levels.
    const auto at = [&](const char* key) { return text.find(std::string("\"") + key + "\""); };
    for (const auto& keys : {std::vector{"id", "masterVolume", "name", "pads"},
                             {"muted", "notes", "pan", "role", "sampleURL", "soloed", "volume"}})
        for (std::size_t i = 1; i < keys.size(); ++i)
            EXPECT_LT(at(keys[i - 1]), at(keys[i])) << keys[i];
}

TEST(KitDocument, ReaderAcceptsWhatTheRulesAllow) {
    // A pad without a sample has no URL member; null reads as no sample.
    EXPECT_EQ(writeKit(DrumKit("New"))->find("sampleURL"), std::string::npos);
    std::string withNull = validPad;
    withNull.insert(withNull.size() - 1, R"(,"sampleURL":null)");
    auto read = readKit(kitWithPad(withNull));
    ASSERT_TRUE(read) << read.error;
    EXPECT_FALSE(read.value->pads[0].sampleURL);

    // Lower-case id, empty name, no pads, an unknown extra member, the unescaped solidus.
    read = readKit(R"({"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","masterVolume":2,"name":"",
                            "pads":[],"colour":"red"})");
    ASSERT_TRUE(read) << read.error;
    EXPECT_TRUE(read.value->pads.empty());
    EXPECT_EQ(read.value->id.toString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");

    std::string pad = validPad;
    pad.insert(pad.size() - 1, R"(,"sampleURL":"file:///a/b.wav")");
    read = readKit(kitWithPad(pad + "," + pad));
    ASSERT_TRUE(read) << read.error;
    ASSERT_EQ(read.value->pads.size(), 2u);
    EXPECT_EQ(read.value->pads[1].sampleURL->text, "file:///a/b.wav");

    // Whole-valued numbers written with a fraction are still integers.
    read = readKit(kitWithPad(
        R"({"muted":true,"notes":[36.0],"pan":-1,"role":"kick","soloed":true,"volume":1.2})"));
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(read.value->pads[0].notes, (std::vector<std::int64_t>{36}));
    EXPECT_EQ(read.value->pads[0].volume, 1.2f);
}

TEST(KitDocument, ReaderRejectsTheWholeKitForOneBadMemberAndSaysWhere) {
    struct Case {
        std::string text;
        std::string reason;
    };
    const std::string pad = validPad;
    const std::string sample = R"({"gain":1,"high":40,"low":1,"url":"file:///a"})";
    std::string tooManySamples = sample;
    for (std::size_t i = 0; i < selection::maxSamplesPerPad; ++i)
        tooManySamples += "," + sample;
    auto edit = [](std::string s, const std::string& from, const std::string& to) {
        return s.replace(s.find(from), from.size(), to);
    };
    auto replace = [&](const std::string& from, const std::string& to) {
        return kitWithPad(pad + "," + edit(pad, from, to));
    };
    const std::string mic =
        R"({"inverted":false,"muted":false,"name":"OH","output":0,"pan":0,"soloed":false,"volume":1})";
    std::string tooManyMicrophones = mic;
    for (std::size_t i = 0; i < maxMicrophones; ++i)
        tooManyMicrophones += "," + mic;
    auto withMicrophone = [&](const std::string& microphones, const std::string& kit) {
        return edit(kit, "{", R"({"microphones":[)" + microphones + "],");
    };
    auto withSamples = [&](const std::string& samples) {
        return replace(R"("role":"kick")",
                       R"("role":"kick","sampleURL":"file:///a","samples":[)" + samples + "]");
    };
    const std::vector<Case> cases = {
        {replace(R"("role":"kick")", R"("role":"hihat")"), "pads[1].role"},
        {replace(R"("pan":0,)", ""), "pads[1].pan: missing"},
        {replace(R"("notes":[36])", R"("notes":[36.5])"), "pads[1].notes[0]"},
        {replace(R"("muted":false)", R"("muted":0)"), "pads[1].muted"},
        {replace(R"("volume":1)", R"("volume":1e39)"), "pads[1].volume"},
        {replace(R"("role":"kick")", R"("role":"kick","sampleURL":"file:///a b.wav")"),
         "pads[1].sampleURL"},
        {replace(R"("role":"kick")", R"("role":"kick","sampleURL":"")"), "pads[1].sampleURL"},
        {replace(R"("role":"kick")", R"("role":"kick","takeOrder":"shuffle")"),
         "pads[1].takeOrder"},
        {replace(R"("role":"kick")", R"("role":"kick","samples":[])"), "pads[1].samples"},
        {replace(R"("role":"kick")", R"("role":"kick","samples":[)" + sample + "]"),
         "pads[1].sampleURL: not one of"},
        {withSamples(edit(sample, R"("high":40)", R"("high":0)")), "pads[1].samples[0].high"},
        {withSamples(edit(sample, R"("low":1)", R"("low":41)")),
         "pads[1].samples[0].low: above high"},
        {withSamples(edit(sample, R"("gain":1)", R"("gain":-1)")), "pads[1].samples[0].gain"},
        {withSamples(tooManySamples), "pads[1].samples: not an array of 1 to 255"},
        {withSamples(edit(sample, "{", R"({"power":-1,)")), "pads[1].samples[0].power"},
        {withSamples(edit(sample, "{", R"({"microphones":[0],)")),
         "pads[1].samples[0].microphones: the kit has no microphones"},
        {withMicrophone(mic, withSamples(edit(sample, "{", R"({"microphones":[-1,1],)"))),
         "pads[1].samples[0].microphones[1]: not an integer from -1 to 0"},
        {withMicrophone(mic, replace(R"("pan":0,)", R"("ownMicrophones":[-1],"pan":0,)")),
         "pads[1].ownMicrophones[0]"},
        {replace(R"("pan":0,)", R"("chokes":[{"role":"ride","seconds":11}],"pan":0,)"),
         "pads[1].chokes[0].seconds: not from 0 to 10"},
        {replace(R"("pan":0,)", R"("chokes":[{"role":"gong","seconds":0}],"pan":0,)"),
         "pads[1].chokes[0].role"},
        {replace(R"("pan":0,)",
                 R"("chokes":[{"role":"ride","seconds":0},{"role":"ride","seconds":1}],"pan":0,)"),
         "pads[1].chokes[1].role: \"ride\" named twice"},
        {withMicrophone(edit(mic, R"("pan":0)", R"("pan":2)"), kitWithPad(pad)),
         "microphones[0].pan"},
        {withMicrophone(edit(mic, R"("output":0)", R"("output":33)"), kitWithPad(pad)),
         "microphones[0].output"},
        {withMicrophone(mic, edit(kitWithPad(pad), "{", R"({"bleed":1.5,)")), "bleed: not from 0"},
        {edit(kitWithPad(pad), "{", R"({"bleed":0.5,)"), "bleed: only in a kit with microphones"},
        {withMicrophone(tooManyMicrophones, kitWithPad(pad)),
         "microphones: not an array of 1 to 32"},
        {kitWithPad("[]"), "pads[0]: not an object"},
        {R"({"id":"not-a-uuid","masterVolume":1,"name":"K","pads":[]})", "id"},
        {R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","name":"K","pads":[]})", "masterVolume"},
        {R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","masterVolume":1,"name":"K"})", "pads"},
        {R"([1,2])", "not an object"},
        {"{\"id\":", "not JSON"},
        {"", "not JSON"},
    };
    for (const Case& c : cases) {
        const auto read = readKit(c.text);
        EXPECT_FALSE(read) << c.text;
        EXPECT_NE(read.error.find(c.reason), std::string::npos) << c.text << " -> " << read.error;
    }
    // Hostile documents too big for the documents fuzz target, refused without exhausting the
    // reader.
    EXPECT_FALSE(readKit(std::string(100000, '[') + std::string(100000, ']')));
    EXPECT_FALSE(readKit(std::string(maxDocumentBytes + 1, ' ')));
}

TEST(SettingsDocument, RoundTripAndFallbackRules) {
    AudioSettings settings;
    settings.outputDeviceUID = "alsa:hw:1";
    settings.bufferFrames = 4294967295u;
    settings.sampleRate = 44100.0;
    settings.velocity = {VelocityCurve::fixed, 20, 90};
    settings.pedalController = 11;
    settings.pedalRange = PedalRange{0, 127};
    settings.separateOutputs = true;
    settings.outputsBy = OutputsBy::mic;
    settings.wholeKitMiB = 0; // every kit streamed
    settings.programKits = {{1, FileUrl::fromPath("/kits/Funk.json")},
                            {128, FileUrl::fromPath("/kits/Jazz Brushes.json")}};
    settings.metronome = {true, 87.5, 7, 8, Subdivision::triplets, 0.3f, ClickOutput::own};
    settings.songLevel = 0.35f;
    const auto read = readSettings(*writeSettings(settings));
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(*read.value, settings);

    // Settings left at their defaults are written exactly as before they existed.
    EXPECT_EQ(*writeSettings(AudioSettings::defaults()),
              "{\n  \"bufferFrames\": 256,\n  \"sampleRate\": 48000.0\n}\n");
    EXPECT_EQ(readSettings(R"({"bufferFrames":128,"sampleRate":48000})").value->bufferFrames, 128u);
    const std::string older =
        "{\n  \"bufferFrames\": 128,\n  \"sampleRate\": 48000.0,\n  \"separateOutputs\": true\n}\n";
    EXPECT_EQ(*writeSettings(*readSettings(older).value), older);
    EXPECT_FALSE(readSettings(R"({"bufferFrames":128,"outputDeviceUID":null,"sampleRate":48000})")
                     .value->outputDeviceUID);

    for (const char* bad :
         {R"({"sampleRate":48000})",
          R"({"bufferFrames":-1,"sampleRate":48000})",
          R"({"bufferFrames":4294967296,"sampleRate":48000})",
          R"({"bufferFrames":256.5,"sampleRate":48000})",
          R"({"bufferFrames":256})",
          R"({"bufferFrames":256,"sampleRate":48000,"outputDeviceUID":5})",
          R"({"bufferFrames":256,"sampleRate":48000,"velocityCurve":"loud"})",
          R"({"bufferFrames":256,"sampleRate":48000,"lowestVelocity":0})",
          R"({"bufferFrames":256,"sampleRate":48000,"pedalController":128})",
          R"({"bufferFrames":256,"sampleRate":48000,"pedalClosed":90})",
          R"({"bufferFrames":256,"sampleRate":48000,"pedalClosed":90,"pedalOpen":85})",
          R"({"bufferFrames":256,"sampleRate":48000,"separateOutputs":"yes"})",
          R"({"bufferFrames":256,"sampleRate":48000,"outputsBy":"pad"})",
          R"({"bufferFrames":256,"sampleRate":48000,"wholeKitMiB":-64})",
          R"({"bufferFrames":256,"sampleRate":48000,"wholeKitMiB":1048577})",
          R"({"bufferFrames":256,"sampleRate":48000,"programKits":[]})",
          R"({"bufferFrames":256,"sampleRate":48000,"programKits":[{"program":0,"url":"a"}]})",
          R"({"bufferFrames":256,"sampleRate":48000,"programKits":[{"program":2,"url":"a"},)"
          R"({"program":2,"url":"b"}]})",
          R"({"bufferFrames":256,"sampleRate":48000,"metronome":{"on":true}})",
          R"({"bufferFrames":256,"sampleRate":48000,"metronome":{"beatsPerBar":4,"bpm":301,)"
          R"("level":0.5,"noteValue":4,"on":true,"output":"master","subdivision":"none"}})",
          R"({"bufferFrames":256,"sampleRate":48000,"metronome":{"beatsPerBar":4,"bpm":120,)"
          R"("level":0.5,"noteValue":3,"on":true,"output":"master","subdivision":"none"}})",
          R"({"bufferFrames":256,"sampleRate":48000,"songLevel":1.5})"})
        EXPECT_FALSE(readSettings(bad)) << bad;
}

TEST(FileUrlText, PathsBecomePercentEncodedFileUrlsAndBack) {
    const FileUrl url = FileUrl::fromPath("/tmp/Kick 1 #2?.wav");
    EXPECT_EQ(url.text, "file:///tmp/Kick%201%20%232%3F.wav");
    EXPECT_EQ(url.toPath(), std::filesystem::path("/tmp/Kick 1 #2?.wav"));
    EXPECT_EQ(url.fileName(), "Kick 1 #2?.wav");
    EXPECT_EQ(FileUrl::parse("file://localhost/a/b%20c.wav")->toPath(),
              std::filesystem::path("/a/b c.wav"));
    EXPECT_FALSE(FileUrl::parse("https://example.org/a.wav")->toPath());
    EXPECT_EQ(FileUrl::parse("https://example.org/My%20Kick.wav")->fileName(), "My Kick.wav");
    EXPECT_FALSE(FileUrl::parse("file:///a/%00b.wav")->toPath());
}
