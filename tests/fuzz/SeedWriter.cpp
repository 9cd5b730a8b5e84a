// Writes a starting corpus for each fuzz target: documents from the program's own writer,
// short sample files in every format libsndfile writes, MIDI files and MIDI packets. Seeds
// close to valid input get the fuzzers past the first checks quickly.
//
//     tamborel-fuzz-seeds OUTPUT_FOLDER

#include "SoundFiles.h"
#include "SoundFontFiles.h"
#include "model/Documents.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tamborel;
using namespace std::string_literals;

namespace {

bool ok = true;

void write(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    ok = static_cast<bool>(out << bytes) && ok;
}

// Kits and settings from the program's own writer: a plain kit, one with every member set, and
// one at the edges of what the document holds.
void writeDocuments(const fs::path& folder) {
    DrumKit full("Live/Studio \"quoted\" \u00e9");
    for (DrumPad& pad : full.pads) {
        pad.sampleURL = FileUrl::fromPath("/samples/" + std::string(rawValue(pad.role)) + " 1.wav");
        pad.pan = -0.5f;
        pad.notes = {200, -1};
        pad.muted = pad.role == PadRole::snare;
    }
    full.pads[1].samples = {{*full.pads[1].sampleURL, 1, 60, 1.5f}, {*full.pads[1].sampleURL}};
    full.microphones = {{"OH L", 0.5f, -0.7f, true, false, true, 2}, {"Kick"}};
    full.bleed = 0.5f;
    full.pads[1].samples[0].microphones = {0, -1, 1};
    full.pads[1].samples[1].power = 0.5f;
    full.pads[1].ownMicrophones = {1};
    full.pads[1].takeOrder = TakeOrder::power;
    DrumKit extremes("");
    extremes.pads.resize(2);
    extremes.masterVolume = std::numeric_limits<float>::max();
    extremes.pads[0].volume = std::numeric_limits<float>::denorm_min();
    extremes.pads[1].notes = {std::numeric_limits<std::int64_t>::min(),
                              std::numeric_limits<std::int64_t>::max()};
    AudioSettings withDevice = AudioSettings::defaults();
    withDevice.outputDeviceUID = "hw:CARD=PCH,DEV=0";
    withDevice.bufferFrames = 4294967295u;
    write(folder / "settings.json", *documents::writeSettings(withDevice));
    int index = 0;
    for (const DrumKit& kit : {DrumKit("Seed Kit"), full, extremes}) {
        const auto text = documents::writeKit(kit);
        ok = ok && text;
        write(folder / ("kit-" + std::to_string(index++) + ".json"), text.value_or(""));
    }
}

// A few frames in each container and encoding the loader meets most.
void writeSamples(const fs::path& folder) {
    struct Kind {
        const char* name;
        int format, channels, rate;
    };
    for (const Kind& kind : {Kind{"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000},
                             {"pcm24.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 2, 96000},
                             {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100},
                             {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050},
                             {"float.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 1, 32000}}) {
        std::vector<float> frames(static_cast<std::size_t>(48 * kind.channels));
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = 0.5f * static_cast<float>(std::sin(0.3 * static_cast<double>(i)));
        ok = audio::testing::writeWithSndfile(folder / kind.name, kind.format, kind.rate,
                                              kind.channels, frames) &&
             ok;
    }
}

void writeMidi(const fs::path& files, const fs::path& packets) {
    using namespace test::smf;
    // Tempo, a kick, running status, a pedal controller, a note-off as velocity 0, sysex.
    const std::string groove = "\x00\xFF\x51\x03\x07\xA1\x20\x00\x99\x24\x64\x60\x26\x5A\x83\x60"
                               "\xB9\x04\x7F\x00\x99\x24\x00\x81\x00\xF0\x03\x43\x12\xF7\x00\xC9"
                               "\x05"s;
    const std::string tempoChange = "\x00\x99\x2A\x50\x8F\x00\xFF\x51\x03\x03\x0D\x40\x00\x99"
                                    "\x2E\x7F\x40\x89\x2E\x00"s;
    write(files / "format0.mid", file(0, {groove}, 480));
    write(files / "format1.mid", file(1, {tempoChange, groove}, 96));
    write(files / "smpte.mid", file(1, {groove}, 0xE728));
    int index = 0;
    for (const std::string& packet :
         {"\x99\x24\x64"s, "\x99\x24\x64\x26\x5A\x2A\x00"s, "\xB9\x04\x7F\x99\x2E\x7F\xB9\x04\x00"s,
          "\xF0\x41\x10\xF7\x90\x3C\x40"s, "\xF8\x99\xFE\x28\xF8\x40"s,
          "\xC0\x05\xE0\x00\x40\x89\x24\x40"s, "\x99\x24"s})
        write(packets / ("packet-" + std::to_string(index++)), packet);
}

void writeKits(const fs::path& hydrogen, const fs::path& sfz) {
    const std::string layer = "<layer><filename>etc/hostname</filename><min>0.2</min>"
                              "<max>0.7</max><gain>1.5</gain></layer>";
    const std::string instrument = "<instrument><name>Kick</name><midiOutNote>36</midiOutNote>"
                                   "<volume>0.8</volume><pan_L>1</pan_L><pan_R>0.4</pan_R>";
    write(hydrogen / "old", "<drumkit_info><name>K</name><instrumentList>" + instrument + layer +
                                layer + "</instrument></instrumentList></drumkit_info>");
    write(hydrogen / "components",
          "<?xml version=\"1.0\"?><drumkit_info><name>K</name><instrumentList>" + instrument +
              "<instrumentComponent>" + layer +
              "</instrumentComponent></instrument><instrument><name>Hi-Hat "
              "Semiopen</name><filename>etc/passwd</filename></instrument>"
              "</instrumentList></drumkit_info>");
    write(sfz / "kit", "<control> default_path=etc/ note_offset=1\n#define $K c2\n"
                       "<global> volume=-3 tune=4\n<group> key=$K seq_length=2\n"
                       "<region> sample=hostname seq_position=2 hivel=60\n"
                       "<region> sample=passwd lovel=61 lorand=0.5\n"
                       "<group> key=42 group=1 off_by=2\n"
                       "<region> locc4=0 hicc4=40 sample=hostname /* x */\n"
                       "<region> trigger=release sample=hosts // y\n");
    write(sfz / "include", "#include \"etc/hostname\"\n<region> key=f#3\n");
    write(sfz / "controllers",
          "#define $M 30 #define $H 64\n<control> label_cc$M=Room set_hdcc$M=0.1 set_cc100=0\n"
          "<curve> curve_index=7 v000=0 v064=0.2 v127=1\n<global> sw_lokey=24 sw_default=25 "
          "group_volume=-7 amp_velcurve_64=0.5 amp_veltrack=50\n<group> key=42 sw_last=25\n"
          "<region> sample=hostname hicc$H=63 amplitude_oncc$M=100 amplitude_curvecc$M=7\n"
          "<region> sample=hosts locc$H=64 pan=-100 pan_oncc21=200 lorand=0.45 hirand=60\n"
          "<region> key=49 sample=passwd off_by=5 off_mode=time off_time=0.2 offset=9 end=-1\n"
          "<region> key=57 sample=*silence group=5 locc100=0 hicc100=0\n");
}

// A drum preset and a melodic one; one instrument with a global zone, velocity layers, a
// tuned, panned and exclusive zone; the same with 24-bit data.
void writeSoundFonts(const fs::path& folder) {
    namespace sf2 = test::sf2;
    sf2::Bank bank;
    bank.samples = {{"Kick", std::vector<std::int16_t>(64, 9000)},
                    {"Hat", std::vector<std::int16_t>(48, -7000), 22050, 62}};
    bank.instruments = {
        {"Drums",
         {{sf2::gen(sf2::attenuation, 30)},
          {sf2::range(sf2::keys, 36, 36), sf2::range(sf2::velocities, 0, 80),
           sf2::gen(sf2::sampleId, 0)},
          {sf2::range(sf2::keys, 42, 46), sf2::gen(sf2::exclusive, 1), sf2::gen(sf2::pan, 250),
           sf2::gen(sf2::coarse, -3), sf2::gen(sf2::sampleId, 1)}}}};
    bank.presets = {{"Standard", {{sf2::gen(sf2::instrument, 0)}}},
                    {"Lead", {{sf2::gen(sf2::instrument, 0)}}, 80, 0}};
    write(folder / "drums", sf2::bytes(bank));
    bank.low24 = true;
    write(folder / "drums24", sf2::bytes(bank));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tamborel-fuzz-seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const fs::path root(argv[1]);
    for (const char* target : {"documents", "sample_loader", "midi_file", "midi_packet",
                               "hydrogen_kit", "sfz_kit", "soundfont_kit"})
        fs::create_directories(root / target);
    writeDocuments(root / "documents");
    writeSamples(root / "sample_loader");
    writeMidi(root / "midi_file", root / "midi_packet");
    writeKits(root / "hydrogen_kit", root / "sfz_kit");
    writeSoundFonts(root / "soundfont_kit");
    if (!ok)
        std::cerr << "tamborel-fuzz-seeds: could not write every seed\n";
    return ok ? 0 : 1;
}
