#pragma once
// A second JACK client that records two output ports into memory, the way a listener would
// hear them. Recording starts when asked and stops when the buffer is full.

#include "JackServerFixture.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace tamborel::testing {

class JackRecorder {
public:
    JackRecorder(const JackServer& server, std::size_t capacityFrames);
    ~JackRecorder();
    JackRecorder(const JackRecorder&) = delete;
    JackRecorder& operator=(const JackRecorder&) = delete;

    bool ok() const { return client_ != nullptr; }
    // Connects the two sources (full port names) to the recorder's inputs, and returns once
    // the connections carry sound.
    bool connect(const std::string& left, const std::string& right);
    // Forgets what was recorded and records from the next cycle on.
    void rewind();
    std::size_t framesRecorded() const { return written_.load(); }
    // The server's frame time of the first frame recorded since the last rewind.
    jack_nframes_t startFrame() const { return startFrame_.load(); }
    // Cycles the server ran since the last rewind that this recorder did not get (PipeWire
    // drops a late client's cycle), seen as a jump in the server's frame time. A recording
    // with a gap has lost frames, so distances measured in it are short.
    std::size_t gaps() const { return gaps_.load(); }
    // Waits until at least `frames` frames have been recorded since the last rewind.
    bool waitForFrames(std::size_t frames) const;

    // Copies of what was recorded so far.
    std::vector<float> left() const;
    std::vector<float> right() const;
    jack_client_t* client() const { return client_; }

private:
    static int onProcess(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* inputs_[2] = {nullptr, nullptr};
    std::vector<float> left_;
    std::vector<float> right_;
    std::atomic<std::size_t> written_{0};
    std::atomic<bool> rewind_{false};
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<jack_nframes_t> startFrame_{0};
    std::atomic<std::size_t> gaps_{0};
    jack_nframes_t nextFrame_ = 0; // process thread only
};

// The loudest sample of the program's left output ("Tamborel:out_1") over the next quarter
// second at 48 kHz, recorded while `during` runs.
float loudestOnTheLeft(const JackServer& server, const std::function<void()>& during);

// Index of the first sample whose magnitude exceeds `threshold`, or -1.
long firstAbove(const std::vector<float>& samples, float threshold);

} // namespace tamborel::testing
