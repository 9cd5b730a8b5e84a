// What one 256-frame run of the LV2 plugin costs with every voice of every role sounding
// (14 x 6 = 84), struck through MIDI as a host would send it: the plugin's event handling and
// hit routing on top of the engine's render.

#include "model/DrumKit.h"
#include "model/FileUrl.h"
#include "model/Storage.h"

#include "SoundFiles.h"

#include <benchmark/benchmark.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace tamborel;

namespace {

constexpr std::uint32_t block = 256;
constexpr double rate = 48000.0;
constexpr int voicesPerPad = 6;

std::map<std::string, LV2_URID> ids;
LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
}

// Fourteen pads of twenty seconds of noise each.
fs::path writeKit(const fs::path& folder) {
    fs::create_directories(folder);
    DrumKit kit("Bench");
    std::minstd_rand random(1);
    std::uniform_real_distribution<float> sample(-0.1f, 0.1f);
    std::vector<float> noise(static_cast<std::size_t>(20 * rate) * 2);
    for (DrumPad& pad : kit.pads) {
        for (float& s : noise)
            s = sample(random);
        const fs::path file = folder / (std::string(pad.id()) + ".wav");
        tamborel::audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                                   static_cast<int>(rate), 2, noise);
        pad.sampleURL = FileUrl::fromPath(file);
    }
    const fs::path file = folder / "Bench.json";
    storage::writeKit(kit, file);
    return file;
}

// Counters as in the render benchmark: ns_per_frame and core_percent (the share of one core
// that the plugin takes in real time at 48 kHz).
void pluginRunAllVoices(benchmark::State& state) {
    const fs::path folder =
        fs::temp_directory_path() / ("tamborel-plugin-bench-" + std::to_string(getpid()));
    const fs::path kitFile = writeKit(folder);

    LilvWorld* world = lilv_world_new();
    LilvNode* path = lilv_new_string(world, TAMBOREL_LV2_DIR);
    lilv_world_set_option(world, LILV_OPTION_LV2_PATH, path);
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, "urn:tamborel:drums");
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (plugin == nullptr) {
        state.SkipWithError("the bundle is not in the build tree");
        return;
    }

    LV2_URID_Map map{nullptr, mapUri};
    std::vector<std::vector<char>> jobs;
    LV2_Worker_Schedule schedule{
        &jobs, [](LV2_Worker_Schedule_Handle h, std::uint32_t size, const void* data) {
            auto* bytes = static_cast<const char*>(data);
            static_cast<std::vector<std::vector<char>>*>(h)->emplace_back(bytes, bytes + size);
            return LV2_WORKER_SUCCESS;
        }};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(plugin, rate, features);
    const auto* worker = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(instance, LV2_WORKER__interface));

    const std::uint32_t ports = lilv_plugin_get_num_ports(plugin);
    std::vector<float> controls(ports);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, controls.data());
    alignas(8) std::array<std::uint64_t, 4096> in{};
    alignas(8) std::array<std::uint64_t, 4096> out{};
    std::vector<float> left(block), right(block);
    // The controls at their defaults, the freewheeling flag after the outputs among them.
    constexpr std::uint32_t outLeft = 9;
    for (std::uint32_t i = 2; i < ports; ++i)
        if (i != outLeft && i != outLeft + 1)
            lilv_instance_connect_port(instance, i, &controls[i]);
    lilv_instance_connect_port(instance, 0, in.data());
    lilv_instance_connect_port(instance, 1, out.data());
    lilv_instance_connect_port(instance, outLeft, left.data());
    lilv_instance_connect_port(instance, outLeft + 1, right.data());
    lilv_instance_activate(instance);

    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &map);
    const LV2_URID midiEvent = map.map(nullptr, LV2_MIDI__MidiEvent);
    // Each block's input: nothing, or (every 15 s) six strikes of every role. Closed and
    // pedal hats go first, as they choke open ones; the pedal then opens half and full.
    const auto fill = [&](bool strikeAll, const std::string& kit) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(in.data()), sizeof in);
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        std::uint32_t frame = 0;
        const auto send = [&](std::uint8_t status, int a, int b) {
            const std::uint8_t bytes[] = {status, static_cast<std::uint8_t>(a),
                                          static_cast<std::uint8_t>(b)};
            lv2_atom_forge_frame_time(&forge, frame++);
            lv2_atom_forge_atom(&forge, 3, midiEvent);
            lv2_atom_forge_write(&forge, bytes, 3);
        };
        if (!kit.empty()) {
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_object(&forge, &object, 0,
                                  map.map(nullptr, "http://lv2plug.in/ns/ext/patch#Set"));
            lv2_atom_forge_key(&forge, map.map(nullptr, "http://lv2plug.in/ns/ext/patch#property"));
            lv2_atom_forge_urid(&forge, map.map(nullptr, "urn:tamborel:kit"));
            lv2_atom_forge_key(&forge, map.map(nullptr, "http://lv2plug.in/ns/ext/patch#value"));
            lv2_atom_forge_path(&forge, kit.c_str(), static_cast<std::uint32_t>(kit.size()));
            lv2_atom_forge_pop(&forge, &object);
        }
        if (strikeAll) {
            const int others[] = {36, 38, 37, 48, 45, 43, 49, 57, 51, 53};
            for (int v = 0; v < voicesPerPad; ++v) {
                send(0x90, 42, 100); // closed
                send(0x90, 44, 100); // pedal
            }
            send(0xB0, 4, 64); // half open
            for (int v = 0; v < voicesPerPad; ++v)
                send(0x90, 46, 100);
            send(0xB0, 4, 0); // open
            for (int v = 0; v < voicesPerPad; ++v)
                send(0x90, 46, 100);
            for (int note : others)
                for (int v = 0; v < voicesPerPad; ++v)
                    send(0x90, note, 100);
        }
        lv2_atom_forge_pop(&forge, &sequence);
        auto* notify = reinterpret_cast<LV2_Atom*>(out.data());
        notify->size = sizeof out - sizeof(LV2_Atom);
    };
    const auto runWorker = [&] {
        std::vector<std::vector<char>> replies;
        for (const auto& job : jobs)
            worker->work(
                lilv_instance_get_handle(instance),
                [](LV2_Worker_Respond_Handle h, std::uint32_t size, const void* data) {
                    auto* bytes = static_cast<const char*>(data);
                    static_cast<std::vector<std::vector<char>>*>(h)->emplace_back(bytes,
                                                                                  bytes + size);
                    return LV2_WORKER_SUCCESS;
                },
                &replies, static_cast<std::uint32_t>(job.size()), job.data());
        jobs.clear();
        for (const auto& reply : replies)
            worker->work_response(lilv_instance_get_handle(instance),
                                  static_cast<std::uint32_t>(reply.size()), reply.data());
    };
    fill(false, kitFile.string());
    lilv_instance_run(instance, block);
    runWorker();

    const std::uint64_t blocksPerRound = 15 * 48000 / block; // re-strike before samples end
    std::uint64_t blocks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fill(blocks++ % blocksPerRound == 0, {});
        state.ResumeTiming();
        lilv_instance_run(instance, block);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        state.PauseTiming();
        runWorker(); // housekeeping, as the host's worker thread would do it
        state.ResumeTiming();
    }
    using benchmark::Counter;
    state.counters["ns_per_frame"] =
        Counter(block * 1e-9, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["core_percent"] =
        Counter(block / rate / 100.0, Counter::kIsIterationInvariantRate | Counter::kInvert);

    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(uri);
    lilv_node_free(path);
    lilv_world_free(world);
    fs::remove_all(folder);
}
BENCHMARK(pluginRunAllVoices);

} // namespace
