// The plugin as a DAW runs it: a small lilv host loads the bundle from the build tree, gives
// it the URID map, a worker, state and log, sends MIDI and patch messages in 256-frame blocks
// and listens to every output.

#include "SoundFiles.h"
#include "model/AudioSettings.h"
#include "model/DrumKit.h"
#include "model/FileUrl.h"
#include "model/PluginPreset.h"
#include "model/Storage.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/log/log.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace tamborel;

namespace {

constexpr std::uint32_t blockFrames = 256;
constexpr double rate = 48000.0;
constexpr std::uint32_t firstAudioPort = 9;
constexpr const char* midnamUri = "http://ardour.org/lv2/midnam#";
struct MidnamUpdate {
    void* handle;
    void (*update)(void*);
};
struct MidnamInterface {
    char* (*midnam)(LV2_Handle);
    char* (*model)(LV2_Handle);
    void (*free)(char*);
};

int vprintfToLog(LV2_Log_Handle h, LV2_URID, const char* fmt, va_list args);
int printfToLog(LV2_Log_Handle h, LV2_URID type, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int n = vprintfToLog(h, type, fmt, args);
    va_end(args);
    return n;
}

// The host's side of the features, shared by every instance of a test.
struct Features {
    std::vector<std::string> uris;
    std::vector<std::string> log;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) -> LV2_URID {
                         auto& uris = static_cast<Features*>(h)->uris;
                         auto it = std::find(uris.begin(), uris.end(), uri);
                         if (it == uris.end())
                             it = uris.insert(it, uri);
                         return static_cast<LV2_URID>(it - uris.begin() + 1);
                     }};
    LV2_URID_Unmap unmap{this, [](LV2_URID_Unmap_Handle h, LV2_URID id) {
                             return static_cast<Features*>(h)->uris.at(id - 1).c_str();
                         }};
    LV2_Log_Log logger{this, printfToLog, vprintfToLog};
    int write(const char* fmt, va_list args) {
        char line[8192];
        const int n = std::vsnprintf(line, sizeof line, fmt, args);
        log.emplace_back(line);
        return n;
    }
    LV2_URID id(const char* uri) { return map.map(this, uri); }
    bool logged(const std::string& text) const {
        return std::any_of(log.begin(), log.end(),
                           [&](const std::string& line) { return line.find(text) != line.npos; });
    }
};

int vprintfToLog(LV2_Log_Handle h, LV2_URID, const char* fmt, va_list args) {
    return static_cast<Features*>(h)->write(fmt, args);
}

// One running plugin: its buffers, its worker (run between blocks, as a host with a worker
// thread would before the next cycle, or on a thread of its own beside the blocks) and
// everything it played.
class Instance {
public:
    Instance(const LilvPlugin* plugin, Features& f) : f_(f) {
        schedule_ = {this, [](LV2_Worker_Schedule_Handle h, std::uint32_t size, const void* data) {
                         auto* self = static_cast<Instance*>(h);
                         auto* bytes = static_cast<const char*>(data);
                         const std::lock_guard lock(self->workMutex_);
                         self->jobs_.emplace_back(bytes, bytes + size);
                         self->workToDo_.notify_one();
                         return LV2_WORKER_SUCCESS;
                     }};
        featureList_ = {{LV2_URID__map, &f.map},
                        {LV2_URID__unmap, &f.unmap},
                        {LV2_WORKER__schedule, &schedule_},
                        {LV2_LOG__log, &f.logger},
                        {namesUpdate_.c_str(), &midnamUpdate_}};
        for (auto& feature : featureList_)
            features_.push_back(&feature);
        features_.push_back(nullptr);
        instance_ = lilv_plugin_instantiate(plugin, rate, features_.data());
        EXPECT_NE(instance_, nullptr);
        if (instance_ == nullptr)
            return;
        // The expression ports stay unconnected, which the plugin takes for their defaults;
        // the freewheeling flag follows the audio outputs.
        const std::uint32_t ports = lilv_plugin_get_num_ports(plugin);
        audio_.assign(ports - firstAudioPort - 1, std::vector<float>(blockFrames));
        played_.resize(audio_.size());
        for (std::uint32_t i = firstAudioPort; i + 1 < ports; ++i)
            lilv_instance_connect_port(instance_, i, audio_[i - firstAudioPort].data());
        lilv_instance_connect_port(instance_, ports - 1, &freewheeling_);
        lilv_instance_connect_port(instance_, 0, in_.data());
        lilv_instance_connect_port(instance_, 1, out_.data());
        lv2_atom_forge_init(&forge_, &f.map);
        lilv_instance_activate(instance_);
    }
    ~Instance() {
        if (worker_.joinable()) {
            {
                const std::lock_guard lock(workMutex_);
                stopWorker_ = true;
            }
            workToDo_.notify_one();
            worker_.join();
        }
        if (instance_ != nullptr) {
            lilv_instance_deactivate(instance_);
            lilv_instance_free(instance_);
        }
    }

    void midi(std::uint32_t frame, std::uint8_t status, int a, int b) {
        events_.push_back(
            {frame, {status, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)}, {}});
    }
    void strike(int note, int velocity, std::uint32_t frame = 0) {
        midi(frame, 0x90, note, velocity);
    }
    void setKit(const fs::path& file, bool wait = true) {
        events_.push_back({0, {}, file.string()});
        if (wait)
            run(2); // the second block carries the plugin's answer
    }
    // From now on the worker runs on a thread of its own, as in a real host, and its answers
    // reach the plugin before the next block.
    void workOnOwnThread() {
        worker_ = std::thread([this] {
            std::unique_lock lock(workMutex_);
            while (true) {
                workToDo_.wait(lock, [this] { return stopWorker_ || !jobs_.empty(); });
                if (stopWorker_)
                    return;
                const std::vector<char> job = std::move(jobs_.front());
                jobs_.erase(jobs_.begin());
                working_ = true;
                lock.unlock();
                std::vector<std::vector<char>> replies;
                doWork(job, replies);
                lock.lock();
                working_ = false;
                for (auto& reply : replies)
                    replies_.push_back(std::move(reply));
            }
        });
    }
    // Whether a job is waiting, under way or answered but not delivered yet.
    bool workerBusy() {
        const std::lock_guard lock(workMutex_);
        return working_ || !jobs_.empty() || !replies_.empty();
    }
    // Renders `blocks` blocks, each with the events queued before it at their frames.
    void run(int blocks = 1) {
        for (int b = 0; b < blocks; ++b)
            runBlock();
    }
    const std::vector<float>& played(std::size_t channel) const { return played_[channel]; }
    std::size_t channels() const { return played_.size(); }
    const std::string& announced() const { return announced_; }
    int namesUpdated() const { return namesUpdated_; }
    // The note names of the MIDNAM document, as a host reads them.
    std::map<int, std::string> noteNames() const {
        const auto* names = static_cast<const MidnamInterface*>(lilv_instance_get_extension_data(
            instance_, (std::string(midnamUri) + "interface").c_str()));
        char* text = names->midnam(lilv_instance_get_handle(instance_));
        pugi::xml_document document;
        EXPECT_TRUE(document.load_string(text, pugi::parse_default | pugi::parse_doctype));
        names->free(text);
        const auto device = document.child("MIDINameDocument").child("MasterDeviceNames");
        EXPECT_FALSE(std::string(device.child_value("Model")).empty());
        std::map<int, std::string> named;
        for (auto note : device.child("NoteNameList").children("Note"))
            named[note.attribute("Number").as_int()] = note.attribute("Name").value();
        return named;
    }
    LilvInstance* get() const { return instance_; }
    void setFreewheeling(bool on) { freewheeling_ = on ? 1.0f : 0.0f; }
    void setControl(std::uint32_t port, float value) {
        controls_[port] = value;
        lilv_instance_connect_port(instance_, port, &controls_[port]);
    }

private:
    struct Event {
        std::uint32_t frame;
        std::vector<std::uint8_t> midi;
        std::string kit;
    };

    void runBlock() {
        if (worker_.joinable()) {
            std::vector<std::vector<char>> replies;
            {
                const std::lock_guard lock(workMutex_);
                replies.swap(replies_);
            }
            respond(replies);
        }
        lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(in_.data()), sizeof in_);
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
        for (const Event& e : events_) {
            lv2_atom_forge_frame_time(&forge_, e.frame);
            if (!e.midi.empty()) {
                lv2_atom_forge_atom(&forge_, 3, f_.id(LV2_MIDI__MidiEvent));
                lv2_atom_forge_write(&forge_, e.midi.data(), 3);
                continue;
            }
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object(&forge_, &object, 0, f_.id(LV2_PATCH__Set));
            lv2_atom_forge_key(&forge_, f_.id(LV2_PATCH__property));
            lv2_atom_forge_urid(&forge_, f_.id("urn:tamborel:kit"));
            lv2_atom_forge_key(&forge_, f_.id(LV2_PATCH__value));
            lv2_atom_forge_path(&forge_, e.kit.c_str(), static_cast<std::uint32_t>(e.kit.size()));
            lv2_atom_forge_pop(&forge_, &object);
        }
        lv2_atom_forge_pop(&forge_, &sequence);
        events_.clear();
        auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(out_.data());
        notify->atom.type = 0;
        notify->atom.size = sizeof out_ - sizeof(LV2_Atom);

        lilv_instance_run(instance_, blockFrames);

        for (std::size_t c = 0; c < audio_.size(); ++c)
            played_[c].insert(played_[c].end(), audio_[c].begin(), audio_[c].end());
        LV2_ATOM_SEQUENCE_FOREACH(notify, ev) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(object, f_.id(LV2_PATCH__value), &value, 0);
            if (object->body.otype == f_.id(LV2_PATCH__Set) && value != nullptr)
                announced_ = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        }
        if (worker_.joinable())
            return;
        std::vector<std::vector<char>> replies;
        for (const auto& job : jobs_)
            doWork(job, replies);
        jobs_.clear();
        respond(replies);
    }

    const LV2_Worker_Interface* worker() const {
        return static_cast<const LV2_Worker_Interface*>(
            lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    }
    void doWork(const std::vector<char>& job, std::vector<std::vector<char>>& replies) {
        worker()->work(
            lilv_instance_get_handle(instance_),
            [](LV2_Worker_Respond_Handle h, std::uint32_t size, const void* data) {
                auto* bytes = static_cast<const char*>(data);
                static_cast<std::vector<std::vector<char>>*>(h)->emplace_back(bytes, bytes + size);
                return LV2_WORKER_SUCCESS;
            },
            &replies, static_cast<std::uint32_t>(job.size()), job.data());
    }
    void respond(const std::vector<std::vector<char>>& replies) {
        for (const auto& reply : replies)
            worker()->work_response(lilv_instance_get_handle(instance_),
                                    static_cast<std::uint32_t>(reply.size()), reply.data());
    }

    Features& f_;
    const std::string namesUpdate_ = std::string(midnamUri) + "update";
    int namesUpdated_ = 0;
    MidnamUpdate midnamUpdate_{this, [](void* h) { ++static_cast<Instance*>(h)->namesUpdated_; }};
    LilvInstance* instance_ = nullptr;
    LV2_Worker_Schedule schedule_{};
    std::vector<LV2_Feature> featureList_;
    std::vector<const LV2_Feature*> features_;
    alignas(8) std::array<std::uint64_t, 4096> in_{};
    alignas(8) std::array<std::uint64_t, 4096> out_{};
    std::array<float, firstAudioPort> controls_{};
    float freewheeling_ = 0.0f;
    std::vector<std::vector<float>> audio_;
    std::vector<std::vector<float>> played_;
    std::vector<Event> events_;
    std::mutex workMutex_;
    std::condition_variable workToDo_;
    std::vector<std::vector<char>> jobs_;    // under workMutex_
    std::vector<std::vector<char>> replies_; // from the worker's thread, under workMutex_
    bool working_ = false;                   // under workMutex_
    bool stopWorker_ = false;                // under workMutex_
    std::thread worker_;
    LV2_Atom_Forge forge_{};
    std::string announced_;
};

// Where a sound starts (first non-zero frame at or after `from`), and how long it lasts.
std::size_t onset(const std::vector<float>& s, std::size_t from = 0) {
    while (from < s.size() && s[from] == 0.0f)
        ++from;
    return from;
}
std::size_t lengthFrom(const std::vector<float>& s, std::size_t start) {
    std::size_t end = start;
    while (end < s.size() && s[end] != 0.0f)
        ++end;
    return end - start;
}
bool silent(const std::vector<float>& s) {
    return onset(s) == s.size();
}

class PluginHost : public ::testing::Test {
protected:
    void SetUp() override {
        // Kept loaded for the whole run, as DAWs keep plugin binaries: the sanitizers can then
        // name the plugin's frames, which they cannot once lilv has unloaded it.
        [[maybe_unused]] static void* const keep =
            dlopen(TAMBOREL_LV2_DIR "/tamborel.lv2/tamborel.so", RTLD_NOW | RTLD_NODELETE);
        world_ = lilv_world_new();
        LilvNode* path = lilv_new_string(world_, TAMBOREL_LV2_DIR);
        lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
        lilv_node_free(path);
        lilv_world_load_all(world_);
        for (const char* uri :
             {"urn:tamborel:drums", "urn:tamborel:drums-multi", "urn:tamborel:drums-mics"}) {
            LilvNode* node = lilv_new_uri(world_, uri);
            plugins_.push_back(lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node));
            lilv_node_free(node);
            ASSERT_NE(plugins_.back(), nullptr) << uri;
        }
        folder_ = fs::temp_directory_path() / ("tamborel-lv2-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        lilv_world_free(world_);
        fs::remove_all(folder_);
    }

    fs::path wav(const fs::path& folder, const std::string& name, std::size_t frames) {
        fs::create_directories(folder);
        const fs::path file = folder / (name + ".wav");
        audio::testing::writeWithSndfile(file, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 1,
                                         std::vector<float>(frames, 0.25f));
        return file;
    }

    // Every sample is a flat level; which one played shows in how long the sound lasts.
    // Snare: soft layer 1000 frames, two hard takes 3000 and 4000; kick 2000; open hat and
    // crash a second.
    fs::path writeKit(const fs::path& folder, const fs::path& samples = {}) {
        const std::string name = "Test";
        DrumKit kit(name);
        const auto set = [&](PadRole role, std::vector<PadSample> samples) {
            DrumPad* pad = kit.findPad(role);
            pad->sampleURL = samples.front().url;
            if (samples.size() > 1)
                pad->samples = samples;
        };
        const auto one = [&](const char* file, std::size_t frames, int low = 1, int high = 127) {
            const fs::path& where = samples.empty() ? folder : samples;
            return PadSample{FileUrl::fromPath(wav(where, file, frames)), low, high, 1.0f};
        };
        set(PadRole::kick, {one("kick", 2000)});
        set(PadRole::snare, {one("snare_soft", 1000, 1, 63), one("snare_hard_1", 3000, 64, 127),
                             one("snare_hard_2", 4000, 64, 127)});
        set(PadRole::hhOpen, {one("hh_open", 48000)});
        set(PadRole::hhClosed, {one("hh_closed", 500)});
        set(PadRole::crash1, {one("crash", 48000)});
        fs::create_directories(folder);
        const fs::path file = folder / (name + ".json");
        EXPECT_TRUE(storage::writeKit(kit, file));
        return file;
    }

    // Restores a saved session or a preset, as a host does, with the paths mapped.
    void restore(LilvState* state, Instance& into) {
        ASSERT_NE(state, nullptr);
        LV2_Feature map{LV2_URID__map, &features_.map};
        LV2_Feature unmap{LV2_URID__unmap, &features_.unmap};
        const LV2_Feature* list[] = {&map, &unmap, nullptr};
        lilv_state_restore(state, into.get(), nullptr, nullptr, 0, list);
        lilv_state_free(state);
    }
    // The kick's level summed over its first blocks.
    float kickOf(Instance& drums) {
        const std::size_t start = drums.played(0).size();
        drums.strike(36, 100);
        drums.run(8);
        float sum = 0.0f;
        for (std::size_t i = start; i < drums.played(0).size(); ++i)
            sum += std::abs(drums.played(0)[i]);
        return sum;
    }

    LilvWorld* world_ = nullptr;
    std::vector<const LilvPlugin*> plugins_;
    Features features_;
    fs::path folder_;
};

} // namespace

TEST_F(PluginHost, StrikesLandOnTheirOwnFrame) {
    Instance drums(plugins_[0], features_);
    drums.setKit(writeKit(folder_ / "kit"));
    EXPECT_EQ(drums.announced(), (folder_ / "kit" / "Test.json").string());
    for (std::uint32_t frame : {0u, 100u, 255u}) {
        const std::size_t start = drums.played(0).size();
        drums.strike(36, 100, frame);
        drums.run(20); // the kick's 2000 frames die away before the next strike
        EXPECT_EQ(onset(drums.played(0), start), start + frame);
        EXPECT_EQ(onset(drums.played(1), start), start + frame);
    }
}

TEST_F(PluginHost, LayersTakesPedalChokeAndGrabPlayAsInTheApplication) {
    Instance drums(plugins_[0], features_);
    drums.setKit(writeKit(folder_ / "kit"));
    const auto lengthOfNext = [&](auto&& strike, int blocks) {
        const std::size_t start = drums.played(0).size();
        strike();
        drums.run(blocks);
        return static_cast<double>(lengthFrom(drums.played(0), onset(drums.played(0), start)));
    };
    EXPECT_NEAR(lengthOfNext([&] { drums.strike(38, 30); }, 20), 1000, 100) << "soft layer";
    EXPECT_NEAR(lengthOfNext([&] { drums.strike(38, 120); }, 20), 3000, 100) << "first take";
    EXPECT_NEAR(lengthOfNext([&] { drums.strike(38, 120); }, 20), 4000, 100) << "second take";
    // The fixed velocity curve (at its default of 100) plays the strike of the block that
    // brings it.
    drums.setControl(3, 3.0f);
    EXPECT_NEAR(lengthOfNext([&] { drums.strike(38, 30); }, 20), 3000, 100) << "fixed curve";
    drums.setControl(3, 0.0f);

    // A closing pedal (controller 4 at its closed end) chokes the open hat within its fade.
    const double choked = lengthOfNext(
        [&] {
            drums.strike(46, 100);
            drums.run(4);
            drums.midi(10, 0xB0, 4, 127);
        },
        20);
    EXPECT_NEAR(choked, 4 * blockFrames + 10 + 96, 100);

    // Grabbing the crash (key pressure) damps it well before its second is out.
    const double grabbed = lengthOfNext(
        [&] {
            drums.strike(49, 100);
            drums.run(4);
            drums.midi(0, 0xA0, 49, 127);
        },
        200);
    EXPECT_LT(grabbed, 4 * blockFrames + 2400 + 200);
    EXPECT_GT(grabbed, 4 * blockFrames);
}

// Automation lands where it is drawn: the block that brings a new master ends at its level.
TEST_F(PluginHost, MasterVolumeChangesInTheBlockThatCarriesIt) {
    Instance drums(plugins_[0], features_);
    drums.setKit(writeKit(folder_ / "kit"));
    drums.strike(49, 100); // the crash: a second at one level
    drums.run(2);
    const float full = drums.played(0).back();
    ASSERT_GT(full, 0.0f);
    drums.setControl(2, 0.5f);
    drums.run(1);
    EXPECT_NEAR(drums.played(0).back(), full * 0.5f, 1e-5f);
}

// With no kit chosen, the factory kit plays at once.
TEST_F(PluginHost, MultiPlaysAKickOnlyOnTheMasterAndTheKickPair) {
    Instance multi(plugins_[1], features_);
    ASSERT_EQ(multi.channels(), 20u);
    multi.strike(36, 100);
    multi.run(10);
    for (std::size_t c = 0; c < multi.channels(); ++c)
        EXPECT_EQ(silent(multi.played(c)), c > 3) << "channel " << c;
}

// A kick recorded on three microphones, the third sent to output 5: each output carries its
// microphone, and with the pans centred they add up to either side of the master.
TEST_F(PluginHost, MicsPutEachMicrophoneOnItsOutputAndAKitWithoutThemOnNone) {
    Instance mics(plugins_[2], features_);
    ASSERT_EQ(mics.channels(), 18u);
    std::vector<float> frames;
    for (int i = 0; i < 1000; ++i)
        frames.insert(frames.end(), {0.25f, 0.125f, 0.0625f});
    const fs::path recording = folder_ / "kick3.wav";
    audio::testing::writeWithSndfile(recording, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 3, frames);
    DrumKit kit("Miked");
    kit.microphones = {{"Kick In"}, {"OH L"}, {"Room"}};
    kit.microphones[2].output = 5;
    DrumPad* kick = kit.findPad(PadRole::kick);
    kick->sampleURL = FileUrl::fromPath(recording);
    kick->samples = {{*kick->sampleURL}};
    kick->samples[0].microphones = {0, 1, 2};
    ASSERT_TRUE(storage::writeKit(kit, folder_ / "miked.json"));
    mics.setKit(folder_ / "miked.json");
    const std::size_t start = mics.played(0).size();
    mics.strike(36, 127);
    mics.run(10);
    const float levels[] = {0.25f, 0.125f, 0.0f, 0.0f, 0.0625f}; // outputs 1 to 5, then none
    for (std::size_t c = 2; c < mics.channels(); ++c)
        EXPECT_FLOAT_EQ(mics.played(c)[start + 500], c < 7 ? levels[c - 2] : 0.0f) << c - 1;
    for (std::size_t i = start; i < mics.played(0).size(); ++i) {
        float sum = 0.0f;
        for (std::size_t c = 2; c < mics.channels(); ++c)
            sum += mics.played(c)[i];
        ASSERT_FLOAT_EQ(mics.played(0)[i], sum) << i;
        ASSERT_FLOAT_EQ(mics.played(1)[i], sum) << i;
    }

    mics.setKit(writeKit(folder_ / "kit"));
    const std::size_t plain = mics.played(0).size();
    mics.strike(36, 100);
    mics.run(10);
    EXPECT_FALSE(silent({mics.played(0).begin() + plain, mics.played(0).end()}));
    for (std::size_t c = 2; c < mics.channels(); ++c)
        EXPECT_TRUE(silent({mics.played(c).begin() + plain, mics.played(c).end()})) << c - 1;
}

TEST_F(PluginHost, StateReopensTheKitInAFreshInstanceEvenWhenTheSessionMoved) {
    const fs::path session = folder_ / "session";
    // The kit document moves with the session; its samples stay where they are.
    const fs::path kit = writeKit(session / "kits", folder_ / "samples");
    LV2_Feature mapFeature{LV2_URID__map, &features_.map};
    LV2_Feature unmapFeature{LV2_URID__unmap, &features_.unmap};
    const LV2_Feature* stateFeatures[] = {&mapFeature, &unmapFeature, nullptr};
    {
        Instance first(plugins_[0], features_);
        first.setKit(kit);
        LilvState* state = lilv_state_new_from_instance(plugins_[0], first.get(), &features_.map,
                                                        nullptr, nullptr, nullptr, session.c_str(),
                                                        nullptr, nullptr, 0, stateFeatures);
        ASSERT_NE(state, nullptr);
        ASSERT_EQ(lilv_state_save(world_, &features_.map, &features_.unmap, state, nullptr,
                                  session.c_str(), "state.ttl"),
                  0);
        lilv_state_free(state);
    }
    const fs::path moved = folder_ / "moved";
    fs::rename(session, moved);

    Instance second(plugins_[0], features_);
    LilvState* state =
        lilv_state_new_from_file(world_, &features_.map, nullptr, (moved / "state.ttl").c_str());
    ASSERT_NE(state, nullptr);
    lilv_state_restore(state, second.get(), nullptr, nullptr, 0, stateFeatures);
    lilv_state_free(state);
    second.run(1);
    EXPECT_EQ(second.announced(), (moved / "kits" / "Test.json").string());
    second.strike(38, 30);
    second.run(20);
    EXPECT_NEAR(lengthFrom(second.played(0), onset(second.played(0))), 1000, 100);

    // The kit gone: the session opens with the factory kit and the log names the path.
    fs::remove(moved / "kits" / "Test.json");
    Instance third(plugins_[0], features_);
    state =
        lilv_state_new_from_file(world_, &features_.map, nullptr, (moved / "state.ttl").c_str());
    ASSERT_NE(state, nullptr);
    lilv_state_restore(state, third.get(), nullptr, nullptr, 0, stateFeatures);
    lilv_state_free(state);
    EXPECT_TRUE(features_.logged((moved / "kits" / "Test.json").string()));
    third.strike(36, 100);
    third.run(4);
    EXPECT_FALSE(silent(third.played(0)));
}

TEST_F(PluginHost, AMissingOrBrokenKitLeavesThePreviousKitPlaying) {
    Instance drums(plugins_[0], features_);
    const fs::path kit = writeKit(folder_ / "kit");
    drums.setKit(kit);
    std::ofstream(folder_ / "broken.json") << "{ \"name\": ";
    for (const fs::path& bad : {folder_ / "nowhere.json", folder_ / "broken.json"}) {
        features_.log.clear();
        drums.setKit(bad);
        drums.run(1);
        EXPECT_TRUE(features_.logged(bad.string())) << bad;
        EXPECT_EQ(drums.announced(), kit.string());
        const std::size_t start = drums.played(0).size();
        drums.strike(38, 30);
        drums.run(20);
        EXPECT_NEAR(lengthFrom(drums.played(0), onset(drums.played(0), start)), 1000, 100) << bad;
    }
}

// The piano roll names notes after the drums they play, and follows a kit with other notes.
TEST_F(PluginHost, NotesAreNamedAfterTheKitsDrumsAndTheHostIsToldWhenTheyChange) {
    Instance drums(plugins_[0], features_);
    drums.run(1);
    auto names = drums.noteNames();
    EXPECT_EQ(names[36], "Kick");
    EXPECT_EQ(names[38], "Snare");
    EXPECT_EQ(names[42], "HH Closed");

    const fs::path file = writeKit(folder_ / "kit");
    DrumKit kit = *storage::loadKit(file);
    kit.findPad(PadRole::kick)->notes = {35};
    ASSERT_TRUE(storage::writeKit(kit, file));
    const int updates = drums.namesUpdated();
    drums.setKit(file);
    EXPECT_GT(drums.namesUpdated(), updates);
    names = drums.noteNames();
    EXPECT_EQ(names[35], "Kick");
    EXPECT_EQ(names.count(36), 0u);
    EXPECT_EQ(names.count(48), 0u) << "the test kit's toms have no sample";
}

// The host's preset menu offers the factory kits, and each plays its own kit.
TEST_F(PluginHost, EachBundledPresetPlaysItsFactoryKit) {
    LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(plugins_[0], presetClass);
    std::vector<std::string> labels;
    std::vector<float> kicks;
    LILV_FOREACH(nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(world_, preset);
        LilvState* state = lilv_state_new_from_world(world_, &features_.map, preset);
        labels.emplace_back(state != nullptr ? lilv_state_get_label(state) : "");
        Instance drums(plugins_[0], features_);
        features_.log.clear();
        restore(state, drums);
        EXPECT_TRUE(features_.log.empty()) << labels.back() << ": " << features_.log.front();
        kicks.push_back(kickOf(drums));
    }
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::string>{"Classic Rock", "Prog Rock (Lanternfield style)",
                                                "Psychedelic (Glass Harbor style)", "Techno 808"}));
    std::sort(kicks.begin(), kicks.end());
    EXPECT_GT(kicks.front(), 0.0f);
    EXPECT_EQ(std::adjacent_find(kicks.begin(), kicks.end()), kicks.end())
        << "four kits, four kicks";
}

// An exported kit is a preset bundle that lv2_validate accepts and every instrument lists under
// the kit's name; chosen, it plays the kit.
TEST_F(PluginHost, AnExportedPresetBundleValidatesAndPlaysItsKit) {
    const fs::path kit = writeKit(folder_ / "kit");
    const auto bundle = pluginPreset::write("Test \"live\"", kit, folder_ / "lv2");
    ASSERT_TRUE(bundle);
    const std::string plugin = TAMBOREL_LV2_DIR "/tamborel.lv2/";
    const std::string command = LV2_VALIDATE " " + plugin + "manifest.ttl " + plugin +
                                "tamborel.ttl '" + (*bundle / "manifest.ttl").string() + "' '" +
                                (*bundle / "preset.ttl").string() + "' 2>&1";
    std::string report;
    FILE* validate = popen(command.c_str(), "r");
    ASSERT_NE(validate, nullptr);
    for (int c = std::fgetc(validate); c != EOF; c = std::fgetc(validate))
        report += static_cast<char>(c);
    EXPECT_EQ(pclose(validate), 0) << report;
    EXPECT_EQ(report.find("error:"), std::string::npos) << report;

    LilvNode* where = lilv_new_file_uri(world_, nullptr, (bundle->string() + "/").c_str());
    lilv_world_load_bundle(world_, where);
    lilv_node_free(where);
    LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
    for (const LilvPlugin* instrument : plugins_) {
        LilvNodes* presets = lilv_plugin_get_related(instrument, presetClass);
        LilvState* exported = nullptr;
        LILV_FOREACH(nodes, i, presets) {
            lilv_world_load_resource(world_, lilv_nodes_get(presets, i));
            LilvState* state =
                lilv_state_new_from_world(world_, &features_.map, lilv_nodes_get(presets, i));
            if (state != nullptr && std::string(lilv_state_get_label(state)) == "Test \"live\"")
                std::swap(exported, state);
            lilv_state_free(state);
        }
        lilv_nodes_free(presets);
        Instance drums(instrument, features_);
        restore(exported, drums);
        drums.run(1);
        EXPECT_EQ(drums.announced(), kit.string());
    }
    lilv_node_free(presetClass);
}

// Kits by program: the first Program Change loads its kit (the old one plays meanwhile), and
// the programs around it load ahead, so that a switch in mid-block lands at its frame. A kick
// struck before it plays the old kit's short kick, and rings on beside the new kit's.
TEST_F(PluginHost, ProgramChangeSwitchesKitsAtItsFrame) {
    const fs::path longKicks = writeKit(folder_ / "long");
    const fs::path shortKicks = writeKit(folder_ / "short");
    DrumKit kit = *storage::loadKit(shortKicks);
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(wav(folder_ / "short", "k", 300));
    ASSERT_TRUE(storage::writeKit(kit, shortKicks));
    AudioSettings settings;
    settings.programKits = {{1, FileUrl::fromPath(longKicks)}, {2, FileUrl::fromPath(shortKicks)}};
    storage::saveSettings(settings);

    Instance drums(plugins_[0], features_);
    drums.midi(0, 0xC0, 1, 0); // program 2
    drums.run(4);
    EXPECT_EQ(drums.announced(), shortKicks.string());
    std::size_t start = drums.played(0).size();
    drums.strike(36, 100, 0);
    drums.midi(100, 0xC0, 0, 0); // program 1, loaded ahead
    drums.strike(36, 100, 200);
    drums.run(12);
    storage::saveSettings(AudioSettings::defaults());
    const auto at = [&](std::size_t frame) { return drums.played(0)[start + frame]; };
    EXPECT_GT(at(150), 0.0f);
    EXPECT_FLOAT_EQ(at(250), 2 * at(150)) << "the old kick rings on";
    EXPECT_FLOAT_EQ(at(1000), at(150)) << "the second strike plays the new kit";
    EXPECT_NEAR(lengthFrom(drums.played(0), start), 2200, 2);
    EXPECT_EQ(drums.announced(), longKicks.string());
}

// A session opening or a preset chosen while playing: the host's worker loads the kit on its
// own thread while the audio thread plays on. A kick struck in every block of the load plays
// the old kit's kick or the new one's, whole and at the same level, and nothing else.
TEST_F(PluginHost, StrikesDuringAKitLoadPlayTheOldKitOrTheNewOneNeverGarbage) {
    const fs::path oldKit = writeKit(folder_ / "old");
    DrumKit kit = *storage::loadKit(oldKit);
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(wav(folder_ / "old", "k", 100));
    ASSERT_TRUE(storage::writeKit(kit, oldKit));
    // The new kit's other pads take long to load: ten seconds of sound each.
    kit.findPad(PadRole::kick)->sampleURL = FileUrl::fromPath(wav(folder_ / "new", "k", 200));
    for (DrumPad& pad : kit.pads)
        if (pad.role != PadRole::kick) {
            pad.sampleURL =
                FileUrl::fromPath(wav(folder_ / "new", std::string(rawValue(pad.role)), 480000));
            pad.samples.clear();
        }
    const fs::path newKit = folder_ / "new" / "New.json";
    ASSERT_TRUE(storage::writeKit(kit, newKit));

    Instance drums(plugins_[0], features_);
    drums.setKit(oldKit);
    drums.workOnOwnThread();
    drums.setKit(newKit, false);
    int blocksLoading = 0;
    float level = 0.0f;
    std::size_t lastLength = 0;
    for (int block = 0; block < 4 || drums.workerBusy() || drums.announced() != newKit; ++block) {
        ASSERT_LT(block, 100000) << "the kit never came in";
        blocksLoading += drums.workerBusy() ? 1 : 0;
        const std::size_t start = drums.played(0).size();
        drums.strike(36, 100, 0);
        drums.run();
        const auto& out = drums.played(0);
        ASSERT_TRUE(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
                                [](float v) { return std::isfinite(v); }));
        if (level == 0.0f)
            level = out[start];
        ASSERT_FLOAT_EQ(out[start], level) << "block " << block;
        lastLength = lengthFrom(out, start);
        ASSERT_TRUE(lastLength == 100 || lastLength == 200) << "block " << block;
    }
    EXPECT_GT(blocksLoading, 0);
    EXPECT_EQ(lastLength, 200u);
}

// An export renders faster than real time: with the host freewheeling, a streamed sample
// (every kit streams with wholeKitMiB 0) plays whole, its disk reads waited for.
TEST_F(PluginHost, FreewheelingWaitsForStreamedSamples) {
    AudioSettings settings;
    settings.wholeKitMiB = 0;
    storage::saveSettings(settings);
    Instance drums(plugins_[0], features_);
    storage::saveSettings(AudioSettings::defaults());
    drums.setFreewheeling(true);
    drums.setKit(writeKit(folder_ / "kit"));
    const std::size_t start = drums.played(0).size();
    drums.strike(49, 100); // the crash: a second
    drums.run(200);
    EXPECT_EQ(lengthFrom(drums.played(0), onset(drums.played(0), start)), 48000u);
}
