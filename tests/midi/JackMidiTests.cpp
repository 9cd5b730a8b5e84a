// MIDI through a real JACK server (dummy driver): a test client plays the drum module, a
// second one stands in for the audio driver that carries the MIDI hook, and a third records
// what the driver's output port plays.
#include "audio/EventTime.h"
#include "midi/MIDIManager.h"
#include "platform/ManualMainQueue.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace tamborel::midi {
namespace {

using namespace std::chrono_literals;

constexpr jack_nframes_t periodFrames = 256;

template <typename Condition> bool waitFor(Condition condition, std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A private jackd with the dummy driver, under a name no other test uses.
class JackServer {
public:
    JackServer() : name_("tamborel-midi-" + std::to_string(getpid())) {
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        pid_ = fork();
        if (pid_ == 0) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execlp("jackd", "jackd", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r",
                   "48000", "-p", std::to_string(periodFrames).c_str(), "-w", "5333", nullptr);
            _exit(127);
        }
        // libjack complains on stderr at every refused probe; give jackd a moment first.
        std::this_thread::sleep_for(150ms);
        waitFor([this] {
            jack_client_t* probe = open("probe");
            if (probe != nullptr)
                jack_client_close(probe);
            return probe != nullptr;
        });
    }
    ~JackServer() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        if (!waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 5s)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
    }

    jack_client_t* open(const char* clientName) const {
        jack_status_t status{};
        return jack_client_open(
            clientName,
            static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName),
            &status, name_.c_str());
    }

private:
    std::string name_;
    pid_t pid_ = -1;
};

// The drum module: plays a fixed set of messages, each at a chosen frame of one cycle.
class DrumModule {
public:
    struct Message {
        jack_nframes_t frame;
        std::array<jack_midi_data_t, 3> bytes;
    };
    static constexpr std::array<Message, 5> strikes{{
        {10, {0x99, 36, 100}},
        {50, {0xB9, 4, 127}},
        {60, {0x89, 36, 64}},
        {100, {0x99, 38, 80}},
        {periodFrames - 1, {0x93, 42, 1}},
    }};

    explicit DrumModule(const JackServer& server) : client_(server.open("drums")) {
        if (client_ == nullptr)
            return;
        jack_set_process_callback(client_, &DrumModule::process, this);
        jack_activate(client_);
    }
    ~DrumModule() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }

    jack_port_t* addPort(const char* portName) {
        jack_port_t* port =
            jack_port_register(client_, portName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        port_.store(port);
        return port;
    }
    void removePort(jack_port_t* port) {
        port_.store(nullptr);
        jack_port_unregister(client_, port);
    }
    void strike() { pending_.store(true); }
    bool struck() const { return !pending_.load(); }
    jack_nframes_t cycleStart() const { return cycleStart_.load(); }
    bool valid() const { return client_ != nullptr; }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& module = *static_cast<DrumModule*>(self);
        jack_port_t* port = module.port_.load();
        if (port == nullptr)
            return 0;
        void* buffer = jack_port_get_buffer(port, frames);
        jack_midi_clear_buffer(buffer);
        if (!module.pending_.load())
            return 0;
        for (const Message& message : strikes)
            jack_midi_event_write(buffer, message.frame, message.bytes.data(), 3);
        module.cycleStart_.store(jack_last_frame_time(module.client_));
        module.pending_.store(false);
        return 0;
    }

    jack_client_t* client_;
    std::atomic<jack_port_t*> port_{nullptr};
    std::atomic<bool> pending_{false};
    std::atomic<jack_nframes_t> cycleStart_{0};
};

// Stands in for the audio driver and engine: carries the MIDI hook, and plays a one-sample
// click at the frame each note-on asks for, as a triggered voice would start there.
class DriverStandIn {
public:
    struct Hit {
        int note, velocity, channel;
        audio::EventTime time;
        jack_nframes_t cycleStart;
    };

    DriverStandIn(const JackServer& server, MIDIManager& manager)
        : hook_(manager.jackHook()), client_(server.open("host")) {
        if (client_ == nullptr)
            return;
        hook_.clientOpened(client_);
        out_ = jack_port_register(client_, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &DriverStandIn::process, this);
        jack_activate(client_);
        hook_.clientActivated(client_);
    }
    ~DriverStandIn() {
        if (client_ == nullptr)
            return;
        jack_deactivate(client_);
        hook_.clientClosed();
        jack_client_close(client_);
    }

    // Real-time: what the note-on callback does.
    void trigger(int note, int velocity, int channel) noexcept {
        const audio::EventTime time = audio::currentEventTime();
        const int index = hitCount_.load(std::memory_order_relaxed);
        if (index < static_cast<int>(hits_.size())) {
            hits_[static_cast<std::size_t>(index)] = {note, velocity, channel, time,
                                                      jack_last_frame_time(client_)};
            hitCount_.store(index + 1, std::memory_order_release);
        }
        if (time.kind == audio::EventTime::Kind::frameInCycle && clicks_ < clickFrames_.size())
            clickFrames_[clicks_++] = static_cast<jack_nframes_t>(time.value);
    }

    int hitCount() const { return hitCount_.load(std::memory_order_acquire); }
    const Hit& hit(int index) const { return hits_[static_cast<std::size_t>(index)]; }
    bool valid() const { return client_ != nullptr; }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& driver = *static_cast<DriverStandIn*>(self);
        driver.clicks_ = 0;
        driver.hook_.processCycle(frames);
        auto* out = static_cast<float*>(jack_port_get_buffer(driver.out_, frames));
        std::fill(out, out + frames, 0.0f);
        for (std::size_t i = 0; i < driver.clicks_; ++i)
            if (driver.clickFrames_[i] < frames)
                out[driver.clickFrames_[i]] = 1.0f;
        return 0;
    }

    audio::JackClientHook& hook_;
    jack_client_t* client_;
    jack_port_t* out_ = nullptr;
    std::array<Hit, 16> hits_{};
    std::atomic<int> hitCount_{0};
    std::array<jack_nframes_t, 16> clickFrames_{}; // process thread only
    std::size_t clicks_ = 0;
};

// Records the absolute frame of every non-silent sample on its input.
class Recorder {
public:
    explicit Recorder(const JackServer& server) : client_(server.open("recorder")) {
        if (client_ == nullptr)
            return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Recorder::process, this);
        jack_activate(client_);
        jack_connect(client_, "host:out", "recorder:in");
    }
    ~Recorder() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }
    std::vector<jack_nframes_t> frames() const {
        const int count = count_.load(std::memory_order_acquire);
        return {frames_.begin(), frames_.begin() + count};
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& recorder = *static_cast<Recorder*>(self);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(recorder.in_, frames));
        const jack_nframes_t start = jack_last_frame_time(recorder.client_);
        int count = recorder.count_.load(std::memory_order_relaxed);
        for (jack_nframes_t i = 0; i < frames && count < static_cast<int>(recorder.frames_.size());
             ++i)
            if (in[i] != 0.0f)
                recorder.frames_[static_cast<std::size_t>(count++)] = start + i;
        recorder.count_.store(count, std::memory_order_release);
        return 0;
    }

    jack_client_t* client_;
    jack_port_t* in_ = nullptr;
    std::array<jack_nframes_t, 16> frames_{};
    std::atomic<int> count_{0};
};

class JackMidi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(drums_.valid()) << "no JACK server";
        ASSERT_TRUE(host_.valid());
    }
    // Runs the main queue until the condition holds, as the main thread would.
    template <typename Condition> bool runMainQueueUntil(Condition condition) {
        return waitFor([&] {
            queue_.runPending();
            return condition();
        });
    }

    JackServer server_;
    platform::ManualMainQueue queue_;
    MIDIManager manager_{queue_};
    DrumModule drums_{server_};
    DriverStandIn host_{server_, manager_};
};

TEST_F(JackMidi, StrikesSoundAtTheirOwnFrameOfTheCycleTheyArriveIn) {
    jack_port_t* pads = drums_.addPort("pads");
    std::atomic<int> controllers{0};
    std::atomic<int> noteOffs{0};
    manager_.onNoteOn = [this](int note, int velocity, int channel) {
        host_.trigger(note, velocity, channel);
    };
    manager_.onControlChange = [&](int controller, int value, int channel) {
        if (controller == 4 && value == 127 && channel == 9)
            controllers.fetch_add(1);
    };
    manager_.onNoteOff = [&](int note, int channel) {
        if (note == 36 && channel == 9)
            noteOffs.fetch_add(1);
    };
    manager_.start();
    ASSERT_TRUE(waitFor([&] { return jack_port_connected_to(pads, "host:Tamborel In") != 0; }))
        << "the manager did not connect the module's port";
    Recorder recorder(server_);

    drums_.strike();
    ASSERT_TRUE(waitFor([&] { return drums_.struck() && host_.hitCount() == 3; }));
    ASSERT_TRUE(waitFor([&] { return recorder.frames().size() == 3; }));

    const jack_nframes_t cycle = drums_.cycleStart();
    const std::array<std::array<int, 4>, 3> expected{{
        {36, 100, 9, 10},
        {38, 80, 9, 100},
        {42, 1, 3, static_cast<int>(periodFrames - 1)},
    }};
    for (int i = 0; i < 3; ++i) {
        const auto& hit = host_.hit(i);
        const auto& want = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(hit.note, want[0]);
        EXPECT_EQ(hit.velocity, want[1]);
        EXPECT_EQ(hit.channel, want[2]);
        EXPECT_EQ(hit.time.kind, audio::EventTime::Kind::frameInCycle);
        EXPECT_EQ(hit.time.value, static_cast<std::uint64_t>(want[3]));
        EXPECT_EQ(hit.cycleStart, cycle) << "the note was read in a later cycle";
    }
    EXPECT_EQ(recorder.frames(),
              (std::vector<jack_nframes_t>{cycle + 10, cycle + 100, cycle + periodFrames - 1}));
    EXPECT_EQ(controllers.load(), 1);
    EXPECT_EQ(noteOffs.load(), 1);
}

TEST_F(JackMidi, PortsThatComeAndGoAreConnectedAndReported) {
    const auto here = std::this_thread::get_id();
    std::atomic<int> changes{0};
    bool onMainThread = true;
    manager_.onSourcesChanged = [&] {
        onMainThread = onMainThread && std::this_thread::get_id() == here;
        changes.fetch_add(1);
    };
    manager_.start();
    queue_.runPending();
    EXPECT_FALSE(manager_.detectedTD17());
    const int before = changes.load();

    jack_port_t* module = drums_.addPort("Roland TD-17 MIDI 1");
    // Notifications from setting up the clients may still be on their way, so wait for the
    // effect rather than for any rescan.
    ASSERT_TRUE(
        runMainQueueUntil([&] { return jack_port_connected_to(module, "host:Tamborel In") != 0; }));
    EXPECT_GT(changes.load(), before);
    const auto names = manager_.availableSourceNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "drums:Roland TD-17 MIDI 1"), names.end());
    EXPECT_TRUE(manager_.detectedTD17());

    const int plugged = changes.load();
    drums_.removePort(module);
    ASSERT_TRUE(runMainQueueUntil([&] { return changes.load() > plugged; }));
    EXPECT_FALSE(manager_.detectedTD17());
    EXPECT_TRUE(onMainThread);
}

} // namespace
} // namespace tamborel::midi
