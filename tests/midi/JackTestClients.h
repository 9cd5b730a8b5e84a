#pragma once
// JACK clients that MIDI tests play and listen with: a drum module that sends a fixed set
// of messages at chosen frames of one cycle, and a recorder that notes the absolute frame of
// every non-silent sample it hears.

#include "JackServerFixture.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

namespace tamborel::midi::test {

inline constexpr jack_nframes_t periodFrames = 256;

// JACK runs the clients of one cycle in graph order and hands port buffers from one to the
// next through shared memory and futexes that ThreadSanitizer cannot see. Each test client's
// process callback is bracketed by this, which tells it about that ordering.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
class GraphOrder {
public:
    GraphOrder() { __tsan_acquire(&token); }
    ~GraphOrder() { __tsan_release(&token); }

private:
    static inline char token = 0;
};
#else
struct GraphOrder {};
#endif

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

    explicit DrumModule(const testing::JackServer& server) : client_(server.openClient("drums")) {
        if (client_ == nullptr)
            return;
        jack_set_process_callback(client_, &DrumModule::process, this);
        jack_set_xrun_callback(client_, &DrumModule::xrun, this);
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
    // Cycles that overran anywhere in the graph, as JACK reports them.
    int xruns() const { return xruns_.load(); }
    bool valid() const { return client_ != nullptr; }

private:
    static int process(jack_nframes_t frames, void* self) {
        [[maybe_unused]] const GraphOrder order;
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

    static int xrun(void* self) {
        static_cast<DrumModule*>(self)->xruns_.fetch_add(1);
        return 0;
    }

    jack_client_t* client_;
    std::atomic<int> xruns_{0};
    std::atomic<jack_port_t*> port_{nullptr};
    std::atomic<bool> pending_{false};
    std::atomic<jack_nframes_t> cycleStart_{0};
};

// Records the absolute frame of every non-silent sample on its input.
class Recorder {
public:
    Recorder(const testing::JackServer& server, const char* source)
        : client_(server.openClient("recorder")) {
        if (client_ == nullptr)
            return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &Recorder::process, this);
        jack_activate(client_);
        jack_connect(client_, source, jack_port_name(in_));
    }
    ~Recorder() {
        if (client_ != nullptr)
            jack_client_close(client_);
    }
    // Only while nothing is playing.
    void forget() { count_.store(0); }
    std::vector<jack_nframes_t> frames() const {
        const int count =
            std::clamp(count_.load(std::memory_order_acquire), 0, static_cast<int>(frames_.size()));
        std::vector<jack_nframes_t> result;
        for (int i = 0; i < count; ++i)
            result.push_back(frames_[static_cast<std::size_t>(i)]);
        return result;
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        [[maybe_unused]] const GraphOrder order;
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

} // namespace tamborel::midi::test
