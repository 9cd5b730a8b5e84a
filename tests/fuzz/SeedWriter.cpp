// Writes a starting corpus for each fuzz target: documents from the program's own writer,
// short sample files in every format libsndfile writes, MIDI files and MIDI packets. Seeds
// close to valid input get the fuzzers past the first checks quickly.
//
//     tamborel-fuzz-seeds OUTPUT_FOLDER

#include "SoundFiles.h"
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

namespace {

using Bytes = std::vector<std::uint8_t>;

bool writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

bool writeBytes(const fs::path& file, const Bytes& bytes) {
    return writeBytes(file, std::string(bytes.begin(), bytes.end()));
}

// Kits and settings from the program's own writer: a plain kit, one with every member set, and
// one at the edges of what the document holds.
bool writeDocuments(const fs::path& folder) {
    DrumKit plain("Seed Kit");
    DrumKit full("Live/Studio \"quoted\" \u00e9");
    for (DrumPad& pad : full.pads) {
        pad.sampleURL = FileUrl::fromPath("/samples/" + std::string(rawValue(pad.role)) + " 1.wav");
        pad.pan = -0.5f;
        pad.notes = {200, -1};
        pad.muted = pad.role == PadRole::snare;
    }
    full.pads[1].samples = {{*full.pads[1].sampleURL, 1, 60, 1.5f}, {*full.pads[1].sampleURL}};
    DrumKit extremes("");
    extremes.pads.resize(2);
    extremes.masterVolume = std::numeric_limits<float>::max();
    extremes.pads[0].volume = std::numeric_limits<float>::denorm_min();
    extremes.pads[1].notes = {std::numeric_limits<std::int64_t>::min(),
                              std::numeric_limits<std::int64_t>::max()};
    AudioSettings withDevice = AudioSettings::defaults();
    withDevice.outputDeviceUID = "hw:CARD=PCH,DEV=0";
    withDevice.bufferFrames = 4294967295u;

    bool ok = writeBytes(folder / "settings.json", *documents::writeSettings(withDevice));
    int index = 0;
    for (const DrumKit* kit : {&plain, &full, &extremes}) {
        const auto text = documents::writeKit(*kit);
        ok = ok && text && writeBytes(folder / ("kit-" + std::to_string(index++) + ".json"), *text);
    }
    return ok;
}

// A few frames in each container and encoding the loader meets most.
bool writeSamples(const fs::path& folder) {
    struct Kind {
        const char* name;
        int format, channels, rate;
    };
    const Kind kinds[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000},
        {"pcm24.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 2, 96000},
        {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 44100},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050},
        {"float.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 1, 32000},
    };
    bool ok = true;
    for (const Kind& kind : kinds) {
        std::vector<float> frames(static_cast<std::size_t>(48 * kind.channels));
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = 0.5f * static_cast<float>(std::sin(0.3 * static_cast<double>(i)));
        ok = audio::testing::writeWithSndfile(folder / kind.name, kind.format, kind.rate,
                                              kind.channels, frames) &&
             ok;
    }
    return ok;
}

bool writeMidiFiles(const fs::path& folder) {
    using namespace test::smf;
    // Tempo, a kick, running status, a pedal controller, a note-off as velocity 0, sysex.
    const Bytes groove{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x99, 36,   100,
                       0x60, 38,   90,   0x83, 0x60, 0xB9, 0x04, 0x7F, 0x00, 0x99, 36,
                       0x00, 0x81, 0x00, 0xF0, 0x03, 0x43, 0x12, 0xF7, 0x00, 0xC9, 0x05};
    const Bytes tempoChange{0x00, 0x99, 42,   80,   0x8F, 0x00, 0xFF, 0x51, 0x03, 0x03,
                            0x0D, 0x40, 0x00, 0x99, 46,   127,  0x40, 0x89, 46,   0};
    const std::string a(groove.begin(), groove.end()), b(tempoChange.begin(), tempoChange.end());
    return writeBytes(folder / "format0.mid", file(0, {a}, 480)) &&
           writeBytes(folder / "format1.mid", file(1, {b, a}, 96)) &&
           writeBytes(folder / "smpte.mid", file(1, {a}, 0xE728));
}

bool writePackets(const fs::path& folder) {
    const std::vector<Bytes> packets{
        {0x99, 36, 100},
        {0x99, 36, 100, 38, 90, 42, 0},
        {0xB9, 4, 127, 0x99, 46, 127, 0xB9, 4, 0},
        {0xF0, 0x41, 0x10, 0xF7, 0x90, 60, 64},
        {0xF8, 0x99, 0xFE, 40, 0xF8, 64},
        {0xC0, 5, 0xE0, 0, 64, 0x89, 36, 0x40},
        {0x99, 36},
    };
    bool ok = true;
    for (std::size_t i = 0; i < packets.size(); ++i)
        ok = writeBytes(folder / ("packet-" + std::to_string(i)), packets[i]) && ok;
    return ok;
}

bool writeKits(const fs::path& hydrogen, const fs::path& sfz) {
    const std::string layer = "<layer><filename>etc/hostname</filename><min>0.2</min>"
                              "<max>0.7</max><gain>1.5</gain></layer>";
    const std::string instrument = "<instrument><name>Kick</name><midiOutNote>36</midiOutNote>"
                                   "<volume>0.8</volume><pan_L>1</pan_L><pan_R>0.4</pan_R>";
    bool ok = writeBytes(hydrogen / "old", "<drumkit_info><name>K</name><instrumentList>" +
                                               instrument + layer + layer +
                                               "</instrument></instrumentList></drumkit_info>");
    ok = writeBytes(hydrogen / "components",
                    "<?xml version=\"1.0\"?><drumkit_info><name>K</name><instrumentList>" +
                        instrument + "<instrumentComponent>" + layer +
                        "</instrumentComponent></instrument><instrument><name>Hi-Hat "
                        "Semiopen</name><filename>etc/passwd</filename></instrument>"
                        "</instrumentList></drumkit_info>") &&
         ok;
    ok = writeBytes(sfz / "kit", "<control> default_path=etc/ note_offset=1\n#define $K c2\n"
                                 "<global> volume=-3 tune=4\n<group> key=$K seq_length=2\n"
                                 "<region> sample=hostname seq_position=2 hivel=60\n"
                                 "<region> sample=passwd lovel=61 lorand=0.5\n"
                                 "<group> key=42 group=1 off_by=2\n"
                                 "<region> locc4=0 hicc4=40 sample=hostname /* x */\n"
                                 "<region> trigger=release sample=hosts // y\n") &&
         ok;
    return writeBytes(sfz / "include", "#include \"etc/hostname\"\n<region> key=f#3\n") && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tamborel-fuzz-seeds OUTPUT_FOLDER\n";
        return 2;
    }
    const fs::path root(argv[1]);
    for (const char* target :
         {"documents", "sample_loader", "midi_file", "midi_packet", "hydrogen_kit", "sfz_kit"})
        fs::create_directories(root / target);
    const bool ok = writeDocuments(root / "documents") && writeSamples(root / "sample_loader") &&
                    writeMidiFiles(root / "midi_file") && writePackets(root / "midi_packet") &&
                    writeKits(root / "hydrogen_kit", root / "sfz_kit");
    if (!ok)
        std::cerr << "tamborel-fuzz-seeds: could not write every seed\n";
    return ok ? 0 : 1;
}
