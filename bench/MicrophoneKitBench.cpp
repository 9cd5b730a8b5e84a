// A kit shaped like a large DrumGizmo kit, and the time it takes to play: 13 microphones,
// 48 kHz, 24-bit, 9 instruments of 24 hits of 2 s, one 13-channel file a hit (about 0.8 GB),
// and a 60-second groove beside it. Generated into the folder on first use and kept:
//     mics_bench FOLDER
// writes FOLDER/kit (drumkit.xml, instruments/, samples/, midimap.xml) and FOLDER/groove.mid,
// then imports the kit as the application does and loads it through the loader with the
// application's stream settings, printing the time until every pad plays, until the kit is
// whole, and the peak resident memory. bench/drumgizmo-compare.sh renders the groove through
// tamborel-render and through DrumGizmo's own command line, side by side.

#include "ResidentMemory.h"
#include "audio/AudioEngine.h"
#include "audio/KitLoader.h"
#include "model/import/KitImport.h"

#include "SoundFiles.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tamborel;
using Clock = std::chrono::steady_clock;

constexpr int rate = 48000;
constexpr int hits = 24;
const std::vector<std::string> microphones{
    "KDrumIn", "KDrumOut", "SnareTop", "SnareBottom", "Hihat", "Tom1", "Tom2",
    "FTom",    "Ride",     "OHLeft",   "OHRight",     "AmbL",  "AmbR"};
struct Drum {
    const char* name;
    int note;
    int own; // its close microphone
    double pitch;
};
const std::vector<Drum> drums{
    {"Kick", 36, 0, 55},     {"Snare", 38, 2, 190}, {"HihatClosed", 42, 4, 0},
    {"HihatOpen", 46, 4, 0}, {"Tom1", 48, 5, 140},  {"Tom2", 45, 6, 110},
    {"FTom", 41, 7, 80},     {"Ride", 51, 8, 0},    {"CrashL", 49, 9, 0}};

using bench::peakResidentMiB;

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// One hit on every microphone: the drum's tone or noise, loudest on its own microphone,
// quieter and later on the others.
void writeHit(const fs::path& file, const Drum& drum, double force, std::minstd_rand& random) {
    const int frames = 2 * rate;
    const auto channels = microphones.size();
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> samples(static_cast<std::size_t>(frames) * channels);
    for (int f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const double decay = std::exp(-(drum.pitch > 0 ? 6.0 : 2.0) * t) * force;
        const double sound = drum.pitch > 0 ? std::sin(2 * M_PI * drum.pitch * t) : noise(random);
        for (std::size_t c = 0; c < channels; ++c) {
            const double level = static_cast<int>(c) == drum.own ? 0.7 : c >= 9 ? 0.3 : 0.08;
            samples[f * channels + c] = static_cast<float>(level * decay * sound);
        }
    }
    audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_24, rate,
                                     static_cast<int>(channels), samples);
}

void generateKit(const fs::path& kit) {
    if (fs::exists(kit / "drumkit.xml"))
        return;
    fs::create_directories(kit / "instruments");
    fs::create_directories(kit / "samples");
    std::minstd_rand random(3);
    std::string channels, instruments, midimap;
    for (const std::string& name : microphones)
        channels += "<channel name=\"" + name + "\"/>";
    for (const Drum& drum : drums) {
        std::string samples;
        for (int h = 0; h < hits; ++h) {
            const std::string name = std::string(drum.name) + "-" + std::to_string(h + 1);
            const double force = 0.1 + 0.9 * h / (hits - 1);
            writeHit(kit / "samples" / (name + ".wav"), drum, force, random);
            samples += "<sample name=\"" + name + "\" power=\"" + std::to_string(force) + "\">";
            for (std::size_t c = 0; c < microphones.size(); ++c)
                samples += "<audiofile channel=\"" + microphones[c] + "\" file=\"../samples/" +
                           name + ".wav\" filechannel=\"" + std::to_string(c + 1) + "\"/>";
            samples += "</sample>";
        }
        writeText(kit / "instruments" / (std::string(drum.name) + ".xml"),
                  "<?xml version=\"1.0\"?><instrument version=\"2.0\" name=\"" +
                      std::string(drum.name) + "\"><samples>" + samples +
                      "</samples></instrument>");
        instruments += "<instrument name=\"" + std::string(drum.name) + "\" file=\"instruments/" +
                       drum.name + ".xml\">";
        for (std::size_t c = 0; c < microphones.size(); ++c)
            instruments += "<channelmap in=\"" + microphones[c] + "\" out=\"" + microphones[c] +
                           (static_cast<int>(c) == drum.own ? "\" main=\"true\"/>" : "\"/>");
        instruments += "</instrument>";
        midimap += "<map note=\"" + std::to_string(drum.note) + "\" instr=\"" + drum.name + "\"/>";
    }
    writeText(kit / "midimap.xml", "<?xml version=\"1.0\"?><midimap>" + midimap + "</midimap>");
    writeText(kit / "drumkit.xml",
              "<?xml version=\"1.0\"?><drumkit version=\"1.0\" name=\"Bench\" samplerate=\"48000\">"
              "<channels>" +
                  channels + "</channels><instruments>" + instruments + "</instruments></drumkit>");
}

std::string be(std::uint32_t v, int n) {
    std::string s;
    for (int i = n - 1; i >= 0; --i)
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// A minute of a rock groove at 120 bpm on channel 10: eighth-note hi-hats, kick and snare,
// a tom fill and a crash every four bars, velocities varied.
void generateGroove(const fs::path& file) {
    std::minstd_rand random(11);
    std::string events = std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7); // 120 bpm, stated
    const auto note = [&](std::uint32_t delta, int key, int velocity) {
        std::string vlq(1, static_cast<char>(delta & 0x7F));
        for (std::uint32_t v = delta >> 7; v != 0; v >>= 7)
            vlq.insert(vlq.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        events += vlq + "\x99" + static_cast<char>(key) + static_cast<char>(velocity);
    };
    std::uint32_t pending = 0;
    for (int bar = 0; bar < 30; ++bar)
        for (int eighth = 0; eighth < 8; ++eighth) {
            const int jitter = static_cast<int>(random() % 20);
            const bool fill = bar % 4 == 3 && eighth >= 4;
            note(pending, fill ? (eighth < 6 ? 48 : 41) : 42, 70 + jitter);
            pending = 0;
            if (eighth % 4 == 0)
                note(0, 36, 100 + jitter);
            if (eighth % 4 == 2)
                note(0, 38, 95 + jitter);
            if (bar % 4 == 0 && eighth == 0)
                note(0, 49, 120);
            pending = 48; // an eighth at 96 ticks a beat
        }
    const std::string track = events + std::string("\x00\xFF\x2F\x00", 4);
    writeText(file, "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(96, 2) + "MTrk" +
                        be(static_cast<std::uint32_t>(track.size()), 4) + track);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mics_bench FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];
    generateKit(folder / "kit");
    generateGroove(folder / "groove.mid");

    const auto importStart = Clock::now();
    const kitImport::Result imported = kitImport::importFile(folder / "kit" / "drumkit.xml");
    if (!imported) {
        std::fprintf(stderr, "mics_bench: %s\n", imported.error.c_str());
        return 1;
    }
    const double importSeconds = std::chrono::duration<double>(Clock::now() - importStart).count();
    std::vector<audio::PadLoad> pads;
    for (const DrumPad& pad : imported.kit->pads)
        if (!pad.playedSamples().empty())
            pads.push_back({pad.role, pad.playedSamples(), pad.takeOrder});

    audio::AudioEngine engine;
    engine.prepareToRender(48000.0, 256);
    engine.renderingStarted();
    const auto start = Clock::now();
    audio::KitLoader loader(engine, pads);
    double playable = -1;
    while (!loader.progress().finished()) {
        bool all = true;
        for (const auto& pad : pads)
            all = all && engine.hasSample(pad.role);
        if (all && playable < 0)
            playable = std::chrono::duration<double>(Clock::now() - start).count();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    loader.wait();
    const double whole = std::chrono::duration<double>(Clock::now() - start).count();
    if (playable < 0)
        playable = whole;
    std::printf("kit of %zu pads, %zu microphones: import %.3f s, playable %.3f s, whole %.3f s, "
                "peak RSS %.0f MiB\n",
                pads.size(), imported.kit->microphones.size(), importSeconds, playable, whole,
                peakResidentMiB());
    return 0;
}
