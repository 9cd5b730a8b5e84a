#pragma once
// A drum module for tests against a private JACK server: a client that sends a chosen set of
// MIDI messages, each at its own frame of one cycle, or plays a groove (notes in turn at a
// fixed spacing, at any frame of a cycle), on the output port added or chosen last.

#include "JackServerFixture.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <thread>
#include <vector>

namespace tamborel::testing {

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

class DrumModule {
public:
    struct Message {
        jack_nframes_t frame;
        std::array<jack_midi_data_t, 3> bytes;
    };

    explicit DrumModule(const JackServer& server, const char* name = "drums")
        : client_(server.openClient(name)) {
        if (client_ == nullptr)
            return;
        jack_set_process_callback(client_, &DrumModule::process, this);
        jack_set_xrun_callback(client_, &DrumModule::xrun, this);
        jack_on_shutdown(
            client_, [](void* self) { static_cast<DrumModule*>(self)->serverGone_ = true; }, this);
        jack_activate(client_);
    }
    // Like the program's driver, a module outliving its server leaves the dead client alone:
    // libjack can crash closing it.
    ~DrumModule() {
        if (client_ != nullptr && !serverGone_.load())
            jack_client_close(client_);
    }
    DrumModule(const DrumModule&) = delete;
    DrumModule& operator=(const DrumModule&) = delete;

    bool valid() const { return client_ != nullptr; }
    jack_port_t* addPort(const char* portName) {
        jack_port_t* port =
            jack_port_register(client_, portName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        port_.store(port);
        return port;
    }
    void removePort(jack_port_t* port) {
        jack_port_t* expected = port;
        port_.compare_exchange_strong(expected, nullptr);
        // The process thread may have picked the port up just before it was replaced; a
        // port unregistered under it leaves it writing into JACK's spare buffer, which every
        // client shares. It lets go before its cycle ends.
        while (inUse_.load() == port)
            std::this_thread::yield();
        jack_port_unregister(client_, port);
    }
    // Sends from now on through this port.
    void useOutput(jack_port_t* port) { port_.store(port); }
    // Strikes the notes in turn at velocity 100, one every `spacing` frames, from the next
    // cycle on, until stopGroove(). Once per module. The server's frame time of each strike
    // is kept.
    void groove(const std::vector<jack_midi_data_t>& notes, jack_nframes_t spacing) {
        grooveCount_ = std::min(notes.size(), grooveNotes_.size());
        std::copy_n(notes.begin(), grooveCount_, grooveNotes_.begin());
        grooveSpacing_.store(grooveCount_ > 0 ? spacing : 0);
    }
    void stopGroove() { grooveSpacing_.store(0); }
    // The frame times of the groove's strikes so far (the first `strikeCount()` entries).
    std::size_t strikeCount() const { return strikeCount_.load(); }
    jack_nframes_t strikeFrame(std::size_t i) const { return strikeFrames_[i]; }

    // Sends up to eight messages in the next cycle. Only while nothing is pending: the
    // process thread reads them after it sees the flag.
    void strike(std::initializer_list<Message> messages) {
        count_ = std::min(messages.size(), messages_.size());
        std::copy_n(messages.begin(), count_, messages_.begin());
        pending_.store(true);
    }
    bool struck() const { return !pending_.load(); }
    // Strikes and returns once the messages are out.
    bool send(std::initializer_list<Message> messages) {
        strike(messages);
        return eventually([this] { return struck(); });
    }
    // The first frame of the cycle the last messages went out in.
    jack_nframes_t cycleStart() const { return cycleStart_.load(); }
    // Cycles that overran anywhere in the graph, as JACK reports them. Such a cycle may run
    // the graph out of order, so tests that check timing repeat an attempt spoilt by one.
    int xruns() const { return xruns_.load(); }

private:
    static int process(jack_nframes_t frames, void* self) {
        [[maybe_unused]] const GraphOrder order;
        auto& module = *static_cast<DrumModule*>(self);
        const PortInUse use(module);
        jack_port_t* port = use.port;
        if (port == nullptr)
            return 0;
        void* buffer = jack_port_get_buffer(port, frames);
        jack_midi_clear_buffer(buffer);
        module.playGroove(buffer, frames);
        if (!module.pending_.load())
            return 0;
        for (std::size_t i = 0; i < module.count_; ++i)
            jack_midi_event_write(buffer, module.messages_[i].frame,
                                  module.messages_[i].bytes.data(), 3);
        module.cycleStart_.store(jack_last_frame_time(module.client_));
        module.pending_.store(false);
        return 0;
    }

    // The output port this cycle writes to, announced before it is used and checked to be
    // still current afterwards, so that removePort() knows when it may go.
    struct PortInUse {
        explicit PortInUse(DrumModule& owner) : module(owner) {
            do {
                port = module.port_.load();
                module.inUse_.store(port);
            } while (module.port_.load() != port);
        }
        ~PortInUse() { module.inUse_.store(nullptr); }
        PortInUse(const PortInUse&) = delete;
        PortInUse& operator=(const PortInUse&) = delete;
        DrumModule& module;
        jack_port_t* port = nullptr;
    };

    // Writes the groove's strikes that fall in this cycle.
    void playGroove(void* buffer, jack_nframes_t frames) {
        const jack_nframes_t spacing = grooveSpacing_.load();
        if (spacing == 0)
            return;
        const jack_nframes_t start = jack_last_frame_time(client_);
        // A strike that fell into cycles this client missed plays at the start of this one.
        if (strikeCount_.load() == 0 || static_cast<std::int32_t>(nextStrike_ - start) < 0)
            nextStrike_ = start;
        for (std::size_t n = strikeCount_.load();
             nextStrike_ - start < frames && n < strikeFrames_.size(); ++n) {
            const jack_midi_data_t note[] = {0x99, grooveNotes_[n % grooveCount_], 100};
            jack_midi_event_write(buffer, nextStrike_ - start, note, 3);
            strikeFrames_[n] = nextStrike_;
            strikeCount_.store(n + 1);
            nextStrike_ += spacing;
        }
    }

    static int xrun(void* self) {
        static_cast<DrumModule*>(self)->xruns_.fetch_add(1);
        return 0;
    }

    jack_client_t* client_;
    std::array<Message, 8> messages_{};
    std::size_t count_ = 0;
    std::atomic<int> xruns_{0};
    std::atomic<jack_port_t*> port_{nullptr};
    std::atomic<jack_port_t*> inUse_{nullptr};
    std::atomic<bool> pending_{false};
    std::atomic<jack_nframes_t> cycleStart_{0};
    std::array<jack_midi_data_t, 16> grooveNotes_{};
    std::size_t grooveCount_ = 0;
    std::atomic<jack_nframes_t> grooveSpacing_{0};
    jack_nframes_t nextStrike_ = 0; // process thread only
    std::array<jack_nframes_t, 1024> strikeFrames_{};
    std::atomic<std::size_t> strikeCount_{0};
    std::atomic<bool> serverGone_{false};
};

} // namespace tamborel::testing
